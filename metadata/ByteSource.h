// A source of bytes read at chosen places: a file or bytes in memory. Readers ask for the few places
// they need (a JPEG's sections one after the other, a TIFF's directories, a box header), so a 50 MB
// raw file costs a few small reads, never its picture data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace quillmark {

class TByteSource {
public:
    virtual ~TByteSource() = default;
    // Reads up to n bytes from a file offset; returns how many were read (fewer only at the end).
    virtual size_t ReadAt(uint64_t offset, char* into, size_t n) = 0;
};

// Bytes in memory as a source; the bytes must outlive it.
class TMemorySource : public TByteSource {
public:
    explicit TMemorySource(std::string_view bytes) : Bytes(bytes) {}
    size_t ReadAt(uint64_t offset, char* into, size_t n) override {
        if (offset >= Bytes.size()) return 0;
        const size_t rest = Bytes.size() - static_cast<size_t>(offset);
        const size_t take = n < rest ? n : rest;
        std::memcpy(into, Bytes.data() + offset, take);
        return take;
    }

private:
    std::string_view Bytes;
};

} // namespace quillmark
