// Whole-picture operations: exact quarter and half turns, the formats Save as writes, writing files that
// replace their target only when complete, and the half-size copy's picture.
#include "PictureOps.h"
#include "AppTestSupport.h"

#include <QBuffer>
#include <QImageReader>

#include <csignal>
#include <sys/resource.h>

using namespace apptest;
using namespace quillmark;

Q_DECLARE_METATYPE(quillmark::TPictureFormat)

namespace {

QImage Decode(const QByteArray& bytes) {
    QImage image;
    image.loadFromData(bytes);
    return image.convertToFormat(QImage::Format_RGB32);
}

// Sets a limit on the size of files this process writes, and lifts it again when it goes.
struct FileSizeLimit {
    rlimit previous{};
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN); // a write past the limit then fails with EFBIG instead of a signal
        getrlimit(RLIMIT_FSIZE, &previous);
        rlimit limit = previous;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &previous); }
};

} // namespace

class PictureOpsTest : public QObject {
    Q_OBJECT

private slots:
    void turnsMoveEveryPixelExactly() {
        const QImage source = DistinctPixels(4, 2);
        const int w = source.width(), h = source.height();

        const QImage right = RotateQuarterTurns(source, 90);
        QCOMPARE(right.size(), QSize(2, 4));
        const QImage left = RotateQuarterTurns(source, -90);
        QCOMPARE(left.size(), QSize(2, 4));
        const QImage half = RotateQuarterTurns(source, 180);
        QCOMPARE(half.size(), QSize(4, 2));
        for (int y = 0; y < right.height(); ++y)
            for (int x = 0; x < right.width(); ++x) {
                QCOMPARE(right.pixel(x, y), source.pixel(y, h - 1 - x));
                QCOMPARE(left.pixel(x, y), source.pixel(w - 1 - y, x));
            }
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                QCOMPARE(half.pixel(x, y), source.pixel(w - 1 - x, h - 1 - y));
        // Nothing black crept in: the first column of a right turn is the source's last row.
        QCOMPARE(right.pixel(0, 0), source.pixel(0, 1));
    }

    void turnsPicturesLargerThanOneTile() {
        // Sizes that leave partial tiles at both edges.
        const QImage source = DistinctPixels(150, 70);
        const int w = source.width(), h = source.height();
        const QImage right = RotateQuarterTurns(source, 90);
        const QImage left = RotateQuarterTurns(source, -90);
        QCOMPARE(right.size(), QSize(h, w));
        for (int y = 0; y < w; ++y)
            for (int x = 0; x < h; ++x) {
                QCOMPARE(right.pixel(x, y), source.pixel(y, h - 1 - x));
                QCOMPARE(left.pixel(x, y), source.pixel(w - 1 - y, x));
            }
    }

    void turnsAddUpWithoutLoss() {
        const QImage source = DistinctPixels(7, 5);
        QImage turned = source;
        for (int i = 0; i < 4; ++i)
            turned = RotateQuarterTurns(turned, 90);
        QCOMPARE(turned, source);
        QCOMPARE(RotateQuarterTurns(RotateQuarterTurns(source, 90), -90), source);
        QCOMPARE(RotateQuarterTurns(RotateQuarterTurns(source, 90), 90), RotateQuarterTurns(source, 180));
        QCOMPARE(RotateQuarterTurns(RotateQuarterTurns(source, 180), 180), source);
        QCOMPARE(RotateQuarterTurns(source, 270), RotateQuarterTurns(source, -90));
        QCOMPARE(RotateQuarterTurns(source, 0), source);
        // The turned picture survives the trip through a bitmap file untouched.
        QCOMPARE(Decode(EncodeBmp(RotateQuarterTurns(source, 90))), RotateQuarterTurns(source, 90));
        QCOMPARE(SniffPictureFormat(EncodeBmp(source)), TPictureFormat::Bmp);
    }

