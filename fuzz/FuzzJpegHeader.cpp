// The thumbnail strip's header scan (metadata/JpegHeader.h): every file of an opened folder goes
// through it on a worker thread before any decoder, to find the picture's size and the EXIF
// thumbnail (JpegHeaderBody.h).
#include "JpegHeaderBody.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!quillmark::fuzzing::ScanLikeTheStrip(std::string_view(reinterpret_cast<const char*>(data), size)))
        __builtin_trap();
    return 0;
}
