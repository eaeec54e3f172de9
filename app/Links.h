// The program's addresses on the web, kept in one place.
#pragma once

namespace quillmark {

// The program's own page on the author's web site; the home-page command opens it, and the bottom bar's
// link label shows it.
inline constexpr char kHomePageUrl[] = "https://quillmark.example.org/quillmark/";
// The root of the author's web site: what a click on the bottom bar's link label opens.
inline constexpr char kAuthorSiteUrl[] = "https://quillmark.example.org";
// The author's social-network address, shown in the about box.
inline constexpr char kAuthorSocialUrl[] = "https://social.example.org/@quillmark";

} // namespace quillmark
