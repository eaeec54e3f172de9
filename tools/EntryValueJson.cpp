#include "EntryValueJson.h"

#include "ByteOrder.h"
#include "TextEncoding.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace quillmark {

namespace {

uint64_t Unsigned(std::string_view bytes, size_t at, size_t size, bool bigEndian) {
    uint64_t v = 0;
    for (size_t k = 0; k < size; ++k) {
        const auto b = static_cast<unsigned char>(bytes[at + (bigEndian ? k : size - 1 - k)]);
        v = (v << 8) | b;
    }
    return v;
}

nlohmann::json Component(std::string_view bytes, size_t at, int type, bool bigEndian) {
    switch (type) {
    case ttByte:
        return static_cast<uint8_t>(bytes[at]);
    case ttSByte:
        return static_cast<int8_t>(bytes[at]);
    case ttShort:
        return static_cast<uint16_t>(Unsigned(bytes, at, 2, bigEndian));
    case ttSShort:
        return static_cast<int16_t>(Unsigned(bytes, at, 2, bigEndian));
    case ttLong:
        return static_cast<uint32_t>(Unsigned(bytes, at, 4, bigEndian));
    case ttSLong:
        return static_cast<int32_t>(Unsigned(bytes, at, 4, bigEndian));
    case ttRational: {
        const auto num = static_cast<uint32_t>(Unsigned(bytes, at, 4, bigEndian));
        const auto den = static_cast<uint32_t>(Unsigned(bytes, at + 4, 4, bigEndian));
        return den == 0 ? nlohmann::json(nullptr) : nlohmann::json(static_cast<double>(num) / den);
    }
    case ttSRational: {
        const auto num = static_cast<int32_t>(Unsigned(bytes, at, 4, bigEndian));
        const auto den = static_cast<int32_t>(Unsigned(bytes, at + 4, 4, bigEndian));
        return den == 0 ? nlohmann::json(nullptr) : nlohmann::json(static_cast<double>(num) / den);
    }
    case ttFloat: {
        const float f = std::bit_cast<float>(static_cast<uint32_t>(Unsigned(bytes, at, 4, bigEndian)));
        return std::isfinite(f) ? nlohmann::json(f) : nlohmann::json(nullptr);
    }
    case ttDouble: {
        const double d = std::bit_cast<double>(Unsigned(bytes, at, 8, bigEndian));
        return std::isfinite(d) ? nlohmann::json(d) : nlohmann::json(nullptr);
    }
    default:
        return nullptr;
    }
}

std::string_view WithoutClosingNuls(std::string_view v) {
    while (!v.empty() && v.back() == '\0')
        v.remove_suffix(1);
    return v;
}

bool PrintableAscii(std::string_view v) {
    for (char c : v)
        if (c < 0x20 || c > 0x7E) return false;
    return true;
}

std::string Hex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out(bytes.size() * 2, '0');
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out[2 * i] = kDigits[b >> 4];
        out[2 * i + 1] = kDigits[b & 15];
    }
    return out;
}

} // namespace

const char* GroupName(TTagGroup group) {
    switch (group) {
    case tgIFD0:
        return "IFD0";
    case tgExifIFD:
        return "ExifIFD";
    case tgGPS:
        return "GPS";
    case tgInterop:
        return "Interop";
    case tgIFD1:
        return "IFD1";
    case tgMakerNotes:
        return "MakerNotes";
    case tgIPTC:
        return "IPTC";
    case tgSubIFD:
        return "SubIFD";
    }
    return "IFD0";
}

nlohmann::json EntryValueJson(const TTagEntry& entry) {
    const std::string_view raw = entry.Raw;
    if (raw.empty()) return nullptr;
    if (entry.FieldType == ttAscii) return DisplayUtf8(WithoutClosingNuls(raw), TControls::C0);
    if (entry.FieldType == ttUndefined) {
        const std::string_view text = WithoutClosingNuls(raw);
        if (!text.empty() && PrintableAscii(text)) return std::string(text);
        return Hex(raw);
    }
    const int size = ComponentSize(entry.FieldType);
    if (size <= 0) return nullptr;
    const size_t count = raw.size() / static_cast<size_t>(size);
    if (count == 0) return nullptr;
    if (count == 1) return Component(raw, 0, entry.FieldType, entry.RawBigEndian);
    nlohmann::json values(nlohmann::json::value_t::array);
    values.get_ref<nlohmann::json::array_t&>().reserve(count);
    for (size_t i = 0; i < count; ++i)
        values.push_back(Component(raw, i * static_cast<size_t>(size), entry.FieldType, entry.RawBigEndian));
    return values;
}

} // namespace quillmark
