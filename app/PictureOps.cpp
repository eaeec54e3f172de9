#include "PictureOps.h"

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

} // namespace quillmark
