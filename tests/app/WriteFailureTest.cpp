// Writes that fail part-way or cannot start: Save as and Write Small into a folder the user may not
// write to, over a file the user made read-only, and onto a disk that fills up (a file-size limit
// stands in for it). Each time the file that was there is byte for byte what it was, nothing is left
// behind, and the user is told in words which file could not be written and why.
#include "AppTestSupport.h"
#include "JpegCodec.h"
#include "PictureView.h"

#include <QRandomGenerator>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace apptest;
using namespace quillmark;

namespace {

// Root may write anywhere. While a test needs a folder that cannot be written to, the process
// runs as the unprivileged user "nobody" (real and effective ids, so that access checks agree with
// the file system), keeping root as its saved id to come back to.
class TUnprivilegedFiles {
public:
    TUnprivilegedFiles() {
        if (::geteuid() != 0) return;
        active_ = ::setresgid(65534, 65534, 0) == 0 && ::setresuid(65534, 65534, 0) == 0;
    }
    ~TUnprivilegedFiles() {
        if (::getuid() == 65534 || active_) {
            QVERIFY(::setresuid(0, 0, 0) == 0);
            QVERIFY(::setresgid(0, 0, 0) == 0);
        }
    }
    TUnprivilegedFiles(const TUnprivilegedFiles&) = delete;
    TUnprivilegedFiles& operator=(const TUnprivilegedFiles&) = delete;

private:
    bool active_ = false;
};

// Pixels that no encoder can squeeze much: a picture file many times larger than a kilobyte.
QImage Noise(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, random.generate() | 0xFF000000u);
    return image;
}

// Whether a file can be made in the folder by whoever runs the test (after giving up root's rights).
bool CanCreateIn(const QString& folder) {
    QFile probe(folder + QStringLiteral("/probe"));
    if (!probe.open(QIODevice::WriteOnly)) return false;
    probe.close();
    probe.remove();
    return true;
}

// A file-size limit for the duration of a scope: write() fails with EFBIG once a file would grow past
// it, part-way through, as it fails with ENOSPC on a full disk.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t bytes) {
        previousSignal_ = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~TFileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousSignal_);
    }

private:
    rlimit previous_{};
    void (*previousSignal_)(int) = nullptr;
};

