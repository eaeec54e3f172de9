// Writing commands keep what they do not change: a turned JPEG saved without re-encoding (its blocks
// turned by TurboJPEG, or the turn recorded in the tag when the user keeps the edge), section by section
// over the camera samples, with MPF dropped once the picture it describes has changed.
#include "AppTestSupport.h"
#include "ImgData.h"
#include "JpegCodec.h"
#include "JpegHeader.h"
#include "JpegMarkers.h"
#include "JpegWriter.h"
#include "PictureOps.h"

#include <QDir>
#include <QTemporaryDir>

using namespace quillmark;
using namespace apptest;

namespace {

std::string ReadFile(const QString& path) {
    const QByteArray bytes = ReadAll(path);
    return std::string(bytes.constData(), size_t(bytes.size()));
}

// The bytes of every section with the given marker whose content starts with signature, in order.
std::vector<std::string> SectionsOf(std::string_view jpeg, int code, std::string_view signature) {
    std::vector<std::string> found;
    TJpegMarkers walk(jpeg);
    while (const std::optional<TJpegMarker> marker = walk.Next()) {
        if (marker->Code != code) continue;
        const std::string_view content = marker->Content(TByteView(jpeg)).Data();
        if (content.substr(0, signature.size()) == signature) found.emplace_back(content);
    }
    return found;
}

int Orientation(const std::string& path) {
    TimgData photo(255);
    if (!photo.ProcessFile(path) || !photo.ExifReader) return 0;
    for (const TTagEntry& entry : photo.ExifReader->Entries)
        if (entry.ListId == 0 && entry.Tag == 0x0112 && entry.Raw.size() == 2)
            return photo.BigEndian ? uint8_t(entry.Raw[1]) : uint8_t(entry.Raw[0]);
    return 0;
}

} // namespace

class LosslessSaveTest : public apptest::TViewerTestCase {
    Q_OBJECT

private slots:
    void turnMapsToTheBlockTransform() {
        // Each EXIF orientation's upright turn is the transform the orientation names.
        const TJpegTransform byOrientation[] = {TJpegTransform::None,       TJpegTransform::FlipH,
                                                TJpegTransform::Rotate180,  TJpegTransform::FlipV,
                                                TJpegTransform::Transpose,  TJpegTransform::Rotate90,
                                                TJpegTransform::Transverse, TJpegTransform::Rotate270};
        for (int orientation = 1; orientation <= 8; ++orientation) {
            const TPixelTurn turn = TurnForOrientation(orientation);
            QCOMPARE(int(TransformForTurn(turn)), int(byOrientation[orientation - 1]));
            QCOMPARE(OrientationForTurn(turn), orientation);
        }
    }

