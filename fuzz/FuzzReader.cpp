// The reader over arbitrary bytes, as a JPEG file or as a TIFF-structured file (chosen at build
// time), followed by everything the window would ask of it (FuzzBodies.h).
#include "FuzzBodies.h"

#ifndef QUILLMARK_FUZZ_NAME
#define QUILLMARK_FUZZ_NAME "fuzz.jpg"
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!quillmark::fuzzing::ReadLikeTheWindow(QUILLMARK_FUZZ_NAME,
                                               std::string_view(reinterpret_cast<const char*>(data), size)))
        __builtin_trap();
    return 0;
}
