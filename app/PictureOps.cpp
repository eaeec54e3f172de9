#include "PictureOps.h"

#include "ByteView.h"
#include "ImgData.h"
#include "JpegHeader.h"
#include "JpegMarkers.h"
#include "JpegWriter.h"
#include "PictureFormats.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>
#include <algorithm>

#include <cerrno>
#include <cstring>

namespace quillmark {

QByteArray EncodeBmp(const QImage& picture) {
    return EncodePicture(picture, TPictureFormat::Bmp);
}

TPictureFormat SniffPictureFormat(const QByteArray& bytes) {
    const auto startsWith = [&bytes](const char* signature, qsizetype length) {
        return bytes.size() >= length && std::memcmp(bytes.constData(), signature, size_t(length)) == 0;
    };
    if (startsWith("\xFF\xD8\xFF", 3)) return TPictureFormat::Jpeg;
    if (startsWith("\x89PNG\r\n\x1A\n", 8)) return TPictureFormat::Png;
    if (startsWith("BM", 2)) return TPictureFormat::Bmp;
    if (startsWith("GIF8", 4)) return TPictureFormat::Gif;
    if (startsWith("II*\0", 4) || startsWith("MM\0*", 4)) return TPictureFormat::Tiff;
    return TPictureFormat::Unknown;
}

TPictureFormat PictureFormatOfName(const QString& fileName) {
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == u"jpg" || suffix == u"jpeg" || suffix == u"jpe" || suffix == u"jfif")
        return TPictureFormat::Jpeg;
    if (suffix == u"png") return TPictureFormat::Png;
    if (suffix == u"bmp" || suffix == u"dib") return TPictureFormat::Bmp;
    if (suffix == u"gif") return TPictureFormat::Gif;
    if (suffix == u"tif" || suffix == u"tiff") return TPictureFormat::Tiff;
    return TPictureFormat::Unknown;
}

QString PictureFormatCaption(TPictureFormat format) {
    switch (format) {
    case TPictureFormat::Jpeg:
        return QStringLiteral("JPEG");
    case TPictureFormat::Png:
        return QStringLiteral("PNG");
    case TPictureFormat::Bmp:
        return QStringLiteral("BMP");
    case TPictureFormat::Gif:
        return QStringLiteral("GIF");
    case TPictureFormat::Tiff:
        return QStringLiteral("TIFF");
    case TPictureFormat::Unknown:
        break;
    }
    return QStringLiteral("an unknown format");
}

QByteArray EncodePicture(const QImage& picture, TPictureFormat format) {
    if (picture.isNull())
        throw TPictureFileError("There is no picture to write as " +
                                PictureFormatCaption(format).toStdString());
    if (format == TPictureFormat::Jpeg) {
        const TEncodedJpeg encoded = EncodeJpeg(ToRgbImage(picture), kSaveAsJpegQuality);
        return QByteArray(encoded.Bytes.data(), qsizetype(encoded.Bytes.size()));
    }
    const char* writerFormat = nullptr;
    switch (format) {
    case TPictureFormat::Png:
        writerFormat = "png";
        break;
    case TPictureFormat::Bmp:
        writerFormat = "bmp";
        break;
    case TPictureFormat::Tiff:
        writerFormat = "tiff";
        break;
    default:
        throw TPictureFileError("Pictures cannot be written as " +
                                PictureFormatCaption(format).toStdString());
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, writerFormat);
    if (!writer.write(picture))
        throw TPictureFileError("Cannot encode the picture as " + PictureFormatCaption(format).toStdString() +
                                ": " + writer.errorString().toStdString());
    return bytes;
}

QByteArray BytesToSave(const QByteArray& held, const QImage& shown, const QString& fileName) {
    const TPictureFormat wanted = PictureFormatOfName(fileName);
    if (wanted == TPictureFormat::Unknown || wanted == SniffPictureFormat(held)) return held;
    return EncodePicture(shown, wanted);
}

void WriteFileAtomically(const QString& fileName, const QByteArray& bytes) {
    QSaveFile file(fileName);
    const auto fail = [&fileName](const QString& reason) {
        throw TPictureFileError(QStringLiteral("Cannot write %1: %2").arg(fileName, reason).toStdString());
    };
    if (!file.open(QIODevice::WriteOnly)) fail(file.errorString());
    // A file smaller than QSaveFile's buffer reaches the disk only when the buffer is flushed, and
    // commit() puts the file in place even when that flush fails (a full disk): the short file would
    // replace the target and the save would report success. So the buffer is flushed here, and a
    // short write or a failed flush cancels. Qt leaves its error text empty for both ("Unknown
    // error"); the system's reason is the one to show.
    errno = 0;
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const int error = errno;
        const QString reason = error != 0 ? QString::fromLocal8Bit(std::strerror(error)) : file.errorString();
        file.cancelWriting();
        fail(reason);
    }
    if (!file.commit()) fail(file.errorString());
}

