// Peak memory of a thumbnail strip filled from a folder of camera-size JPEG photos.
//
//   ThumbnailStripMemory [--dir DIR] [--count N] [--size WxH] [--mode strip|view]
//
// Makes N photos of W x H pixels in DIR if they are not there yet (default: 500 photos of 4000 x 3000 in
// /tmp/quillmark-strip-photos; the files are kept for later runs), then, in a fresh process state, fills a
// strip the way the main window scans a folder (BeginFill, one item per file with LoadFile, Caption and
// Filename, EndFill), paints every column of it, and prints the peak resident set size.
//
// --mode view loads each photo into a picture holder of the view's kind instead, which keeps the whole
// file and its full-size pixels: what every thumbnail used to cost. Use a small --count with it.
#include "PictureHolder.h"
#include "ProcessMemory.h"
#include "ThumbnailList.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QScrollBar>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace quillmark;

namespace {

struct Options {
    QString dir = QStringLiteral("/tmp/quillmark-strip-photos");
    int count = 500;
    int width = 4000;
    int height = 3000;
    bool viewMode = false;
};

QString PhotoPath(const Options& options, int index) {
    return QDir(options.dir).filePath(QStringLiteral("photo-%1.jpg").arg(index, 4, 10, QLatin1Char('0')));
}

bool PhotosPresent(const Options& options) {
    for (int i = 1; i <= options.count; ++i)
        if (!QFileInfo::exists(PhotoPath(options, i))) return false;
    return true;
}

// A photo-like picture: colour ramps and noise so the JPEG is about as large as a camera's. Each file gets
// its own band of colour so no two are the same.
int GeneratePhotos(const Options& options) {
    QDir().mkpath(options.dir);
    QImage base(options.width, options.height, QImage::Format_RGB32);
    std::uint32_t seed = 12345;
    for (int y = 0; y < options.height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(base.scanLine(y));
        for (int x = 0; x < options.width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = int(seed >> 27);
            line[x] = qRgb((x * 255 / options.width + noise) & 255, (y * 255 / options.height + noise) & 255,
                           ((x + y) / 16 + noise) & 255);
        }
    }
    for (int i = 1; i <= options.count; ++i) {
        const QString path = PhotoPath(options, i);
        if (QFileInfo::exists(path)) continue;
        QImage photo = base;
        QPainter painter(&photo);
        painter.fillRect(0, (i * 37) % options.height, options.width, options.height / 20,
                         QColor::fromHsv((i * 47) % 360, 200, 220));
        painter.end();
        QImageWriter writer(path, "jpeg");
        writer.setQuality(90);
        if (!writer.write(photo)) {
            std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path), qPrintable(writer.errorString()));
            return 1;
        }
        if (i % 50 == 0) std::fprintf(stderr, "generated %d of %d\n", i, options.count);
    }
    return 0;
}

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--dir" && hasValue) {
            options.dir = QString::fromLocal8Bit(argv[++i]);
        } else if (arg == "--count" && hasValue) {
            options.count = std::atoi(argv[++i]);
        } else if (arg == "--size" && hasValue) {
            if (std::sscanf(argv[++i], "%dx%d", &options.width, &options.height) != 2) return false;
        } else if (arg == "--mode" && hasValue) {
            const std::string mode = argv[++i];
            if (mode != "strip" && mode != "view") return false;
            options.viewMode = mode == "view";
        } else {
            return false;
        }
    }
    return options.count > 0 && options.width > 0 && options.height > 0;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: %s [--dir DIR] [--count N] [--size WxH] [--mode strip|view]\n", argv[0]);
        return 2;
    }

    // The photos are made in a child process, so that making them does not count towards the peak.
    if (!PhotosPresent(options)) {
        std::fflush(nullptr);
        const pid_t child = fork();
        if (child < 0) return 1;
        if (child == 0) _exit(GeneratePhotos(options));
        int status = 0;
        waitpid(child, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return 1;
    }

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TThumbnailList list;
    list.resize(144, 800);
    list.SetColor(QColor(240, 240, 240));
    list.show();
    list.grab();
    const long baselineKb = bench::ResidentKb();

    qint64 fileBytes = 0;
    for (int i = 1; i <= options.count; ++i)
        fileBytes += QFileInfo(PhotoPath(options, i)).size();

    QElapsedTimer timer;
    timer.start();
    qint64 heldBytes = 0;
    qint64 pixelBytes = 0;
    std::vector<std::unique_ptr<TPictureHolder>> viewPictures;
    if (options.viewMode) {
        for (int i = 1; i <= options.count; ++i) {
            viewPictures.push_back(std::make_unique<TPictureHolder>());
            viewPictures.back()->LoadFile(PhotoPath(options, i));
        }
        for (const auto& picture : viewPictures) {
            heldBytes += picture->HeldBytes().size();
            pixelBytes += picture->DecodedByteCount();
        }
    } else {
        list.BeginFill();
        for (int i = 1; i <= options.count; ++i) {
            const QString path = PhotoPath(options, i);
            TThumbnail* item = list.Thumbnails().AddThumbnail();
            item->Picture().LoadFile(path);
            item->SetCaption(QFileInfo(path).fileName());
            item->SetFilename(path);
        }
        list.EndFill();
        // Paint every column once, as a user paging through the strip would.
        QScrollBar* bar = list.horizontalScrollBar();
        for (int column = 0; column <= bar->maximum(); ++column) {
            bar->setValue(column);
            list.grab();
        }
        for (int i = 0; i < list.Thumbnails().ThumbnailCount(); ++i) {
            const TPictureHolder& picture = list.Thumbnails().ThumbnailAt(i)->Picture();
            heldBytes += picture.HeldBytes().size();
            pixelBytes += picture.DecodedByteCount();
        }
    }
    const qint64 elapsedMs = timer.elapsed();

    const long peakKb = bench::PeakResidentKb();
    const long nowKb = bench::ResidentKb();
    std::printf("mode:                      %s\n",
                options.viewMode ? "view (whole file + full pixels)" : "strip");
    std::printf("photos:                    %d of %d x %d in %s\n", options.count, options.width,
                options.height, qPrintable(options.dir));
    std::printf("files on disk:             %.1f MiB\n", fileBytes / 1048576.0);
    std::printf("held file bytes:           %.1f MiB\n", heldBytes / 1048576.0);
    std::printf("decoded pixels kept:       %.2f MiB (%.1f KiB per photo)\n", pixelBytes / 1048576.0,
                pixelBytes / 1024.0 / options.count);
    std::printf("load time:                 %lld ms (%.1f ms per photo)\n", static_cast<long long>(elapsedMs),
                double(elapsedMs) / options.count);
    std::printf("RSS before filling:        %.1f MiB\n", baselineKb / 1024.0);
    std::printf("RSS after filling:         %.1f MiB (%.1f KiB per photo above the baseline)\n",
                nowKb / 1024.0, double(nowKb - baselineKb) / options.count);
    std::printf("peak RSS:                  %.1f MiB\n", peakKb / 1024.0);
    return 0;
}
