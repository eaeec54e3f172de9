// Photoshop PSD and PSB: the merged picture Photoshop keeps after the layers (what "Maximize
// compatibility" saves), read here directly, with the JPEG thumbnail of the image resources behind it.
//
// The file is a 26-byte header, then three sections that each begin with their length (colour-mode data,
// image resources, layers and masks), then the merged picture: a compression word and the channels one
// after the other, each row raw or PackBits-packed. Every length and offset comes from the file, so every
// one is checked against the bytes at hand before it is used.
#include "PictureFormats.h"

#include "ByteView.h"

#include <QBuffer>
#include <QImageReader>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace quillmark {

namespace {

constexpr std::uint64_t kMaxPsdSide = 30000;
constexpr std::uint64_t kMaxPsbSide = 300000;
// A thumbnail resource is Photoshop's 160-pixel preview; one that claims more is not decoded.
constexpr int kMaxPsdThumbnailSide = 4096;
// The merged picture may cost at most 64 bytes of pixels per byte of file, and this much besides: a few
// kilobytes of PackBits that unpack to a gigapixel of one colour are refused, an ordinary document is not.
constexpr std::uint64_t kPsdPixelSlack = 64u << 20;
constexpr int kMaxResources = 10000;

enum TPsdMode : std::uint16_t {
    Bitmap = 0,
    Grayscale = 1,
    Indexed = 2,
    Rgb = 3,
    Cmyk = 4,
    Duotone = 8, // its merged picture is stored in grey
};

struct TPsdLayout {
    bool Big = false; // PSB: 8-byte section lengths and 4-byte row counts
    std::uint16_t Channels = 0;
    std::uint32_t Width = 0, Height = 0;
    std::uint16_t Depth = 0, Mode = 0;
    TByteView Palette;        // Indexed: 256 reds, 256 greens, 256 blues
    TByteView Resources;      // the image resources, cut at the end of the file
    bool Transparent = false; // the first channel past the colours is the merged picture's alpha
    std::optional<std::uint64_t> ImageData; // where the compression word lies
    QString Why;                            // why ImageData is missing
};

std::optional<std::uint64_t> Length(const TByteView& view, std::uint64_t at, bool wide) {
    if (!wide) {
        const std::optional<std::uint32_t> length = view.U32(at, true);
        return length ? std::optional<std::uint64_t>(*length) : std::nullopt;
    }
    const std::optional<std::uint32_t> high = view.U32(at, true), low = view.U32(at + 4, true);
    if (!high || !low) return std::nullopt;
    return std::uint64_t(*high) << 32 | *low;
}

// The header and the sections' places; nothing when the bytes are no Photoshop file at all.
std::optional<TPsdLayout> ReadLayout(const TByteView& view) {
    if (view.Data().substr(0, 4) != "8BPS" || !view.Holds(0, 26)) return std::nullopt;
    const std::uint16_t version = *view.U16(4, true);
    if (version != 1 && version != 2) return std::nullopt;
    TPsdLayout layout;
    layout.Big = version == 2;
    layout.Channels = *view.U16(12, true);
    layout.Height = *view.U32(14, true);
    layout.Width = *view.U32(18, true);
    layout.Depth = *view.U16(22, true);
    layout.Mode = *view.U16(24, true);
    layout.Why = QStringLiteral("The Photoshop file is cut short.");

    const std::optional<std::uint64_t> colours = Length(view, 26, false);
    if (!colours || !view.Holds(30, *colours)) return layout;
    if (layout.Mode == Indexed && *colours >= 768) layout.Palette = *view.Sub(30, 768);
    std::uint64_t pos = 30 + *colours;
    const std::optional<std::uint64_t> resources = Length(view, pos, false);
    if (!resources) return layout;
    // Resources cut short by the end of the file still hold what lies before it (the thumbnail, often).
    layout.Resources = view.Clip(pos + 4, *resources);
    if (!view.Holds(pos + 4, *resources)) return layout;
    pos += 4 + *resources;
    const unsigned wide = layout.Big ? 8 : 4;
    const std::optional<std::uint64_t> layers = Length(view, pos, layout.Big);
    if (!layers || !view.Holds(pos + wide, *layers)) return layout;
    // A negative layer count says the merged picture carries the document's transparency.
    if (*layers >= wide + 2) {
        const std::optional<std::uint64_t> info = Length(view, pos + wide, layout.Big);
        const std::optional<std::uint16_t> count = view.U16(pos + 2 * wide, true);
        layout.Transparent = info && *info >= 2 && count && (*count & 0x8000) != 0;
    }
    pos += wide + *layers;
    if (!view.Holds(pos, 2)) return layout;
    layout.ImageData = pos;
    layout.Why.clear();
    return layout;
}

// The data of the first image resource of this id; none when there is none.
std::optional<TByteView> Resource(const TByteView& resources, std::uint16_t id) {
    std::uint64_t pos = 0;
    for (int count = 0; count < kMaxResources && resources.Holds(pos, 12); ++count) {
        const std::string_view signature = resources.Data().substr(size_t(pos), 4);
        if (signature != "8BIM" && signature != "MeSa" && signature != "PHUT" && signature != "AgHg" &&
            signature != "DCSR")
            return std::nullopt;
        const std::uint16_t found = *resources.U16(pos + 4, true);
        // The name is a Pascal string padded to an even length, its length byte counted.
        const std::uint64_t nameSpan = (std::uint64_t(*resources.U8(pos + 6)) + 2) & ~std::uint64_t(1);
        const std::optional<std::uint32_t> size = resources.U32(pos + 6 + nameSpan, true);
        if (!size) return std::nullopt;
        const std::uint64_t data = pos + 6 + nameSpan + 4;
        if (found == id) return resources.Sub(data, *size);
        pos = data + *size + (*size & 1);
    }
    return std::nullopt;
}

// Photoshop's later thumbnail resource: a 28-byte header (format 1 for JPEG) before a JPEG in RGB.
QImage Thumbnail(const TByteView& resources) {
    const std::optional<TByteView> resource = Resource(resources, 0x040C);
    if (!resource || resource->U32(0, true) != 1u || resource->U16(28, true) != 0xFFD8u) return {};
    const std::string_view jpeg = resource->Data().substr(28);
    QByteArray bytes = QByteArray::fromRawData(jpeg.data(), qsizetype(jpeg.size()));
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::ReadOnly)) return {};
    QImageReader reader(&buffer, "jpeg");
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() || size.width() > kMaxPsdThumbnailSide ||
        size.height() > kMaxPsdThumbnailSide)
        return {};
    return reader.read();
}

