// The XMP reader over any packet (FuzzBodies.h).
#include "FuzzBodies.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!quillmark::fuzzing::ReadXmpPacketBody(std::string_view(reinterpret_cast<const char*>(data), size)))
        __builtin_trap();
    return 0;
}
