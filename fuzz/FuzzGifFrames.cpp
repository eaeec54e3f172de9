// The picture holder's byte scans over GIF data: frame counting, timings and the frame cut, on any
// bytes (the holder calls them for whatever begins "GIF8"), with the promises GifFrames.h makes
// checked on every input.
#include "GifFrames.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    (void)quillmark::StartsAsGif(bytes);
    const int frames = quillmark::CountGifFrames(bytes);
    if (frames < 0) __builtin_trap();
    // Frame numbers around the marks, the one past the last, and nonsense ones; capped, as each
    // call scans the whole input and later marks behave as earlier ones do.
    for (int k = -1; k <= frames + 1 && k < 12; ++k) {
        const quillmark::GifFrameTiming timing = quillmark::GifFrameTimingAt(bytes, k);
        if ((timing.delay >= 0) != (k >= 1 && k <= frames)) __builtin_trap();
        if (timing.disposal > 7) __builtin_trap();
        const quillmark::GifCut cut = quillmark::CutGifFrames(bytes, k);
        if (cut.bytes.size() > bytes.size()) __builtin_trap();
        // Frames 0 and 1 are the whole data; a frame beyond the last keeps what precedes the marks.
        if (k <= 1 && cut.bytes != bytes) __builtin_trap();
        if (cut.frame.matched != (k >= 1 && k <= frames)) __builtin_trap();
        if (k > frames && frames > 0 && cut.bytes.size() >= bytes.size()) __builtin_trap();
    }
    return 0;
}
