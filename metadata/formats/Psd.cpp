// Photoshop PSD (version 1) and PSB (version 2): a 26-byte big-endian header, the colour-mode data,
// then the image resources, where Photoshop keeps EXIF, IPTC, XMP, the ICC profile and a JPEG
// thumbnail. The layers and the picture after them are never read.
#include "ScanSupport.h"
#include "Scans.h"

#include "../ByteView.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <utility>

namespace quillmark {

namespace {

using namespace scans;

// Photoshop's later thumbnail: a 28-byte header (format 1 is JFIF, then width and height) before
// the JPEG itself.
void Thumbnail(TByteSource& source, uint64_t data, uint64_t size, TContainerScan& out) {
    const std::string header = ReadSome(source, data, 30);
    const TByteView v(header);
    if (size < 30 || !v.Holds(0, 30)) {
        Note(out, "thumbnail resource cut short");
        return;
    }
    if (*v.U32(0, true) != 1 || *v.U16(28, true) != 0xFFD8) {
        Note(out, "thumbnail resource not in JPEG form");
        return;
    }
    out.Previews.push_back({"Thumbnail", "JPEG", {data + 28, size - 28}, *v.U32(4, true), *v.U32(8, true)});
}

void Resources(TByteSource& source, uint64_t start, uint64_t length, TContainerScan& out) {
    const uint64_t end = start + length;
    uint64_t pos = start;
    for (int count = 0; end - pos >= 12; ++count) {
        if (count >= kMaxBoxes) {
            Note(out, "more than " + std::to_string(kMaxBoxes) + " image resources: the rest not read");
            return;
        }
        // Signature, id, the Pascal name (its length byte and the name, padded to even), size. Names
        // are nearly always empty, so the 12 bytes of a nameless header are read first.
        const std::string header = ReadSome(source, pos, 12);
        const TByteView h(header);
        const std::string_view signature = h.Data().substr(0, 4);
        if (!h.Holds(0, 12) || (signature != "8BIM" && signature != "MeSa" && signature != "AgHg" &&
                                signature != "PHUT" && signature != "DCSR")) {
            Note(out, "image resource without a signature at offset " + std::to_string(pos));
            return;
        }
        const uint16_t id = *h.U16(4, true);
        const uint64_t nameSpan = (1 + static_cast<uint64_t>(*h.U8(6)) + 1) & ~uint64_t{1};
        std::optional<uint32_t> size;
        if (nameSpan > end - pos - 10) {
            size = std::nullopt;
        } else if (nameSpan == 2) {
            size = h.U32(8, true);
        } else {
            size = TByteView(ReadSome(source, pos + 6 + nameSpan, 4)).U32(0, true);
        }
        if (!size) {
            Note(out, "image resource header cut short at offset " + std::to_string(pos));
            return;
        }
        const uint64_t data = pos + 6 + nameSpan + 4;
        if (*size > end - data) {
            char name[8];
            std::snprintf(name, sizeof name, "0x%04X", id);
            Note(out, std::string("image resource ") + name + " runs past the resource section");
            return;
        }
        const bool block = id == 0x0422 || id == 0x0404 || id == 0x0424 || id == 0x040F;
        if (block && *size > kMaxBlockBytes) {
            Note(out, "image resource of " + std::to_string(*size) + " bytes: not read");
        } else if (block) {
            std::string bytes = ReadSome(source, data, *size);
            if (id == 0x0422) {
                const std::string_view mark = std::string_view(bytes).substr(0, 4);
                if (bytes.size() >= 8 &&
                    (mark == std::string_view("II*\0", 4) || mark == std::string_view("MM\0*", 4)))
                    out.Exif.push_back({std::move(bytes), data, tgIFD0});
                else
                    Note(out, "EXIF resource holds no TIFF header");
            } else if (id == 0x0404) {
                if (out.Iptc.empty()) out.Iptc = std::move(bytes);
            } else if (id == 0x0424) {
                out.Xmp.push_back(std::move(bytes));
            } else if (out.Icc.empty()) {
                out.Icc = std::move(bytes);
            }
        } else if (id == 0x040C) {
            Thumbnail(source, data, *size, out);
        }
        pos = data + *size + (*size & 1);
        if (pos > end) return;
    }
}

} // namespace

bool ScanPsd(TByteSource& source, uint64_t fileSize, TContainerScan& out) {
    try {
        const std::string header = ReadSome(source, 0, 30);
        const TByteView h(header);
        if (!h.Holds(0, 6) || header.substr(0, 4) != "8BPS") return false;
        const uint16_t version = *h.U16(4, true);
        if (version != 1 && version != 2) return false;
        out.Format = version == 1 ? "PSD" : "PSB";
        if (!h.Holds(0, 30)) {
            Note(out, "header cut short");
            return true;
        }
        out.Height = *h.U32(14, true);
        out.Width = *h.U32(18, true);
        const uint64_t colourData = *h.U32(26, true);
        if (colourData > fileSize - std::min<uint64_t>(fileSize, 30 + 4)) {
            Note(out, "colour-mode data runs past the end of the file");
            return true;
        }
        const uint64_t at = 30 + colourData;
        const std::string lengthBytes = ReadSome(source, at, 4);
        const auto length = TByteView(lengthBytes).U32(0, true);
        if (!length || *length > fileSize - (at + 4)) {
            Note(out, "image resources run past the end of the file");
            return true;
        }
        Resources(source, at + 4, *length, out);
    } catch (const std::exception& e) {
        NoteStop(out, "PSD", e);
    }
    return true;
}

} // namespace quillmark
