// Fujifilm RAF: a big-endian header naming the camera, then an embedded JPEG (which carries the EXIF
// and the Fujifilm maker note), Fujifilm's own records and the raw data. Only the header is read here;
// the JPEG is left to the JPEG reader.
#include "ScanSupport.h"
#include "Scans.h"

#include "../ByteView.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace quillmark {

namespace {

using namespace scans;

constexpr std::string_view kMagic = "FUJIFILMCCD-RAW ";

// The picture's size from Fujifilm's own records (the header says where they lie: a count, then
// big-endian records of tag, length and bytes): the cropped size (0x111, height then width) where the
// camera gives one, else the full sensor's (0x100). The EXIF is the preview JPEG's and tells only its
// own size.
void ReadPictureSize(TByteSource& source, uint64_t fileSize, TContainerScan& out) {
    const std::string more = ReadSome(source, 92, 8);
    const TByteView m(more);
    const auto at = m.U32(0, true), length = m.U32(4, true);
    if (!at || !length || *at > fileSize || *length > fileSize - *at) return;
    // The records a camera writes fill a few hundred bytes; the size is among the first of them.
    const std::string records = ReadSome(source, *at, std::min<uint64_t>(*length, 1024));
    const TByteView r(records);
    const auto count = r.U32(0, true);
    if (!count) return;
    uint32_t fullWidth = 0, fullHeight = 0;
    uint64_t pos = 4;
    for (uint32_t i = 0; i < *count && i < 256; ++i) {
        const auto tag = r.U16(pos, true), size = r.U16(pos + 2, true);
        if (!tag || !size) break;
        if ((*tag == 0x100 || *tag == 0x111) && *size == 4) {
            const auto height = r.U16(pos + 4, true), width = r.U16(pos + 6, true);
            if (!height || !width) break;
            if (*tag == 0x111 && *width > 0 && *height > 0) {
                out.Width = *width;
                out.Height = *height;
                return;
            }
            if (*tag == 0x100) fullWidth = *width, fullHeight = *height;
        }
        pos += 4 + uint64_t{*size};
    }
    if (fullWidth > 0 && fullHeight > 0) out.Width = fullWidth, out.Height = fullHeight;
}

} // namespace

bool ScanRaf(TByteSource& source, uint64_t fileSize, TContainerScan& out) {
    try {
        const std::string header = ReadSome(source, 0, 92);
        if (header.substr(0, kMagic.size()) != kMagic) return false;
        out.Format = "RAF";
        const TByteView h(header);
        if (!h.Holds(0, 92)) {
            Note(out, "header cut short");
            return true;
        }
        const uint64_t offset = *h.U32(84, true), length = *h.U32(88, true);
        if (offset > fileSize || length > fileSize - offset || length < 4) {
            Note(out, "embedded JPEG lies outside the file");
            return true;
        }
        const std::string start = ReadSome(source, offset, 2);
        if (start != "\xFF\xD8") {
            Note(out, "embedded JPEG at offset " + std::to_string(offset) + " is not a JPEG");
            return true;
        }
        out.EmbeddedJpeg = TFileRegion{offset, length};
        out.Previews.push_back({"Preview", "JPEG", {offset, length}, 0, 0});
        ReadPictureSize(source, fileSize, out);
    } catch (const std::exception& e) {
        NoteStop(out, "RAF", e);
    }
    return true;
}

} // namespace quillmark
