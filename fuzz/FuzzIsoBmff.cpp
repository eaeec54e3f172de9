// The box formats' scans (HEIF/HEIC, AVIF, CR3, JPEG XL, JPEG 2000) over any bytes: each scan runs on
// every input, as a registry that trusted a wrong first byte would run it, and must keep its bounds.
#include "formats/Scans.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

// The promises of Container.h that a caller relies on: blocks within their bound, regions inside the
// file, TIFF structures that begin with a TIFF header and lie where they say.
bool KeepsItsPromises(std::string_view bytes, const quillmark::TContainerScan& scan) {
    using namespace quillmark;
    for (const TTiffStructure& tiff : scan.Exif) {
        if (tiff.Bytes.size() > kMaxBlockBytes || tiff.Bytes.size() < 8) return false;
        if (tiff.Bytes.compare(0, 4, "II*\0", 4) != 0 && tiff.Bytes.compare(0, 4, "MM\0*", 4) != 0)
            return false;
        if (tiff.FileOffset != TTiffStructure::kNotInFile &&
            (tiff.FileOffset > bytes.size() ||
             bytes.substr(tiff.FileOffset, tiff.Bytes.size()) != tiff.Bytes))
            return false;
    }
    for (const std::string& xmp : scan.Xmp)
        if (xmp.size() > kMaxBlockBytes) return false;
    if (scan.Icc.size() > kMaxBlockBytes) return false;
    for (const TPreview& preview : scan.Previews)
        if (preview.Region.Offset > bytes.size() ||
            preview.Region.Length > bytes.size() - preview.Region.Offset)
            return false;
    return scan.Notes.size() <= 64;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (const auto scan : {quillmark::ScanIsoBmff, quillmark::ScanJpegXl, quillmark::ScanJpeg2000}) {
        quillmark::TMemorySource source(bytes);
        quillmark::TContainerScan out;
        const bool found = scan(source, size, out);
        if (!KeepsItsPromises(bytes, out) || (!found && !out.Format.empty())) __builtin_trap();
    }
    return 0;
}
