// The reader over arbitrary bytes, as a JPEG file or as a TIFF-structured file (chosen at build
// time), followed by everything the window would ask of it.
#include "ImgData.h"
#include "PhotoReport.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

#ifndef QUILLMARK_FUZZ_NAME
#define QUILLMARK_FUZZ_NAME "fuzz.jpg"
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    quillmark::TimgData d(255);
    d.ProcessBytes(QUILLMARK_FUZZ_NAME, std::string_view(reinterpret_cast<const char*>(data), size));
    const quillmark::TPhotoReport report = quillmark::BuildPhotoReport(d);
    (void)report;
    return 0;
}
