#include "ReadBudget.h"

#include "TextEncoding.h"

#include <algorithm>

namespace quillmark {

void TReadBudget::SetFileSize(int64_t bytes) {
    // A size from a file system is never negative, but a huge one must not overflow the product.
    const int64_t size = std::clamp<int64_t>(bytes, 0, int64_t{1} << 40);
    Limit = kBaseBytes + kBytesPerFileByte * size;
    StepLimit = kBaseSteps + kStepsPerFileByte * size;
    Held = 0;
    Steps = 0;
    Cut = false;
}

bool TReadBudget::Charge(int64_t bytes) {
    Held += bytes;
    return Held <= Limit;
}

bool TReadBudget::Step(int64_t n) {
    if (n > StepLimit - Steps) {
        Steps = StepLimit;
        return false;
    }
    Steps += n;
    return true;
}

int64_t TReadBudget::HeapOf(const std::string& s) {
    // A short string lives inside its object; a longer one holds its capacity and a closing zero.
    static const size_t kInline = std::string().capacity();
    return s.capacity() > kInline ? static_cast<int64_t>(s.capacity()) + 1 : 0;
}

std::string CutToBytes(std::string_view text, size_t bytes) {
    if (text.size() <= bytes) return std::string(text);
    // A cut inside a UTF-8 sequence moves back to where that character starts; 8-bit text (read as
    // Windows-1252) has no sequences to split. Only the head kept is looked at.
    size_t end = bytes;
    while (end > 0 && bytes - end < 3 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    if (!IsValidUtf8(text.substr(0, end))) end = bytes;
    return std::string(text.substr(0, end));
}

} // namespace quillmark
