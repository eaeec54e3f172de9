#include "PictureDecoder.h"

#include <QBuffer>
#include <QImageReader>
#include <QPaintDevice>
#include <QPainter>
#include <QtMath>

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>

namespace quillmark {

namespace {

// Formats whose readers claim data by weak guesses rather than a signature: probed on arbitrary bytes they
// turn noise into pictures, so they are never chosen by content.
bool IsGuessedFormat(const QByteArray& format) {
    return format == "tga" || format == "wbmp";
}

// A reduction into a larger rectangle than this many device pixels is drawn directly instead of cached.
constexpr qint64 kRenderCacheLimit = 16 * 1024 * 1024;

// Full decodes of large photos and panoramas go past Qt's default 256 MB allocation limit; hostile
// dimensions still stop at this one.
constexpr int kAllocationLimitMb = 1024;

int LittleEndian16(const QByteArray& data, qsizetype pos) {
    return static_cast<unsigned char>(data[pos]) | (static_cast<unsigned char>(data[pos + 1]) << 8);
}

// The image-descriptor rectangle of the first image in GIF data, found by walking the block structure.
// Each step moves forward, so the walk ends on any data.
std::optional<QRect> FirstGifImageRect(const QByteArray& data) {
    const qsizetype n = data.size();
    if (n < 13 || !data.startsWith("GIF")) return std::nullopt;
    qsizetype pos = 13;
    const auto packed = static_cast<unsigned char>(data[10]);
    if (packed & 0x80) pos += 3 * (qsizetype(1) << ((packed & 7) + 1));
    while (pos < n) {
        const auto block = static_cast<unsigned char>(data[pos]);
        if (block == 0x2C) {
            if (pos + 9 > n) return std::nullopt;
            return QRect(LittleEndian16(data, pos + 1), LittleEndian16(data, pos + 3),
                         LittleEndian16(data, pos + 5), LittleEndian16(data, pos + 7));
        }
        if (block != 0x21) return std::nullopt;
        pos += 2; // introducer and label
        for (;;) {
            if (pos >= n) return std::nullopt;
            const auto length = static_cast<unsigned char>(data[pos]);
            pos += 1 + length;
            if (length == 0) break;
        }
    }
    return std::nullopt;
}

// Qt paints a GIF's first frame onto a canvas of the logical screen's size; the holder positions frames
// itself, so the picture is the frame's own rectangle.
QImage CropToFirstGifFrame(const QImage& canvas, const QByteArray& data) {
    const std::optional<QRect> frame = FirstGifImageRect(data);
    if (!frame || frame->isEmpty() || canvas.size() == frame->size()) return canvas;
    const QRect inside = frame->intersected(canvas.rect());
    if (inside.isEmpty() || inside == canvas.rect()) return canvas;
    return canvas.copy(inside);
}

// Reading state shared by the two decodes: the buffer must outlive the reader.
struct Reading {
    QByteArray data;
    QBuffer buffer;
    QImageReader reader;
    DecodeStatus status = DecodeStatus::Decoded;

    explicit Reading(const QByteArray& bytes) : data(bytes), buffer(&data) {
        static const bool limitRaised = [] {
            if (QImageReader::allocationLimit() < kAllocationLimitMb)
                QImageReader::setAllocationLimit(kAllocationLimitMb);
            return true;
        }();
        Q_UNUSED(limitRaised);
        if (!buffer.open(QIODevice::ReadOnly)) {
            status = DecodeStatus::StreamFailed;
            return;
        }
        reader.setDevice(&buffer);
        reader.setDecideFormatFromContent(true);
        // Pictures are shown as stored; the orientation tag is the metadata's business.
        reader.setAutoTransform(false);
        if (!reader.canRead() || IsGuessedFormat(reader.format())) status = DecodeStatus::InvalidFormat;
    }

    bool IsGif() { return reader.format() == "gif"; }

