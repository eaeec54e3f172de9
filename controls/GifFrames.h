// Byte scans over GIF data: frame marks, frame delays and the cut that makes a decoder show frame k.
//
// A frame is recognised by a graphic control extension directly followed by an image descriptor
// (21 F9 04 .. .. .. .. .. 2C). The scans look at raw bytes, so compressed image data that happens to
// look like that counts as a frame; the picture holder relies on exactly this counting.
#pragma once

#include <QByteArray>

#include <cstdint>

namespace quillmark {

// At least 5 bytes beginning "GIF8".
bool StartsAsGif(const QByteArray& data);

// Number of frame marks in data.
int CountGifFrames(const QByteArray& data);

struct GifFrameTiming {
    int delay = -1;             // hundredths of a second; -1 when there is no such frame
    std::uint16_t disposal = 0; // bits 2 to 4 of the extension's packed byte
};

// Delay and disposal of the k-th frame mark (from 1).
GifFrameTiming GifFrameTimingAt(const QByteArray& data, int k);

// Where a cut's frame lies on the logical screen, and the screen's size: the one record of a GIF frame that
// the cut, the thumbnails' worker threads and the picture holder pass along.
struct GifFrameFacts {
    // The image descriptor of the cut's frame when a frame >= 1 matched a mark; fields cut off by the end of
    // the data read as 0. Left and top are 0 when nothing matched.
    bool matched = false;
    std::uint16_t left = 0;
    std::uint16_t top = 0;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    // The logical screen from the header (0 when the header is cut short, or the data is no GIF).
    std::uint16_t screenWidth = 0;
    std::uint16_t screenHeight = 0;

    bool operator==(const GifFrameFacts&) const = default;
};

struct GifCut {
    QByteArray bytes;
    GifFrameFacts frame;
};

// For frame 0 or 1 the whole data; for frame k >= 2 everything before the first frame mark followed by
// everything from the k-th mark to the end, so a decoder that shows only the first image shows frame k.
// A frame beyond the last mark leaves only the bytes before the first mark.
GifCut CutGifFrames(const QByteArray& data, int frame);

} // namespace quillmark
