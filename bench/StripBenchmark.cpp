// Filling the thumbnail strip from a folder, against libjpeg-turbo decoding the same files at 1/8 scale.
//
//   StripBenchmark FOLDER [--rounds N] [--summary FILE] [--title TEXT]
//
// Runs the viewer's own window headless (offscreen unless QT_QPA_PLATFORM says otherwise) and times its
// folder scan (ScanFolder: listing, workers, the strip filled in order, rows synced once) with an empty
// thumbnail cache (a private one, in a temporary folder) and again with the cache it has just filled, then
// the same fill with a single worker and no cache, then DecodeJpegFile(file, 8) over every file on one
// thread. Every file is read once
// beforehand, so all three read from the page cache. The viewer's peak resident memory is taken right after
// its first scan, before anything else runs. Then the folder is flipped through with Next at a reader's pace
// (each photo painted, and its neighbours decoded ahead, before the next key), with the time of each Next
// and the resident memory after it. Prints the times side by side with their ratios; --summary
// also writes the short table to FILE.
#include "JpegCodec.h"
#include "MainView.h"
#include "Median.h"
#include "Prefetch.h"
#include "ProcessMemory.h"
#include "ThumbnailCache.h"
#include "ThumbnailList.h"
#include "ThumbnailScan.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

using namespace quillmark;

namespace {

struct Options {
    QString folder;
    int rounds = 3;
    QString summary;
    QString title;
};

// The files the scan lists, in its order.
QStringList JpegFiles(const QString& folder) {
    QStringList paths;
    const QDir dir(folder);
    for (const QString& name : dir.entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name))
        paths << dir.filePath(name);
    return paths;
}

qint64 ReadAll(const QStringList& files) {
    qint64 total = 0;
    for (const QString& path : files) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) total += file.readAll().size();
    }
    return total;
}

// A strip filled by a scan with one worker, as the window fills it but without the window.
double FillWithOneWorker(const QStringList& files) {
    TThumbnailList list;
    list.resize(144, 600);
    list.SetThumbnailSize(64);
    list.show();
    QElapsedTimer timer;
    timer.start();
    list.BeginFill();
    TThumbnailScan scan(files, list.PictureDecodeBound(), 1);
    QEventLoop loop;
    scan.OnReady = [&](int index, const TThumbnailLoad& load) {
        TThumbnail* item = list.Thumbnails().AddThumbnail();
        item->Picture().LoadPrepared(files.at(index), load);
        item->SetCaption(QFileInfo(files.at(index)).fileName());
        item->SetFilename(files.at(index));
    };
    scan.OnDone = [&] { loop.quit(); };
    scan.Start();
    if (!scan.IsDone()) loop.exec();
    list.EndFill();
    return timer.nsecsElapsed() / 1e9;
}