// Unpacks one PackBits row into row, which it fills whole: a row whose runs say more than it holds is cut
// at its end, one that says less is filled up with zeros.
void Unpack(std::string_view packed, std::vector<std::uint8_t>& row) {
    const std::size_t size = row.size();
    std::size_t in = 0, out = 0;
    while (in < packed.size() && out < size) {
        const int head = static_cast<std::int8_t>(packed[in++]);
        if (head >= 0) {
            const std::size_t n = std::min({std::size_t(head) + 1, packed.size() - in, size - out});
            std::copy_n(reinterpret_cast<const std::uint8_t*>(packed.data() + in), n, row.data() + out);
            in += n;
            out += n;
        } else if (head != -128 && in < packed.size()) {
            const std::size_t n = std::min(std::size_t(1 - head), size - out);
            std::fill_n(row.data() + out, n, static_cast<std::uint8_t>(packed[in++]));
            out += n;
        }
    }
    std::fill(row.begin() + std::ptrdiff_t(out), row.end(), std::uint8_t(0));
}

struct TComposite {
    QImage Image;
    QString Why;
};

TComposite Failure(const char* why) {
    return {QImage(), QString::fromLatin1(why)};
}

// The merged picture, every step-th pixel of every step-th row (step 1: all of it).
TComposite DecodeComposite(const TByteView& view, const TPsdLayout& layout, QSize bound) {
    const std::uint64_t w = layout.Width, h = layout.Height;
    const std::uint64_t maxSide = layout.Big ? kMaxPsbSide : kMaxPsdSide;
    if (w == 0 || h == 0 || w > maxSide || h > maxSide)
        return Failure("The Photoshop picture's size is out of range.");
    if (w * h * 4 > std::uint64_t(kAllocationLimitMb) << 20)
        return Failure("The Photoshop picture is too large to draw.");
    const std::uint16_t mode = layout.Mode;
    const unsigned colours = mode == Rgb ? 3 : mode == Cmyk ? 4 : 1;
    const bool known = mode == Bitmap || mode == Grayscale || mode == Indexed || mode == Rgb ||
                       mode == Cmyk || mode == Duotone;
    const bool depthFits =
        mode == Bitmap ? layout.Depth == 1 : layout.Depth == 8 || (layout.Depth == 16 && mode != Indexed);
    if (!known || !depthFits || layout.Channels < colours || layout.Channels > 56)
        return Failure("The Photoshop picture's colour mode or depth is not one drawn here.");
    if (mode == Indexed && layout.Palette.Empty()) return Failure("The Photoshop file has no colour table.");
    const bool alpha = layout.Transparent && (mode == Rgb || mode == Grayscale || mode == Duotone) &&
                       layout.Channels > colours;
    const unsigned used = colours + (alpha ? 1 : 0);

    std::uint64_t step = 1;
    if (!bound.isEmpty())
        step = std::max<std::uint64_t>(
            {1, w / (2 * std::uint64_t(bound.width())), h / (2 * std::uint64_t(bound.height()))});
    const std::uint64_t keptW = (w + step - 1) / step, keptH = (h + step - 1) / step;
    if (keptW * keptH * 4 > std::uint64_t(view.Size()) * 64 + kPsdPixelSlack)
        return Failure("The Photoshop picture is too large for its file.");

    const std::uint64_t start = *layout.ImageData;
    const std::uint16_t compression = *view.U16(start, true);
    if (compression > 1) return Failure("The Photoshop picture's compression is not one drawn here.");
    const std::uint64_t rowBytes = layout.Depth == 1 ? (w + 7) / 8 : w * (layout.Depth / 8);
    const std::uint64_t rows = std::uint64_t(layout.Channels) * h;
    const unsigned countBytes = layout.Big ? 4 : 2;
    // Raw: the planes one after the other. PackBits: every row's packed length first, then the rows.
    if (compression == 0 ? !view.Holds(start + 2, used * h * rowBytes)
                         : !view.Holds(start + 2, rows * countBytes))
        return Failure("The Photoshop file is cut short.");

    QImage image(int(keptW), int(keptH), alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull()) return Failure("There is not enough memory for this picture.");
    image.fill(0xFF000000u);
    QRgb palette[256];
    if (mode == Indexed)
        for (int i = 0; i < 256; ++i)
            palette[i] =
                qRgb(*layout.Palette.U8(i), *layout.Palette.U8(256 + i), *layout.Palette.U8(512 + i));

    std::vector<std::uint8_t> row(static_cast<size_t>(rowBytes));
    std::uint64_t packedAt = start + 2 + rows * countBytes;
    for (unsigned channel = 0; channel < used; ++channel) {
        // The shift of this channel's byte in a pixel; CMYK waits for all four before it turns into RGB.
        const unsigned shift = channel == colours || (mode == Cmyk && channel == 3) ? 24 : 16 - 8 * channel;
        const bool grey = mode != Rgb && mode != Cmyk && channel < colours;
        for (std::uint64_t y = 0; y < h; ++y) {
            const std::uint64_t index = std::uint64_t(channel) * h + y;
            std::string_view bytes;
            if (compression == 0) {
                bytes = view.Data().substr(size_t(start + 2 + index * rowBytes), size_t(rowBytes));
            } else {
                const std::uint64_t at = start + 2 + index * countBytes;
                const std::uint64_t length = layout.Big ? *view.U32(at, true) : *view.U16(at, true);
                if (!view.Holds(packedAt, length)) return Failure("The Photoshop file is cut short.");
                if (y % step == 0) {
                    Unpack(view.Data().substr(size_t(packedAt), size_t(length)), row);
                    bytes = std::string_view(reinterpret_cast<const char*>(row.data()), row.size());
                }
                packedAt += length;
            }
            if (y % step != 0) continue;
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(int(y / step)));
            for (std::uint64_t x = 0, kept = 0; x < w; x += step, ++kept) {
                std::uint32_t value;
                if (layout.Depth == 1) // a set bit is black
                    value = (std::uint8_t(bytes[size_t(x >> 3)]) >> (7 - (x & 7)) & 1) ? 0 : 255;
                else
                    value = std::uint8_t(bytes[size_t(x * (layout.Depth / 8))]); // the high byte of 16
                QRgb& pixel = line[kept];
                if (grey && mode == Indexed)
                    pixel = palette[value];
                else if (grey)
                    pixel = (pixel & 0xFF000000u) | value * 0x010101u;
                else
                    pixel = (pixel & ~(0xFFu << shift)) | value << shift;
            }
        }
    }
    if (mode == Cmyk) {
        // Photoshop stores CMYK inverted (255 is no ink): each colour is its inverted ink darkened by black.
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const unsigned k = qAlpha(line[x]);
                line[x] = qRgb(qRed(line[x]) * k / 255, qGreen(line[x]) * k / 255, qBlue(line[x]) * k / 255);
            }
        }
    }
    return {std::move(image), QString()};
}

} // namespace

