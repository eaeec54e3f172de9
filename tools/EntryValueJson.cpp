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

void WriteComponent(TJsonWriter& json, std::string_view bytes, size_t at, int type, bool bigEndian) {
    switch (type) {
    case ttByte:
        return json.Integer(static_cast<uint8_t>(bytes[at]));
    case ttSByte:
        return json.Integer(static_cast<int8_t>(bytes[at]));
    case ttShort:
        return json.Integer(static_cast<uint16_t>(Unsigned(bytes, at, 2, bigEndian)));
    case ttSShort:
        return json.Integer(static_cast<int16_t>(Unsigned(bytes, at, 2, bigEndian)));
    case ttLong:
        return json.Integer(static_cast<uint32_t>(Unsigned(bytes, at, 4, bigEndian)));
    case ttSLong:
        return json.Integer(static_cast<int32_t>(Unsigned(bytes, at, 4, bigEndian)));
    case ttRational: {
        const auto num = static_cast<uint32_t>(Unsigned(bytes, at, 4, bigEndian));
        const auto den = static_cast<uint32_t>(Unsigned(bytes, at + 4, 4, bigEndian));
        return den == 0 ? json.Null() : json.Number(static_cast<double>(num) / den);
    }
    case ttSRational: {
        const auto num = static_cast<int32_t>(Unsigned(bytes, at, 4, bigEndian));
        const auto den = static_cast<int32_t>(Unsigned(bytes, at + 4, 4, bigEndian));
        return den == 0 ? json.Null() : json.Number(static_cast<double>(num) / den);
    }
    case ttFloat: {
        const float f = std::bit_cast<float>(static_cast<uint32_t>(Unsigned(bytes, at, 4, bigEndian)));
        return json.Number(static_cast<double>(f));
    }
    case ttDouble:
        return json.Number(std::bit_cast<double>(Unsigned(bytes, at, 8, bigEndian)));
    default:
        return json.Null();
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
    case tgXMP:
        return "XMP";
    case tgICCProfile:
        return "ICC_Profile";
    }
    return "IFD0";
}

void WriteEntryValue(TJsonWriter& json, const TTagEntry& entry) {
    const std::string_view raw = entry.Raw;
    const int size = ComponentSize(entry.FieldType);
    if (raw.empty() || size <= 0 || raw.size() < static_cast<size_t>(size)) return json.Null();
    if (entry.FieldType == ttAscii) return json.String(DisplayUtf8(WithoutClosingNuls(raw), TControls::C0));
    if (entry.FieldType == ttUndefined) {
        const std::string_view text = WithoutClosingNuls(raw);
        if (!text.empty() && PrintableAscii(text)) return json.String(text);
        return json.Hex(raw);
    }
    const size_t count = raw.size() / static_cast<size_t>(size);
    if (count == 1) return WriteComponent(json, raw, 0, entry.FieldType, entry.RawBigEndian);
    json.Open('[');
    for (size_t i = 0; i < count; ++i)
        WriteComponent(json, raw, i * static_cast<size_t>(size), entry.FieldType, entry.RawBigEndian);
    json.Close(']');
}

} // namespace quillmark
