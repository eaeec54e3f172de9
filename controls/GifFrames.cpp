#include "GifFrames.h"

#include <cstring>

namespace quillmark {

namespace {

const unsigned char* Bytes(const QByteArray& data) {
    return reinterpret_cast<const unsigned char*>(data.constData());
}

// A little-endian 16-bit value that lies wholly inside the data, else 0: a frame mark may sit so close to
// the end that the image descriptor it announces is cut off.
std::uint16_t Le16At(const unsigned char* d, qsizetype n, qsizetype pos) {
    if (pos < 0 || pos + 1 >= n) return 0;
    return static_cast<std::uint16_t>(d[pos] | (d[pos + 1] << 8));
}

bool IsFrameMark(const unsigned char* d, qsizetype n, qsizetype p) {
    return d[p] == 0x21 && p + 9 < n && d[p + 1] == 0xF9 && d[p + 2] == 0x04 && d[p + 8] == 0x2C;
}

// Calls visit(p) for every frame mark in data, in order; stops early when visit returns false.
template <typename Visit> void ForEachFrameMark(const QByteArray& data, Visit visit) {
    const unsigned char* d = Bytes(data);
    const qsizetype n = data.size();
    qsizetype p = 0;
    while (p < n) {
        const void* hit = std::memchr(d + p, 0x21, static_cast<size_t>(n - p));
        if (!hit) return;
        p = static_cast<const unsigned char*>(hit) - d;
        if (IsFrameMark(d, n, p) && !visit(p)) return;
        ++p;
    }
}

} // namespace

bool StartsAsGif(const QByteArray& data) {
    return data.size() >= 5 && std::memcmp(data.constData(), "GIF8", 4) == 0;
}

int CountGifFrames(const QByteArray& data) {
    int count = 0;
    ForEachFrameMark(data, [&count](qsizetype) {
        ++count;
        return true;
    });
    return count;
}

GifFrameTiming GifFrameTimingAt(const QByteArray& data, int k) {
    const unsigned char* d = Bytes(data);
    const qsizetype n = data.size();
    GifFrameTiming timing;
    int counter = 0;
    ForEachFrameMark(data, [&](qsizetype p) {
        if (++counter != k) return true;
        timing.delay = Le16At(d, n, p + 4);
        timing.disposal = static_cast<std::uint16_t>((d[p + 3] >> 2) & 7);
        return false;
    });
    return timing;
}

GifCut CutGifFrames(const QByteArray& data, int frame) {
    const unsigned char* d = Bytes(data);
    const qsizetype n = data.size();
    GifCut cut;
    GifFrameFacts& facts = cut.frame;
    facts.screenWidth = Le16At(d, n, 6);
    facts.screenHeight = Le16At(d, n, 8);
    cut.bytes.reserve(n);
    int counter = 1;
    bool skipping = false;
    qsizetype keptFrom = 0;
    ForEachFrameMark(data, [&](qsizetype p) {
        if (frame == counter) {
            facts.matched = true;
            facts.left = Le16At(d, n, p + 9);
            facts.top = Le16At(d, n, p + 11);
            facts.width = Le16At(d, n, p + 13);
            facts.height = Le16At(d, n, p + 15);
        }
        ++counter;
        const bool nowSkipping = frame >= counter;
        if (nowSkipping && !skipping) cut.bytes.append(data.constData() + keptFrom, p - keptFrom);
        if (!nowSkipping && skipping) keptFrom = p;
        skipping = nowSkipping;
        return true;
    });
    if (!skipping) cut.bytes.append(data.constData() + keptFrom, n - keptFrom);
    return cut;
}

} // namespace quillmark