QStringList Listing(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

// A folder the test owns, open to everyone so that "nobody" can reach what is inside: a locked
// folder (read and enter only) holding an old file, and an open folder holding a read-only file.
struct TFolders {
    QTemporaryDir dir;
    QString locked, open, lockedOld, readOnlyOld;

    TFolders() {
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                              QFileDevice::ExeOther | QFileDevice::ReadGroup |
                                              QFileDevice::ExeGroup);
        QDir(dir.path()).mkpath(QStringLiteral("locked"));
        QDir(dir.path()).mkpath(QStringLiteral("open"));
        locked = dir.filePath(QStringLiteral("locked"));
        open = dir.filePath(QStringLiteral("open"));
        lockedOld = locked + QStringLiteral("/old.jpg");
        readOnlyOld = open + QStringLiteral("/readonly.jpg");
        WriteBytes(lockedOld, QByteArray("the old file in a locked folder"));
        WriteBytes(readOnlyOld, QByteArray("a file its owner made read-only"));
        const auto all = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                         QFileDevice::WriteGroup | QFileDevice::ReadOther | QFileDevice::WriteOther;
        QFile::setPermissions(lockedOld, all);
        QFile::setPermissions(readOnlyOld,
                              QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
        QFile::setPermissions(open,
                              all | QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther);
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                          QFileDevice::ReadGroup | QFileDevice::ExeGroup |
                                          QFileDevice::ReadOther | QFileDevice::ExeOther);
    }
    ~TFolders() {
        QFile::setPermissions(locked,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
};

} // namespace

class WriteFailureTest : public apptest::TViewerTestCase {
    Q_OBJECT

private slots:
    void saveAsWhereTheUserMayNotWrite_data() {
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("reason"); // %1: the target
        QTest::newRow("new name in a locked folder") << "locked/new.jpg"
                                                     << "Permission denied";
        QTest::newRow("existing file in a locked folder") << "locked/old.jpg"
                                                          << "Permission denied";
        QTest::newRow("read-only file in an open folder") << "open/readonly.jpg"
                                                          << "Existing file %1 is not writable";
    }
    void saveAsWhereTheUserMayNotWrite() {
        QFETCH(QString, where);
        QFETCH(QString, reason);
        TFolders folders;
        const QString photo = folders.dir.filePath(QStringLiteral("photo.jpg"));
        WriteBytes(photo, ExifJpeg(64, 48));
        Viewer viewer({photo});
        const QString target = folders.dir.filePath(where);
        const QByteArray before = ReadAll(target);
        const QStringList lockedBefore = Listing(folders.locked), openBefore = Listing(folders.open);
        TestPlatform().SaveAnswers << target;
        {
            TUnprivilegedFiles unprivileged;
            if (CanCreateIn(folders.locked)) QSKIP("this user may write anywhere");
            viewer.Trigger("Saveas1");
        }
        QCOMPARE(TestPlatform().Messages,
                 QStringList{QStringLiteral("Cannot write %1: ").arg(target) + reason.arg(target)});
        QCOMPARE(ReadAll(target), before);
        QCOMPARE(Listing(folders.locked), lockedBefore);
        QCOMPARE(Listing(folders.open), openBefore);
    }

    void writeSmallWhereTheUserMayNotWrite_data() {
        QTest::addColumn<QString>("where");
        QTest::newRow("new name in a locked folder") << "locked/new.jpg";
        QTest::newRow("existing file in a locked folder") << "locked/old.jpg";
        QTest::newRow("read-only file in an open folder") << "open/readonly.jpg";
    }
    void writeSmallWhereTheUserMayNotWrite() {
        QFETCH(QString, where);
        TFolders folders;
        const QString photo = folders.dir.filePath(QStringLiteral("photo.jpg"));
        WriteBytes(photo, ExifJpeg(64, 48, "Words", 20));
        Viewer viewer({photo});
        const QString target = folders.dir.filePath(where);
        const QByteArray before = ReadAll(target);
        const QStringList lockedBefore = Listing(folders.locked), openBefore = Listing(folders.open);
        TestPlatform().SaveAnswers << target;
        {
            TUnprivilegedFiles unprivileged;
            if (CanCreateIn(folders.locked)) QSKIP("this user may write anywhere");
            viewer.Trigger("WriteSmall1");
        }
        QCOMPARE(TestPlatform().Messages, QStringList{QStringLiteral("Cannot write ") + target +
                                                      QStringLiteral(": Permission denied")});
        QCOMPARE(ReadAll(target), before);
        QCOMPARE(Listing(folders.locked), lockedBefore);
        QCOMPARE(Listing(folders.open), openBefore);
    }

    void writeSmallOntoAFullDisk() {
        QTemporaryDir dir;
        const QString photo = dir.filePath(QStringLiteral("large.jpg"));
        WriteBytes(photo, ExifJpeg(640, 480, "Keep me", 20));
        const QString target = dir.filePath(QStringLiteral("large_smaller.jpg"));
        WriteBytes(target, QByteArray("the copy made last week"));
        Viewer viewer({photo});
        TestPlatform().SaveAnswers << target;
        {
            TFileSizeLimit limit(2048);
            viewer.Trigger("WriteSmall1");
        }
        QCOMPARE(TestPlatform().Messages,
                 QStringList{QStringLiteral("Cannot write ") + target + QStringLiteral(": File too large")});
        QCOMPARE(ReadAll(target), QByteArray("the copy made last week"));
        QCOMPARE(Listing(dir.path()),
                 (QStringList{QStringLiteral("large.jpg"), QStringLiteral("large_smaller.jpg")}));

        // With room on the disk again the same command writes the copy.
        TestPlatform().Messages.clear();
        TestPlatform().SaveAnswers << target;
        viewer.form().ShowPhoto(photo, false);
        viewer.Trigger("WriteSmall1");
        QVERIFY(TestPlatform().Messages.isEmpty());
        const QByteArray written = ReadAll(target);
        const TJpegSize size = ReadJpegSize(std::string_view(written.constData(), size_t(written.size())));
        QCOMPARE(QSize(size.Width, size.Height), QSize(320, 240));
    }

    void saveAsOfASmallFileOntoAFullDisk() {
        // A file smaller than the writer's buffer reaches the disk only when the buffer is flushed;
        // a flush that fails must not put the short file in the target's place.
        QTemporaryDir dir;
        const QString photo = dir.filePath(QStringLiteral("small.jpg"));
        WriteBytes(photo, ExifJpeg(48, 32));
        QVERIFY(QFileInfo(photo).size() > 1024 && QFileInfo(photo).size() < 16384);
        const QString target = dir.filePath(QStringLiteral("copy.jpg"));
        WriteBytes(target, QByteArray("the copy that was there"));
        Viewer viewer({photo});
        TestPlatform().SaveAnswers << target;
        {
            TFileSizeLimit limit(1024);
            viewer.Trigger("Saveas1");
        }
        QCOMPARE(TestPlatform().Messages,
                 QStringList{QStringLiteral("Cannot write %1: File too large").arg(target)});
        QCOMPARE(ReadAll(target), QByteArray("the copy that was there"));
        QCOMPARE(Listing(dir.path()), (QStringList{QStringLiteral("copy.jpg"), QStringLiteral("small.jpg")}));
    }

    void saveAsOntoAFullDiskAfterATurn() {
        // A turned picture is encoded anew (here as PNG) before it is written: the failure comes
        // part-way through writing the encoded bytes.
        QTemporaryDir dir;
        const QString photo = dir.filePath(QStringLiteral("photo.png"));
        WriteBytes(photo, Png(Noise(120, 80)));
        const QString target = dir.filePath(QStringLiteral("turned.png"));
        WriteBytes(target, QByteArray("an older turned copy"));
        Viewer viewer({photo});
        viewer.Trigger("RotateRight1");
        TestPlatform().SaveAnswers << target;
        {
            TFileSizeLimit limit(1024);
            viewer.Trigger("Saveas1");
        }
        QCOMPARE(TestPlatform().Messages,
                 QStringList{QStringLiteral("Cannot write %1: File too large").arg(target)});
        QCOMPARE(ReadAll(target), QByteArray("an older turned copy"));
        QCOMPARE(Listing(dir.path()),
                 (QStringList{QStringLiteral("photo.png"), QStringLiteral("turned.png")}));
    }
};

QUILLMARK_APP_TEST_MAIN(WriteFailureTest)
#include "WriteFailureTest.moc"
