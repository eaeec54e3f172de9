// The addresses the viewer opens and shows, decided in one place.
#pragma once

#include <QString>

namespace quillmark {

// The program's home page: the web site the build names (QUILLMARK_HOMEPAGE), or, while there is none,
// the documentation page installed with the program, as a file:// address. The home-page command opens
// it and the bottom bar's link label shows it.
QString HomePageUrl();
// The authors' web site, which a click on the bottom bar's link label opens: for now the home page.
QString AuthorSiteUrl();
// The authors' social-network address for the about box; empty while they have none.
QString AuthorSocialUrl();

// Where the documentation page is looked for, in order: beside the program's installation prefix
// (PREFIX/bin/quillmark -> PREFIX/share/doc/quillmark/index.html), then the source tree's copy, for a
// program run from its build folder. The first that exists wins; when none does, the installed place.
QString DocumentationPage(const QString& programFolder);

} // namespace quillmark
