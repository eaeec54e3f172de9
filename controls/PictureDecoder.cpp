#include "PictureDecoder.h"

#include "ByteView.h"
#include "ImgData.h"
#include "JpegHeader.h"
#include "PictureFormats.h"
#include "PictureTurn.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QtMath>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string_view>

namespace quillmark {

namespace {

// Formats whose readers claim data by weak guesses rather than a signature: probed on arbitrary bytes they
// turn noise into pictures, so they are never chosen by content.
bool IsGuessedFormat(const QByteArray& format) {
    return format == "tga" || format == "wbmp";
}

// A reduction into a larger rectangle than this many device pixels is drawn directly instead of cached.
constexpr qint64 kRenderCacheLimit = 16 * 1024 * 1024;

// The most pixels a thumbnail's reduced JPEG decode may produce before it is smoothed down to the cell:
// 64 MiB, a gigapixel photo at 1/8 of its size. A few hundred bytes that claim the largest picture a
// JPEG can name would otherwise cost a quarter of a gigabyte and most of a second per file, on every
// worker of a folder scan at once.
constexpr qint64 kMaxReducedDecodePixels = 16 * 1024 * 1024;

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
        // Qt's reader decodes as stored: the orientation is applied here, from the same reading of the tag
        // for every path, and lazily for the view's large photos.
        reader.setAutoTransform(false);
        if (!reader.canRead() || IsGuessedFormat(reader.format())) status = DecodeStatus::InvalidFormat;
    }

    bool IsGif() { return reader.format() == "gif"; }

    DecodeStatus Read(QImage& image) {
        image = reader.read();
        if (!image.isNull()) {
            // Drawn in the screen's colours: a photo with its own profile (Display P3, Adobe RGB) is
            // converted once here, for the view, the strip and the full pixels alike.
            if (image.colorSpace().isValid() && image.colorSpace() != DisplayColorSpace())
                image = ToDisplayColors(std::move(image));
            return DecodeStatus::Decoded;
        }
        // A reader that accepted the data but failed on it saw a broken file; one that reports no error
        // simply had nothing to give.
        return reader.error() == QImageReader::UnknownError ? DecodeStatus::NoPicture
                                                            : DecodeStatus::InvalidFormat;
    }
};

DecodeResult Done(QImage image, QSize sourceSize) {
    return {DecodeStatus::Decoded, std::make_shared<const DecodedPicture>(std::move(image), sourceSize)};
}

// A picture reduced for a thumbnail, turned upright at once (it is small, and it is made on a worker thread,
// where nothing may be left to make later), reporting the whole picture's upright size.
DecodeResult Upright(QImage image, QSize storedSize, TPixelTurn turn) {
    if (turn.IsIdentity()) return Done(std::move(image), storedSize);
    return Done(TurnPixels(image, turn), turn.Sideways() ? storedSize.transposed() : storedSize);
}

// An EXIF thumbnail lives in a block of at most 64 KiB; one that claims more pixels than this is no
// thumbnail, and decoding it on a worker thread would only take memory.
constexpr int kMaxThumbnailSide = 4096;
// Shapes this close count as the same (rounding by the camera).
constexpr double kSameShape = 1.02;
// A thumbnail squeezed into its own shape without bars is drawn back to the photo's; one further off than
// this is taken for a picture of something else (a turned thumbnail, a stray preview) and not used.
constexpr double kMaxSqueeze = 1.5;
// Bars are flat: their pixels stay this close to the bar's mean colour on average, per channel.
constexpr int kFlatDeviation = 10;
// Both bars have about the same colour.
constexpr int kBarsAlike = 24;

struct Band {
    bool flat = false;
    int red = 0, green = 0, blue = 0;
};

// Whether a band of pixels is one flat colour, and which. An empty band is not.
Band MeasureBand(const QImage& image, const QRect& band) {
    Band result;
    if (band.isEmpty()) return result;
    qint64 sums[3] = {0, 0, 0};
    const qint64 count = qint64(band.width()) * band.height();
    for (int y = band.top(); y <= band.bottom(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = band.left(); x <= band.right(); ++x) {
            sums[0] += qRed(line[x]);
            sums[1] += qGreen(line[x]);
            sums[2] += qBlue(line[x]);
        }
    }
    result.red = int(sums[0] / count);
    result.green = int(sums[1] / count);
    result.blue = int(sums[2] / count);
    qint64 deviation = 0;
    for (int y = band.top(); y <= band.bottom(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = band.left(); x <= band.right(); ++x)
            deviation += std::abs(qRed(line[x]) - result.red) + std::abs(qGreen(line[x]) - result.green) +
                         std::abs(qBlue(line[x]) - result.blue);
    }
    result.flat = deviation <= qint64(kFlatDeviation) * 3 * count;
    return result;
}