TCodecPicture DecodePsd(const QByteArray& data, QSize bound) {
    TCodecPicture result;
    const TByteView view(std::string_view(data.constData(), size_t(data.size())));
    const std::optional<TPsdLayout> layout = ReadLayout(view);
    if (!layout) {
        result.Reason = QStringLiteral("This is not a Photoshop file.");
        return result;
    }
    if (layout->Width > 0 && layout->Height > 0 && layout->Width <= kMaxPsbSide &&
        layout->Height <= kMaxPsbSide)
        result.Size = QSize(int(layout->Width), int(layout->Height));
    // The version resource says whether the merged picture is real: without "Maximize compatibility"
    // Photoshop writes a blank one, and only the thumbnail shows the document.
    const std::optional<TByteView> version = Resource(layout->Resources, 0x0421);
    TComposite composite{{}, layout->Why};
    if (version && version->U8(4) == 0u)
        composite = Failure("The Photoshop document was saved without its merged picture.");
    else if (layout->ImageData)
        composite = DecodeComposite(view, *layout, bound);
    if (!composite.Image.isNull()) {
        // The profile describes RGB values; a grey or CMYK document's profile is not one Qt converts from.
        QColorSpace space;
        if (layout->Mode == Rgb || layout->Mode == Indexed)
            if (const std::optional<TByteView> icc = Resource(layout->Resources, 0x040F))
                space = QColorSpace::fromIccProfile(QByteArray(icc->Data().data(), qsizetype(icc->Size())));
        result.Image = ToDisplayColors(std::move(composite.Image), space);
        return result;
    }
    QImage thumbnail = Thumbnail(layout->Resources);
    if (!thumbnail.isNull()) {
        result.Image = ToDisplayColors(std::move(thumbnail));
        result.Embedded = true;
    }
    result.Reason = composite.Why;
    return result;
}

} // namespace quillmark
