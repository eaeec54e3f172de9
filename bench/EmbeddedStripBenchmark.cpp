// A strip filled from what the photos embed against decoding the photos themselves.
//
//   EmbeddedStripBenchmark [--dir DIR] [--count N] [--size WxH] [--cell PIXELS]
//
// Makes, in DIR (default /tmp/quillmark-embedded-strip-2, kept for later runs), N photos of each of four
// kinds at W x H pixels (default 4 of each at 4000 x 3000): HEIC with a thumbnail item (libheif's HEVC
// encoder; left out when it has none), JPEG with an EXIF thumbnail, JPEG without one, and a raw-like TIFF
// (Panasonic's RW2 layout: a TIFF header whose first directory names a full-size JPEG preview, whose EXIF
// holds a 160 x 120 thumbnail as the camera's does, then sensor bytes). It then fills a strip's cells of PIXELS device pixels (default 160) twice, one photo after the
// other on one thread: the strip's own way (PrepareThumbnailLoad's decode: the EXIF thumbnail, the HEIF
// thumbnail item, the raw preview the reader locates, a reduced JPEG decode), and by reading and decoding
// every photo whole (DecodePicture). It prints each kind's time per photo and the ratio of the totals.
#include "PictureDecoder.h"
#include "PictureHolder.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>

#include <libheif/heif.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace quillmark;

namespace {

// A photo-like picture: smooth light, edges and fine noise, so the encoders work as on a real one.
QImage Scene(int width, int height, int seed) {
    QImage image(width, height, QImage::Format_RGB888);
    quint32 noise = quint32(seed) * 2654435761u + 1;
    for (int y = 0; y < height; ++y) {
        uchar* line = image.scanLine(y);
        for (int x = 0; x < width; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int n = int(noise >> 28) - 8;
            line[3 * x] = uchar(qBound(0, (x * 255 / width + seed * 40) % 256 + n, 255));
            line[3 * x + 1] = uchar(qBound(0, (y * 255 / height) + n, 255));
            line[3 * x + 2] = uchar(qBound(0, ((x / 97 + y / 89) % 2) * 120 + 60 + n, 255));
        }
    }
    return image;
}

QByteArray Jpeg(const QImage& image, int quality = 90) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", quality);
    return bytes;
}

void Put16(std::string& s, unsigned v) {
    s += char(v & 0xFF);
    s += char(v >> 8);
}
void Put32(std::string& s, quint32 v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}
void Entry(std::string& s, unsigned tag, unsigned type, quint32 count, quint32 value) {
    Put16(s, tag);
    Put16(s, type);
    Put32(s, count);
    Put32(s, value);
}

// A JPEG with an APP1 EXIF block whose thumbnail directory names a 160 x 120 JPEG.
[[maybe_unused]] QByteArray WithExifThumbnail(const QByteArray& photo, const QImage& scene) {
    const QByteArray thumb =
        Jpeg(scene.scaled(160, 120, Qt::IgnoreAspectRatio, Qt::SmoothTransformation), 80);
    std::string tiff = "II*";
    tiff += '\0';
    Put32(tiff, 8);
    Put16(tiff, 1); // IFD0: orientation
    Entry(tiff, 0x0112, 3, 1, 1);
    Put32(tiff, 26);
    Put16(tiff, 2); // IFD1: the thumbnail
    Entry(tiff, 0x0201, 4, 1, 56);
    Entry(tiff, 0x0202, 4, 1, quint32(thumb.size()));
    Put32(tiff, 0);
    tiff.append(thumb.constData(), size_t(thumb.size()));
    const std::string body = std::string("Exif\0\0", 6) + tiff;
    QByteArray out("\xFF\xD8\xFF\xE1", 4);
    out += char((body.size() + 2) >> 8);
    out += char((body.size() + 2) & 0xFF);
    out += QByteArray(body.data(), qsizetype(body.size()));
    return out + photo.mid(2);
}

// Panasonic's layout: "IIU" header, a first directory whose tag 0x002E holds a JPEG, then the sensor's
// bytes (12 bits a pixel, noise here).
[[maybe_unused]] QByteArray RawLike(const QByteArray& preview, int width, int height) {
    std::string file = "IIU";
    file += '\0';
    Put32(file, 8);
    Put16(file, 3);
    Entry(file, 0x0002, 4, 1, quint32(width));
    Entry(file, 0x0003, 4, 1, quint32(height));
    Entry(file, 0x002E, 7, quint32(preview.size()), 8 + 2 + 36 + 4);
    Put32(file, 0);
    QByteArray out(file.data(), qsizetype(file.size()));
    out += preview;
    QByteArray sensor(qsizetype(width) * height * 3 / 2, Qt::Uninitialized);
    quint32 noise = 12345;
    for (char& c : sensor) {
        noise = noise * 1664525u + 1013904223u;
        c = char(noise >> 24);
    }
    return out + sensor;
}

heif_error WriteToArray(heif_context*, const void* data, size_t size, void* userdata) {
    static_cast<QByteArray*>(userdata)->append(static_cast<const char*>(data), qsizetype(size));
    return heif_error{heif_error_Ok, heif_suberror_Unspecified, "ok"};
}

} // namespace