// The part of a thumbnail that shows the photo: the whole thumbnail when the shapes agree or the camera
// squeezed the photo in, the middle when it added flat bars, none when the shapes are too far apart.
std::optional<QRect> ThumbnailContent(const QImage& image, QSize photo) {
    const double photoShape = double(photo.width()) / photo.height();
    const double thumbShape = double(image.width()) / image.height();
    const double mismatch = photoShape > thumbShape ? photoShape / thumbShape : thumbShape / photoShape;
    if (mismatch <= kSameShape) return image.rect();
    // The bars are measured a pixel away from the picture, whose edge the compression smears.
    QRect content, first, second;
    if (photoShape > thumbShape) { // bars above and below
        const int h = std::clamp(qRound(image.width() / photoShape), 1, image.height());
        const int top = (image.height() - h) / 2;
        content = QRect(0, top, image.width(), h);
        first = QRect(0, 0, image.width(), top - 1);
        second = QRect(0, top + h + 1, image.width(), image.height() - top - h - 1);
    } else { // bars left and right
        const int w = std::clamp(qRound(image.height() * photoShape), 1, image.width());
        const int left = (image.width() - w) / 2;
        content = QRect(left, 0, w, image.height());
        first = QRect(0, 0, left - 1, image.height());
        second = QRect(left + w + 1, 0, image.width() - left - w - 1, image.height());
    }
    const Band a = MeasureBand(image, first);
    const Band b = MeasureBand(image, second);
    if (a.flat && b.flat && std::abs(a.red - b.red) <= kBarsAlike &&
        std::abs(a.green - b.green) <= kBarsAlike && std::abs(a.blue - b.blue) <= kBarsAlike)
        return content;
    if (mismatch <= kMaxSqueeze) return image.rect();
    return std::nullopt;
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

DecodedPicture::DecodedPicture(std::shared_ptr<const DecodedPicture> base, TPixelTurn turn)
    : base_(std::move(base)), turn_(turn),
      sourceSize_(turn.Sideways() ? base_->sourceSize_.transposed() : base_->sourceSize_),
      himetricWidth_(turn.Sideways() ? base_->himetricHeight_ : base_->himetricWidth_),
      himetricHeight_(turn.Sideways() ? base_->himetricWidth_ : base_->himetricHeight_) {}

std::shared_ptr<const DecodedPicture>
DecodedPicture::Turned(const std::shared_ptr<const DecodedPicture>& picture, int degrees) {
    if (degrees % 90 != 0) throw std::invalid_argument("Pictures turn by quarter turns only");
    return Transformed(picture, TPixelTurn{false, ((degrees / 90) % 4 + 4) % 4});
}

std::shared_ptr<const DecodedPicture>
DecodedPicture::Transformed(const std::shared_ptr<const DecodedPicture>& picture, TPixelTurn turn) {
    if (!picture) return nullptr;
    // A mirror after a turn is the opposite turn after the mirror.
    const TPixelTurn first = picture->fromStored_;
    const TPixelTurn fromStored =
        turn.Mirror ? TPixelTurn{!first.Mirror, 0}.ThenTurned(turn.Quarters - first.Quarters)
                    : first.ThenTurned(turn.Quarters);
    std::shared_ptr<const DecodedPicture> base = picture;
    if (picture->base_) {
        // Still pending: transform the original once, by both together. A mirror after a turn is the
        // opposite turn after the mirror, so the mirrors cancel and the turns subtract.
        base = picture->base_;
        const TPixelTurn first = picture->turn_;
        turn = turn.Mirror ? TPixelTurn{!first.Mirror, 0}.ThenTurned(turn.Quarters - first.Quarters)
                           : first.ThenTurned(turn.Quarters);
    }
    // Back where it started: the original itself, when its pixels already are what a turn would give.
    if (turn.IsIdentity()) {
        const QImage::Format format = base->image_.format();
        if (format == (base->image_.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32))
            return base;
    }
    std::shared_ptr<DecodedPicture> made(new DecodedPicture(std::move(base), turn));
    made->fromStored_ = fromStored;
    return made;
}

std::shared_ptr<const DecodedPicture>
DecodedPicture::WithFullDecodePending(QImage reduction, QSize storedSize, QByteArray data) {
    auto picture = std::make_shared<DecodedPicture>(std::move(reduction), storedSize);
    picture->fullData_ = std::move(data);
    return picture;
}

std::shared_ptr<const DecodedPicture> DecodedPicture::WithStandIn(QImage thumbnail, QSize storedSize,
                                                                  QByteArray data) {
    auto picture = std::make_shared<DecodedPicture>(std::move(thumbnail), storedSize);
    picture->fullData_ = std::move(data);
    picture->standIn_ = true;
    return picture;
}

QImage DecodedPicture::DecodeSharper(const QByteArray& data, QSize bound) {
    try {
        return DecodeHeif(data, bound, THeifThumbnails::Never).Image;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

void DecodedPicture::AcceptSharper(const QByteArray& data, const QImage& sharper) const {
    scaledCache_ = QImage();
    if (base_) {
        base_->AcceptSharper(data, sharper);
        return;
    }
    if (!standIn_ || fullData_.isEmpty() || fullData_.constData() != data.constData()) return;
    standIn_ = false;
    if (sharper.size() == sourceSize_) {
        AcceptFullPixels(data, sharper);
        return;
    }
    // Only more pixels than the stand-in's, of the picture's shape, and never more than the picture has.
    const QSize now = image_.size();
    if (sharper.isNull() || sharper.width() <= now.width() || sharper.height() <= now.height() ||
        sharper.width() > sourceSize_.width() || sharper.height() > sourceSize_.height())
        return;
    image_ = sharper.format() == image_.format() ? sharper : sharper.convertToFormat(image_.format());
}

QByteArray DecodedPicture::PendingFullData() const {
    return base_ ? base_->PendingFullData() : fullData_;
}

QImage DecodedPicture::DecodeFull(const QByteArray& data) {
    if (const TPictureKind kind = SniffPicture(data);
        kind == TPictureKind::Heif || kind == TPictureKind::Avif) {
        try {
            return DecodeHeif(data).Image;
        } catch (const std::bad_alloc&) {
            return {};
        }
    }
    QImage full;
    Reading reading(data);
    if (reading.status != DecodeStatus::Decoded || reading.Read(full) != DecodeStatus::Decoded) return {};
    return full;
}

void DecodedPicture::AcceptFullPixels(const QByteArray& data, const QImage& full) const {
    if (base_) {
        base_->AcceptFullPixels(data, full);
        return;
    }
    // The very bytes pending, not merely equal ones: a picture decoded for another load is never taken.
    if (fullData_.isEmpty() || fullData_.constData() != data.constData()) return;
    fullData_ = QByteArray();
    standIn_ = false;
    // Kept only when it is the whole picture: anything else keeps the reduction, which is all a damaged
    // file can give.
    if (full.size() == sourceSize_)
        image_ = full.format() == image_.format() ? full : full.convertToFormat(image_.format());
}

const QImage& DecodedPicture::Image() const {
    if (!fullData_.isEmpty()) {
        const QByteArray data = fullData_;
        AcceptFullPixels(data, DecodeFull(data));
    }
    if (base_) {
        image_ = TurnPixels(base_->Image(), turn_);
        base_.reset();
    }
    return image_;
}

QSize DecodedPicture::PixelSize() const {
    if (!base_) return fullData_.isEmpty() ? image_.size() : sourceSize_;
    const QSize size = base_->PixelSize();
    return turn_.Sideways() ? size.transposed() : size;
}

QSize DecodedPicture::KeptPixelSize() const {
    if (!base_) return image_.size();
    const QSize size = base_->KeptPixelSize();
    return turn_.Sideways() ? size.transposed() : size;
}

bool DecodedPicture::HasAlphaChannel() const {
    return base_ ? base_->HasAlphaChannel() : image_.hasAlphaChannel();
}

qsizetype DecodedPicture::ByteCount() const {
    if (!base_) return image_.sizeInBytes();
    const QSize size = KeptPixelSize();
    return qsizetype(size.width()) * size.height() * 4;
}

const QImage& DecodedPicture::Reduction(QSize deviceSize) const {
    if (scaledCache_.size() == deviceSize) return scaledCache_;
    if (base_) {
        // The turned reduction of the original: the same pixels a reduction of the turned picture gives,
        // for the cost of a reduction alone.
        const QSize baseSize = turn_.Sideways() ? deviceSize.transposed() : deviceSize;
        scaledCache_ = TurnPixels(base_->Reduction(baseSize), turn_);
    } else {
        // A reduced decode serves while it has at least the pixels drawn; a larger drawing needs them all.
        const bool covers = image_.width() >= deviceSize.width() && image_.height() >= deviceSize.height();
        const QImage& from = fullData_.isEmpty() || covers ? image_ : Image();
        scaledCache_ = from.size() == deviceSize
                           ? from
                           : from.scaled(deviceSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    ++reductionsMade_;
    return scaledCache_;
}

namespace {

// The pixels of the device really painted on: a widget rendered into a sharper image paints through a
// redirection, and its reduction must be made for the image, not the widget.
QSize DeviceSize(const QPainter& painter, const QRect& target) {
    const QPaintEngine* engine = painter.paintEngine();
    const QPaintDevice* device = engine && engine->paintDevice() ? engine->paintDevice() : painter.device();
    const qreal ratio = device ? device->devicePixelRatio() : 1.0;
    return QSize(qCeil(target.width() * ratio), qCeil(target.height() * ratio));
}

// Draws image stretched into target with smooth filtering, leaving the painter's hints as they were.
void DrawSmoothly(QPainter& painter, const QRect& target, const QImage& image) {
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, image);
    painter.restore();
}

} // namespace

bool DecodedPicture::RenderWithoutDecoding(QPainter& painter, const QRect& target) const {
    const QSize kept = KeptPixelSize();
    const QSize deviceSize = DeviceSize(painter, target);
    if (!FullDecodePending() || target.isEmpty() || kept.isEmpty() ||
        (deviceSize.width() <= kept.width() && deviceSize.height() <= kept.height())) {
        Render(painter, target);
        return false;
    }
    DrawSmoothly(painter, target, Reduction(kept));
    return true;
}

void DecodedPicture::Render(QPainter& painter, const QRect& target) const {
    const QSize pixels = PixelSize();
    if (target.width() <= 0 || target.height() <= 0 || pixels.isEmpty()) return;
    const QSize deviceSize = DeviceSize(painter, target);
    if (deviceSize == pixels) {
        painter.drawImage(target, Image());
        return;
    }
    const bool reduces = deviceSize.width() <= pixels.width() && deviceSize.height() <= pixels.height();
    if (reduces && qint64(deviceSize.width()) * deviceSize.height() <= kRenderCacheLimit) {
        painter.drawImage(target, Reduction(deviceSize));
        return;
    }
    DrawSmoothly(painter, target, Image());
}

namespace {

// The EXIF block of a PNG (its eXIf chunk) or a WebP (its EXIF chunk), as TIFF bytes; empty when there is
// none. The walks only move forward, and stop at the picture data: EXIF behind it is not looked for.
std::string_view PngExif(std::string_view bytes) {
    const TByteView view(bytes);
    std::uint64_t pos = 8;
    for (int chunks = 0; chunks < 4096; ++chunks) {
        const std::optional<std::uint32_t> length = view.U32(pos, true);
        if (!length || !view.Holds(pos + 4, 4)) break;
        const std::string_view type = bytes.substr(size_t(pos + 4), 4);
        if (type == "IDAT" || type == "IEND") break;
        if (type == "eXIf") return view.Clip(pos + 8, *length).Data();
        pos += 12 + std::uint64_t(*length);
    }
    return {};
}

std::string_view WebPExif(std::string_view bytes) {
    const TByteView view(bytes);
    std::uint64_t pos = 12;
    for (int chunks = 0; chunks < 4096; ++chunks) {
        const std::optional<std::uint32_t> length = view.U32(pos + 4, false);
        if (!length) break;
        if (bytes.substr(size_t(pos), 4) == "EXIF") {
            std::string_view exif = view.Clip(pos + 8, *length).Data();
            // Some writers keep JPEG's "Exif\0\0" in front of the TIFF header.
            if (exif.substr(0, 6) == std::string_view("Exif\0\0", 6)) exif.remove_prefix(6);
            return exif;
        }
        pos += 8 + std::uint64_t(*length) + (*length & 1);
    }
    return {};
}

} // namespace

namespace {

// What the metadata reader finds in a camera raw file: the largest JPEG preview it locates (its bytes
// copied out of the file's region, and the size its frame header says), the EXIF orientation, and the
// photo's own size as the directories record it.
struct TRawReading {
    QByteArray Preview;
    QSize PreviewSize;
    int Orientation = 1;
    QSize Photo;
};

TRawReading ReadRaw(const QByteArray& data) {
    TRawReading found;
    const std::string_view bytes(data.constData(), size_t(data.size()));
    TimgData reading;
    reading.ProcessBytes(std::string(), bytes);
    if (reading.ExifReader) {
        const int orientation = reading.ExifReader->RoundedNumberOf("Orientation");
        if (orientation >= 1 && orientation <= 8) found.Orientation = orientation;
        const auto [width, height] = reading.ExifReader->PhotoSize();
        if (width > 0 && height > 0) found.Photo = QSize(width, height);
    }
    qint64 mostPixels = 0;
    std::uint64_t mostBytes = 0;
    for (const TPreview& preview : reading.Previews) {
        if (preview.Codec != "JPEG" || preview.Region.Offset > bytes.size() ||
            preview.Region.Length > bytes.size() - preview.Region.Offset)
            continue;
        const std::string_view jpeg =
            bytes.substr(size_t(preview.Region.Offset), size_t(preview.Region.Length));
        const TJpegHeaderFacts facts = ScanJpegHeader(jpeg);
        if (!facts.IsJpeg || facts.Width <= 0 || facts.Height <= 0 || IsLosslessJpegFrame(facts.FrameCode))
            continue;
        const qint64 pixels = qint64(facts.Width) * facts.Height;
        if (pixels < mostPixels || (pixels == mostPixels && jpeg.size() <= mostBytes)) continue;
        mostPixels = pixels;
        mostBytes = jpeg.size();
        found.Preview = QByteArray(jpeg.data(), qsizetype(jpeg.size()));
        found.PreviewSize = QSize(facts.Width, facts.Height);
    }
    return found;
}

} // namespace

int PictureOrientation(const QByteArray& data) {
    const std::string_view bytes(data.constData(), size_t(data.size()));
    switch (SniffPicture(data)) {
    case TPictureKind::Jpeg:
        return ScanJpegHeader(bytes).Orientation;
    case TPictureKind::Tiff:
        return TiffOrientation(bytes);
    case TPictureKind::Png:
        return TiffOrientation(PngExif(bytes));
    case TPictureKind::WebP:
        return TiffOrientation(WebPExif(bytes));
    case TPictureKind::Raw:
        return ReadRaw(data).Orientation;
    default:
        // HEIF and JPEG XL are turned by their decoders, from the file's own transformations, and never
        // again by the EXIF tag, which only repeats them.
        return 1;
    }
}

namespace {

DecodeResult DecodeQt(const QByteArray& data, int orientation) {
    Reading reading(data);
    if (reading.status != DecodeStatus::Decoded) return {reading.status, nullptr};
    const bool gif = reading.IsGif();
    QImage image;
    if (const DecodeStatus status = reading.Read(image); status != DecodeStatus::Decoded)
        return {status, nullptr};
    if (gif) image = CropToFirstGifFrame(image, data);
    const QSize size = image.size();
    DecodeResult result = Done(std::move(image), size);
    // A photo of tens of megapixels is turned upright only when its pixels are asked for; the screen
    // shows an upright reduction.
    const TPixelTurn turn = TurnForOrientation(orientation);
    if (!turn.IsIdentity()) result.picture = DecodedPicture::Transformed(result.picture, turn);
    return result;
}

} // namespace

std::shared_ptr<const DecodedPicture> DecodeExifThumbnail(const QByteArray& thumbnail, QSize photoSize,
                                                          QSize bound, int orientation) {
    if (photoSize.width() <= 0 || photoSize.height() <= 0) return nullptr;
    // The thumbnail is stored the way the photo is: everything is measured as stored, and turned last.
    const TPixelTurn turn = TurnForOrientation(orientation);
    bound = bound.expandedTo(QSize(1, 1));
    if (turn.Sideways()) bound.transpose();
    Reading reading(thumbnail);
    if (reading.status != DecodeStatus::Decoded || reading.reader.format() != "jpeg") return nullptr;
    const QSize announced = reading.reader.size();
    if (!announced.isValid() || announced.isEmpty() || announced.width() > kMaxThumbnailSide ||
        announced.height() > kMaxThumbnailSide)
        return nullptr;
    QImage image;
    if (reading.Read(image) != DecodeStatus::Decoded) return nullptr;
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32)
        image = image.convertToFormat(QImage::Format_RGB32);

    const std::optional<QRect> content = ThumbnailContent(image, photoSize);
    if (!content) return nullptr;
    // What the photo itself would keep for this bound: the thumbnail must fill it without enlarging.
    const QSize wanted = FitWithin(photoSize.width(), photoSize.height(), bound.width(), bound.height())
                             .expandedTo(QSize(1, 1));
    if (content->width() < wanted.width() || content->height() < wanted.height()) return nullptr;
    if (*content != image.rect()) image = image.copy(*content);
    if (image.size() != wanted) image = image.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return Upright(std::move(image), photoSize, turn).picture;
}

namespace {

DecodeResult DecodeQtFitted(const QByteArray& data, QSize bound, int orientation) {
    // Decoded as stored, for the bound turned the way the stored picture lies, and turned last.
    const TPixelTurn turn = TurnForOrientation(orientation);
    bound = bound.expandedTo(QSize(1, 1));
    if (turn.Sideways()) bound.transpose();
    Reading reading(data);
    if (reading.status != DecodeStatus::Decoded) return {reading.status, nullptr};
    const bool gif = reading.IsGif();
    const QSize announced = reading.reader.size();
    const bool exceeds = announced.isValid() && !announced.isEmpty() &&
                         (announced.width() > bound.width() || announced.height() > bound.height());
    if (!gif && exceeds && reading.reader.supportsOption(QImageIOHandler::ScaledSize)) {
        // The JPEG reader turns a scaled size into libjpeg's DCT scaling: the picture is decoded at
        // 1/2, 1/4 or 1/8 of its size and only then smoothed down to the target.
        const qint64 leastPixels = qint64((announced.width() + 7) / 8) * ((announced.height() + 7) / 8);
        if (leastPixels > kMaxReducedDecodePixels) return {DecodeStatus::NoPicture, nullptr};
        reading.reader.setScaledSize(
            FitWithin(announced.width(), announced.height(), bound.width(), bound.height())
                .expandedTo(QSize(1, 1)));
        QImage image;
        if (const DecodeStatus status = reading.Read(image); status != DecodeStatus::Decoded)
            return {status, nullptr};
        return Upright(std::move(image), announced, turn);
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
    return Upright(std::move(image), full, turn);
}

} // namespace

int ViewScaleDenom(QSize stored, TPixelTurn turn, QSize bound) {
    if (stored.isEmpty() || bound.isEmpty()) return 1;
    // What the view shows, measured as stored.
    if (turn.Sideways()) bound.transpose();
    const QSize shown = FitWithin(stored.width(), stored.height(), bound.width(), bound.height());
    // Each side of a scaled decode is rounded up; rounding down keeps the choice safe.
    for (const int denom : {8, 4, 2})
        if (stored.width() / denom >= shown.width() && stored.height() / denom >= shown.height())
            return denom;
    return 1;
}

namespace {

DecodeResult DecodeQtForView(const QByteArray& data, QSize bound, int orientation) {
    if (!data.startsWith("\xFF\xD8")) return DecodeQt(data, orientation);
    const TPixelTurn turn = TurnForOrientation(orientation);
    Reading reading(data);
    if (reading.status != DecodeStatus::Decoded) return {reading.status, nullptr};
    const QSize stored = reading.reader.size();
    const int denom = ViewScaleDenom(stored, turn, bound.expandedTo(QSize(1, 1)));
    // A picture too large to decode in full is not shown from a reduction either: the view would show
    // what Actual size, turns and saves then cannot give, and a few hundred bytes claiming the largest
    // JPEG would cost a quarter of a gigabyte of grey at 1/8.
    const bool tooLarge =
        qint64(stored.width()) * stored.height() * 4 > qint64(kAllocationLimitMb) * 1024 * 1024;
    if (reading.reader.format() != "jpeg" || denom == 1 || tooLarge ||
        !reading.reader.supportsOption(QImageIOHandler::ScaledSize))
        return DecodeQt(data, orientation);
    // The JPEG reader turns a scaled size into libjpeg's DCT scaling: asked for 1/denom of each side, it
    // decodes at that scale.
    reading.reader.setScaledSize(QSize(stored.width() / denom, stored.height() / denom));
    QImage image;
    if (const DecodeStatus status = reading.Read(image); status != DecodeStatus::Decoded)
        return {status, nullptr};
    DecodeResult result{DecodeStatus::Decoded,
                        DecodedPicture::WithFullDecodePending(std::move(image), stored, data)};
    if (!turn.IsIdentity()) result.picture = DecodedPicture::Transformed(result.picture, turn);
    return result;
}

} // namespace

namespace {

enum class TDecodeUse { Whole, Fitted, View };

DecodeResult Failed(QString reason) {
    DecodeResult result{DecodeStatus::NoPicture, nullptr};
    result.reason = std::move(reason);
    return result;
}

// A picture another library decoded, already upright and in display colours, kept whole or reduced to
// bound.
DecodeResult FromCodec(TCodecPicture codec, QSize bound, TDecodeUse use) {
    if (codec.Image.isNull()) return Failed(codec.Reason);
    QImage image = std::move(codec.Image);
    const QSize size = codec.Size.isEmpty() ? image.size() : codec.Size;
    if (use == TDecodeUse::Fitted && (image.width() > bound.width() || image.height() > bound.height()))
        image = image.scaled(
            FitWithin(image.width(), image.height(), bound.width(), bound.height()).expandedTo(QSize(1, 1)),
            Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // A thumbnail item of another size than the photo's stands for the photo only in the strip.
    DecodeResult result = Done(std::move(image), use == TDecodeUse::Fitted ? size : image.size());
    result.embedded = codec.Embedded;
    return result;
}

// A HEIF or AVIF for the view: the photo's own pixels reduced as far as the view allows, with the full pixels
// decoded when something asks for them, as for a JPEG; or, standing in first, its largest thumbnail item.
DecodeResult DecodeHeifForView(const QByteArray& data, QSize bound, bool standInFirst) {
    TCodecPicture codec =
        DecodeHeif(data, bound, standInFirst ? THeifThumbnails::StandIn : THeifThumbnails::Never);
    if (codec.Image.isNull()) return Failed(codec.Reason);
    if (codec.Embedded)
        return {DecodeStatus::Decoded, DecodedPicture::WithStandIn(std::move(codec.Image), codec.Size, data)};
    if (codec.Image.size() == codec.Size) return Done(std::move(codec.Image), codec.Size);
    return {DecodeStatus::Decoded,
            DecodedPicture::WithFullDecodePending(std::move(codec.Image), codec.Size, data)};
}

DecodeResult DecodeQtFor(const QByteArray& data, QSize bound, TDecodeUse use, int orientation) {
    switch (use) {
    case TDecodeUse::Whole:
        return DecodeQt(data, orientation);
    case TDecodeUse::Fitted:
        return DecodeQtFitted(data, bound, orientation);
    case TDecodeUse::View:
        return DecodeQtForView(data, bound, orientation);
    }
    return {};
}

// The raw's preview drawn as the raw lies, whatever the preview's own EXIF says: the raw's orientation
// turns it.
DecodeResult FromRawPreview(const QByteArray& jpeg, QSize bound, TDecodeUse use, int orientation) {
    DecodeResult result = DecodeQtFor(jpeg, bound, use, orientation);
    result.embedded = true;
    if (result.status == DecodeStatus::Decoded) return result;
    return Failed(QStringLiteral("The raw file's preview is damaged."));
}

DecodeResult DecodeRawFor(const QByteArray& data, QSize bound, TDecodeUse use) {
    // The largest JPEG preview the reader locates serves the strip always, and the view when it is at
    // least a quarter of the photo's width (what a camera shows of its own photo; smaller ones are only
    // thumbnails). LibRaw opens the file only when there is none that serves.
    const TRawReading reading = ReadRaw(data);
    const int photoSide = std::max(reading.Photo.width(), reading.Photo.height());
    const int previewSide = std::max(reading.PreviewSize.width(), reading.PreviewSize.height());
    if (!reading.Preview.isEmpty() &&
        (use == TDecodeUse::Fitted || photoSide == 0 || qint64(previewSide) * 4 >= photoSide)) {
        DecodeResult result = FromRawPreview(reading.Preview, bound, use, reading.Orientation);
        if (result.status == DecodeStatus::Decoded) return result;
    }
    TCodecPicture codec =
        DecodeRaw(data, use == TDecodeUse::Whole ? QSize() : bound, use == TDecodeUse::Fitted);
    if (!codec.Preview.isEmpty()) return FromRawPreview(codec.Preview, bound, use, codec.Orientation);
    if (!codec.Image.isNull() && codec.Orientation != 1) {
        codec.Image = TurnPixels(codec.Image, TurnForOrientation(codec.Orientation));
        codec.Size = codec.Image.size();
    }
    DecodeResult result = FromCodec(std::move(codec), bound, use);
    if (result.status == DecodeStatus::Decoded) return result;
    // LibRaw could neither develop the sensor data nor find a preview: the reader's small one still shows
    // the photo.
    if (!reading.Preview.isEmpty()) {
        DecodeResult preview = FromRawPreview(reading.Preview, bound, use, reading.Orientation);
        if (preview.status == DecodeStatus::Decoded) return preview;
    }
    // A TIFF that only looked like a raw file is read as the TIFF it is.
    if (data.startsWith("II*") || data.startsWith("MM")) {
        DecodeResult tiff = DecodeQtFor(
            data, bound, use, TiffOrientation(std::string_view(data.constData(), size_t(data.size()))));
        if (tiff.status == DecodeStatus::Decoded) return tiff;
    }
    return result;
}

DecodeResult DecodeAny(const QByteArray& data, QSize bound, TDecodeUse use, bool standInFirst = false) {
    bound = bound.expandedTo(QSize(1, 1));
    try {
        switch (SniffPicture(data)) {
        case TPictureKind::Heif:
        case TPictureKind::Avif:
            if (use == TDecodeUse::View) return DecodeHeifForView(data, bound, standInFirst);
            return FromCodec(DecodeHeif(data, use == TDecodeUse::Fitted ? bound : QSize()), bound, use);
        case TPictureKind::Jxl:
            return FromCodec(DecodeJxl(data), bound, use);
        case TPictureKind::Raw:
            return DecodeRawFor(data, bound, use);
        case TPictureKind::Psd:
            return FromCodec(DecodePsd(data, use == TDecodeUse::Fitted ? bound : QSize()), bound, use);
        default:
            break;
        }
    } catch (const std::bad_alloc&) {
        return Failed(QStringLiteral("There is not enough memory for this picture."));
    }
    return DecodeQtFor(data, bound, use, PictureOrientation(data));
}

} // namespace

DecodeResult DecodeRawPreviewFromFile(const QString& path, QSize bound) {
    try {
        TimgData reading;
        if (!reading.ProcessFile(QFile::encodeName(path).toStdString()) && reading.Previews.empty())
            return {};
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) return {};
        const std::uint64_t fileSize = std::uint64_t(file.size());
        int orientation = 1;
        if (reading.ExifReader) {
            const int said = reading.ExifReader->RoundedNumberOf("Orientation");
            if (said >= 1 && said <= 8) orientation = said;
        }
        bound = bound.expandedTo(QSize(1, 1));
        // Sizes are compared as the pictures are stored.
        QSize stored = bound;
        if (TurnForOrientation(orientation).Sideways()) stored.transpose();

        // Each JPEG preview's frame size and EXIF thumbnail, from its first sections alone. A preview no
        // camera writes (past a quarter of a gigabyte) is left to the whole-file path and its bounds.
        struct TCandidate {
            TFileRegion Region;
            QSize Size;
        };
        std::vector<TCandidate> candidates;
        for (const TPreview& preview : reading.Previews) {
            if (preview.Codec != "JPEG" || preview.Region.Offset > fileSize ||
                preview.Region.Length > fileSize - preview.Region.Offset ||
                preview.Region.Length > (256u << 20))
                continue;
            const TFileRegion region = preview.Region;
            const TJpegHeaderFacts facts =
                ScanJpegHeader([&](std::uint64_t at, char* into, std::size_t n) -> std::size_t {
                    if (at >= region.Length) return 0;
                    n = std::size_t(std::min<std::uint64_t>(n, region.Length - at));
                    if (!file.seek(qint64(region.Offset + at))) return 0;
                    const qint64 got = file.read(into, qint64(n));
                    return got > 0 ? std::size_t(got) : 0;
                });
            if (!facts.IsJpeg || facts.Width <= 0 || facts.Height <= 0 ||
                IsLosslessJpegFrame(facts.FrameCode))
                continue;
            const QSize size(facts.Width, facts.Height);
            // A thumbnail inside a preview (Panasonic's, Fujifilm's) serves a cell the preview exceeds,
            // without touching the preview's picture data.
            const bool exceeds = size.width() > stored.width() || size.height() > stored.height();
            if (exceeds && !facts.Thumbnail.empty()) {
                const QByteArray thumbnail(facts.Thumbnail.data(), qsizetype(facts.Thumbnail.size()));
                if (auto picture = DecodeExifThumbnail(thumbnail, size, bound, orientation)) {
                    DecodeResult result{DecodeStatus::Decoded, std::move(picture)};
                    result.embedded = true;
                    return result;
                }
            }
            candidates.push_back({region, size});
        }
        // The smallest preview that fills the bound without enlarging, else the largest there is: a
        // camera's thumbnail serves a strip's cell, its full-size preview a large view.
        const auto pixels = [](const TCandidate& c) { return qint64(c.Size.width()) * c.Size.height(); };
        const auto covers = [&](const TCandidate& c) {
            return c.Size.width() >= stored.width() || c.Size.height() >= stored.height();
        };
        const TCandidate* best = nullptr;
        for (const TCandidate& c : candidates) {
            if (!best || (covers(c) && (!covers(*best) || pixels(c) < pixels(*best))) ||
                (!covers(c) && !covers(*best) && pixels(c) > pixels(*best)))
                best = &c;
        }
        if (!best || !file.seek(qint64(best->Region.Offset))) return {};
        const QByteArray jpeg = file.read(qint64(best->Region.Length));
        if (jpeg.size() != qsizetype(best->Region.Length)) return {};
        DecodeResult result = DecodeQtFor(jpeg, bound, TDecodeUse::Fitted, orientation);
        result.embedded = result.status == DecodeStatus::Decoded;
        return result;
    } catch (...) {
        return {};
    }
}

DecodeResult DecodePicture(const QByteArray& data) {
    return DecodeAny(data, QSize(), TDecodeUse::Whole);
}

DecodeResult DecodePictureFitted(const QByteArray& data, QSize bound) {
    return DecodeAny(data, bound, TDecodeUse::Fitted);
}

DecodeResult DecodePictureForView(const QByteArray& data, QSize bound, bool standInFirst) {
    return DecodeAny(data, bound, TDecodeUse::View, standInFirst);
}

} // namespace quillmark
