// Every photo format the viewer shows, told by content and decoded through the one decoding layer: the
// camera samples of each format, upright once (HEIF's own transformations, never the EXIF tag on top),
// converted from their colour profile, and raw files without picture data drawn from their preview or
// failing with a reason.
#include "PictureFormats.h"
#include "ImgData.h"
#include "PictureDecoder.h"
#include "PictureHolder.h"
#include "PictureView.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QtTest>

#include <jxl/encode.h>
#include <libheif/heif.h>

#include <vector>

using namespace quillmark;

namespace {

QByteArray Sample(const char* name) {
    QFile file(QStringLiteral(QUILLMARK_SAMPLES_DIR "/") + QString::fromLatin1(name));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

// A wide picture, red on its left half and blue on its right, stored as a file turned by orientation 6
// (a quarter turn clockwise): shown upright it is tall, red above blue.
QImage StoredHalves() {
    QImage image(64, 32, QImage::Format_RGB888);
    image.fill(Qt::blue);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            image.setPixelColor(x, y, Qt::red);
    return image;
}

// A TIFF block with orientation 6, as EXIF in a HEIF.
QByteArray ExifOrientation6() {
    return QByteArray("MM\0*\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06\0\0\0\0\0\0", 26);
}

heif_error WriteToArray(heif_context*, const void* data, size_t size, void* userdata) {
    static_cast<QByteArray*>(userdata)->append(static_cast<const char*>(data), qsizetype(size));
    return heif_error{heif_error_Ok, heif_suberror_Unspecified, "ok"};
}

// A HEIF of stored, turned or mirrored by its item's properties (irot, imir) and converted to YCbCr by the
// given nclx profile (libheif's own without one); the EXIF repeats the turn, and a 32-pixel thumbnail item
// comes along, as phones write them.
QByteArray EncodedHeif(const QImage& stored, heif_orientation orientation,
                       heif_color_profile_nclx* nclx = nullptr) {
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    QByteArray bytes;
    if (heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder).code == heif_error_Ok) {
        heif_encoder_set_lossy_quality(encoder, 95);
        heif_image* image = nullptr;
        heif_image_create(stored.width(), stored.height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB,
                          &image);
        heif_image_add_plane(image, heif_channel_interleaved, stored.width(), stored.height(), 8);
        int stride = 0;
        uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
        for (int y = 0; y < stored.height(); ++y)
            memcpy(plane + y * stride, stored.constScanLine(y), size_t(stored.width() * 3));
        heif_encoding_options* options = heif_encoding_options_alloc();
        options->image_orientation = orientation;
        if (nclx) {
            heif_image_set_nclx_color_profile(image, nclx);
            options->macOS_compatibility_workaround_no_nclx_profile = 0;
        }
        heif_image_handle* handle = nullptr;
        if (heif_context_encode_image(context, image, encoder, options, &handle).code == heif_error_Ok) {
            heif_image_handle* thumbnail = nullptr;
            if (heif_context_encode_thumbnail(context, image, handle, encoder, options, 32, &thumbnail)
                    .code == heif_error_Ok)
                heif_image_handle_release(thumbnail);
            const QByteArray exif = ExifOrientation6();
            if (orientation == heif_orientation_rotate_90_cw)
                heif_context_add_exif_metadata(context, handle, exif.constData(), int(exif.size()));
            heif_writer writer{1, WriteToArray};
            heif_context_write(context, &writer, &bytes);
            heif_image_handle_release(handle);
        }
        heif_encoding_options_free(options);
        heif_image_release(image);
        heif_encoder_release(encoder);
    }
    heif_context_free(context);
    return bytes;
}

// A HEIF whose item carries the turn (irot) and whose EXIF repeats it, as phones write them.
QByteArray TurnedHeif() {
    return EncodedHeif(StoredHalves(), heif_orientation_rotate_90_cw);
}

// Saturated hues across, dark to light down, with a white and a black block: what a wrong matrix, range or
// turn shows.
QImage ColourScene(QSize size = QSize(240, 160)) {
    QImage image(size, QImage::Format_RGB888);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixelColor(x, y,
                                QColor::fromHsv(x * 359 / image.width(), 230, 60 + y * 195 / image.height()));
    for (int y = 8; y < 40; ++y)
        for (int x = 8; x < 48; ++x) {
            image.setPixelColor(x, y, Qt::white);
            image.setPixelColor(x + 48, y + 100, Qt::black);
        }
    return image;
}

// A HEIF of ColourScene converted by the nclx profile of the given matrix and range.
QByteArray ColourHeif(heif_orientation orientation, heif_matrix_coefficients matrix, bool fullRange) {
    heif_color_profile_nclx* nclx = heif_nclx_color_profile_alloc();
    nclx->matrix_coefficients = matrix;
    nclx->full_range_flag = fullRange;
    const QByteArray bytes = EncodedHeif(ColourScene(), orientation, nclx);
    heif_nclx_color_profile_free(nclx);
    return bytes;
}

// A lossless JPEG XL of the same picture, its codestream oriented 6.
QByteArray TurnedJxl() {
    JxlEncoder* encoder = JxlEncoderCreate(nullptr);
    JxlBasicInfo info;
    JxlEncoderInitBasicInfo(&info);
    info.xsize = 64;
    info.ysize = 32;
    info.bits_per_sample = 8;
    info.num_color_channels = 3;
    info.uses_original_profile = JXL_TRUE;
    info.orientation = JXL_ORIENT_ROTATE_90_CW;
    JxlEncoderSetBasicInfo(encoder, &info);
    JxlColorEncoding color;
    JxlColorEncodingSetToSRGB(&color, JXL_FALSE);
    JxlEncoderSetColorEncoding(encoder, &color);
    JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(encoder, nullptr);
    JxlEncoderSetFrameLossless(settings, JXL_TRUE);
    const QImage stored = StoredHalves();
    std::vector<uint8_t> pixels;
    for (int y = 0; y < stored.height(); ++y)
        pixels.insert(pixels.end(), stored.constScanLine(y), stored.constScanLine(y) + stored.width() * 3);
    const JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    JxlEncoderAddImageFrame(settings, &format, pixels.data(), pixels.size());
    JxlEncoderCloseInput(encoder);
    QByteArray bytes(4096, '\0');
    uint8_t* next = reinterpret_cast<uint8_t*>(bytes.data());
    size_t avail = size_t(bytes.size());
    while (JxlEncoderProcessOutput(encoder, &next, &avail) == JXL_ENC_NEED_MORE_OUTPUT) {
        const qsizetype used = next - reinterpret_cast<uint8_t*>(bytes.data());
        bytes.resize(bytes.size() * 2);
        next = reinterpret_cast<uint8_t*>(bytes.data()) + used;
        avail = size_t(bytes.size() - used);
    }
    bytes.resize(next - reinterpret_cast<uint8_t*>(bytes.data()));
    JxlEncoderDestroy(encoder);
    return bytes;
}

// Photoshop documents made here: the header, the three sections and the merged picture, as planes of rows
// (channel after channel), raw or packed.
QByteArray BigEndian(quint64 value, int bytes) {
    QByteArray out;
    for (int i = bytes - 1; i >= 0; --i)
        out += char(value >> (8 * i));
    return out;
}

// PackBits literals of up to 128 bytes.
QByteArray Pack(const QByteArray& row) {
    QByteArray out;
    for (qsizetype i = 0; i < row.size(); i += 128)
        out += char(qMin<qsizetype>(row.size() - i, 128) - 1) + row.mid(i, 128);
    return out;
}

struct TPsd {
    int Mode = 3, Channels = 3, Width = 1, Height = 1, Depth = 8;
    // Rows of every channel, one after the other, packed when Compress (as they are, when Packed).
    QList<QByteArray> Rows = {};
    bool Compress = false;
    QList<QByteArray> Packed = {};
    QByteArray ColourData = {}, Resources = {}, Layers = {};
    int Version = 1;

