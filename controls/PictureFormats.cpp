#include "PictureFormats.h"

#include "ByteSource.h"
#include "ByteView.h"
#include "formats/Registry.h"

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

// Pictures the viewer draws that the reader's registry does not list: GIF and BMP through Qt, Sigma's X3F
// through LibRaw. Each is one row here.
struct TViewerOnlyFormat {
    std::string_view Signature;
    std::size_t MinimumBytes;
    TPictureKind Kind;
};
constexpr TViewerOnlyFormat kViewerOnly[] = {
    {"GIF87a", 6, TPictureKind::Gif},
    {"GIF89a", 6, TPictureKind::Gif},
    {"BM", 26, TPictureKind::Bmp},
    {"FOVb", 4, TPictureKind::Raw},
};

// What the viewer draws a registry row's files as. Rows the reader reads but nothing here decodes (JPEG
// 2000) are no picture; every camera's raw row (its MIME type one of the x- kind) goes to LibRaw,
// so a raw format added to the registry is drawn without a line here.
TPictureKind KindOfFormat(std::string_view name, std::string_view mimeTypes) {
    if (name == "JPEG") return TPictureKind::Jpeg;
    if (name == "PNG") return TPictureKind::Png;
    if (name == "WEBP") return TPictureKind::WebP;
    if (name == "JXL") return TPictureKind::Jxl;
    if (name == "TIFF" || name == "BigTIFF") return TPictureKind::Tiff;
    if (name == "HEIC" || name == "HEIF") return TPictureKind::Heif;
    if (name == "AVIF") return TPictureKind::Avif;
    if (name == "PSD") return TPictureKind::Psd;
    if (mimeTypes.substr(0, 8) == "image/x-") return TPictureKind::Raw;
    return TPictureKind::Unknown;
}

// Whether another row shares this row's sniff: its files are told apart by their name or their content.
bool SharesSniff(const TPhotoFormat& row) {
    for (const TPhotoFormat& other : PhotoFormats())
        if (&other != &row && other.Sniff == row.Sniff) return true;
    return false;
}

} // namespace

TPictureKind SniffPicture(const QByteArray& head, const QString& fileName) {
    const std::string_view b(head.constData(), std::size_t(head.size()));
    const QByteArray name = fileName.toUtf8();
    const TPhotoFormat* row =
        SniffPhotoFormat(b, std::string_view(name.constData(), std::size_t(name.size())));
    if (!row) {
        for (const TViewerOnlyFormat& format : kViewerOnly)
            if (b.size() >= format.MinimumBytes && At(b, 0, format.Signature)) return format.Kind;
        return TPictureKind::Unknown;
    }
    // Rows whose first bytes look alike: a container's brands say more than a name (a CR3 and a HEIC), and
    // the decoder, which has no name, still tells a camera's TIFF from a scan's.
    if (row->Reader == TFormatReader::Scan && row->Scan && SharesSniff(*row)) {
        // The brands lie at the start: a whole file handed in is not scanned to its end.
        const std::string_view start = b.substr(0, kPictureSniffBytes);
        TMemorySource source(start);
        TContainerScan scan;
        if (!row->Scan(source, start.size(), scan)) return TPictureKind::Unknown;
        const TPhotoFormat* said = PhotoFormatNamed(scan.Format);
        return KindOfFormat(scan.Format.empty() ? row->Name : scan.Format, (said ? said : row)->MimeTypes);
    }
    const TPictureKind kind = KindOfFormat(row->Name, row->MimeTypes);
    if (std::string_view(row->Name) == "TIFF" && TiffLooksRaw(b)) return TPictureKind::Raw;
    return kind;
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
        {"Photoshop", "psd psb"},
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
    return IsPictureKind(SniffPicture(file.read(kPictureSniffBytes), path));
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
