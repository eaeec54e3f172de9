// The thumbnail scan: workers read and decode, the scan's thread gets the files back in their order, each
// as loading it there would have made it; cancelling stops the hand-over at once and for good.
#include "ThumbnailScan.h"
#include "ExifThumbnailFiles.h"
#include "TestPictures.h"

#include <QDir>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <memory>
#include <vector>

using namespace quillmark;
using namespace exifthumbs;

namespace {

const QSize kBound(136, 43);

// Files of every kind a folder can hold, slow ones before fast ones so that the workers finish out of
// order: big photos without thumbnails, photos with thumbnails, tiny photos, a PNG and an animated GIF under
// photo names, a damaged file, a folder, a file that is not there.
struct MixedFolder {
    QTemporaryDir dir;
    QStringList files;

    MixedFolder() {
        const QColor colors[] = {Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::cyan, Qt::magenta};
        for (int i = 0; i < 18; ++i) {
            const QColor color = colors[i % 6];
            std::string bytes;
            switch (i % 3) {
            case 0:
                bytes = PhotoWithoutThumbnail(Halves(1800, 1200, color, Qt::white));
                break;
            case 1:
                bytes = PhotoWithThumbnail(Solid(1600, 1200, Qt::gray), Halves(160, 120, color, Qt::black));
                break;
            default:
                bytes = PhotoWithoutThumbnail(Solid(40 + i, 30, color));
                break;
            }
            Add(QStringLiteral("p%1.jpg").arg(i, 2, 10, QLatin1Char('0')), ToBytes(bytes));
        }
        Add(QStringLiteral("png.jpg"), testpictures::SolidPng(30, 20, Qt::blue));
        Add(QStringLiteral("anim.jpg"), testpictures::ThreeFrameGif().bytes);
        Add(QStringLiteral("damaged.jpg"), QByteArray("\xFF\xD8\xFF\xE1\x00\x10garbage", 13));
        QDir(dir.path()).mkdir(QStringLiteral("album.jpg"));
        files << dir.filePath(QStringLiteral("album.jpg")) << dir.filePath(QStringLiteral("gone.jpg"));
    }

    void Add(const QString& name, const QByteArray& bytes) {
        QVERIFY(testpictures::WriteFile(dir.filePath(name), bytes));
        files << dir.filePath(name);
    }
};

struct Handed {
    int index;
    TThumbnailLoad load;
};

// Runs a scan to its end in an event loop; what it handed over, in the order it did, and how often it said
// it was done.
std::vector<Handed> RunToEnd(TThumbnailScan& scan, int& done) {
    std::vector<Handed> handed;
    QEventLoop loop;
    done = 0;
    scan.OnReady = [&](int index, const TThumbnailLoad& load) { handed.push_back({index, load}); };
    scan.OnDone = [&] {
        ++done;
        loop.quit();
    };
    scan.Start();
    if (!scan.IsDone()) loop.exec();
    return handed;
}

void CompareLoads(const TThumbnailLoad& a, const TThumbnailLoad& b, const QString& file) {
    const QByteArray name = file.toUtf8();
    QVERIFY2(a.Read == b.Read && a.Decoded == b.Decoded && a.DecoderRan == b.DecoderRan, name);
    QVERIFY2(a.FromExifThumbnail == b.FromExifThumbnail && a.IsGif == b.IsGif && a.FrameCount == b.FrameCount,
             name);
    QVERIFY2(a.Frame == b.Frame, name);
    QVERIFY2(bool(a.Picture) == bool(b.Picture), name);
    if (a.Picture) {
        QVERIFY2(a.Picture->SourceSize() == b.Picture->SourceSize(), name);
        QVERIFY2(a.Picture->Image() == b.Picture->Image(), name);
    }
}

} // namespace

class ThumbnailScanTest : public QObject {
    Q_OBJECT

private slots:
    // Damaged files are the point of some cases here; libjpeg's complaints about them are not.
    void initTestCase() {
        QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio.jpeg.warning=false"));
    }

