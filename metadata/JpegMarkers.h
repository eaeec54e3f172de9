// Stepping over the marker sections at the head of a JPEG file, from its start-of-image marker up to the
// scan data, the end-of-image marker or the end of the bytes. The one walk of a JPEG's sections: the
// metadata container and the thumbnail strip's header scan both go through it.
//
// The bytes come through a read-at function, so a caller reads only what it needs (a section's length
// bytes, and the bodies it wants) from a file or from bytes in memory. Every step moves forward and the
// number of steps is bounded, so a hostile file costs at most that many small reads.
#pragma once

#include "ByteView.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace quillmark {

// Reads up to n bytes from an offset of the file into `into`; returns how many were read.
using TReadAt = std::function<std::size_t(std::uint64_t offset, char* into, std::size_t n)>;

// A TReadAt over bytes in memory; the bytes must outlive it.
TReadAt ReadAtBytes(std::string_view bytes);

// One marker section.
struct TJpegMarker {
    int Code = 0;             // the byte after 0xFF: 0xE1 for APP1, 0xDA for the start of scan
    std::uint64_t Offset = 0; // of the 0xFF that begins the marker (after any fill bytes)
    std::uint32_t Length = 0; // the length field: the content's bytes and its own two, 2 to 65535

    std::uint64_t ContentOffset() const { return Offset + 4; }
    std::uint32_t ContentLength() const { return Length - 2; }
    // The content's bytes within a whole file in memory, cut where the file ends.
    TByteView Content(TByteView file) const { return file.Clip(ContentOffset(), ContentLength()); }
};

// Why the walk stopped.
enum class TJpegMarkerEnd {
    Walking,      // not yet
    NotJpeg,      // the bytes do not begin with a start-of-image marker
    ScanData,     // after the start-of-scan section: the compressed picture follows
    EndOfImage,   // an end-of-image marker
    EndOfData,    // the bytes ended, between sections or inside a marker or its length
    NotAMarker,   // a byte other than 0xFF where a marker should begin
    BadLength,    // a length field below 2
    TooManySteps, // the bound on steps, or on the fill bytes before one marker, was reached
};

// Frame headers: SOF0-SOF3, SOF5-SOF7, SOF9-SOF11, SOF13-SOF15 (C4, C8 and CC are other sections).
bool IsJpegFrameHeader(int code);

class TJpegMarkers {
public:
    // Sections with a length, and stand-alone markers, walked at most by default: real photos have a few
    // dozen before their picture data.
    static constexpr int kMaxSteps = 1000;
    // Fill bytes (0xFF) allowed before one marker: writers pad with a handful.
    static constexpr int kMaxFillBytes = 1024;

    explicit TJpegMarkers(TReadAt read, int maxSteps = kMaxSteps);
    explicit TJpegMarkers(std::string_view bytes, int maxSteps = kMaxSteps)
        : TJpegMarkers(ReadAtBytes(bytes), maxSteps) {}

    // The next section with a length, the start-of-scan section last; nothing once the walk has ended
    // (End() tells why). The first call checks the start-of-image marker. Stand-alone markers (RSTn, TEM,
    // a repeated SOI) carry nothing and are stepped over.
    std::optional<TJpegMarker> Next();
    TJpegMarkerEnd End() const { return Ended; }

    // Reads up to n bytes at a file offset through the walk's own reads; returns how many were read.
    std::size_t Read(std::uint64_t offset, char* into, std::size_t n);

private:
    std::optional<std::uint8_t> ByteAt(std::uint64_t offset);
    std::nullopt_t Stop(TJpegMarkerEnd why) {
        Ended = why;
        return std::nullopt;
    }

    TReadAt ReadFile;
    int MaxSteps;
    int Steps = 0;
    bool Started = false;
    TJpegMarkerEnd Ended = TJpegMarkerEnd::Walking;
    std::uint64_t Pos = 0; // where the next marker should begin
    // The last small read, which usually holds a marker, its length and a frame header's first bytes.
    char Window[16] = {};
    std::uint64_t WindowStart = 0;
    std::size_t WindowLength = 0;
};

} // namespace quillmark
