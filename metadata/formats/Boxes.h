// The box walk that ISO base media files (HEIF, AVIF, CR3), JPEG XL and JPEG 2000 share: each box is a
// 32-bit size (1: a 64-bit size follows; 0: up to the end of its parent), a four-letter type, and for a
// `uuid` box sixteen more bytes naming it. Only headers are read while walking; a scan asks for the
// bytes of the few boxes it keeps. Sizes are 64-bit and never added to an offset before they are
// compared with what is left, so a box can claim any size without wrapping round.
#pragma once

#include "../ByteView.h"
#include "Container.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillmark::boxes {

constexpr uint32_t FourCC(const char (&s)[5]) {
    return static_cast<uint32_t>(static_cast<uint8_t>(s[0])) << 24 |
           static_cast<uint32_t>(static_cast<uint8_t>(s[1])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(s[2])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(s[3]));
}

// A four-letter type as text for notes; bytes that are not printable ASCII become '?'.
std::string TypeText(uint32_t type);

struct TBox {
    uint32_t Type = 0;
    uint64_t Start = 0;   // the box's first byte
    uint64_t Payload = 0; // the first byte after its header (after a uuid box's sixteen bytes)
    uint64_t End = 0;     // one past its last byte, cut to its parent's end when it claims more
    std::string Uuid;     // the sixteen bytes of a `uuid` box's name
    uint64_t PayloadSize() const { return End - Payload; }
};

// 64-bit unsigned of 0, 4 or 8 big-endian bytes (iloc's field sizes); nothing for other sizes or when
// the bytes are not there.
std::optional<uint64_t> ReadSized(TByteView view, uint64_t offset, unsigned size);
std::optional<uint64_t> U64(TByteView view, uint64_t offset);

// Walks boxes over a source and counts them against kMaxBoxes for the whole scan. Damage becomes a
// note of the scan's (each text once).
class TBoxWalker {
public:
    TBoxWalker(TByteSource& source, uint64_t sourceSize, TContainerScan& out)
        : Source(source), SourceSize(sourceSize), Out(out) {}
    // A walk over other bytes (a box copied out) that counts against the same bound as `parent`.
    TBoxWalker(TByteSource& source, uint64_t sourceSize, TBoxWalker& parent)
        : Source(source), SourceSize(sourceSize), Out(parent.Out), Nested(true), Count(parent.Count),
          Stopped(parent.Stopped) {}
    TBoxWalker(const TBoxWalker&) = delete;
    TBoxWalker& operator=(const TBoxWalker&) = delete;

    // The header of the box at `offset`, its end cut to `end`; nothing when no whole header lies there.
    std::optional<TBox> ReadHeader(uint64_t offset, uint64_t end);

    // Calls visit(const TBox&) for each box of [begin, end), in order, until it returns false, the
    // boxes end, or the scan's bound of boxes is met. `depth` counts the parents above these boxes.
    template <class Visit> void Walk(uint64_t begin, uint64_t end, int depth, Visit&& visit) {
        if (depth > kMaxBoxDepth) {
            Note("boxes nested too deep; the deeper ones are not read");
            return;
        }
        uint64_t at = begin;
        while (at < end && !*Stopped) {
            if (++*Count > kMaxBoxes) {
                Note("too many boxes; the rest are not read");
                *Stopped = true;
                return;
            }
            const std::optional<TBox> box = ReadHeader(at, end);
            if (!box || !visit(*box)) return;
            at = box->End;
        }
    }

    // Up to `length` bytes from `offset`, at most `limit`; fewer at the end of the source.
    std::string Read(uint64_t offset, uint64_t length, uint64_t limit = kMaxBlockBytes);
    // A box's payload, cut at kMaxBlockBytes with a note.
    std::string ReadPayload(const TBox& box, std::string_view what);

    void Note(std::string text);
    TByteSource& Source;
    const uint64_t SourceSize;
    TContainerScan& Out;

private:
    bool Nested = false; // the source is a box's payload, not the file
    int OwnCount = 0;
    bool OwnStopped = false;
    int* Count = &OwnCount;
    bool* Stopped = &OwnStopped;
};

// Where the TIFF header lies in an Exif item or box: after a 4-byte big-endian offset counted from the
// end of those 4 bytes. Nothing when the offset leads outside the bytes or not to a TIFF header.
std::optional<uint64_t> TiffAfterOffset(std::string_view bytes);
bool IsTiffHeader(std::string_view bytes);

// EXIF structures, and XMP packets, that one scan keeps; no real file comes near.
inline constexpr size_t kMaxBlocks = 16;

// The TIFF structure beginning at `at` of `bytes` (which lie at `fileOffset` in the file, or nowhere),
// added to the scan's Exif; an XMP packet added to its Xmp. Both keep to kMaxBlocks.
void AddTiff(TContainerScan& out, std::string_view bytes, uint64_t at, uint64_t fileOffset, TTagGroup group);
void AddXmp(TContainerScan& out, std::string bytes);

} // namespace quillmark::boxes
