// The memory one photo's metadata may hold, and the work its reading may do. Every reader of the
// photo (the directory walk, the maker-note walk, IPTC, and whatever is added later) charges what it
// allocates to the one budget its container owns, at the place where it allocates it, so that no
// file can make the reader hold much more than a fixed amount plus a small multiple of its own size.
// A photo over budget keeps what was read before and says so.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace quillmark {

class TReadBudget {
public:
    // What any photo may hold, however small: a camera photo's metadata keeps some tens of kilobytes.
    static constexpr int64_t kBaseBytes = 1 << 20;
    // And per byte of the file: metadata shown costs a few times the bytes it was read from.
    static constexpr int64_t kBytesPerFileByte = 8;
    // Beyond this share of the limit, each further value and text keeps only a short head.
    static constexpr int64_t kWholeValuesPercent = 50;
    static constexpr size_t kOverBudgetKeep = 64;
    // The share of the limit that maker-note entries and traces may fill.
    static constexpr int64_t kSidePercent = 75;
    // Steps of work (entries, datasets, sections looked at) for any photo, and per byte of the file.
    static constexpr int64_t kBaseSteps = 200000;
    static constexpr int64_t kStepsPerFileByte = 1;
    // What the report says where something was left out.
    static constexpr std::string_view kCutNote = "Metadata cut at the memory limit";

    TReadBudget() { SetFileSize(0); }

    // Sets the limits for a file of `bytes` bytes and forgets what was charged.
    void SetFileSize(int64_t bytes);

    // Adds what was just allocated; false once the total is over the limit (the charge stands).
    bool Charge(int64_t bytes);
    // Gives back what was freed.
    void Release(int64_t bytes) { Held -= bytes; }
    // Whether `bytes` more would still be within the limit, or within `percent` of it: what a photo
    // keeps besides its own directories' entries (maker notes, traces) leaves room for those.
    bool Allows(int64_t bytes, int64_t percent = 100) const { return bytes <= Limit / 100 * percent - Held; }
    // Whether values are still kept whole.
    bool KeepsWholeValues() const { return Held < Limit * kWholeValuesPercent / 100; }
    int64_t HeldBytes() const { return Held; }
    int64_t LimitBytes() const { return Limit; }
    int64_t Room() const { return Held < Limit ? Limit - Held : 0; }

    // One more step of work (`n` steps); false once the photo has used its share.
    bool Step(int64_t n = 1);

    // Something was left out: the first call says true, so that the note is made once.
    bool NoteCut() { return !std::exchange(Cut, true); }
    bool WasCut() const { return Cut; }

    // Bytes a string holds beyond its own object.
    static int64_t HeapOf(const std::string& s);

private:
    int64_t Limit = 0;
    int64_t Held = 0;
    int64_t StepLimit = 0;
    int64_t Steps = 0;
    bool Cut = false;
};

// The text cut to at most `bytes` bytes into a new string of its own size: on a character
// boundary when the text is UTF-8, else (8-bit text) after any byte.
std::string CutToBytes(std::string_view text, size_t bytes);

} // namespace quillmark
