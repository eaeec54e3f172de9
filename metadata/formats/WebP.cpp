// WebP: a RIFF file of form WEBP. Its chunks are a fourcc, a little-endian 32-bit size and the data,
// padded to an even length. The picture's size is in VP8X (the canvas) or else in the frame header of
// VP8 (lossy) or VP8L (lossless); EXIF, XMP and the ICC profile have chunks of their own.
#include "ScanSupport.h"
#include "Scans.h"

#include "../ByteView.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace quillmark {

namespace {

using namespace scans;

constexpr std::string_view kExifPrefix("Exif\0\0", 6);

uint32_t U24(const TByteView& v, uint64_t at) {
    return static_cast<uint32_t>(*v.U8(at)) | static_cast<uint32_t>(*v.U8(at + 1)) << 8 |
           static_cast<uint32_t>(*v.U8(at + 2)) << 16;
}

// The size in a frame header, which VP8X's canvas (when there is one) overrides.
void FrameSize(std::string_view type, const TByteView& v, TContainerScan& out) {
    if (type == "VP8 ") {
        // A key frame (bit 0 of the frame tag clear) has its start code and then 14-bit sizes.
        if (!v.Holds(0, 10) || (*v.U8(0) & 1) != 0 || v.Data().substr(3, 3) != "\x9d\x01\x2a") {
            Note(out, "VP8 chunk without a key frame header");
            return;
        }
        out.Width = *v.U16(6, false) & 0x3FFF;
        out.Height = *v.U16(8, false) & 0x3FFF;
    } else {
        if (!v.Holds(0, 5) || *v.U8(0) != 0x2F) {
            Note(out, "VP8L chunk without its signature");
            return;
        }
        const uint32_t bits = *v.U32(1, false);
        out.Width = (bits & 0x3FFF) + 1;
        out.Height = (bits >> 14 & 0x3FFF) + 1;
    }
}

void Walk(TByteSource& source, uint64_t riffEnd, TContainerScan& out) {
    bool canvas = false;
    uint64_t pos = 12;
    for (int count = 0; pos < riffEnd; ++count) {
        if (count >= kMaxBoxes) {
            Note(out, "more than " + std::to_string(kMaxBoxes) + " chunks: the rest not read");
            return;
        }
        const std::string header = ReadSome(source, pos, 8);
        const TByteView h(header);
        if (!h.Holds(0, 8)) {
            // A lone pad byte after an odd last chunk is what some writers leave; anything else is a cut.
            if (riffEnd - pos > 1) Note(out, "chunk header cut short at offset " + std::to_string(pos));
            return;
        }
        const std::string_view type = h.Data().substr(0, 4);
        const uint64_t size = *h.U32(4, false);
        const uint64_t data = pos + 8;
        if (size > riffEnd - std::min(riffEnd, data)) {
            Note(out, "'" + std::string(type) + "' chunk at offset " + std::to_string(pos) +
                          " runs past the end of the file");
            return;
        }
        const bool frame = type == "VP8 " || type == "VP8L";
        if (type == "VP8X") {
            const std::string b = ReadSome(source, data, std::min<uint64_t>(size, 10));
            const TByteView v(b);
            if (v.Holds(0, 10)) {
                out.Width = U24(v, 4) + 1;
                out.Height = U24(v, 7) + 1;
                canvas = true;
            } else {
                Note(out, "VP8X chunk cut short");
            }
        } else if (frame) {
            if (!canvas && out.Width == 0) {
                const std::string b = ReadSome(source, data, std::min<uint64_t>(size, 10));
                FrameSize(type, TByteView(b), out);
            }
        } else if (type == "EXIF" || type == "XMP " || type == "ICCP") {
            if (size > kMaxBlockBytes) {
                Note(out,
                     "'" + std::string(type) + "' chunk of " + std::to_string(size) + " bytes: not read");
            } else {
                std::string bytes = ReadSome(source, data, size);
                if (type == "XMP ") {
                    out.Xmp.push_back(std::move(bytes));
                } else if (type == "ICCP") {
                    if (out.Icc.empty()) out.Icc = std::move(bytes);
                } else {
                    uint64_t at = data;
                    if (std::string_view(bytes).substr(0, kExifPrefix.size()) == kExifPrefix) {
                        bytes.erase(0, kExifPrefix.size());
                        at += kExifPrefix.size();
                    }
                    const std::string_view mark = std::string_view(bytes).substr(0, 4);
                    if (bytes.size() >= 8 &&
                        (mark == std::string_view("II*\0", 4) || mark == std::string_view("MM\0*", 4)))
                        out.Exif.push_back({std::move(bytes), at, tgIFD0});
                    else
                        Note(out, "EXIF chunk holds no TIFF header");
                }
            }
        }
        pos = data + size + (size & 1);
    }
}

} // namespace

bool ScanWebP(TByteSource& source, uint64_t fileSize, TContainerScan& out) {
    try {
        const std::string head = ReadSome(source, 0, 12);
        const TByteView h(head);
        if (!h.Holds(0, 12) || head.substr(0, 4) != "RIFF" || head.substr(8, 4) != "WEBP") return false;
        out.Format = "WEBP";
        // The RIFF size counts from offset 8; a file cut short keeps what it holds.
        const uint64_t riffSize = *h.U32(4, false);
        uint64_t riffEnd = fileSize;
        if (riffSize > fileSize - std::min<uint64_t>(fileSize, 8))
            Note(out, "RIFF size runs past the end of the file");
        else
            riffEnd = 8 + riffSize;
        Walk(source, riffEnd, out);
    } catch (const std::exception& e) {
        NoteStop(out, "WebP", e);
    }
    return true;
}

} // namespace quillmark
