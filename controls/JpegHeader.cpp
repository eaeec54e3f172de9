#include "JpegHeader.h"

#include <algorithm>
#include <cstring>

namespace quillmark {

namespace {

// Sections walked before giving up: real files have a dozen or two before their frame header, and each
// step moves forward, so a hostile file costs at most this many small reads.
constexpr int kMaxSections = 256;

constexpr std::string_view kExifSignature("Exif\0\0", 6);

// Frame headers: SOF0-SOF3, SOF5-SOF7, SOF9-SOF11, SOF13-SOF15. C4, C8 and CC are other sections.
bool IsFrameHeader(int marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Markers that stand alone, without a length.
bool StandsAlone(int marker) {
    return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8);
}

// Bounds-checked reads of a TIFF block in its own byte order.
class TiffView {
public:
    TiffView(std::string_view bytes, bool bigEndian) : bytes_(bytes), bigEndian_(bigEndian) {}

    bool U16(std::uint64_t at, std::uint32_t& value) const {
        if (at > bytes_.size() || bytes_.size() - at < 2) return false;
        const auto b0 = static_cast<unsigned char>(bytes_[at]);
        const auto b1 = static_cast<unsigned char>(bytes_[at + 1]);
        value = bigEndian_ ? (b0 << 8) | b1 : (b1 << 8) | b0;
        return true;
    }

    bool U32(std::uint64_t at, std::uint32_t& value) const {
        std::uint32_t first = 0, second = 0;
        if (!U16(at, first) || !U16(at + 2, second)) return false;
        value = bigEndian_ ? (first << 16) | second : (second << 16) | first;
        return true;
    }

private:
    std::string_view bytes_;
    bool bigEndian_;
};

} // namespace

namespace {

// The TIFF header's byte order and first directory; false for anything that is not a TIFF header.
bool TiffHeader(std::string_view tiff, bool& bigEndian, std::uint32_t& ifd0) {
    if (tiff.substr(0, 2) == "MM")
        bigEndian = true;
    else if (tiff.substr(0, 2) == "II")
        bigEndian = false;
    else
        return false;
    const TiffView view(tiff, bigEndian);
    std::uint32_t magic = 0;
    return view.U16(2, magic) && magic == 42 && view.U32(4, ifd0) && ifd0 >= 8;
}

} // namespace

int TiffOrientation(std::string_view tiff) {
    bool bigEndian = false;
    std::uint32_t ifd0 = 0, count = 0;
    if (!TiffHeader(tiff, bigEndian, ifd0)) return 1;
    const TiffView view(tiff, bigEndian);
    if (!view.U16(ifd0, count)) return 1;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t entry = std::uint64_t(ifd0) + 2 + 12 * std::uint64_t(i);
        std::uint32_t tag = 0, type = 0, value = 0;
        if (!view.U16(entry, tag) || !view.U16(entry + 2, type)) break;
        if (tag != 0x0112) continue;
        if (type != 3 || !view.U16(entry + 8, value) || value < 1 || value > 8) return 1;
        return int(value);
    }
    return 1;
}

