#include "Registry.h"

#include "../FileKind.h"
#include "Scans.h"

#include <array>

namespace quillmark {

namespace {

bool At(std::string_view head, size_t offset, std::string_view bytes) {
    return head.size() >= offset && head.size() - offset >= bytes.size() &&
           head.substr(offset, bytes.size()) == bytes;
}

using namespace std::string_view_literals;

bool Jpeg(std::string_view h) {
    return At(h, 0, "\xFF\xD8"sv);
}
bool Tiff(std::string_view h) {
    return At(h, 0, "II*\0"sv) || At(h, 0, "MM\0*"sv);
}
bool Cr2(std::string_view h) {
    return Tiff(h) && At(h, 8, "CR"sv);
}
bool BigTiff(std::string_view h) {
    return At(h, 0, "II+\0"sv) || At(h, 0, "MM\0+"sv);
}
bool Orf(std::string_view h) {
    return At(h, 0, "IIRO"sv) || At(h, 0, "IIRS"sv) || At(h, 0, "MMOR"sv);
}
bool Rw2(std::string_view h) {
    return At(h, 0, "IIU\0"sv);
}
bool Raf(std::string_view h) {
    return At(h, 0, "FUJIFILMCCD-RAW"sv);
}
bool Mrw(std::string_view h) {
    return At(h, 0, "\0MRM"sv);
}
bool Crw(std::string_view h) {
    return (At(h, 0, "II"sv) || At(h, 0, "MM"sv)) && At(h, 6, "HEAPCCDR"sv);
}
bool IsoBmff(std::string_view h) {
    return At(h, 4, "ftyp"sv);
}
bool JpegXl(std::string_view h) {
    return At(h, 0, "\0\0\0\x0CJXL \x0D\x0A\x87\x0A"sv) || At(h, 0, "\xFF\x0A"sv);
}
bool Jpeg2000(std::string_view h) {
    return At(h, 0, "\0\0\0\x0CjP  "sv);
}
bool Png(std::string_view h) {
    return At(h, 0, "\x89PNG"sv);
}
bool WebP(std::string_view h) {
    return At(h, 0, "RIFF"sv) && At(h, 8, "WEBP"sv);
}
bool Psd(std::string_view h) {
    return At(h, 0, "8BPS"sv);
}

using R = TFormatReader;

// Sniffs are tried in this order; rows whose sniff is the same are told apart by extension.
constexpr TPhotoFormat kFormats[] = {
    {"JPEG", Jpeg, ".jpg .jpeg .jpe .jfif .jfi", R::Jpeg, nullptr, "image/jpeg"},
    {"CR2", Cr2, ".cr2", R::Tiff, nullptr, "image/x-canon-cr2"},
    {"ORF", Orf, ".orf .ori", R::Tiff, nullptr, "image/x-olympus-orf"},
    {"RW2", Rw2, ".rw2 .raw", R::Tiff, nullptr, "image/x-panasonic-rw2"},
    {"RWL", Rw2, ".rwl", R::Tiff, nullptr, "image/x-leica-rwl"},
    {"BigTIFF", BigTiff, ".btf .tf8 .tif .tiff", R::Tiff, nullptr, "image/tiff"},
    {"TIFF", Tiff, ".tif .tiff", R::Tiff, nullptr, "image/tiff"},
    // Raw formats whose first bytes are a plain TIFF header: their extension names them.
    {"NEF", Tiff, ".nef", R::Tiff, nullptr, "image/x-nikon-nef"},
    {"NRW", Tiff, ".nrw", R::Tiff, nullptr, "image/x-nikon-nrw"},
    {"ARW", Tiff, ".arw", R::Tiff, nullptr, "image/x-sony-arw"},
    {"SR2", Tiff, ".sr2", R::Tiff, nullptr, "image/x-sony-sr2"},
    {"SRF", Tiff, ".srf", R::Tiff, nullptr, "image/x-sony-srf"},
    {"DNG", Tiff, ".dng", R::Tiff, nullptr, "image/x-adobe-dng"},
    {"PEF", Tiff, ".pef", R::Tiff, nullptr, "image/x-pentax-pef"},
    {"SRW", Tiff, ".srw", R::Tiff, nullptr, "image/x-samsung-srw"},
    {"ERF", Tiff, ".erf", R::Tiff, nullptr, "image/x-epson-erf"},
    {"3FR", Tiff, ".3fr", R::Tiff, nullptr, "image/x-hasselblad-3fr"},
    {"IIQ", Tiff, ".iiq", R::Tiff, nullptr, "image/x-phaseone-iiq"},
    {"MOS", Tiff, ".mos", R::Tiff, nullptr, "image/x-leaf-mos"},
    {"MEF", Tiff, ".mef", R::Tiff, nullptr, "image/x-mamiya-mef"},
    {"KDC", Tiff, ".kdc", R::Tiff, nullptr, "image/x-kodak-kdc"},
    {"DCR", Tiff, ".dcr", R::Tiff, nullptr, "image/x-kodak-dcr"},
    {"RAF", Raf, ".raf", R::Scan, ScanRaf, "image/x-fuji-raf"},
    {"MRW", Mrw, ".mrw", R::Scan, ScanMrw, "image/x-minolta-mrw"},
    {"CRW", Crw, ".crw", R::Scan, ScanCrw, "image/x-canon-crw"},
    // ISO base media files: the brands inside decide what the scan calls them.
    {"HEIC", IsoBmff, ".heic .heif .hif", R::Scan, ScanIsoBmff, "image/heic;image/heif"},
    {"AVIF", IsoBmff, ".avif", R::Scan, ScanIsoBmff, "image/avif"},
    {"CR3", IsoBmff, ".cr3", R::Scan, ScanIsoBmff, "image/x-canon-cr3"},
    {"JXL", JpegXl, ".jxl", R::Scan, ScanJpegXl, "image/jxl"},
    {"JP2", Jpeg2000, ".jp2 .jpf .jpx .j2k", R::Scan, ScanJpeg2000, "image/jp2"},
    {"PNG", Png, ".png", R::Scan, ScanPng, "image/png"},
    {"WEBP", WebP, ".webp", R::Scan, ScanWebP, "image/webp"},
    {"PSD", Psd, ".psd .psb", R::Scan, ScanPsd, "image/vnd.adobe.photoshop"},
};

// Whether the blank-separated list holds the extension (with its dot).
bool ListsExtension(std::string_view list, std::string_view ext) {
    if (ext.empty()) return false;
    while (!list.empty()) {
        const size_t blank = list.find(' ');
        if (list.substr(0, blank) == ext) return true;
        if (blank == std::string_view::npos) break;
        list.remove_prefix(blank + 1);
    }
    return false;
}

} // namespace

std::span<const TPhotoFormat> PhotoFormats() {
    return kFormats;
}

const TPhotoFormat* SniffPhotoFormat(std::string_view head, std::string_view fileName) {
    head = head.substr(0, kSniffBytes);
    const std::string ext = LowerExtension(fileName);
    // The first row whose sniff matches, unless a later row with the same sniff (a NEF beside a
    // TIFF) carries the name's extension: bytes that say more win over the name.
    const TPhotoFormat* first = nullptr;
    for (const TPhotoFormat& f : kFormats) {
        if (first ? f.Sniff != first->Sniff : !f.Sniff(head)) continue;
        if (ListsExtension(f.Extensions, ext)) return &f;
        if (!first) first = &f;
    }
    return first;
}

const TPhotoFormat* FindPhotoFormat(std::string_view head, std::string_view fileName) {
    if (const TPhotoFormat* f = SniffPhotoFormat(head, fileName)) return f;
    const std::string ext = LowerExtension(fileName);
    for (const TPhotoFormat& f : kFormats)
        if (ListsExtension(f.Extensions, ext)) return &f;
    return nullptr;
}

const TPhotoFormat* PhotoFormatNamed(std::string_view name) {
    for (const TPhotoFormat& f : kFormats)
        if (name == f.Name) return &f;
    return nullptr;
}

std::string PhotoMimeTypes() {
    std::string all;
    for (const TPhotoFormat& f : kFormats) {
        std::string_view types = f.MimeTypes;
        while (!types.empty()) {
            const size_t semi = types.find(';');
            const std::string one(types.substr(0, semi));
            if ((";" + all).find(";" + one + ";") == std::string::npos) all += one + ";";
            if (semi == std::string_view::npos) break;
            types.remove_prefix(semi + 1);
        }
    }
    return all;
}

} // namespace quillmark
