// The shared thumbnail cache: names other programs agree on, thumbnails only while their file is unchanged,
// private and atomic writes, failures remembered, and nothing cached of the cache itself.
#include "ThumbnailCache.h"
#include "ThumbnailScan.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <utime.h>

using namespace quillmark;

namespace {

QString WritePhoto(const QString& path) {
    QImage image(400, 300, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    image.save(path, "JPEG");
    return path;
}

void SetModificationTime(const QString& path, time_t seconds) {
    struct utimbuf times {
        seconds, seconds
    };
    QVERIFY(::utime(QFile::encodeName(path).constData(), &times) == 0);
}

int ModeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

} // namespace

class ThumbnailCacheTest : public QObject {
    Q_OBJECT

private slots:
    void namesAgreeWithOtherPrograms_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("uri");
        QTest::newRow("plain") << "/home/jens/photos/me.png" << QByteArray("file:///home/jens/photos/me.png");
        QTest::newRow("space and accent") << QString::fromUtf8("/p/a b/\xC3\xA9t\xC3\xA9.jpg")
                                          << QByteArray("file:///p/a%20b/%C3%A9t%C3%A9.jpg");
        QTest::newRow("reserved") << "/p/x#1%?.jpg" << QByteArray("file:///p/x%231%25%3F.jpg");
    }
    void namesAgreeWithOtherPrograms() {
        QFETCH(QString, path);
        QFETCH(QByteArray, uri);
        QCOMPARE(TThumbnailCache::FileUri(path), uri);
        // The standard's own example.
        QCOMPARE(TThumbnailCache::ThumbnailName("file:///home/jens/photos/me.png"),
                 QStringLiteral("c6ee772d9e49320e97ec29a7eb5b1697.png"));
    }

    void storedThumbnailIsFoundUntilTheFileChanges() {
        QTemporaryDir home;
        const TThumbnailCache cache(home.filePath("cache/thumbnails"));
        const QString photo = WritePhoto(home.filePath("photo.jpg"));
        SetModificationTime(photo, 1700000000);
        QVERIFY(!cache.Find(photo, TThumbnailCache::Flavour::Normal));

        QImage picture(400, 300, QImage::Format_RGB32);
        picture.fill(Qt::red);
        QVERIFY(cache.Store(photo, picture, QSize(4000, 3000), TThumbnailCache::Flavour::Normal));
        const QString stored = cache.FolderOf(TThumbnailCache::Flavour::Normal) + "/" +
                               TThumbnailCache::ThumbnailName(TThumbnailCache::FileUri(photo));
        QCOMPARE(ModeOf(stored), 0600);
        QCOMPARE(ModeOf(cache.FolderOf(TThumbnailCache::Flavour::Normal)), 0700);
        QCOMPARE(ModeOf(cache.Root()), 0700);
        QCOMPARE(QDir(cache.FolderOf(TThumbnailCache::Flavour::Normal)).entryList(QDir::Files).size(), 1);

        auto found = cache.Find(photo, TThumbnailCache::Flavour::Normal);
        QVERIFY(found);
        QCOMPARE(found->Image.size(), QSize(128, 96));
        QCOMPARE(found->SourceSize, QSize(4000, 3000));
        QCOMPARE(found->Image.pixelColor(64, 48), QColor(Qt::red));
        // A normal cell is not served by a large thumbnail that is missing, but a large cell asks for large.
        QVERIFY(!cache.Find(photo, TThumbnailCache::Flavour::Large));

        // The photo changed: the thumbnail is stale until it is replaced.
        SetModificationTime(photo, 1700000100);
        QVERIFY(!cache.Find(photo, TThumbnailCache::Flavour::Normal));
        picture.fill(Qt::blue);
        QVERIFY(cache.Store(photo, picture, QSize(), TThumbnailCache::Flavour::Normal));
        found = cache.Find(photo, TThumbnailCache::Flavour::Normal);
        QVERIFY(found);
        QCOMPARE(found->Image.pixelColor(10, 10), QColor(Qt::blue));
        QVERIFY(!found->SourceSize.isValid());
        QCOMPARE(QDir(cache.FolderOf(TThumbnailCache::Flavour::Normal)).entryList(QDir::Files).size(), 1);
    }

    void thumbnailsOfOtherProgramsAreUsed() {
        QTemporaryDir home;
        const TThumbnailCache cache(home.filePath("thumbnails"));
        const QString photo = WritePhoto(home.filePath("other.jpg"));
        SetModificationTime(photo, 1600000000);
        QImage theirs(256, 192, QImage::Format_RGB32);
        theirs.fill(Qt::green);
        theirs.setText("Thumb::URI", QString::fromUtf8(TThumbnailCache::FileUri(photo)));
        theirs.setText("Thumb::MTime", "1600000000");
        QVERIFY(QDir().mkpath(cache.FolderOf(TThumbnailCache::Flavour::Large)));
        QVERIFY(theirs.save(cache.FolderOf(TThumbnailCache::Flavour::Large) + "/" +
                            TThumbnailCache::ThumbnailName(TThumbnailCache::FileUri(photo))));
        // A large one serves a normal cell as well.
        const auto found = cache.Find(photo, TThumbnailCache::Flavour::Normal);
        QVERIFY(found);
        QCOMPARE(found->Image.size(), QSize(256, 192));

        // A shared repository beside the file, as removable media carry.
        const QString other = WritePhoto(home.filePath("card.jpg"));
        SetModificationTime(other, 1600000000);
        QVERIFY(QDir().mkpath(home.filePath(".sh_thumbnails/normal")));
        theirs.setText("Thumb::URI", "card.jpg");
        QVERIFY(theirs.save(home.filePath(".sh_thumbnails/normal/") +
                            TThumbnailCache::ThumbnailName("card.jpg")));
        QVERIFY(cache.Find(other, TThumbnailCache::Flavour::Normal));
    }