    void turnsRefuseOtherAngles() {
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, RotateQuarterTurns(DistinctPixels(2, 2), 45));
        QVERIFY(RotateQuarterTurns(QImage(), 90).isNull());
    }

    void formatsByContentAndByName_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<TPictureFormat>("format");
        QTest::newRow("jpg") << "a/photo.jpg" << TPictureFormat::Jpeg;
        QTest::newRow("JPG") << "DSC_0001.JPG" << TPictureFormat::Jpeg;
        QTest::newRow("jpeg") << "x.Jpeg" << TPictureFormat::Jpeg;
        QTest::newRow("png") << "x.PNG" << TPictureFormat::Png;
        QTest::newRow("bmp") << "x.bmp" << TPictureFormat::Bmp;
        QTest::newRow("gif") << "x.gif" << TPictureFormat::Gif;
        QTest::newRow("tiff") << "x.tiff" << TPictureFormat::Tiff;
        QTest::newRow("tif") << "x.TIF" << TPictureFormat::Tiff;
        QTest::newRow("none") << "photo" << TPictureFormat::Unknown;
        QTest::newRow("other") << "photo.nef" << TPictureFormat::Unknown;
        QTest::newRow("folder dot") << "my.jpg/photo" << TPictureFormat::Unknown;
    }
    void formatsByContentAndByName() {
        QFETCH(QString, name);
        QFETCH(TPictureFormat, format);
        QCOMPARE(PictureFormatOfName(name), format);
    }

    void formatsBySignature() {
        const QImage picture = DistinctPixels(3, 3);
        QCOMPARE(SniffPictureFormat(EncodePicture(picture, TPictureFormat::Jpeg)), TPictureFormat::Jpeg);
        QCOMPARE(SniffPictureFormat(Png(picture)), TPictureFormat::Png);
        QCOMPARE(SniffPictureFormat(EncodeBmp(picture)), TPictureFormat::Bmp);
        QCOMPARE(SniffPictureFormat(QByteArray("GIF89a....")), TPictureFormat::Gif);
        QCOMPARE(SniffPictureFormat(QByteArray("II*\0xxxx", 8)), TPictureFormat::Tiff);
        QCOMPARE(SniffPictureFormat(QByteArray("MM\0*xxxx", 8)), TPictureFormat::Tiff);
        QCOMPARE(SniffPictureFormat(QByteArray("\xFF\xD8", 2)), TPictureFormat::Unknown);
        QCOMPARE(SniffPictureFormat(QByteArray()), TPictureFormat::Unknown);
    }

    void saveKeepsBytesOfTheNamedFormatAndEncodesOthers() {
        const QImage picture = DistinctPixels(9, 6);
        const QByteArray jpeg = EncodePicture(picture, TPictureFormat::Jpeg);
        const QByteArray bmp = EncodeBmp(picture);
        const QImage shown = Decode(bmp);

        // Bytes already of the named type, or a name that names no type: written as they are.
        QCOMPARE(BytesToSave(jpeg, Decode(jpeg), QStringLiteral("x.JPEG")), jpeg);
        QCOMPARE(BytesToSave(bmp, shown, QStringLiteral("x.bmp")), bmp);
        QCOMPARE(BytesToSave(bmp, shown, QStringLiteral("x.data")), bmp);

        // A bitmap under a JPEG name becomes a JPEG, made by libjpeg with its JFIF header.
        const QByteArray asJpeg = BytesToSave(bmp, shown, QStringLiteral("photo.jpg"));
        QVERIFY(asJpeg.startsWith(QByteArray("\xFF\xD8\xFF\xE0\x00\x10JFIF\0", 11)));
        const TJpegSize size = ReadJpegSize(std::string_view(asJpeg.constData(), size_t(asJpeg.size())));
        QCOMPARE(QSize(size.Width, size.Height), QSize(9, 6));
        // PNG keeps every pixel.
        const QByteArray asPng = BytesToSave(bmp, shown, QStringLiteral("photo.png"));
        QCOMPARE(SniffPictureFormat(asPng), TPictureFormat::Png);
        QCOMPARE(Decode(asPng), shown);
        const QByteArray asBmp = BytesToSave(jpeg, Decode(jpeg), QStringLiteral("photo.bmp"));
        QCOMPARE(SniffPictureFormat(asBmp), TPictureFormat::Bmp);
        QCOMPARE(Decode(asBmp), Decode(jpeg));

        // A type that cannot be written, or nothing shown to encode: refused, nothing made.
        QVERIFY_THROWS_EXCEPTION(TPictureFileError, BytesToSave(bmp, shown, QStringLiteral("x.gif")));
        QVERIFY_THROWS_EXCEPTION(TPictureFileError, BytesToSave(QByteArray("II*\0", 4), QImage(), "x.png"));
    }

    void writesReplaceTheTargetOnlyWhenComplete() {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("photo.jpg"));
        WriteFileAtomically(target, QByteArray("first"));
        QCOMPARE(ReadAll(target), QByteArray("first"));
        WriteFileAtomically(target, QByteArray("second, longer"));
        QCOMPARE(ReadAll(target), QByteArray("second, longer"));

        // A write that cannot finish (the file-size limit stands in for a full disk) leaves the old file
        // and no temporary file behind.
        const QByteArray big(64 * 1024, 'x');
        {
            FileSizeLimit limit(4096);
            QVERIFY_THROWS_EXCEPTION(TPictureFileError, WriteFileAtomically(target, big));
        }
        QCOMPARE(ReadAll(target), QByteArray("second, longer"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"photo.jpg"});

        try {
            WriteFileAtomically(dir.filePath(QStringLiteral("missing/x.png")), big);
            QFAIL("a file in a missing folder was written");
        } catch (const TPictureFileError& error) {
            QVERIFY(
                QString::fromUtf8(error.what()).startsWith("Cannot write " + dir.filePath("missing/x.png")));
        }
    }

    void halfSizeDropsTheRemainder() {
        const TRgbImage half = HalfSize(ToRgbImage(DistinctPixels(5, 3)));
        QCOMPARE(half.Width, 2);
        QCOMPARE(half.Height, 1);
        QCOMPARE(half.Pixels.size(), size_t(2 * 1 * 3));
        QVERIFY_THROWS_EXCEPTION(TPictureFileError, HalfSize(ToRgbImage(DistinctPixels(1, 8))));
        // Conversions keep every pixel.
        const QImage picture = DistinctPixels(6, 4);
        QCOMPARE(FromRgbImage(ToRgbImage(picture)).convertToFormat(QImage::Format_RGB32), picture);
    }
};

QUILLMARK_APP_TEST_MAIN(PictureOpsTest)
#include "PictureOpsTest.moc"
