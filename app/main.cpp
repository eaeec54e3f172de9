// quillmark [PHOTO | FOLDER]: the photo viewer. A photo given on the command line is shown; a folder fills
// the thumbnail strip with its JPEG photos.
#include "MainView.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmark"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quillmark"));
    quillmark::TViewerWindows windows(QApplication::arguments().mid(1));
    windows.Form1().show();
    return QApplication::exec();
}