// A HEIC of the scene with a 320-pixel thumbnail item, as phones write them; empty without an HEVC encoder.
QByteArray MakeHeic(const QImage& scene, int thumbnailSide) {
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    QByteArray bytes;
    if (heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder).code == heif_error_Ok) {
        heif_encoder_set_lossy_quality(encoder, 80);
        heif_image* image = nullptr;
        heif_image_create(scene.width(), scene.height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB,
                          &image);
        heif_image_add_plane(image, heif_channel_interleaved, scene.width(), scene.height(), 8);
        int stride = 0;
        uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
        for (int y = 0; y < scene.height(); ++y)
            memcpy(plane + qsizetype(y) * stride, scene.constScanLine(y), size_t(scene.width() * 3));
        heif_image_handle* handle = nullptr;
        if (heif_context_encode_image(context, image, encoder, nullptr, &handle).code == heif_error_Ok) {
            heif_image_handle* thumbnail = nullptr;
            if (thumbnailSide > 0 && heif_context_encode_thumbnail(context, image, handle, encoder, nullptr,
                                                                   thumbnailSide, &thumbnail)
                                             .code == heif_error_Ok)
                heif_image_handle_release(thumbnail);
            heif_writer writer{1, WriteToArray};
            heif_context_write(context, &writer, &bytes);
            heif_image_handle_release(handle);
        }
        heif_image_release(image);
        heif_encoder_release(encoder);
    }
    heif_context_free(context);
    return bytes;
}

#ifndef QUILLMARK_NO_MAIN
namespace {

struct Kind {
    const char* Name;
    const char* Suffix;
    std::vector<QString> Files;
    double Strip = 0, Whole = 0;
};

bool Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString dir = QStringLiteral("/tmp/quillmark-embedded-strip-2");
    int count = 4, width = 4000, height = 3000, cell = 160;
    for (int i = 1; i + 1 < argc; i += 2) {
        const QString option = QString::fromLocal8Bit(argv[i]), value = QString::fromLocal8Bit(argv[i + 1]);
        if (option == QLatin1String("--dir"))
            dir = value;
        else if (option == QLatin1String("--count"))
            count = value.toInt();
        else if (option == QLatin1String("--cell"))
            cell = value.toInt();
        else if (option == QLatin1String("--size")) {
            width = value.section(QLatin1Char('x'), 0, 0).toInt();
            height = value.section(QLatin1Char('x'), 1, 1).toInt();
        }
    }
    if (count < 1 || width < 16 || height < 16 || cell < 1) {
        std::fprintf(stderr,
                     "usage: EmbeddedStripBenchmark [--dir DIR] [--count N] [--size WxH] [--cell PIXELS]\n");
        return 2;
    }
    QDir().mkpath(dir);
    std::vector<Kind> kinds = {{"HEIC, thumbnail item", "heic", {}},
                               {"JPEG, EXIF thumbnail", "jpg", {}},
                               {"JPEG, no thumbnail", "jpeg", {}},
                               {"raw-like, preview+thumb", "rw2", {}}};
    for (int i = 0; i < count; ++i) {
        const QString stem = QStringLiteral("%1/%2x%3-%4.").arg(dir).arg(width).arg(height).arg(i);
        bool made = true;
        for (const Kind& kind : kinds)
            made = made && QFile::exists(stem + QLatin1String(kind.Suffix));
        if (!made) {
            std::fprintf(stderr, "making photo set %d in %s ...\n", i, qPrintable(dir));
            const QImage scene = Scene(width, height, i);
            const QByteArray photo = Jpeg(scene);
            Write(stem + QLatin1String("heic"), MakeHeic(scene, 320));
            Write(stem + QLatin1String("jpg"), WithExifThumbnail(photo, scene));
            Write(stem + QLatin1String("jpeg"), photo);
            Write(stem + QLatin1String("rw2"), RawLike(WithExifThumbnail(photo, scene), width, height));
        }
        for (Kind& kind : kinds)
            if (QFileInfo(stem + QLatin1String(kind.Suffix)).size() > 0)
                kind.Files.push_back(stem + QLatin1String(kind.Suffix));
    }

    const QSize bound(cell, cell);
    double strip = 0, whole = 0;
    int embedded = 0, photos = 0;
    for (Kind& kind : kinds) {
        for (const QString& path : kind.Files) {
            QElapsedTimer timer;
            timer.start();
            const TThumbnailLoad load = DecodeThumbnailLoad(path, bound);
            kind.Strip += timer.nsecsElapsed() / 1e6;
            embedded += load.FromExifThumbnail ? 1 : 0;
            if (!load.Decoded) std::fprintf(stderr, "%s: no strip picture\n", qPrintable(path));
            timer.restart();
            QFile file(path);
            file.open(QIODevice::ReadOnly);
            const DecodeResult result = DecodePicture(file.readAll());
            if (result.picture) (void)result.picture->Image(); // a pending turn made, as a cell would need
            kind.Whole += timer.nsecsElapsed() / 1e6;
            if (result.status != DecodeStatus::Decoded)
                std::fprintf(stderr, "%s: no whole picture\n", qPrintable(path));
            ++photos;
        }
        if (kind.Files.empty()) {
            std::printf("%-24s  none made (no encoder)\n", kind.Name);
            continue;
        }
        const double n = double(kind.Files.size());
        std::printf("%-24s  strip %8.2f ms/photo   whole decode %8.2f ms/photo   %6.1fx\n", kind.Name,
                    kind.Strip / n, kind.Whole / n, kind.Whole / kind.Strip);
        strip += kind.Strip;
        whole += kind.Whole;
    }
    std::printf("%d photos of %dx%d, %d drawn from what they embed: strip %.1f ms, whole decodes %.1f ms, "
                "ratio %.1fx (goal >= 20x)\n",
                photos, width, height, embedded, strip, whole, whole / strip);
    return 0;
}
#endif
