#include "Links.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace quillmark {

QString DocumentationPage(const QString& programFolder) {
    const QString installed = QDir::cleanPath(
        QDir(programFolder).absoluteFilePath(QStringLiteral(QUILLMARK_DOCS_FROM_PROGRAM "/index.html")));
    const QString source = QStringLiteral(QUILLMARK_SOURCE_DOCS "/index.html");
    for (const QString& page : {installed, source})
        if (QFileInfo(page).isFile()) return page;
    return installed;
}

QString HomePageUrl() {
    const QString site = QStringLiteral(QUILLMARK_HOMEPAGE);
    if (!site.isEmpty()) return site;
    return QUrl::fromLocalFile(DocumentationPage(QCoreApplication::applicationDirPath())).toString();
}

QString AuthorSiteUrl() {
    return HomePageUrl();
}

QString AuthorSocialUrl() {
    return QString();
}

} // namespace quillmark