    DecodeStatus Read(QImage& image) {
        image = reader.read();
        if (!image.isNull()) return DecodeStatus::Decoded;
        // A reader that accepted the data but failed on it saw a broken file; one that reports no error
        // simply had nothing to give.
        return reader.error() == QImageReader::UnknownError ? DecodeStatus::NoPicture
                                                            : DecodeStatus::InvalidFormat;
    }
};

DecodeResult Done(QImage image, QSize sourceSize) {
    return {DecodeStatus::Decoded, std::make_shared<const DecodedPicture>(std::move(image), sourceSize)};
}

} // namespace

int MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0) return -1;
    const std::int64_t product = std::int64_t(number) * numerator;
    std::int64_t quotient = product / denominator;
    const std::int64_t remainder = product % denominator;
    if (2 * std::llabs(remainder) >= std::llabs(std::int64_t(denominator)))
        quotient += ((product < 0) != (denominator < 0)) ? -1 : 1;
    if (quotient > std::numeric_limits<int>::max() || quotient < std::numeric_limits<int>::min()) return -1;
    return static_cast<int>(quotient);
}

QSize FitWithin(int pw, int ph, int aw, int ah) {
    const double rx = double(pw) / aw;
    const double ry = double(ph) / ah;
    if (rx > 1 || ry > 1) {
        if (rx > ry) return QSize(aw, static_cast<int>(ph / rx));
        return QSize(static_cast<int>(pw / ry), ah);
    }
    return QSize(pw, ph);
}

DecodedPicture::DecodedPicture(QImage image, QSize sourceSize)
    : image_(std::move(image)), sourceSize_(sourceSize),
      himetricWidth_(MulDiv(sourceSize.width(), kHimetricPerInch, kDecoderDpi)),
      himetricHeight_(MulDiv(sourceSize.height(), kHimetricPerInch, kDecoderDpi)) {}

void DecodedPicture::Render(QPainter& painter, const QRect& target) const {
    if (target.width() <= 0 || target.height() <= 0 || image_.isNull()) return;
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatio() : 1.0;
    const QSize deviceSize(qCeil(target.width() * ratio), qCeil(target.height() * ratio));
    if (deviceSize == image_.size()) {
        painter.drawImage(target, image_);
        return;
    }
    const bool reduces = deviceSize.width() <= image_.width() && deviceSize.height() <= image_.height();
    if (reduces && qint64(deviceSize.width()) * deviceSize.height() <= kRenderCacheLimit) {
        if (scaledCache_.size() != deviceSize)
            scaledCache_ = image_.scaled(deviceSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        painter.drawImage(target, scaledCache_);
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, image_);
    painter.restore();
}

DecodeResult DecodePicture(const QByteArray& data) {
    Reading reading(data);
    if (reading.status != DecodeStatus::Decoded) return {reading.status, nullptr};
    const bool gif = reading.IsGif();
    QImage image;
    if (const DecodeStatus status = reading.Read(image); status != DecodeStatus::Decoded)
        return {status, nullptr};
    if (gif) image = CropToFirstGifFrame(image, data);
    const QSize size = image.size();
    return Done(std::move(image), size);
}

DecodeResult DecodePictureFitted(const QByteArray& data, QSize bound) {
    bound = bound.expandedTo(QSize(1, 1));
    Reading reading(data);
    if (reading.status != DecodeStatus::Decoded) return {reading.status, nullptr};
    const bool gif = reading.IsGif();
    const QSize announced = reading.reader.size();
    const bool exceeds = announced.isValid() && !announced.isEmpty() &&
                         (announced.width() > bound.width() || announced.height() > bound.height());
    if (!gif && exceeds && reading.reader.supportsOption(QImageIOHandler::ScaledSize)) {
        // The JPEG reader turns a scaled size into libjpeg's DCT scaling: the picture is decoded at
        // 1/2, 1/4 or 1/8 of its size and only then smoothed down to the target.
        reading.reader.setScaledSize(
            FitWithin(announced.width(), announced.height(), bound.width(), bound.height())
                .expandedTo(QSize(1, 1)));
        QImage image;
        if (const DecodeStatus status = reading.Read(image); status != DecodeStatus::Decoded)
            return {status, nullptr};
        return Done(std::move(image), announced);
    }
    QImage image;
    if (const DecodeStatus status = reading.Read(image); status != DecodeStatus::Decoded)
        return {status, nullptr};
    if (gif) image = CropToFirstGifFrame(image, data);
    const QSize full = image.size();
    if (full.width() > bound.width() || full.height() > bound.height()) {
        const QSize target =
            FitWithin(full.width(), full.height(), bound.width(), bound.height()).expandedTo(QSize(1, 1));
        image = image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    return Done(std::move(image), full);
}

} // namespace quillmark
