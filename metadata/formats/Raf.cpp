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
    } catch (const std::exception& e) {
        NoteStop(out, "RAF", e);
    }
    return true;
}

} // namespace quillmark