    QByteArray Bytes() const {
        QByteArray out = "8BPS" + BigEndian(quint64(Version), 2) + QByteArray(6, '\0');
        for (const auto& [value, size] :
             {std::pair{Channels, 2}, {Height, 4}, {Width, 4}, {Depth, 2}, {Mode, 2}})
            out += BigEndian(quint64(value), size);
        out += BigEndian(quint64(ColourData.size()), 4) + ColourData;
        out += BigEndian(quint64(Resources.size()), 4) + Resources;
        out += BigEndian(quint64(Layers.size()), Version == 2 ? 8 : 4) + Layers + BigEndian(Compress, 2);
        QList<QByteArray> packed = Packed;
        if (packed.isEmpty())
            for (const QByteArray& row : Rows)
                packed << (Compress ? Pack(row) : row);
        if (Compress)
            for (const QByteArray& row : packed)
                out += BigEndian(quint64(row.size()), Version == 2 ? 4 : 2);
        for (const QByteArray& row : packed)
            out += row;
        return out;
    }
};

QByteArray ImageResource(int id, const QByteArray& data) {
    QByteArray out =
        "8BIM" + BigEndian(quint64(id), 2) + QByteArray(2, '\0') + BigEndian(quint64(data.size()), 4);
    return out + data + (data.size() % 2 ? QByteArray(1, '\0') : QByteArray());
}

// Photoshop's JPEG thumbnail resource (format 1, then sizes the decoder does not need), of a flat picture.
QByteArray ThumbnailResource(QSize size, QColor color) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 100);
    return ImageResource(0x040C, BigEndian(1, 4) + QByteArray(24, '\0') + jpeg);
}

// A packed RGB document of stripes with a thumbnail, to be cut and damaged.
QByteArray StripedPsd() {
    TPsd psd{.Width = 40, .Height = 30, .Compress = true};
    psd.Resources = ThumbnailResource(QSize(40, 30), Qt::gray);
    for (int row = 0; row < 90; ++row)
        psd.Rows << QByteArray(20, char(row * 3)) + QByteArray(20, char(row));
    return psd.Bytes();
}

QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int value : values)
        out += char(value);
    return out;
}

bool Near(QColor a, QColor b) {
    return qAbs(a.red() - b.red()) <= 24 && qAbs(a.green() - b.green()) <= 24 &&
           qAbs(a.blue() - b.blue()) <= 24;
}

} // namespace