    void handsOverInFileOrderWhatALoadWouldMake() {
        MixedFolder folder;
        // What loading each file on this thread makes.
        std::vector<TThumbnailLoad> serial;
        for (const QString& file : folder.files)
            serial.push_back(PrepareThumbnailLoad(file, kBound));
        QVERIFY(serial[1].FromExifThumbnail);
        QVERIFY(!serial[0].FromExifThumbnail && serial[0].Decoded);
        QVERIFY(serial[folder.files.size() - 4].IsGif);
        QVERIFY(!serial.back().Read);

        for (const int threads : {1, 2, 4}) {
            TThumbnailScan scan(folder.files, kBound, threads);
            QCOMPARE(scan.Threads(), threads);
            int done = 0;
            const std::vector<Handed> handed = RunToEnd(scan, done);
            QCOMPARE(done, 1);
            QCOMPARE(int(handed.size()), int(folder.files.size()));
            for (size_t i = 0; i < handed.size(); ++i) {
                QCOMPARE(handed[i].index, int(i));
                CompareLoads(handed[i].load, serial[i], folder.files[int(i)]);
            }
            QVERIFY(scan.IsDone());
            QVERIFY(!scan.IsCancelled());
            QCOMPARE(scan.Delivered(), int(folder.files.size()));
        }
        // By default one worker per core.
        TThumbnailScan scan(folder.files, kBound);
        QCOMPARE(scan.Threads(), std::max(1, QThread::idealThreadCount()));
    }

    void manySmallFilesArriveInOrder() {
        QTemporaryDir dir;
        QStringList files;
        for (int i = 0; i < 150; ++i) {
            files << dir.filePath(QStringLiteral("%1.jpg").arg(i));
            QVERIFY(testpictures::WriteFile(files.last(),
                                            ToBytes(PhotoWithoutThumbnail(Solid(8 + i % 7, 8, Qt::red)))));
        }
        TThumbnailScan scan(files, kBound, 4);
        int done = 0;
        const std::vector<Handed> handed = RunToEnd(scan, done);
        QCOMPARE(done, 1);
        QCOMPARE(int(handed.size()), 150);
        for (int i = 0; i < 150; ++i) {
            QCOMPARE(handed[size_t(i)].index, i);
            QCOMPARE(handed[size_t(i)].load.Picture->SourceSize(), QSize(8 + i % 7, 8));
        }
    }

    void anEmptyListIsDoneAtOnce() {
        TThumbnailScan scan({}, kBound);
        int ready = 0, done = 0;
        scan.OnReady = [&](int, const TThumbnailLoad&) { ++ready; };
        scan.OnDone = [&] { ++done; };
        scan.Start();
        QVERIFY(scan.IsDone());
        QCOMPARE(done, 1);
        QCOMPARE(ready, 0);
    }

    void cancellingStopsTheHandOver() {
        MixedFolder folder;
        // From inside a hand-over: nothing after it, even from results already waiting.
        {
            TThumbnailScan scan(folder.files, kBound, 2);
            std::vector<int> indexes;
            int done = 0;
            QEventLoop loop;
            scan.OnReady = [&](int index, const TThumbnailLoad&) {
                indexes.push_back(index);
                if (index == 2) scan.Cancel();
            };
            scan.OnDone = [&] {
                ++done;
                loop.quit();
            };
            scan.Start();
            loop.exec();
            QTest::qWait(100);
            QCOMPARE(indexes, (std::vector<int>{0, 1, 2}));
            QCOMPARE(done, 1);
            QVERIFY(scan.IsCancelled());
            scan.Cancel(); // again: nothing more happens
            QCOMPARE(done, 1);
        }
        // From the event loop while the workers run.
        {
            TThumbnailScan scan(folder.files, kBound, 2);
            bool cancelled = false, handedAfter = false;
            int done = 0;
            scan.OnReady = [&](int, const TThumbnailLoad&) { handedAfter = handedAfter || cancelled; };
            scan.OnDone = [&] { ++done; };
            QTimer::singleShot(0, [&] {
                scan.Cancel();
                cancelled = true;
            });
            scan.Start();
            QTRY_VERIFY(cancelled);
            QTest::qWait(200);
            QVERIFY(!handedAfter);
            QVERIFY(scan.Delivered() < int(folder.files.size()));
            QCOMPARE(done, 1);
        }
        // Gone while its workers decode: they finish their file and the results go nowhere.
        {
            bool handed = false;
            auto scan = std::make_unique<TThumbnailScan>(folder.files, kBound, 2);
            scan->OnReady = [&](int, const TThumbnailLoad&) { handed = true; };
            scan->Start();
            QThread::msleep(5);
            scan.reset();
            QTest::qWait(100);
            QVERIFY(!handed);
        }
    }
};

QTEST_MAIN(ThumbnailScanTest)
#include "ThumbnailScanTest.moc"
