// The maker-note walk of every layout: the fuzzer's bytes after the first two become the maker note
// of a small EXIF block whose layout (its Make and the note's header) the first byte chooses and
// whose Model, version, byte order and container the second does (MakerNoteHarness.h), so the
// fuzzer reaches each maker's layout at once.
#include "FuzzBodies.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!quillmark::fuzzing::ReadMakerNote(std::string_view(reinterpret_cast<const char*>(data), size)))
        __builtin_trap();
    return 0;
}
