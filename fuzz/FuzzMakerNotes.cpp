// The maker-note walk of every recognised maker: the fuzzer's bytes become the maker note of a
// small EXIF block whose Make (and version and byte order) the first byte chooses, so the
// fuzzer reaches the maker code at once.
#include "ExifBuilder.h"
#include "ImgData.h"
#include "PhotoReport.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {
const char* const kMakes[] = {"NIKON", "OLYMPUS", "CASIO", "FUJIFILM", "Canon", "SEIKO EPSON", "SANYO", "Minolta"};
const char* const kVersions[] = {"0220", "0210", ""};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t choice = data[0];
    const std::string note(reinterpret_cast<const char*>(data + 1), size - 1);
    const bool bigEndian = choice & 0x80;
    const bool tiff = choice & 0x40;
    using quillmark::craft::TiffBlock;
    TiffBlock t(bigEndian);
    const int exif = t.AddIfd();
    t.Ascii(0, 0x010F, kMakes[choice % 8]).Ascii(0, 0x0110, "D70 X").Link(0, 0x8769, exif);
    const char* version = kVersions[(choice >> 3) % 3];
    if (*version) t.Undefined(exif, 0x9000, version);
    t.Undefined(exif, 0x927C, note).Short(exif, 0xA408, {1});
    quillmark::TimgData d(255);
    if (tiff) {
        d.ProcessBytes("fuzz.nef", t.Build());
    } else {
        if (note.size() > 60000) return 0;
        d.ProcessBytes("fuzz.jpg", quillmark::craft::JpegFile().Soi().Exif(t).ScanAndEnd().Bytes());
    }
    (void)quillmark::BuildPhotoReport(d);
    return 0;
}