class PictureFormatsTest : public QObject {
    Q_OBJECT

private slots:
    void samplesDecode_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QSize>("size"); // upright; empty when the file cannot be drawn
        QTest::newRow("HEIC") << "iPhone_11_Pro.heic" << int(TPictureKind::Heif) << QSize(3024, 4032);
        QTest::newRow("HEIF mif1") << "QuickTime.heic" << int(TPictureKind::Heif) << QSize(-1, -1);
        QTest::newRow("AVIF") << "Canon_EOS_70D.avif" << int(TPictureKind::Avif) << QSize(5472, 3648);
        QTest::newRow("WebP turned") << "Nikon_COOLPIX_P7000.webp" << int(TPictureKind::WebP)
                                     << QSize(2736, 3648);
        QTest::newRow("PNG") << "PNG.png" << int(TPictureKind::Png) << QSize(16, 16);
        QTest::newRow("JPEG XL") << "JXL2.jxl" << int(TPictureKind::Jxl) << QSize(-1, -1);
        QTest::newRow("TIFF") << "Arbitro.tiff" << int(TPictureKind::Tiff) << QSize(174, 38);
        QTest::newRow("JPEG") << "Canon_40D.jpg" << int(TPictureKind::Jpeg) << QSize(100, 68);
        QTest::newRow("CR2") << "CanonRaw.cr2" << int(TPictureKind::Raw) << QSize(-1, -1);
        QTest::newRow("CR3") << "CanonRaw.cr3" << int(TPictureKind::Raw) << QSize(-1, -1);
        QTest::newRow("DNG") << "DNG.dng" << int(TPictureKind::Raw) << QSize(-1, -1);
        QTest::newRow("RAF") << "FujiFilm.raf" << int(TPictureKind::Raw) << QSize(-1, -1);
        QTest::newRow("RW2") << "Panasonic.rw2" << int(TPictureKind::Raw) << QSize(-1, -1);
        QTest::newRow("MRW") << "Minolta.mrw" << int(TPictureKind::Raw) << QSize(-1, -1);
        QTest::newRow("CRW") << "CanonRaw.crw" << int(TPictureKind::Raw) << QSize(-1, -1);
        QTest::newRow("X3F") << "Sigma.x3f" << int(TPictureKind::Raw) << QSize(-1, -1);
        QTest::newRow("IIQ") << "PhaseOne.iiq" << int(TPictureKind::Raw) << QSize(-1, -1);
        QTest::newRow("PSD") << "Photoshop.psd" << int(TPictureKind::Psd) << QSize(8, 8);
    }
    void samplesDecode() {
        QFETCH(QString, name);
        QFETCH(int, kind);
        QFETCH(QSize, size);
        const QByteArray data = Sample(name.toLatin1().constData());
        QVERIFY(!data.isEmpty());
        QCOMPARE(int(SniffPicture(data.left(kPictureSniffBytes))), kind);
        QCOMPARE(int(SniffPicture(data.left(kPictureSniffBytes), name)), kind);
        const DecodeResult whole = DecodePicture(data);
        const DecodeResult fitted = DecodePictureFitted(data, QSize(160, 160));
        const DecodeResult view = DecodePictureForView(data, QSize(800, 600));
        if (!size.isValid()) {
            // Samples without picture data: drawn from a preview, or refused with a reason (the kinds
            // only Qt reads say no more than that they failed).
            if (kind == int(TPictureKind::Unknown) || kind == int(TPictureKind::Tiff)) return;
            for (const DecodeResult* result : {&whole, &fitted, &view})
                QVERIFY2(result->status == DecodeStatus::Decoded || !result->reason.isEmpty(),
                         qPrintable(name));
            return;
        }
        for (const DecodeResult* result : {&whole, &fitted, &view}) {
            QCOMPARE(int(result->status), int(DecodeStatus::Decoded));
            QCOMPARE(result->picture->SourceSize(), size);
        }
        QCOMPARE(whole.picture->Image().size(), size);
        const QSize kept = fitted.picture->Image().size();
        QVERIFY(kept.width() <= 160 && kept.height() <= 160);
        // The strip's reduction has the photo's shape: turned as the photo is.
        QCOMPARE(kept.width() >= kept.height(), size.width() >= size.height());
    }

    // The registry's rows decide, the name breaking ties between look-alike bytes; an ISO file's brands
    // outweigh its name, and pictures the reader does not list are still recognised.
    void sniffFollowsTheRegistry_data() {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("kind");
        const QByteArray tiff("II*\0\x08\0\0\0\0\0", 10);
        const QByteArray mp4("\0\0\0\x18"
                             "ftypisom\0\0\0\0isommp41",
                             24);
        const QByteArray cr3("\0\0\0\x18"
                             "ftypcrx \0\0\0\x01"
                             "crx isom",
                             24);
        QTest::newRow("plain TIFF") << tiff << "scan.tif" << int(TPictureKind::Tiff);
        QTest::newRow("TIFF named NEF") << tiff << "DSC_0001.NEF" << int(TPictureKind::Raw);
        QTest::newRow("video") << mp4 << "clip.heic" << int(TPictureKind::Unknown);
        QTest::newRow("CR3 named HEIC") << cr3 << "x.heic" << int(TPictureKind::Raw);
        QTest::newRow("GIF") << QByteArray("GIF89a\x01\0\x01\0") << "" << int(TPictureKind::Gif);
        QTest::newRow("JPEG 2000") << QByteArray("\0\0\0\x0CjP  \r\n\x87\n", 12) << "a.jp2"
                                   << int(TPictureKind::Unknown);
        QTest::newRow("PSB") << QByteArray("8BPS\0\x02", 6) << "" << int(TPictureKind::Psd);
        QTest::newRow("nothing") << QByteArray() << "a.jpg" << int(TPictureKind::Unknown);
    }
    void sniffFollowsTheRegistry() {
        QFETCH(QByteArray, head);
        QFETCH(QString, name);
        QFETCH(int, kind);
        QCOMPARE(int(SniffPicture(head, name)), kind);
    }

    // A raw file is drawn from the largest JPEG preview the metadata reader locates, decoded from the file's
    // region by the JPEG path and turned by the orientation the reader's EXIF records (here every
    // orientation entry of the file made 6); the samples' sensor data is stripped, so LibRaw has nothing.
    void rawDrawnFromTheReadersPreview_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("RW2") << "Panasonic.rw2";
        QTest::newRow("RAF") << "FujiFilm.raf";
    }
    void rawDrawnFromTheReadersPreview() {
        QFETCH(QString, name);
        QByteArray data = Sample(name.toLatin1().constData());
        TimgData reading;
        reading.ProcessBytes(std::string(), std::string_view(data.constData(), size_t(data.size())));
        QCOMPARE(reading.Previews.size(), size_t(1));
        const TFileRegion region = reading.Previews[0].Region;
        const QImage expected =
            QImage::fromData(data.mid(qsizetype(region.Offset), qsizetype(region.Length)), "JPEG")
                .convertToFormat(QImage::Format_RGB32);
        QVERIFY(!expected.isNull());
        // The strip reads the directories and that region only.
        const TThumbnailLoad cell =
            DecodeThumbnailLoad(QStringLiteral(QUILLMARK_SAMPLES_DIR "/") + name, QSize(160, 160));
        QVERIFY(cell.Decoded && cell.FromExifThumbnail);
        QCOMPARE(cell.Picture->Image().convertToFormat(QImage::Format_RGB32), expected);
        const QByteArray entry("\x12\x01\x03\0\x01\0\0\0", 8);
        for (qsizetype at = data.indexOf(entry); at >= 0; at = data.indexOf(entry, at + 1))
            data[at + 8] = 6;
        QCOMPARE(PictureOrientation(data), 6);
        QVERIFY(DecodePicture(data).picture->TurnFromStored() == TurnForOrientation(6));
        for (const DecodeResult& result : {DecodePicture(data), DecodePictureFitted(data, QSize(160, 160)),
                                           DecodePictureForView(data, QSize(800, 600))}) {
            QCOMPARE(int(result.status), int(DecodeStatus::Decoded));
            QVERIFY(result.embedded);
            QCOMPARE(result.picture->Image().convertToFormat(QImage::Format_RGB32),
                     TurnPixels(expected, TurnForOrientation(6)));
        }
    }

    // Cut and damaged files of every kind another library decodes end with a picture or a reason, never
    // a crash.
    void hostileFilesFailWithAReason() {
        QByteArray made[] = {TurnedHeif(), TurnedJxl(), StripedPsd()};
        QList<QByteArray> files = {made[0], made[1], made[2]};
        for (const char* name : {"iPhone_11_Pro.heic", "Canon_EOS_70D.avif", "CanonRaw.cr3", "DNG.dng",
                                 "FujiFilm.raf", "Panasonic.rw2", "CanonRaw.cr2", "Photoshop.psd"})
            files << Sample(name);
        quint32 seed = 7;
        for (const QByteArray& file : files) {
            for (int round = 0; round < 6; ++round) {
                QByteArray bytes = file.left(qMax<qsizetype>(16, file.size() * (round + 1) / 7));
                for (int flips = 0; flips < round * 3; ++flips) {
                    seed = seed * 1103515245u + 12345u;
                    bytes[qsizetype(seed % quint32(bytes.size()))] = char(seed >> 16);
                }
                for (const DecodeResult& result :
                     {DecodePicture(bytes), DecodePictureFitted(bytes, QSize(64, 64)),
                      DecodePictureForView(bytes, QSize(64, 64))})
                    QVERIFY(result.status == DecodeStatus::Decoded ? result.picture != nullptr
                                                                   : result.picture == nullptr);
            }
        }
    }

    // Photoshop's merged picture in each colour mode and packing the decoder reads, pixel for pixel; damaged
    // documents fall back on their JPEG thumbnail, or fail with a reason.
    void photoshopMergedPicture_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QSize>("size");         // of the whole picture; empty when nothing is drawn
        QTest::addColumn<QList<QRgb>>("pixels"); // row by row; none to compare for a thumbnail
        const TPsd rgb{.Width = 3,
                       .Height = 2,
                       .Rows = {Bytes({255, 0, 0}), Bytes({255, 0, 10}), Bytes({0, 255, 0}),
                                Bytes({255, 0, 20}), Bytes({0, 0, 255}), Bytes({255, 0, 30})},
                       .Compress = true};
        QTest::newRow("RGB packed") << rgb.Bytes() << QSize(3, 2)
                                    << QList<QRgb>{qRgb(255, 0, 0),     qRgb(0, 255, 0), qRgb(0, 0, 255),
                                                   qRgb(255, 255, 255), qRgb(0, 0, 0),   qRgb(10, 20, 30)};
        const TPsd grey{.Mode = 1,
                        .Channels = 1,
                        .Width = 2,
                        .Height = 2,
                        .Depth = 16,
                        .Rows = {Bytes({0x12, 0x34, 0xFF, 0}), Bytes({0x80, 0, 0, 1})}};
        QTest::newRow("grey 16-bit raw")
            << grey.Bytes() << QSize(2, 2)
            << QList<QRgb>{qRgb(0x12, 0x12, 0x12), qRgb(255, 255, 255), qRgb(128, 128, 128), qRgb(0, 0, 0)};
        // No ink, full black, full cyan with half black.
        const TPsd cmyk{.Mode = 4,
                        .Channels = 4,
                        .Width = 3,
                        .Rows = {Bytes({255, 255, 0}), Bytes({255, 255, 255}), Bytes({255, 255, 255}),
                                 Bytes({255, 0, 128})}};
        QTest::newRow("CMYK raw") << cmyk.Bytes() << QSize(3, 1)
                                  << QList<QRgb>{qRgb(255, 255, 255), qRgb(0, 0, 0), qRgb(0, 128, 128)};
        TPsd indexed{.Mode = 2, .Channels = 1, .Width = 2, .Rows = {Bytes({0, 255})}};
        indexed.ColourData = QByteArray(768, '\0');
        indexed.ColourData[0] = 1;
        for (int i = 0; i < 3; ++i)
            indexed.ColourData[256 * i + 255] = char(250 + i);
        QTest::newRow("indexed raw") << indexed.Bytes() << QSize(2, 1)
                                     << QList<QRgb>{qRgb(1, 0, 0), qRgb(250, 251, 252)};
        QList<QRgb> bits(9, qRgb(255, 255, 255));
        bits[0] = bits[2] = bits[8] = qRgb(0, 0, 0);
        QTest::newRow("bitmap raw")
            << TPsd{.Mode = 0, .Channels = 1, .Width = 9, .Depth = 1, .Rows = {Bytes({0xA0, 0x80})}}.Bytes()
            << QSize(9, 1) << bits;
        // A negative layer count: the fourth channel is the merged picture's transparency.
        TPsd transparent{.Channels = 4, .Rows = {Bytes({10}), Bytes({20}), Bytes({30}), Bytes({128})}};
        transparent.Layers = BigEndian(2, 4) + BigEndian(0xFFFF, 2);
        QTest::newRow("RGB with transparency")
            << transparent.Bytes() << QSize(1, 1) << QList<QRgb>{qRgba(10, 20, 30, 128)};
        TPsd psb{.Mode = 1, .Channels = 1, .Height = 2, .Rows = {Bytes({7}), Bytes({9})}, .Compress = true};
        psb.Version = 2;
        psb.Layers = QByteArray(8, '\0');
        QTest::newRow("PSB packed") << psb.Bytes() << QSize(1, 2)
                                    << QList<QRgb>{qRgb(7, 7, 7), qRgb(9, 9, 9)};
        // Rows whose runs say more than the row holds are cut, those that say less filled up with black.
        TPsd runs{.Mode = 1, .Channels = 1, .Width = 2, .Height = 2, .Compress = true};
        runs.Packed = {Bytes({-5, 0x40}), Bytes({0, 0x50})};
        QTest::newRow("rows over- and under-run")
            << runs.Bytes() << QSize(2, 2)
            << QList<QRgb>{qRgb(64, 64, 64), qRgb(64, 64, 64), qRgb(80, 80, 80), qRgb(0, 0, 0)};
        QTest::newRow("Photoshop 7 sample, with its profile")
            << Sample("Photoshop.psd") << QSize(8, 8) << QList<QRgb>(64, qRgb(255, 255, 255));
        TPsd thumbnailed = rgb;
        thumbnailed.Resources = ImageResource(0x0400, "x") + ThumbnailResource(QSize(30, 20), Qt::green);
        const QByteArray whole = thumbnailed.Bytes();
        QTest::newRow("cut short, with a thumbnail") << whole.chopped(3) << QSize(30, 20) << QList<QRgb>{};
        TPsd blank = thumbnailed; // saved without "Maximize compatibility"
        blank.Resources += ImageResource(0x0421, Bytes({0, 0, 0, 1, 0}));
        QTest::newRow("no real merged picture") << blank.Bytes() << QSize(30, 20) << QList<QRgb>{};
        QTest::newRow("cut short") << rgb.Bytes().chopped(3) << QSize() << QList<QRgb>{};
        QTest::newRow("cut in the resources") << whole.left(60) << QSize() << QList<QRgb>{};
        TPsd wide = rgb, huge = thumbnailed, lying = rgb, lab = rgb;
        wide.Width = 30001;
        QTest::newRow("wider than Photoshop draws") << wide.Bytes() << QSize() << QList<QRgb>{};
        huge.Width = huge.Height = 20000;
        QTest::newRow("huge, with a thumbnail") << huge.Bytes() << QSize(30, 20) << QList<QRgb>{};
        lying.Width = lying.Height = 9000; // within the allocation limit, not within the file's bytes
        QTest::newRow("lying size") << lying.Bytes() << QSize() << QList<QRgb>{};
        lab.Mode = 9;
        QTest::newRow("Lab") << lab.Bytes() << QSize() << QList<QRgb>{};
    }
    void photoshopMergedPicture() {
        QFETCH(QByteArray, file);
        QFETCH(QSize, size);
        QFETCH(QList<QRgb>, pixels);
        QCOMPARE(int(SniffPicture(file)), int(TPictureKind::Psd));
        const DecodeResult whole = DecodePicture(file);
        const DecodeResult fitted = DecodePictureFitted(file, QSize(2, 2));
        if (size.isEmpty()) {
            for (const DecodeResult* result : {&whole, &fitted}) {
                QCOMPARE(int(result->status), int(DecodeStatus::NoPicture));
                QVERIFY(!result->reason.isEmpty());
            }
            return;
        }
        QCOMPARE(int(whole.status), int(DecodeStatus::Decoded));
        QCOMPARE(int(fitted.status), int(DecodeStatus::Decoded));
        QCOMPARE(whole.embedded, pixels.isEmpty());
        const QImage& image = whole.picture->Image();
        QCOMPARE(image.size(), size);
        if (pixels.isEmpty()) {
            QVERIFY(Near(image.pixelColor(5, 5), Qt::green));
        } else {
            QCOMPARE(image.hasAlphaChannel(), qAlpha(pixels[0]) != 255);
            QList<QRgb> shown;
            for (int y = 0; y < size.height(); ++y)
                for (int x = 0; x < size.width(); ++x)
                    shown << image.pixel(x, y);
            QCOMPARE(shown, pixels);
            QCOMPARE(fitted.picture->SourceSize(), size);
        }
        const QSize kept = fitted.picture->Image().size();
        QVERIFY(kept.width() <= 2 && kept.height() <= 2);
    }

    // Photoshop documents are listed in folders, by name and by content, and offered in file dialogs.
    void photoshopFilesAreListed() {
        QVERIFY(HasPictureExtension(QStringLiteral("layers.PSD")));
        QVERIFY(HasPictureExtension(QStringLiteral("poster.psb")));
        QVERIFY(FileHoldsPicture(QStringLiteral(QUILLMARK_SAMPLES_DIR "/Photoshop.psd")));
    }

    // The strip reads every so many pixels of a large document's merged picture, never the whole of it,
    // and the picture keeps its shape and colours.
    void photoshopStripReadsEverySoManyPixels() {
        TPsd halves{.Width = 400, .Height = 200};
        const QByteArray red(200, char(255)), none(200, '\0');
        for (int row = 0; row < 600; ++row)
            halves.Rows << (row < 200 ? red + none : row < 400 ? none + none : none + red);
        const QByteArray file = halves.Bytes();
        const TCodecPicture sampled = DecodePsd(file, QSize(50, 50));
        QCOMPARE(sampled.Size, QSize(400, 200));
        QCOMPARE(sampled.Image.size(), QSize(100, 50)); // every fourth pixel, twice the cell
        const DecodeResult cell = DecodePictureFitted(file, QSize(50, 50));
        QCOMPARE(cell.picture->SourceSize(), QSize(400, 200));
        const QImage& image = cell.picture->Image();
        QCOMPARE(image.size(), QSize(50, 25));
        QVERIFY(Near(image.pixelColor(5, 12), Qt::red));
        QVERIFY(Near(image.pixelColor(45, 12), Qt::blue));
    }

    // A HEIF's strip cell comes from its thumbnail item when that covers the cell, turned as the photo is;
    // the view always decodes the photo itself.
    void heifThumbnailItemServesTheStrip() {
        const QByteArray data = TurnedHeif();
        const DecodeResult cell = DecodePictureFitted(data, QSize(16, 16));
        QVERIFY(cell.embedded);
        QCOMPARE(cell.picture->SourceSize(), QSize(32, 64));
        QCOMPARE(cell.picture->Image().size(), QSize(8, 16));
        QVERIFY(!DecodePictureFitted(data, QSize(48, 48)).embedded); // the 32-pixel thumbnail is too small
        QVERIFY(!DecodePictureForView(data, QSize(16, 16)).embedded);
    }

    // The view shows a HEIF's own pixels reduced, upright and in its colours, as a reduction of the whole
    // decode would show them, and decodes the whole picture only when its pixels are asked for.
    void heifViewIsTheWholeDecodeReduced_data() {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QSize>("bound");
        QTest::newRow("irot, BT.709 limited range")
            << ColourHeif(heif_orientation_rotate_90_cw, heif_matrix_coefficients_ITU_R_BT_709_5, false)
            << QSize(60, 60);
        QTest::newRow("imir, BT.601 full range")
            << ColourHeif(heif_orientation_flip_horizontally, heif_matrix_coefficients_ITU_R_BT_601_6, true)
            << QSize(70, 50);
        QTest::newRow("BT.2020 limited range")
            << ColourHeif(heif_orientation_normal,
                          heif_matrix_coefficients_ITU_R_BT_2020_2_non_constant_luminance, false)
            << QSize(100, 100);
        QTest::newRow("no nclx") << EncodedHeif(ColourScene(), heif_orientation_rotate_270_cw)
                                 << QSize(50, 80);
        QTest::newRow("odd size: blocks cut short at the edges")
            << EncodedHeif(ColourScene(QSize(241, 163)), heif_orientation_rotate_180) << QSize(60, 40);
        QTest::newRow("phone's tile grid, ICC profile") << Sample("iPhone_11_Pro.heic") << QSize(400, 400);
        QTest::newRow("AVIF") << Sample("Canon_EOS_70D.avif") << QSize(900, 600);
    }
    void heifViewIsTheWholeDecodeReduced() {
        QFETCH(QByteArray, data);
        QFETCH(QSize, bound);
        QVERIFY(!data.isEmpty());
        const DecodeResult whole = DecodePicture(data);
        const DecodeResult view = DecodePictureForView(data, bound);
        QCOMPARE(int(view.status), int(DecodeStatus::Decoded));
        QVERIFY(!view.embedded);
        const QImage full = whole.picture->Image();
        QCOMPARE(view.picture->SourceSize(), full.size());
        QVERIFY(view.picture->FullDecodePending());
        const QSize kept = view.picture->KeptPixelSize();
        const QSize shown = full.size().scaled(bound, Qt::KeepAspectRatio);
        QVERIFY(kept.width() >= shown.width() && kept.height() >= shown.height());
        QVERIFY(kept.width() < full.width() / 1.5);

        QImage drawn(kept, QImage::Format_RGB32);
        QPainter painter(&drawn);
        view.picture->Render(painter, drawn.rect());
        painter.end();
        QVERIFY(view.picture->FullDecodePending());
        const QImage expected = full.scaled(kept, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        // Averaged over the picture, each channel is off by less than a level or two: a wrong matrix or
        // range shifts the colours by far more, a wrong turn or mirror moves every edge.
        double off[3] = {}, apart = 0;
        for (int y = 0; y < kept.height(); ++y)
            for (int x = 0; x < kept.width(); ++x) {
                const QColor a = drawn.pixelColor(x, y), b = expected.pixelColor(x, y);
                const int d[3] = {a.red() - b.red(), a.green() - b.green(), a.blue() - b.blue()};
                for (int c = 0; c < 3; ++c) {
                    off[c] += d[c];
                    apart += qAbs(d[c]);
                }
            }
        const double pixels = double(kept.width()) * kept.height();
        for (const double channel : off)
            QVERIFY2(qAbs(channel / pixels) < 1.5, qPrintable(QString::number(channel / pixels)));
        QVERIFY2(apart / pixels / 3 < 4.0, qPrintable(QString::number(apart / pixels / 3)));

        QCOMPARE(view.picture->Image(), full);
        QVERIFY(!view.picture->FullDecodePending());
        // A turn before the full pixels are decoded turns them once they are.
        const auto turned = DecodedPicture::Turned(DecodePictureForView(data, bound).picture, 90);
        QVERIFY(turned->FullDecodePending());
        QCOMPARE(turned->Image(), TurnPixels(full, TurnForOrientation(6)));
    }

    // Shown in a view, a HEIF with a thumbnail item stands in with it at once (turned as the photo is), and
    // the view then decodes on a worker the very pixels the fitted view would have decoded; the whole
    // picture stays pending until something needs it.
    void heifViewStandsInWithItsThumbnailFirst() {
        const QByteArray data =
            ColourHeif(heif_orientation_rotate_90_cw, heif_matrix_coefficients_ITU_R_BT_709_5, false);
        const QSize bound(100, 100);
        const DecodeResult first = DecodePictureForView(data, bound, true);
        QCOMPARE(int(first.status), int(DecodeStatus::Decoded));
        QVERIFY(first.picture->IsStandIn() && first.picture->FullDecodePending());
        const DecodeResult sharp = DecodePictureForView(data, bound);
        QCOMPARE(first.picture->SourceSize(), sharp.picture->SourceSize());
        const QSize thumb = first.picture->KeptPixelSize();
        QVERIFY(thumb.width() <= 32 && thumb.height() <= 32);
        QCOMPARE(thumb.width() < thumb.height(),
                 sharp.picture->SourceSize().width() < sharp.picture->SourceSize().height());

        // The view is as large as the bound the window gives it: the pixels decoded for it cover it, and no
        // full decode follows.
        QWidget parent;
        parent.resize(120, 120);
        auto* view = new TPictureView(&parent);
        view->setGeometry(0, 0, bound.width(), bound.height());
        view->SetPicturePosition(bpStretchedWithAspect);
        view->Picture().SetViewBound(bound * view->devicePixelRatio());
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        view->Picture().LoadDecoded(data, first.picture);
        view->repaint();
        QTRY_VERIFY(!first.picture->IsStandIn());
        QTest::qWait(300); // time for a whole decode, were one started
        QVERIFY(first.picture->FullDecodePending());
        const QSize kept = sharp.picture->KeptPixelSize();
        QCOMPARE(first.picture->KeptPixelSize(), kept);
        QImage ours(kept, QImage::Format_RGB32), theirs(kept, QImage::Format_RGB32);
        {
            QPainter a(&ours), b(&theirs);
            first.picture->Render(a, ours.rect());
            sharp.picture->Render(b, theirs.rect());
        }
        QCOMPARE(ours, theirs);
        QVERIFY(first.picture->FullDecodePending());
        // Without a thumbnail item, or for another use, nothing stands in.
        QVERIFY(!DecodePictureForView(Sample("Canon_EOS_70D.avif"), bound, true).picture->IsStandIn());
    }

    // A picture in one piece large enough for the worker threads decodes to the very pixels libheif's own
    // HEVC decoder gives; damaged, it fails or decodes, and the picture stays whole.
    void heifThreadedDecoderMatchesLibheifs() {
        QImage noise(1024, 768, QImage::Format_RGB888);
        quint32 seed = 11;
        for (int y = 0; y < noise.height(); ++y) {
            uchar* line = noise.scanLine(y);
            for (int x = 0; x < noise.width() * 3; ++x) {
                seed = seed * 1103515245u + 12345u;
                line[x] = uchar((x + y) / 8 + (seed >> 27));
            }
        }
        const QByteArray data = EncodedHeif(noise, heif_orientation_normal);
        QVERIFY2(data.size() > 512 * 1024, qPrintable(QString::number(data.size())));
        const DecodeResult ours = DecodePicture(data);
        QCOMPARE(int(ours.status), int(DecodeStatus::Decoded));

        const heif_decoder_descriptor* decoders[8];
        const int count = heif_get_decoder_descriptors(heif_compression_HEVC, decoders, 8);
        QStringList names;
        for (int i = 0; i < count; ++i)
            names << QString::fromUtf8(heif_decoder_descriptor_get_id_name(decoders[i]));
        // A libheif that refuses the plugin still decodes, with its own decoder and without worker threads.
        if (!names.contains(QStringLiteral("quillmark-libde265")))
            QSKIP(
                qPrintable(QStringLiteral("libheif did not take the threaded decoder: ") + names.join(' ')));

        heif_context* context = heif_context_alloc();
        heif_image_handle* handle = nullptr;
        heif_image* image = nullptr;
        heif_decoding_options* options = heif_decoding_options_alloc();
        options->decoder_id = "libde265";
        QCOMPARE(heif_context_read_from_memory_without_copy(context, data.constData(), size_t(data.size()),
                                                            nullptr)
                     .code,
                 heif_error_Ok);
        QCOMPARE(heif_context_get_primary_image_handle(context, &handle).code, heif_error_Ok);
        QCOMPARE(
            heif_decode_image(handle, &image, heif_colorspace_RGB, heif_chroma_interleaved_RGB, options).code,
            heif_error_Ok);
        int stride = 0;
        const uint8_t* plane = heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride);
        const QImage theirs = QImage(plane, noise.width(), noise.height(), stride, QImage::Format_RGB888)
                                  .convertToFormat(QImage::Format_RGB32);
        heif_image_release(image);
        heif_image_handle_release(handle);
        heif_decoding_options_free(options);
        heif_context_free(context);
        QImage expected = theirs;
        expected.setColorSpace(QColorSpace(QColorSpace::SRgb));
        QCOMPARE(ours.picture->Image().convertToFormat(QImage::Format_RGB32), expected);

        QByteArray damaged = data.left(data.size() * 3 / 4);
        for (qsizetype at = data.size() / 3; at < damaged.size(); at += 4099)
            damaged[at] = char(damaged[at] ^ 0x5a);
        for (const QByteArray& bytes : {damaged, data.left(data.size() / 2)}) {
            const DecodeResult result = DecodePicture(bytes);
            if (result.status == DecodeStatus::Decoded)
                QCOMPARE(result.picture->Image().size(), noise.size());
        }
    }

    // Pictures whose format carries its own turn are turned once: the EXIF tag repeating it is not applied
    // on top, whichever way the picture is decoded.
    void turnedOnceByTheFilesOwnTransformation_data() {
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("HEIF irot with EXIF 6") << TurnedHeif();
        QTest::newRow("JPEG XL orientation 6") << TurnedJxl();
    }
    void turnedOnceByTheFilesOwnTransformation() {
        QFETCH(QByteArray, data);
        QVERIFY(!data.isEmpty());
        QCOMPARE(PictureOrientation(data), 1);
        for (const DecodeResult& result : {DecodePicture(data), DecodePictureFitted(data, QSize(16, 16)),
                                           DecodePictureForView(data, QSize(20, 20))}) {
            QCOMPARE(int(result.status), int(DecodeStatus::Decoded));
            QCOMPARE(result.picture->SourceSize(), QSize(32, 64));
            const QImage& image = result.picture->Image();
            QVERIFY(image.height() > image.width());
            QVERIFY(Near(image.pixelColor(image.width() / 2, image.height() / 8), Qt::red));
            QVERIFY(Near(image.pixelColor(image.width() / 2, image.height() * 7 / 8), Qt::blue));
        }
    }

    // A photo with its own profile is converted to the screen's colours (sRGB here); one in sRGB, or
    // without a profile, keeps its values.
    void colourProfileIsConverted_data() {
        QTest::addColumn<int>("space");
        QTest::newRow("Display P3") << int(QColorSpace::DisplayP3);
        QTest::newRow("Adobe RGB") << int(QColorSpace::AdobeRgb);
        QTest::newRow("sRGB") << int(QColorSpace::SRgb);
    }
    void colourProfileIsConverted() {
        QFETCH(int, space);
        const QColorSpace profile{QColorSpace::NamedColorSpace(space)};
        const QColor stored(40, 180, 90);
        QImage image(8, 8, QImage::Format_RGB32);
        image.fill(stored);
        image.setColorSpace(profile);
        QByteArray png;
        QBuffer buffer(&png);
        QVERIFY(buffer.open(QIODevice::WriteOnly) && image.save(&buffer, "PNG"));
        const QColor expected =
            profile.transformationToColorSpace(QColorSpace(QColorSpace::SRgb)).map(stored);
        for (const DecodeResult& result : {DecodePicture(png), DecodePictureFitted(png, QSize(4, 4))}) {
            const QColor shown = result.picture->Image().pixelColor(2, 2);
            QVERIFY2(qAbs(shown.red() - expected.red()) <= 1 && qAbs(shown.green() - expected.green()) <= 1 &&
                         qAbs(shown.blue() - expected.blue()) <= 1,
                     qPrintable(shown.name() + QLatin1Char(' ') + expected.name()));
        }
        if (space != int(QColorSpace::SRgb)) QVERIFY(expected != stored);
    }
};

QTEST_MAIN(PictureFormatsTest)
#include "PictureFormatsTest.moc"