std::string_view FindExifThumbnail(std::string_view block) {
    if (block.size() < kExifSignature.size() + 8 || block.substr(0, kExifSignature.size()) != kExifSignature)
        return {};
    const std::string_view tiff = block.substr(kExifSignature.size());
    bool bigEndian = false;
    std::uint32_t ifd0 = 0, count0 = 0, ifd1 = 0, count1 = 0;
    if (!TiffHeader(tiff, bigEndian, ifd0)) return {};
    const TiffView view(tiff, bigEndian);
    // The thumbnail directory is the one IFD0 links to.
    if (!view.U16(ifd0, count0) || !view.U32(std::uint64_t(ifd0) + 2 + 12 * std::uint64_t(count0), ifd1))
        return {};
    if (ifd1 < 8 || ifd1 == ifd0 || !view.U16(ifd1, count1)) return {};

    std::uint64_t offset = 0, length = 0;
    bool haveOffset = false, haveLength = false;
    for (std::uint32_t i = 0; i < count1; ++i) {
        const std::uint64_t entry = std::uint64_t(ifd1) + 2 + 12 * std::uint64_t(i);
        std::uint32_t tag = 0, type = 0, value = 0;
        if (!view.U16(entry, tag) || !view.U16(entry + 2, type)) break;
        if (tag != 0x0201 && tag != 0x0202) continue;
        // Writers use LONG as the standard says, now and then SHORT.
        if (type == 3) {
            if (!view.U16(entry + 8, value)) break;
        } else if (type == 4) {
            if (!view.U32(entry + 8, value)) break;
        } else {
            continue;
        }
        if (tag == 0x0201) {
            offset = value;
            haveOffset = true;
        } else {
            length = value;
            haveLength = true;
        }
    }
    if (!haveOffset || !haveLength || offset == 0 || length < 4) return {};
    if (offset > tiff.size() || tiff.size() - offset < length) return {};
    const std::string_view thumbnail = tiff.substr(offset, length);
    if (static_cast<unsigned char>(thumbnail[0]) != 0xFF || static_cast<unsigned char>(thumbnail[1]) != 0xD8)
        return {};
    return thumbnail;
}

TJpegHeaderFacts ScanJpegHeader(const TReadAt& read) {
    TJpegHeaderFacts facts;
    unsigned char b[6];
    if (read(0, reinterpret_cast<char*>(b), 2) != 2 || b[0] != 0xFF || b[1] != 0xD8) return facts;
    facts.IsJpeg = true;
    bool exifSeen = false;
    std::uint64_t pos = 2;
    for (int step = 0; step < kMaxSections; ++step) {
        if (read(pos, reinterpret_cast<char*>(b), 2) != 2 || b[0] != 0xFF) break;
        const int marker = b[1];
        if (marker == 0xFF) { // a fill byte before the marker
            pos += 1;
            continue;
        }
        if (StandsAlone(marker)) {
            pos += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA) break; // end of image, or the scan data begins
        if (read(pos + 2, reinterpret_cast<char*>(b), 2) != 2) break;
        const std::uint32_t length = (std::uint32_t(b[0]) << 8) | b[1];
        if (length < 2) break;
        if (IsFrameHeader(marker)) {
            // Precision, then height and width.
            if (length >= 7 && read(pos + 4, reinterpret_cast<char*>(b), 5) == 5) {
                facts.Height = (b[1] << 8) | b[2];
                facts.Width = (b[3] << 8) | b[4];
            }
            break;
        }
        if (marker == 0xE1 && !exifSeen && length >= 2 + kExifSignature.size()) {
            // Only the EXIF block is read whole; other APP1 blocks (XMP) are stepped over by their length.
            if (read(pos + 4, reinterpret_cast<char*>(b), kExifSignature.size()) == kExifSignature.size() &&
                std::memcmp(b, kExifSignature.data(), kExifSignature.size()) == 0) {
                exifSeen = true;
                std::string block(length - 2, '\0');
                if (read(pos + 4, block.data(), block.size()) == block.size()) {
                    facts.Thumbnail = std::string(FindExifThumbnail(block));
                    facts.Orientation =
                        TiffOrientation(std::string_view(block).substr(kExifSignature.size()));
                }
            }
        }
        pos += 2 + std::uint64_t(length);
    }
    return facts;
}

TJpegHeaderFacts ScanJpegHeader(std::string_view bytes) {
    return ScanJpegHeader([bytes](std::uint64_t offset, char* into, std::size_t n) -> std::size_t {
        if (offset >= bytes.size()) return 0;
        const std::size_t count = std::min<std::uint64_t>(n, bytes.size() - offset);
        std::memcpy(into, bytes.data() + offset, count);
        return count;
    });
}

} // namespace quillmark
