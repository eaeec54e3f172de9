#include "JpegHeader.h"

#include <cstring>

namespace quillmark {

namespace {

constexpr std::string_view kExifSignature("Exif\0\0", 6);

// A TIFF block with its byte order and first directory, read through checked reads.
struct TTiff {
    TByteView View;
    bool BigEndian = false;
    std::uint32_t Ifd0 = 0;

    std::optional<std::uint16_t> U16(std::uint64_t at) const { return View.U16(at, BigEndian); }
    std::optional<std::uint32_t> U32(std::uint64_t at) const { return View.U32(at, BigEndian); }
    // Where entry i of the directory at `ifd` begins; no overflow for any 32-bit offset and 16-bit count.
    static std::uint64_t Entry(std::uint32_t ifd, std::uint32_t i) {
        return std::uint64_t{ifd} + 2 + 12 * std::uint64_t{i};
    }
};

// The TIFF header's byte order and first directory; nothing for anything that is not a TIFF header.
std::optional<TTiff> TiffHeader(std::string_view bytes) {
    TTiff tiff{bytes};
    if (bytes.substr(0, 2) == "MM")
        tiff.BigEndian = true;
    else if (bytes.substr(0, 2) != "II")
        return std::nullopt;
    const auto ifd0 = tiff.U32(4);
    if (tiff.U16(2) != 42 || !ifd0 || *ifd0 < 8) return std::nullopt;
    tiff.Ifd0 = *ifd0;
    return tiff;
}

} // namespace

int TiffOrientation(std::string_view bytes) {
    const auto tiff = TiffHeader(bytes);
    if (!tiff) return 1;
    const std::uint32_t count = tiff->U16(tiff->Ifd0).value_or(0);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t entry = TTiff::Entry(tiff->Ifd0, i);
        const auto tag = tiff->U16(entry), type = tiff->U16(entry + 2);
        if (!tag || !type) break;
        if (*tag != 0x0112) continue;
        const auto value = tiff->U16(entry + 8);
        if (*type != 3 || !value || *value < 1 || *value > 8) return 1;
        return *value;
    }
    return 1;
}

std::string_view FindExifThumbnail(std::string_view block) {
    if (block.size() < kExifSignature.size() + 8 || block.substr(0, kExifSignature.size()) != kExifSignature)
        return {};
    const auto tiff = TiffHeader(block.substr(kExifSignature.size()));
    if (!tiff) return {};
    // The thumbnail directory is the one IFD0 links to.
    const auto count0 = tiff->U16(tiff->Ifd0);
    const auto ifd1 = count0 ? tiff->U32(TTiff::Entry(tiff->Ifd0, *count0)) : std::nullopt;
    if (!ifd1 || *ifd1 < 8 || *ifd1 == tiff->Ifd0) return {};
    const auto count1 = tiff->U16(*ifd1);
    if (!count1) return {};

    std::optional<std::uint32_t> offset, length;
    for (std::uint32_t i = 0; i < *count1; ++i) {
        const std::uint64_t entry = TTiff::Entry(*ifd1, i);
        const auto tag = tiff->U16(entry), type = tiff->U16(entry + 2);
        if (!tag || !type) break;
        if (*tag != 0x0201 && *tag != 0x0202) continue;
        // Writers use LONG as the standard says, now and then SHORT.
        std::optional<std::uint32_t> value;
        if (*type == 3)
            value = tiff->U16(entry + 8);
        else if (*type == 4)
            value = tiff->U32(entry + 8);
        else
            continue;
        if (!value) break;
        (*tag == 0x0201 ? offset : length) = value;
    }
    if (!offset || !length || *offset == 0 || *length < 4) return {};
    const auto thumbnail = tiff->View.Sub(*offset, *length);
    if (!thumbnail || thumbnail->U8(0) != 0xFF || thumbnail->U8(1) != 0xD8) return {};
    return thumbnail->Data();
}

TJpegHeaderFacts ScanJpegHeader(const TReadAt& read) {
    TJpegHeaderFacts facts;
    TJpegMarkers markers(read);
    bool exifSeen = false;
    while (const auto marker = markers.Next()) {
        if (IsJpegFrameHeader(marker->Code)) {
            facts.FrameCode = marker->Code;
            // Precision, then height and width.
            unsigned char b[5];
            if (marker->Length >= 7 &&
                markers.Read(marker->ContentOffset(), reinterpret_cast<char*>(b), 5) == 5) {
                facts.Height = b[1] << 8 | b[2];
                facts.Width = b[3] << 8 | b[4];
            }
            break;
        }
        if (marker->Code != 0xE1 || exifSeen || marker->ContentLength() < kExifSignature.size()) continue;
        // Only the EXIF block is read whole; other APP1 blocks (XMP) are stepped over by their length.
        char signature[kExifSignature.size()];
        if (markers.Read(marker->ContentOffset(), signature, sizeof signature) != sizeof signature ||
            std::string_view(signature, sizeof signature) != kExifSignature)
            continue;
        exifSeen = true;
        std::string block(marker->ContentLength(), '\0');
        if (markers.Read(marker->ContentOffset(), block.data(), block.size()) == block.size()) {
            facts.Thumbnail = std::string(FindExifThumbnail(block));
            facts.Orientation = TiffOrientation(std::string_view(block).substr(kExifSignature.size()));
        }
    }
    if (markers.End() != TJpegMarkerEnd::NotJpeg) facts.IsJpeg = true;
    return facts;
}

TJpegHeaderFacts ScanJpegHeader(std::string_view bytes) {
    return ScanJpegHeader(ReadAtBytes(bytes));
}

} // namespace quillmark
