// Minolta MRW: "\0MRM", the big-endian length of the header blocks, then the blocks (a 4-byte name
// and a big-endian length each) before the raw data. PRD gives the picture's size, TTW is a whole
// TIFF structure with the EXIF and maker note; WBG and RIF hold white balance and settings.
#include "ScanSupport.h"
#include "Scans.h"

#include "../ByteView.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace quillmark {

namespace {

using namespace scans;

void Blocks(TByteSource& source, uint64_t end, TContainerScan& out) {
    uint64_t pos = 8;
    for (int count = 0; end - pos >= 8; ++count) {
        if (count >= kMaxBoxes) {
            Note(out, "more than " + std::to_string(kMaxBoxes) + " blocks: the rest not read");
            return;
        }
        const std::string header = ReadSome(source, pos, 8);
        const TByteView h(header);
        if (!h.Holds(0, 8)) {
            Note(out, "block header cut short at offset " + std::to_string(pos));
            return;
        }
        const std::string_view name = h.Data().substr(0, 4);
        const uint64_t length = *h.U32(4, true);
        const uint64_t data = pos + 8;
        if (length > end - data) {
            Note(out, "block at offset " + std::to_string(pos) + " runs past the header blocks");
            return;
        }
        if (name == std::string_view("\0PRD", 4)) {
            const std::string prd = ReadSome(source, data, std::min<uint64_t>(length, 16));
            const TByteView v(prd);
            if (v.Holds(0, 16)) {
                out.Height = *v.U16(12, true);
                out.Width = *v.U16(14, true);
            } else {
                Note(out, "PRD block cut short");
            }
        } else if (name == std::string_view("\0TTW", 4)) {
            const std::string mark = ReadSome(source, data, std::min<uint64_t>(length, 4));
            if (length >= 8 && (mark == std::string_view("II*\0", 4) || mark == std::string_view("MM\0*", 4)))
                out.TiffInFile = TFileRegion{data, length};
            else
                Note(out, "TTW block holds no TIFF header");
        }
        pos = data + length;
    }
}

} // namespace

bool ScanMrw(TByteSource& source, uint64_t fileSize, TContainerScan& out) {
    try {
        const std::string header = ReadSome(source, 0, 8);
        if (header.substr(0, 4) != std::string_view("\0MRM", 4)) return false;
        out.Format = "MRW";
        const auto length = TByteView(header).U32(4, true);
        if (!length) {
            Note(out, "header cut short");
            return true;
        }
        uint64_t end = 8 + static_cast<uint64_t>(*length);
        if (end > fileSize) {
            Note(out, "header blocks run past the end of the file");
            end = std::max<uint64_t>(fileSize, 8);
        }
        Blocks(source, end, out);
    } catch (const std::exception& e) {
        NoteStop(out, "MRW", e);
    }
    return true;
}

} // namespace quillmark