bool Parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool value = i + 1 < argc;
        if (arg == "--rounds" && value)
            options.rounds = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--summary" && value)
            options.summary = QString::fromLocal8Bit(argv[++i]);
        else if (arg == "--title" && value)
            options.title = QString::fromLocal8Bit(argv[++i]);
        else if (options.folder.isEmpty() && arg.rfind("--", 0) != 0)
            options.folder = QString::fromLocal8Bit(argv[i]);
        else
            return false;
    }
    return !options.folder.isEmpty();
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!Parse(argc, argv, options)) {
        std::fprintf(stderr, "usage: %s FOLDER [--rounds N] [--summary FILE] [--title TEXT]\n", argv[0]);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList files = JpegFiles(options.folder);
    if (files.isEmpty()) {
        std::fprintf(stderr, "no *.jpg files in %s\n", qPrintable(options.folder));
        return 1;
    }
    const qint64 bytes = ReadAll(files);

    // The viewer's scan, as Open Folder runs it, with a thumbnail cache of its own.
    QTemporaryDir cacheHome;
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cacheHome.path()));
    TViewerWindows windows;
    TForm1& form = windows.Form1();
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) return 1;
    std::vector<double> viewerTimes, warmTimes;
    long peakKb = 0;
    int fromThumbnails = 0;
    for (int round = 0; round < options.rounds; ++round) {
        QDir(cacheHome.path()).removeRecursively();
        QDir().mkpath(cacheHome.path());
        form.CloseAll1Click();
        QElapsedTimer timer;
        timer.start();
        form.ScanFolder(options.folder);
        viewerTimes.push_back(timer.nsecsElapsed() / 1e9);
        // Opened again: the thumbnails the first opening decoded now come from the cache.
        form.CloseAll1Click();
        timer.restart();
        form.ScanFolder(options.folder);
        warmTimes.push_back(timer.nsecsElapsed() / 1e9);
        if (round == 0) {
            peakKb = bench::PeakResidentKb();
            const TThumbnails& strip = form.ThumbnailList1->Thumbnails();
            if (strip.ThumbnailCount() != files.size()) {
                std::fprintf(stderr, "the strip holds %d items for %lld files\n", strip.ThumbnailCount(),
                             static_cast<long long>(files.size()));
                return 1;
            }
            for (int i = 0; i < strip.ThumbnailCount(); ++i)
                fromThumbnails += strip.ThumbnailAt(i)->Picture().FromExifThumbnail() ? 1 : 0;
        }
    }
    const int threads = TThumbnailScan(files, QSize(1, 1)).Threads();

    // Flipping through the whole folder from the first photo, key to painted frame.
    std::vector<double> nextTimes;
    double flipResidentMb = 0;
    for (int i = 0; i < files.size(); ++i) {
        QElapsedTimer timer;
        timer.start();
        form.ToolButton6Click();
        QCoreApplication::processEvents();
        if (i > 0) nextTimes.push_back(timer.nsecsElapsed() / 1e9);
        if (form.Prefetch) form.Prefetch->WaitUntilIdle();
        flipResidentMb = std::max(flipResidentMb, bench::ResidentMb());
    }
    const double nextWorst = nextTimes.empty() ? 0 : *std::max_element(nextTimes.begin(), nextTimes.end());
    form.CloseAll1Click();
    UseThumbnailCache(nullptr);

    std::vector<double> oneWorker;
    for (int round = 0; round < options.rounds; ++round)
        oneWorker.push_back(FillWithOneWorker(files));

    // libjpeg-turbo alone at 1/8 scale, one file after another.
    std::vector<double> decodeTimes;
    for (int round = 0; round < options.rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        for (const QString& path : files) {
            try {
                (void)DecodeJpegFile(QFile::encodeName(path).toStdString(), 8);
            } catch (const JpegCodecError& error) {
                std::fprintf(stderr, "%s: %s\n", qPrintable(path), error.what());
                return 1;
            }
        }
        decodeTimes.push_back(timer.nsecsElapsed() / 1e9);
    }

    const double viewer = Median(viewerTimes), warm = Median(warmTimes), single = Median(oneWorker),
                 decode = Median(decodeTimes);
    const QString title = options.title.isEmpty() ? options.folder : options.title;
    char text[2048];
    std::snprintf(text, sizeof text,
                  "%s: %lld files, %.0f MiB, %d thumbnails from EXIF thumbnails (median of %d rounds)\n"
                  "  libjpeg-turbo 1/8 decode, 1 thread   %8.3f s\n"
                  "  strip fill, viewer (%d workers)       %8.3f s   %6.3fx the decode time, %6.1fx faster\n"
                  "  strip fill, 1 worker                 %8.3f s   %6.3fx the decode time, %6.1fx faster\n"
                  "  reopened, thumbnails from the cache  %8.3f s   %6.3fx the first opening\n"
                  "  viewer's peak memory after the scan  %8.1f MiB\n"
                  "  flipping through with Next           %8.1f ms median, %.1f ms at worst, key to painted\n"
                  "  resident while flipping, at most     %8.1f MiB (process peak %.1f MiB)\n",
                  qPrintable(title), static_cast<long long>(files.size()), bytes / 1048576.0, fromThumbnails,
                  options.rounds, decode, threads, viewer, viewer / decode, decode / viewer, single,
                  single / decode, decode / single, warm, warm / viewer, peakKb / 1024.0,
                  1000 * Median(nextTimes), 1000 * nextWorst, flipResidentMb,
                  bench::PeakResidentKb() / 1024.0);
    std::fputs(text, stdout);
    if (!options.summary.isEmpty()) {
        QFile out(options.summary);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(text) < 0) return 1;
    }
    return 0;
}
