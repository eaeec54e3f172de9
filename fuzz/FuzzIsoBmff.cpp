// The box formats' scans (HEIF/HEIC, AVIF, CR3, JPEG XL, JPEG 2000) over any bytes (IsoBmffBody.h).
#include "IsoBmffBody.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!quillmark::fuzzing::ScanBoxFormats(std::string_view(reinterpret_cast<const char*>(data), size)))
        __builtin_trap();
    return 0;
}