    void failuresAreRememberedAndTheCacheIsNotCached() {
        QTemporaryDir home;
        const TThumbnailCache cache(home.filePath("thumbnails"));
        const QString broken = home.filePath("broken.jpg");
        QFile file(broken);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("\xFF\xD8 not really");
        file.close();
        QVERIFY(!cache.HasFailed(broken));
        QVERIFY(cache.StoreFailure(broken));
        QVERIFY(cache.HasFailed(broken));
        QVERIFY(cache.FailFolder().contains("/fail/quillmark-"));
        SetModificationTime(broken, 1500000000);
        QVERIFY(!cache.HasFailed(broken)); // changed since: worth another try

        QVERIFY(QDir().mkpath(cache.FolderOf(TThumbnailCache::Flavour::Normal)));
        const QString inside = WritePhoto(cache.FolderOf(TThumbnailCache::Flavour::Normal) + "/x.png");
        QVERIFY(!cache.MayCache(inside));
        QVERIFY(!cache.Store(inside, QImage(10, 10, QImage::Format_RGB32), QSize(),
                             TThumbnailCache::Flavour::Normal));
        QVERIFY(!cache.MayCache(home.path())); // a folder
        QVERIFY(!cache.Store(home.filePath("missing.jpg"), QImage(10, 10, QImage::Format_RGB32), QSize(),
                             TThumbnailCache::Flavour::Normal));
    }

    // A folder scanned twice with the cache in use: the second scan takes every thumbnail from the cache, a
    // photo changed since is decoded again and its thumbnail replaced, and a file no decoder takes is not
    // tried again. The cells hold no more pixels than a decode for them would.
    void scanReadsAndFillsTheCache() {
        QTemporaryDir home;
        auto cache = std::make_shared<const TThumbnailCache>(home.filePath("thumbnails"));
        QStringList files;
        for (const QColor& color : {QColor(Qt::red), QColor(Qt::blue)}) {
            QImage image(1200, 800, QImage::Format_RGB32);
            image.fill(color);
            files << home.filePath(QStringLiteral("photo%1.jpg").arg(files.size()));
            QVERIFY(image.save(files.back(), "JPEG"));
        }
        files << home.filePath("broken.jpg");
        QFile broken(files.back());
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write(QByteArray("\xFF\xD8\xFF\xE0 damaged", 13));
        broken.close();

        auto scan = [&] {
            std::vector<TThumbnailLoad> loads(size_t(files.size()));
            TThumbnailScan s(files, QSize(136, 43), 1);
            QEventLoop loop;
            s.OnReady = [&](int index, const TThumbnailLoad& load) { loads[size_t(index)] = load; };
            s.OnDone = [&] { loop.quit(); };
            s.Start();
            if (!s.IsDone()) loop.exec();
            return loads;
        };
        UseThumbnailCache(cache);
        const auto first = scan();
        QVERIFY(first[0].Decoded && first[1].Decoded && !first[2].Decoded);
        QCOMPARE(first[0].Picture->Image().size(), QSize(64, 43));
        const QString normal = cache->FolderOf(TThumbnailCache::Flavour::Normal);
        QCOMPARE(QDir(normal).entryList(QDir::Files).size(), 2);
        QVERIFY(cache->HasFailed(files[2]));

        // Marks the cached thumbnail of the first photo, to see that the next scan takes it from there.
        const QString name =
            normal + "/" + TThumbnailCache::ThumbnailName(TThumbnailCache::FileUri(files[0]));
        QImage cached(name);
        QCOMPARE(cached.size(), QSize(128, 85));
        QCOMPARE(cached.text("Thumb::Image::Width"), QStringLiteral("1200"));
        cached.fill(Qt::green);
        QVERIFY(cached.save(name, "PNG"));
        const auto second = scan();
        QCOMPARE(second[0].Picture->Image().size(), QSize(64, 43));
        QCOMPARE(second[0].Picture->Image().pixelColor(10, 10), QColor(Qt::green));
        QCOMPARE(second[0].Picture->SourceSize(), QSize(1200, 800));
        QVERIFY(!second[2].Decoded);

        // The photo changes: its thumbnail is made again.
        SetModificationTime(files[0], 1400000000);
        const auto third = scan();
        UseThumbnailCache(nullptr);
        QVERIFY(third[0].Picture->Image().pixelColor(10, 10) != QColor(Qt::green));
        QVERIFY(QImage(name).pixelColor(10, 10) != QColor(Qt::green));
    }

    void defaultRootFollowsXdgCacheHome() {
        qputenv("XDG_CACHE_HOME", "/tmp/xdg-cache-test");
        QCOMPARE(TThumbnailCache().Root(), QStringLiteral("/tmp/xdg-cache-test/thumbnails"));
        qputenv("XDG_CACHE_HOME", "relative");
        QCOMPARE(TThumbnailCache().Root(), QDir::homePath() + "/.cache/thumbnails");
        qunsetenv("XDG_CACHE_HOME");
    }
};

QTEST_MAIN(ThumbnailCacheTest)
#include "ThumbnailCacheTest.moc"
