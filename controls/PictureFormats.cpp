#include "PictureFormats.h"

#include "ByteView.h"

#include <QFile>
#include <QFileInfo>

#include <string_view>

namespace quillmark {

namespace {

bool At(std::string_view bytes, std::size_t offset, std::string_view what) {
    return bytes.size() >= offset && bytes.substr(offset, what.size()) == what;
}

// Whether the first directory of a TIFF structure says a camera's raw file: a DNG version, Canon's "CR"
// mark behind the header, or a camera make together with sub-directories (where NEF, ARW, PEF, SRW and
// their kin keep the raw data behind a small first picture).
bool TiffLooksRaw(std::string_view bytes) {
    const TByteView view(bytes);
    const bool big = bytes[0] == 'M';
    if (At(bytes, 8, "CR") || At(bytes, 8, "IIII")) return true; // Canon CR2, Phase One IIQ
    const std::optional<std::uint32_t> ifd = view.U32(4, big);
    if (!ifd) return false;
    const std::optional<std::uint16_t> count = view.U16(*ifd, big);
    if (!count) return false;
    bool make = false, subIfds = false;
    // Only the entries inside the bytes at hand are looked at.
    for (std::uint32_t i = 0; i < *count && i < 512; ++i) {
        const std::optional<std::uint16_t> tag =
            view.U16(std::uint64_t(*ifd) + 2 + 12 * std::uint64_t(i), big);
        if (!tag) break;
        if (*tag == 0xC612) return true; // DNGVersion
        make = make || *tag == 0x010F;
        subIfds = subIfds || *tag == 0x014A;
    }
    return make && subIfds;
}

// Whether brand is one of the four-letter brands listed in brands, each followed by a blank.
bool IsoBrand(std::string_view brand, std::string_view brands) {
    for (std::size_t at = 0; at + 4 <= brands.size(); at += 5)
        if (brands.substr(at, 4) == brand) return true;
    return false;
}

TPictureKind SniffIso(std::string_view bytes) {
    const TByteView view(bytes);
    const std::optional<std::uint32_t> size = view.U32(0, true);
    if (!size || *size < 16) return TPictureKind::Unknown;
    const std::string_view box = view.Clip(8, std::uint64_t(*size) - 8).Data();
    const std::string_view major = box.substr(0, 4);
    if (major == "crx ") return TPictureKind::Raw;
    // The major brand, then the compatible ones (from offset 8 of the box's content), four bytes each.
    constexpr std::string_view kAvif = "avif avis ";
    constexpr std::string_view kHeif = "heic heix hevc hevx heim heis mif1 msf1 ";
    for (std::size_t at = 0; at + 4 <= box.size(); at += at == 0 ? 8 : 4) {
        const std::string_view brand = box.substr(at, 4);
        if (IsoBrand(brand, kAvif)) return TPictureKind::Avif;
    }
    for (std::size_t at = 0; at + 4 <= box.size(); at += at == 0 ? 8 : 4) {
        const std::string_view brand = box.substr(at, 4);
        if (IsoBrand(brand, kHeif)) return TPictureKind::Heif;
    }
    return TPictureKind::Unknown;
}

} // namespace

TPictureKind SniffPicture(const QByteArray& head) {
    const std::string_view b(head.constData(), std::size_t(head.size()));
    if (At(b, 0, "\xFF\xD8\xFF")) return TPictureKind::Jpeg;
    if (At(b, 0, "\x89PNG\r\n\x1A\n")) return TPictureKind::Png;
    if (At(b, 0, "GIF87a") || At(b, 0, "GIF89a")) return TPictureKind::Gif;
    if (At(b, 0, "BM") && b.size() >= 26) return TPictureKind::Bmp;
    if (At(b, 0, "RIFF") && At(b, 8, "WEBP")) return TPictureKind::WebP;
    if (At(b, 0, "\xFF\x0A") || At(b, 0, std::string_view("\0\0\0\x0CJXL \r\n\x87\n", 12)))
        return TPictureKind::Jxl;
    if (At(b, 4, "ftyp")) return SniffIso(b);
    if (At(b, 0, "FUJIFILMCCD-RAW") || At(b, 0, std::string_view("\0MRM", 4)) || At(b, 0, "FOVb") ||
        At(b, 0, std::string_view("II\x1A\0\0\0HEAPCCDR", 14)) || At(b, 0, std::string_view("IIU\0", 4)) ||
        At(b, 0, "IIRO") || At(b, 0, "IIRS") || At(b, 0, "MMOR"))
        return TPictureKind::Raw;
    if (At(b, 0, std::string_view("II*\0", 4)) || At(b, 0, std::string_view("MM\0*", 4)))
        return TiffLooksRaw(b) ? TPictureKind::Raw : TPictureKind::Tiff;
    return TPictureKind::Unknown;
}

const std::vector<TPictureType>& PictureTypes() {
    static const std::vector<TPictureType> types = {
        {"JPEG", "jpg jpeg jpe jfif"},
        {"HEIF", "heic heif hif"},
        {"AVIF", "avif"},
        {"JPEG XL", "jxl"},
        {"PNG", "png"},
        {"WebP", "webp"},
        {"TIFF", "tif tiff"},
        {"GIF", "gif"},
        {"BMP", "bmp"},
        {"Icons", "ico"},
        {"Camera raw",
         "cr2 cr3 crw nef nrw arw srf sr2 dng orf rw2 raf pef srw mrw x3f iiq 3fr erf kdc dcr mos "
         "rwl"},
    };
    return types;
}

bool HasPictureExtension(const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || fileName.indexOf(QLatin1Char('/'), dot) >= 0) return false;
    const QString suffix = fileName.mid(dot + 1).toLower();
    if (suffix.isEmpty()) return false;
    for (const TPictureType& type : PictureTypes())
        for (const QString& extension : QString::fromLatin1(type.Extensions).split(QLatin1Char(' ')))
            if (suffix == extension) return true;
    return false;
}

bool FileHoldsPicture(const QString& path) {
    if (!QFileInfo(path).isFile()) return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    return IsPictureKind(SniffPicture(file.read(kSniffBytes)));
}

QColorSpace DisplayColorSpace() {
    // Qt 6.4 tells no screen's colour space; sRGB is what a screen that says nothing shows.
    return QColorSpace(QColorSpace::SRgb);
}

QImage ToDisplayColors(QImage image, const QColorSpace& profile) {
    if (image.isNull()) return image;
    const QImage::Format wanted = image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    if (image.format() != wanted) image = image.convertToFormat(wanted);
    const QColorSpace from = profile.isValid() ? profile : image.colorSpace();
    const QColorSpace to = DisplayColorSpace();
    if (from.isValid() && from != to) {
        image.setColorSpace(from);
        image.convertToColorSpace(to);
    } else if (!image.colorSpace().isValid() || image.colorSpace() != to) {
        image.setColorSpace(to);
    }
    return image;
}

} // namespace quillmark
