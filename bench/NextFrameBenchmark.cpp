// Next to a photo decoded ahead, for every format: does the view paint it within one frame?
//
//   NextFrameBenchmark PHOTO... [--rounds N] [--frame MS]
//
// For each photo, copies it N + 1 times (default 5) into a folder of its own, keeping its suffix, opens the
// folder in the viewer's own window (headless, a fitted view of 1600 x 1000) and steps Next through the
// copies, each time once the neighbours have been decoded ahead. Prints, per photo, its format, the median
// time from Next to the end of the paint that shows the photo and from Next until its metadata is listed,
// and whether the paint came within one frame (default 16.7 ms, a 60 Hz screen). A Next that decoded the
// photo again instead of taking what was decoded ahead is reported as such.
#include "MainView.h"
#include "Median.h"
#include "PaintClock.h"
#include "PictureFormats.h"
#include "Prefetch.h"
#include "ViewerWindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

using namespace quillmark;

namespace {

const char* KindName(TPictureKind kind) {
    switch (kind) {
    case TPictureKind::Jpeg:
        return "JPEG";
    case TPictureKind::Png:
        return "PNG";
    case TPictureKind::Gif:
        return "GIF";
    case TPictureKind::Bmp:
        return "BMP";
    case TPictureKind::Tiff:
        return "TIFF";
    case TPictureKind::WebP:
        return "WebP";
    case TPictureKind::Heif:
        return "HEIF";
    case TPictureKind::Avif:
        return "AVIF";
    case TPictureKind::Jxl:
        return "JPEG XL";
    case TPictureKind::Raw:
        return "raw";
    default:
        return "other";
    }
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::vector<QString> photos;
    int rounds = 5;
    double frameMs = 1000.0 / 60;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--rounds" && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--frame" && i + 1 < argc)
            frameMs = std::atof(argv[++i]);
        else if (arg.rfind("--", 0) != 0)
            photos.push_back(QString::fromLocal8Bit(argv[i]));
        else
            photos.clear(), i = argc;
    }
    if (photos.empty() || frameMs <= 0) {
        std::fprintf(stderr, "usage: %s PHOTO... [--rounds N] [--frame MS]\n", argv[0]);
        return 2;
    }

    TViewerWindows windows;
    TForm1& form = windows.Form1();
    if (!ShowViewerWindow(form, QSize(1600, 1000))) return 1;
    TPictureView& view = *form.PictureView1;
    PaintClock clock(&view);

    int within = 0, measured = 0;
    std::printf("%-28s %-8s %12s %12s  %s\n", "photo", "format", "painted ms", "listed ms", "one frame");
    for (const QString& photo : photos) {
        QFile file(photo);
        const QString name = QFileInfo(photo).fileName();
        if (!file.open(QIODevice::ReadOnly)) {
            std::printf("%-28s cannot be read\n", qPrintable(name));
            continue;
        }
        const TPictureKind kind = SniffPicture(file.read(kPictureSniffBytes), photo);
        if (!IsPictureKind(kind)) continue; // a README or a sidecar beside the photos
        QTemporaryDir folder;
        const QString suffix = QFileInfo(photo).suffix();
        bool copied = true;
        for (int i = 0; i <= rounds; ++i)
            copied =
                copied &&
                QFile::copy(photo, folder.filePath(
                                       QStringLiteral("p%1.%2").arg(i, 3, 10, QLatin1Char('0')).arg(suffix)));
        if (!copied) {
            std::printf("%-28s could not be copied\n", qPrintable(name));
            continue;
        }
        form.OpenFolderPath(folder.path());
        form.ToolButton10Click(); // First
        std::vector<double> painted, listed;
        bool again = false;
        for (int round = 0; round < rounds && form.Prefetch; ++round) {
            form.Prefetch->WaitUntilIdle();
            const int before = view.Picture().DecodeCount();
            clock.Start();
            QElapsedTimer timer;
            timer.start();
            form.ToolButton6Click(); // Next
            view.repaint();
            listed.push_back(timer.nsecsElapsed() / 1e6);
            painted.push_back(clock.Painted() * 1e3);
            again = again || view.Picture().DecodeCount() != before || clock.Painted() < 0;
        }
        const bool shown = !view.Picture().IsEmpty();
        form.CloseAll1Click();
        if (!shown) {
            std::printf("%-28s %-8s no picture to show (the file holds none the viewer can decode)\n",
                        qPrintable(name), KindName(kind));
            continue;
        }
        if (painted.empty()) {
            std::printf("%-28s %-8s nothing was decoded ahead\n", qPrintable(name), KindName(kind));
            continue;
        }
        const double ms = Median(painted);
        ++measured;
        within += !again && ms <= frameMs;
        std::printf("%-28s %-8s %12.2f %12.2f  %s\n", qPrintable(name), KindName(kind), ms, Median(listed),
                    again           ? "no: decoded again"
                    : ms <= frameMs ? "yes"
                                    : "no");
    }
    std::printf("%d of %d photos painted within one frame (%.1f ms) after Next\n", within, measured, frameMs);
    return 0;
}
