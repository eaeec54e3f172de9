#include "ByteOrder.h"

#include "ByteView.h"

#include <array>
#include <cmath>
#include <limits>

namespace quillmark {

namespace {
constexpr std::array<int, 13> kComponentSizes = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
}

int ComponentSize(int type) {
    if (type < 0 || type >= static_cast<int>(kComponentSizes.size())) return 0;
    return kComponentSizes[static_cast<size_t>(type)];
}

int32_t BytesToInt(std::string_view bytes, bool bigEndian) {
    // Only the four least significant bytes survive in the low 32 bits, so the rest need not be read.
    if (bytes.size() > 4) bytes = bigEndian ? bytes.substr(bytes.size() - 4) : bytes.substr(0, 4);
    uint64_t acc = 0;
    const size_t n = bytes.size();
    for (size_t i = 0; i < n; ++i) {
        const auto b = static_cast<unsigned char>(bigEndian ? bytes[i] : bytes[n - 1 - i]);
        acc = acc * 256 + b;
    }
    return static_cast<int32_t>(static_cast<uint32_t>(acc & 0xFFFFFFFFu));
}

double ValueAsNumber(std::string_view bytes, int type, bool bigEndian) {
    switch (type) {
    case ttByte:
    case ttShort:
    case ttLong:
    case ttSByte:
    case ttSShort:
    case ttSLong:
        return BytesToInt(bytes, bigEndian);
    case ttRational:
    case ttSRational: {
        const double num = BytesToInt(bytes.substr(0, std::min<size_t>(4, bytes.size())), bigEndian);
        const double den = bytes.size() > 4 ? BytesToInt(bytes.substr(4, 4), bigEndian) : 0;
        if (den == 0) return 0;
        return num / den;
    }
    default:
        // Text, undefined and unknown types carry no number; floating-point fields are shown as
        // placeholders and have none either.
        return 0;
    }
}

int32_t RoundToInt(double value) {
    if (std::isnan(value)) return 0;
    const double r = std::nearbyint(value);
    if (r >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (r <= static_cast<double>(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(r);
}

bool HoldsAt(std::string_view bytes, int64_t position, int64_t length) {
    return position >= 1 && length >= 0 &&
           TByteView(bytes).Holds(static_cast<uint64_t>(position - 1), static_cast<uint64_t>(length));
}

bool tEndInd::Holds(int64_t position, int64_t length) const {
    return HoldsAt(DataBuffer, position, length);
}

uint16_t tEndInd::Read16(int64_t position) const {
    const auto value = position >= 1
                           ? TByteView(DataBuffer).U16(static_cast<uint64_t>(position - 1), BigEndian)
                           : std::nullopt;
    if (!value) throw ReadError("Read beyond the end of the data");
    return *value;
}

int32_t tEndInd::Read32(int64_t position) const {
    const auto value = position >= 1
                           ? TByteView(DataBuffer).U32(static_cast<uint64_t>(position - 1), BigEndian)
                           : std::nullopt;
    if (!value) throw ReadError("Read beyond the end of the data");
    return static_cast<int32_t>(*value);
}

std::string tEndInd::Slice(const std::string& buffer, int64_t position, int64_t length) {
    if (position < 1 || length <= 0) return {};
    return std::string(
        TByteView(buffer).Clip(static_cast<uint64_t>(position - 1), static_cast<uint64_t>(length)).Data());
}

} // namespace quillmark