TRgbImage ToRgbImage(const QImage& picture) {
    TRgbImage image;
    if (picture.isNull()) return image;
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    image.Width = rgb.width();
    image.Height = rgb.height();
    const size_t rowBytes = size_t(image.Width) * 3;
    image.Pixels.resize(rowBytes * size_t(image.Height));
    for (int y = 0; y < image.Height; ++y)
        std::memcpy(image.Pixels.data() + rowBytes * size_t(y), rgb.constScanLine(y), rowBytes);
    return image;
}

QImage FromRgbImage(const TRgbImage& image) {
    const size_t rowBytes = size_t(image.Width) * 3;
    if (image.Width <= 0 || image.Height <= 0 || image.Pixels.size() < rowBytes * size_t(image.Height))
        return QImage();
    QImage picture(image.Width, image.Height, QImage::Format_RGB888);
    if (picture.isNull()) throw std::bad_alloc();
    for (int y = 0; y < image.Height; ++y)
        std::memcpy(picture.scanLine(y), image.Pixels.data() + rowBytes * size_t(y), rowBytes);
    return picture;
}

TRgbImage HalfSize(const TRgbImage& image) {
    const int halfWidth = image.Width / 2;
    const int halfHeight = image.Height / 2;
    if (halfWidth < 1 || halfHeight < 1)
        throw TPictureFileError("The photo is too small for a half-size copy");
    const QImage full = FromRgbImage(image);
    if (full.isNull()) throw TPictureFileError("The photo has no pixels to copy");
    return ToRgbImage(full.scaled(halfWidth, halfHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

std::vector<TFileFilter> OpenImageFilters() {
    const auto entry = [](const QString& caption, const char* extensions) {
        QStringList patterns;
        for (const QString& extension : QString::fromLatin1(extensions).split(QLatin1Char(' ')))
            patterns << QStringLiteral("*.") + extension;
        return TFileFilter{
            caption + QStringLiteral(" (") + patterns.join(QLatin1Char(';')) + QLatin1Char(')'), patterns};
    };
    std::vector<TFileFilter> filters;
    QStringList every;
    for (const TPictureType& type : PictureTypes()) {
        filters.push_back(entry(QCoreApplication::translate("TForm1", type.Caption), type.Extensions));
        every << QString::fromLatin1(type.Extensions);
    }
    filters.insert(filters.begin(), entry(QCoreApplication::translate("TForm1", "All pictures"),
                                          every.join(QLatin1Char(' ')).toLatin1().constData()));
    return filters;
}

TJpegTransform TransformForTurn(TPixelTurn turn) {
    static constexpr TJpegTransform kPlain[] = {TJpegTransform::None, TJpegTransform::Rotate90,
                                                TJpegTransform::Rotate180, TJpegTransform::Rotate270};
    // A mirror followed by a quarter turn right is the anti-diagonal mirror; by a left turn, the diagonal.
    static constexpr TJpegTransform kMirrored[] = {TJpegTransform::FlipH, TJpegTransform::Transverse,
                                                   TJpegTransform::FlipV, TJpegTransform::Transpose};
    const int quarters = ((turn.Quarters % 4) + 4) % 4;
    return turn.Mirror ? kMirrored[quarters] : kPlain[quarters];
}

int OrientationForTurn(TPixelTurn turn) {
    for (int orientation = 1; orientation <= 8; ++orientation)
        if (TurnForOrientation(orientation) == TPixelTurn{turn.Mirror, ((turn.Quarters % 4) + 4) % 4})
            return orientation;
    return 1;
}

bool SetOrientationTag(TimgData& photo, int orientation) {
    bool set = false;
    if (!photo.ExifReader || photo.ExifSection < 1) return false;
    std::string& section = photo.Section(photo.ExifSection).Data;
    for (const TTagEntry& entry : photo.ExifReader->Entries) {
        if (entry.ListId != 0 || entry.Tag != 0x0112 || entry.FieldType != 3) continue;
        // Positions count from 1 and come from the file: one that leaves the section changes nothing.
        const int64_t at = int64_t(entry.ValueOffset) - 1;
        if (at < 0 || at + 2 > int64_t(section.size())) continue;
        section[size_t(at)] = photo.BigEndian ? '\0' : char(orientation);
        section[size_t(at) + 1] = photo.BigEndian ? char(orientation) : '\0';
        set = true;
    }
    return set;
}

std::string JpegPictureStream(std::string_view jpeg) {
    TJpegMarkers walk(jpeg);
    while (const std::optional<TJpegMarker> marker = walk.Next()) {
        const bool app = marker->Code >= 0xE0 && marker->Code <= 0xEF;
        if (app || marker->Code == 0xFE) continue;
        return std::string("\xFF\xD8", 2) + std::string(jpeg.substr(size_t(marker->Offset)));
    }
    throw JpegCodecError("The photo holds no picture data");
}

namespace {

// Turns the EXIF thumbnail in place the way the photo turns.
void TurnExifThumbnail(TimgData& photo, TJpegTransform transform) {
    if (!photo.ExifReader || photo.ExifSection < 1) return;
    std::string& section = photo.Section(photo.ExifSection).Data;
    if (section.size() < 2) return;
    const std::string_view block = std::string_view(section).substr(2);
    const std::string_view thumbnail = FindExifThumbnail(block);
    if (thumbnail.empty()) return;
    const size_t start = size_t(thumbnail.data() - section.data());
    TEncodedJpeg turned;
    try {
        turned = TransformJpeg(thumbnail, transform, true);
        // Without the JFIF section TurboJPEG adds: a thumbnail needs none.
        turned.Bytes = JpegPictureStream(turned.Bytes);
    } catch (const JpegCodecError&) {
        return;
    }
    // A thumbnail at the end of the section may grow; one inside it must fit where the old one was, or it
    // is blanked: a thumbnail lying the wrong way would be worse than none.
    const bool atEnd = start + thumbnail.size() == section.size();
    if (turned.Bytes.size() > thumbnail.size() && (!atEnd || start + turned.Bytes.size() > 0xFFFF))
        turned.Bytes.clear();
    // The thumbnail's length field (tag 0x0202 of the second directory), found in the block itself.
    const TByteView tiff(block.substr(std::min<size_t>(6, block.size())));
    const bool big = tiff.U8(0) == std::optional<std::uint8_t>('M');
    const std::optional<std::uint32_t> first = tiff.U32(4, big);
    const std::optional<std::uint16_t> firstCount = first ? tiff.U16(*first, big) : std::nullopt;
    if (!firstCount) return;
    const std::optional<std::uint32_t> second =
        tiff.U32(std::uint64_t(*first) + 2 + 12 * std::uint64_t(*firstCount), big);
    const std::optional<std::uint16_t> count = second ? tiff.U16(*second, big) : std::nullopt;
    if (!count) return;
    std::optional<std::uint64_t> field;
    for (std::uint32_t i = 0; i < *count && i < 1000; ++i) {
        const std::uint64_t entry = std::uint64_t(*second) + 2 + 12 * std::uint64_t(i);
        if (tiff.U16(entry, big) == std::optional<std::uint16_t>(0x0202) &&
            tiff.U16(entry + 2, big) == std::optional<std::uint16_t>(4) && tiff.Holds(entry + 8, 4))
            field = entry + 8;
    }
    if (!field) return;
    const size_t oldSize = thumbnail.size();
    if (atEnd) {
        section.replace(start, oldSize, turned.Bytes);
        section[0] = char(section.size() >> 8);
        section[1] = char(section.size() & 0xFF);
    } else {
        section.replace(start, turned.Bytes.size(), turned.Bytes);
        std::fill(section.begin() + std::ptrdiff_t(start + turned.Bytes.size()),
                  section.begin() + std::ptrdiff_t(start + oldSize), '\0');
    }
    const std::uint32_t length = std::uint32_t(turned.Bytes.size());
    const size_t at = 2 + 6 + size_t(*field);
    for (int i = 0; i < 4; ++i)
        section[at + size_t(i)] = char((length >> (8 * (big ? 3 - i : i))) & 0xFF);
}

} // namespace

void WriteTurnedJpeg(TimgData& photo, const std::string& original, TPixelTurn turn, TLosslessChoice choice,
                     const std::string& fileName) {
    if (choice == TLosslessChoice::TagOnly && SetOrientationTag(photo, OrientationForTurn(turn))) {
        photo.WriteJpegFile(TEncodedJpeg{JpegPictureStream(original), 0, 0}, fileName, false);
        return;
    }
    const TJpegTransform transform = TransformForTurn(turn);
    const TEncodedJpeg turned = TransformJpeg(original, transform, choice == TLosslessChoice::Trim);
    SetOrientationTag(photo, 1);
    TurnExifThumbnail(photo, transform);
    photo.WriteJpegFile(turned, fileName, true);
}

} // namespace quillmark
