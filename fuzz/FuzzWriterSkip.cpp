// The writer's skipping of the header sections of an encoded JPEG stream.
#include "JpegWriter.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view encoded(reinterpret_cast<const char*>(data), size);
    const size_t from = quillmark::SkipEncoderHeaderSections(encoded);
    if (from > size) __builtin_trap();
    return 0;
}
