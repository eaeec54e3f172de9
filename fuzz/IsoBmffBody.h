// What the fuzz target of the box formats' scans (HEIF/HEIC, AVIF, CR3, JPEG XL, JPEG 2000) does with
// one input, shared with the ordinary test suite. Each scan runs on every input, as a registry that
// trusted a wrong first byte would run it; false when a promise of Container.h was broken.
#pragma once

#include "formats/Scans.h"

#include <string>
#include <string_view>

namespace quillmark::fuzzing {

// Blocks within their bound, regions inside the file, TIFF structures that begin with a TIFF header and
// lie where they say, an orientation EXIF knows, and a format named only when the scan took the file.
inline bool KeepsContainerPromises(std::string_view bytes, bool found, const TContainerScan& scan) {
    if (!found && !scan.Format.empty()) return false;
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
    if (scan.Icc.size() > kMaxBlockBytes || scan.Orientation < 0 || scan.Orientation > 8) return false;
    for (const TPreview& preview : scan.Previews)
        if (preview.Region.Offset > bytes.size() ||
            preview.Region.Length > bytes.size() - preview.Region.Offset)
            return false;
    return scan.Notes.size() <= 64;
}

inline bool ScanBoxFormats(std::string_view bytes) {
    for (const auto scan : {ScanIsoBmff, ScanJpegXl, ScanJpeg2000}) {
        TMemorySource source(bytes);
        TContainerScan out;
        const bool found = scan(source, bytes.size(), out);
        if (!KeepsContainerPromises(bytes, found, out)) return false;
    }
    return true;
}

} // namespace quillmark::fuzzing
