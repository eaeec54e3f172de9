// The picture holder's byte scans over GIF data: frame counting, timings and the frame cut.
#include "GifFrames.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (!quillmark::StartsAsGif(bytes) && size > 0 && data[0] != 'G') return 0;
    const int frames = quillmark::CountGifFrames(bytes);
    for (int k = 0; k <= frames + 1 && k < 64; ++k) {
        (void)quillmark::GifFrameTimingAt(bytes, k);
        (void)quillmark::CutGifFrames(bytes, k);
    }
    return 0;
}