    void camerasKeepEverySectionWhenTurned() {
        QTemporaryDir dir;
        const QStringList samples =
            QDir(QStringLiteral(QUILLMARK_SAMPLES_DIR)).entryList({QStringLiteral("*.jpg")}, QDir::Files);
        QVERIFY(samples.size() > 20);
        int thumbnailsTurned = 0;
        for (const QString& name : samples) {
            const QString path = QStringLiteral(QUILLMARK_SAMPLES_DIR "/") + name;
            const std::string original = ReadFile(path);
            for (const TLosslessChoice choice : {TLosslessChoice::Trim, TLosslessChoice::TagOnly})
                try {
                    TimgData photo(255);
                    if (!photo.ProcessFile(path.toStdString()) || photo.ReadingTiff) continue;
                    if (choice == TLosslessChoice::TagOnly && Orientation(path.toStdString()) == 0) continue;
                    const std::string iptc = photo.IptcSection ? photo.Section(photo.IptcSection).Data : "";
                    const std::string comment = photo.CommentText();
                    const QString target = dir.filePath(name);
                    try {
                        WriteTurnedJpeg(photo, original, TPixelTurn{false, 1}, choice, target.toStdString());
                    } catch (const JpegCodecError& error) {
                        // Damaged samples TurboJPEG refuses: the viewer then encodes the pixels instead.
                        QVERIFY2(name.contains(QLatin1String("damaged")), error.what());
                        continue;
                    }
                    const std::string written = ReadFile(target);
                    // Everything the command does not change, byte for byte.
                    QVERIFY2(KeptOtherSections(written) == KeptOtherSections(original), qPrintable(name));
                    QVERIFY(SectionsOf(written, 0xE2, std::string_view("MPF\0", 4)).empty());
                    TimgData back(255);
                    QVERIFY(back.ProcessFile(target.toStdString()));
                    QCOMPARE(back.CommentText(), comment);
                    QCOMPARE(back.IptcSection ? back.Section(back.IptcSection).Data : "", iptc);
                    if (choice == TLosslessChoice::TagOnly) {
                        // The picture data as stored, the turn in the tag.
                        QVERIFY(JpegPictureStream(written) == JpegPictureStream(original));
                        // Stored pixels shown turned right: orientation 6.
                        QCOMPARE(Orientation(target.toStdString()), 6);
                        continue;
                    }
                    // The picture is the lossless transform of the original's blocks, marked upright.
                    const TEncodedJpeg turned = TransformJpeg(original, TJpegTransform::Rotate90, true);
                    QVERIFY2(JpegPictureStream(written) == JpegPictureStream(turned.Bytes), qPrintable(name));
                    if (photo.HasExif() && Orientation(path.toStdString()) != 0)
                        QCOMPARE(Orientation(target.toStdString()), 1);
                    // The EXIF thumbnail is turned with the photo, or blanked where the turned one does not
                    // fit.
                    if (photo.HasExif()) {
                        TimgData unturned(255);
                        QVERIFY(unturned.ProcessFile(path.toStdString()));
                        const auto thumbnailOf = [](const TimgData& data) {
                            return FindExifThumbnail(
                                std::string_view(data.Section(data.ExifSection).Data).substr(2));
                        };
                        if (!thumbnailOf(unturned).empty() && !thumbnailOf(back).empty()) {
                            ++thumbnailsTurned;
                            const TJpegSize before = ReadJpegSize(thumbnailOf(unturned));
                            const TJpegSize after = ReadJpegSize(thumbnailOf(back));
                            QVERIFY2(after.Width <= before.Height && after.Height <= before.Width &&
                                         after.Width + 16 > before.Height && after.Height + 16 > before.Width,
                                     qPrintable(name));
                        }
                    }
                } catch (const std::exception& error) {
                    QFAIL(qPrintable(name + QStringLiteral(": ") + QString::fromUtf8(error.what())));
                }
        }
        QVERIFY2(thumbnailsTurned >= 6, qPrintable(QString::number(thumbnailsTurned)));
    }

    // The half-size copy and any re-encoded JPEG keep XMP, extended XMP and colour profiles as they were.
    void rewrittenPicturesKeepTheOtherSections() {
        QTemporaryDir dir;
        int withOthers = 0;
        for (const char* name :
             {"ExtendedXMP.jpg", "XMP.jpg", "xmp_before_exif.jpg", "Apple.jpg", "Google.jpg"}) {
            const QString path = SamplePath(name);
            const std::string original = ReadFile(path);
            withOthers += KeptOtherSections(original).empty() ? 0 : 1;
            TimgData photo(255);
            photo.ProcessFile(path.toStdString()); // false for a photo with XMP alone
            const TEncodedJpeg small = EncodeJpeg(HalfSize(DecodeJpeg(original)), kSmallCopyJpegQuality);
            photo.ClearSections();
            const QString target = dir.filePath(QString::fromLatin1(name));
            photo.WriteJpegFile(small, target.toStdString(), true);
            const std::string written = ReadFile(target);
            QVERIFY2(KeptOtherSections(written) == KeptOtherSections(original), name);
            QVERIFY(SectionsOf(written, 0xE2, std::string_view("MPF\0", 4)).empty());
        }
        QVERIFY(withOthers >= 3);
    }

