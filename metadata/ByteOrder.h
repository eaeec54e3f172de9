// Byte order and TIFF field values: the checked byte readers every metadata walk goes through, over the
// byte view (ByteView.h) with 1-based positions.
#pragma once

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quillmark {

// Raised by the checked readers when a position or length falls outside the buffer being read.
// Each level of the reader catches it where its rules say what a failure does there.
class ReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A position or length computed in 64 bits from a file's numbers, brought into the 32-bit fields that
// keep it: anything beyond lies outside every block anyway, and checked reads refuse it there.
inline int32_t ClampToInt32(int64_t v) {
    if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

// TIFF 6.0 field types.
enum TiffType : int {
    ttByte = 1,
    ttAscii = 2,
    ttShort = 3,
    ttLong = 4,
    ttRational = 5,
    ttSByte = 6,
    ttUndefined = 7,
    ttSShort = 8,
    ttSLong = 9,
    ttSRational = 10,
    ttFloat = 11,
    ttDouble = 12,
    ttIfd = 13, // a LONG that holds a directory's offset; its size is not counted by ComponentSize
};

// Bytes per component of a TIFF field type; 0 for type 0 and for any code above 12.
int ComponentSize(int type);

// Combines bytes into an integer in the given byte order; the low 32 bits, read as signed.
// No sign extension: FF FF gives 65535.
int32_t BytesToInt(std::string_view bytes, bool bigEndian);

// The numeric value of a field's bytes: integers combine all bytes, rationals use their first
// component, text and unknown types give 0, and so does a zero denominator.
double ValueAsNumber(std::string_view bytes, int type, bool bigEndian);

// Rounds to the nearest integer, ties to even, clamped to the 32-bit range.
int32_t RoundToInt(double value);

// True when every byte of [position, position + length) lies inside `bytes`, positions counted from 1.
bool HoldsAt(std::string_view bytes, int64_t position, int64_t length);

// Base of the readers: a byte order and the block being read, addressed by 1-based positions.
class tEndInd {
public:
    bool BigEndian = false;

    void SetData(std::string bytes) { DataBuffer = std::move(bytes); }
    const std::string& GetData() const { return DataBuffer; }

    // 16- and 32-bit values at a 1-based position; ReadError when any byte lies outside the buffer.
    uint16_t Read16(int64_t position) const;
    int32_t Read32(int64_t position) const;

    int32_t BytesToInt(std::string_view bytes) const { return quillmark::BytesToInt(bytes, BigEndian); }
    double ValueAsNumber(std::string_view bytes, int type) const {
        return quillmark::ValueAsNumber(bytes, type, BigEndian);
    }

    // The bytes from a 1-based position: as many of `length` as exist; none when the position is
    // outside the buffer (before its start or past its end).
    std::string Bytes(int64_t position, int64_t length) const { return Slice(DataBuffer, position, length); }
    static std::string Slice(const std::string& buffer, int64_t position, int64_t length);

    // True when every byte of [position, position + length) lies inside the buffer.
    bool Holds(int64_t position, int64_t length) const;

protected:
    std::string DataBuffer;
};

} // namespace quillmark
