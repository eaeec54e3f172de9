// The container scans (metadata/formats) over arbitrary bytes. Which scans a target runs is chosen at
// build time (QUILLMARK_FUZZ_SCANS, a list of scan functions); each runs over the whole input, as the
// registry would call it on a file whose first bytes matched. Besides not crashing, a scan keeps its
// promises: every region it names lies inside the file, every EXIF copy placed in the file is the
// file's bytes from there, and no copied block passes its bound.
#include "formats/Scans.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

#ifndef QUILLMARK_FUZZ_SCANS
#define QUILLMARK_FUZZ_SCANS ScanPng
#endif

namespace {

using namespace quillmark;

bool Inside(const TFileRegion& r, uint64_t size) {
    return r.Offset <= size && r.Length <= size - r.Offset;
}

bool KeepsItsPromises(std::string_view bytes, const TContainerScan& s) {
    const uint64_t size = bytes.size();
    for (const TTiffStructure& t : s.Exif) {
        if (t.Bytes.size() > kMaxBlockBytes) return false;
        if (t.FileOffset == TTiffStructure::kNotInFile) continue;
        if (!Inside({t.FileOffset, t.Bytes.size()}, size)) return false;
        if (bytes.substr(static_cast<size_t>(t.FileOffset), t.Bytes.size()) != t.Bytes) return false;
    }
    for (const std::string& x : s.Xmp)
        if (x.size() > kMaxBlockBytes) return false;
    if (s.Iptc.size() > kMaxBlockBytes || s.Icc.size() > kMaxBlockBytes) return false;
    for (const TPreview& p : s.Previews)
        if (!Inside(p.Region, size)) return false;
    if (s.TiffInFile && !Inside(*s.TiffInFile, size)) return false;
    if (s.EmbeddedJpeg && !Inside(*s.EmbeddedJpeg, size)) return false;
    return s.Previews.size() <= static_cast<size_t>(kMaxBoxes) && s.Fields.size() <= 64 &&
           s.Notes.size() <= 33;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (TScanFunction scan : {QUILLMARK_FUZZ_SCANS}) {
        TMemorySource source(bytes);
        TContainerScan out;
        const bool recognised = scan(source, bytes.size(), out);
        if (!KeepsItsPromises(bytes, out) || (!recognised && !out.Exif.empty())) __builtin_trap();
    }
    return 0;
}