    // Save as after a turn asks when the blocks do not turn whole: yes trims the edge, no keeps the
    // picture data and records the turn in the tag.
    void saveAsAsksAboutAPartialEdge() {
        namespace craft = quillmark::craft;
        QTemporaryDir dir;
        craft::TiffBlock tiff(false);
        tiff.Ascii(0, 0x010F, "Quillmark").Short(0, 0x0112, {1});
        craft::JpegFile file;
        file.Soi().Exif(tiff).Comment("Kept").Image(50, 30, 90);
        const QString photo = dir.filePath(QStringLiteral("photo.jpg"));
        WriteBytes(photo, file.Bytes());
        const std::string original = ReadFile(photo);
        for (const bool trim : {true, false}) {
            Viewer viewer({photo});
            viewer.Trigger("RotateRight1");
            const QString target =
                dir.filePath(trim ? QStringLiteral("trimmed.jpg") : QStringLiteral("tagged.jpg"));
            TestPlatform().SaveAnswers << target;
            TestPlatform().ConfirmAnswers.push_back(trim);
            viewer.Trigger("Saveas1");
            QVERIFY(TestPlatform().ConfirmAnswers.empty());
            const std::string written = ReadFile(target);
            QImage back;
            QVERIFY(back.loadFromData(QByteArray(written.data(), qsizetype(written.size()))));
            if (trim) {
                QCOMPARE(back.size(), QSize(16, 50)); // 30 rows trimmed to 16, whole blocks
                QCOMPARE(Orientation(target.toStdString()), 1);
                QVERIFY(JpegPictureStream(written) ==
                        JpegPictureStream(TransformJpeg(original, TJpegTransform::Rotate90, true).Bytes));
            } else {
                QCOMPARE(back.size(), QSize(50, 30));
                QCOMPARE(Orientation(target.toStdString()), 6);
                QVERIFY(JpegPictureStream(written) == JpegPictureStream(original));
            }
            TimgData kept(255);
            QVERIFY(kept.ProcessFile(target.toStdString()));
            QCOMPARE(kept.CommentText(), std::string("Kept"));
        }
    }

    // Turned pixels are the original's turned: a lossless turn decodes to the same picture, turned.
    void losslessTurnDecodesToTheTurnedPicture() {
        TRgbImage image;
        image.Width = 64;
        image.Height = 32;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 64; ++x)
                image.Pixels.insert(image.Pixels.end(), {uint8_t(x * 4), uint8_t(y * 8), uint8_t(128)});
        const TEncodedJpeg jpeg = EncodeJpeg(image, 95);
        const TEncodedJpeg turned = TransformJpeg(jpeg.Bytes, TJpegTransform::Rotate90, false);
        const QImage before = FromRgbImage(DecodeJpeg(jpeg.Bytes));
        const QImage after = FromRgbImage(DecodeJpeg(turned.Bytes));
        const QImage expected = TurnPixels(before, TPixelTurn{false, 1});
        QCOMPARE(after.size(), expected.size());
        int worst = 0;
        for (int y = 0; y < after.height(); ++y)
            for (int x = 0; x < after.width(); ++x) {
                const QColor a = after.pixelColor(x, y), b = expected.pixelColor(x, y);
                worst = std::max(
                    {worst, qAbs(a.red() - b.red()), qAbs(a.green() - b.green()), qAbs(a.blue() - b.blue())});
            }
        QVERIFY2(worst <= 8, qPrintable(QString::number(worst)));
        // A picture whose height is not whole blocks cannot turn right without trimming.
        image.Height = 30;
        image.Pixels.resize(size_t(64 * 30 * 3));
        const TEncodedJpeg ragged = EncodeJpeg(image, 95);
        QVERIFY(!JpegTransformIsWhole(ragged.Bytes, TJpegTransform::Rotate90));
        QVERIFY(JpegTransformIsWhole(ragged.Bytes, TJpegTransform::Rotate270));
        QVERIFY_THROWS_EXCEPTION(JpegCodecError,
                                 TransformJpeg(ragged.Bytes, TJpegTransform::Rotate90, false));
        QCOMPARE(TransformJpeg(ragged.Bytes, TJpegTransform::Rotate90, true).Width, 16);
    }
};

QUILLMARK_APP_TEST_MAIN(LosslessSaveTest)
#include "LosslessSaveTest.moc"
