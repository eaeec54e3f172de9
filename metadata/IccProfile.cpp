#include "IccProfile.h"

#include "ByteOrder.h"
#include "ByteView.h"
#include "ValueFormat.h"

#include <algorithm>
#include <cstdio>

namespace quillmark {

namespace {

constexpr size_t kHeaderSize = 128;
// A profile's tag count is bounded by its own bytes; this bounds the walk of a hostile one further.
constexpr uint32_t kMaxTags = 1000;

// A four-character code as text, its trailing blanks dropped ("RGB " -> "RGB").
std::string Code(TByteView v, uint64_t at) {
    const auto bytes = v.Sub(at, 4);
    if (!bytes) return {};
    std::string s(bytes->Data());
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0'))
        s.pop_back();
    for (char& c : s)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) c = '.';
    return s;
}

std::string Named(std::string_view code, std::string_view map) {
    const std::string name = MapLookup(map, code);
    return name.empty() ? std::string(code) : name;
}

// The text of a "desc" (or "cprt") tag's value: textDescriptionType, multiLocalizedUnicodeType or
// textType.
std::string TextOfTag(TByteView tag) {
    const std::string type = Code(tag, 0);
    if (type == "desc") {
        const auto count = tag.U32(8, true);
        if (!count || *count == 0) return {};
        return std::string(AsciiValue(tag.Clip(12, *count).Data()));
    }
    if (type == "mluc") {
        const auto records = tag.U32(8, true);
        const auto recordSize = tag.U32(12, true);
        if (!records || *records == 0 || !recordSize || *recordSize < 12) return {};
        const auto length = tag.U32(16 + 4, true);
        const auto offset = tag.U32(16 + 8, true);
        if (!length || !offset) return {};
        const auto text = tag.Sub(*offset, *length);
        return text ? Ucs2ToUtf8(text->Data(), true) : std::string();
    }
    if (type == "text") return std::string(AsciiValue(tag.Clip(8, tag.Size()).Data()));
    return {};
}

// The value of a tag of the profile's tag table; nothing when it has none or it lies outside.
std::optional<TByteView> FindTag(TByteView v, std::string_view signature) {
    const auto count = v.U32(kHeaderSize, true);
    if (!count) return std::nullopt;
    for (uint32_t i = 0; i < std::min(*count, kMaxTags); ++i) {
        const uint64_t at = kHeaderSize + 4 + 12 * uint64_t{i};
        const auto sig = v.Sub(at, 4);
        const auto offset = v.U32(at + 4, true);
        const auto size = v.U32(at + 8, true);
        if (!sig || !offset || !size) return std::nullopt;
        if (sig->Data() == signature) return v.Sub(*offset, *size);
    }
    return std::nullopt;
}

TTagEntry Entry(const char* name, const char* caption, std::string text) {
    TTagEntry e;
    e.Name = name;
    e.Caption = caption;
    e.Group = tgICCProfile;
    e.FieldType = ttAscii;
    e.Raw = text;
    e.RawSize = static_cast<int32_t>(text.size());
    e.Text = std::move(text);
    return e;
}

} // namespace

std::string IccDescription(std::string_view profile) {
    const auto tag = FindTag(TByteView(profile), "desc");
    return tag ? TextOfTag(*tag) : std::string();
}

std::vector<TTagEntry> ReadIccProfile(std::string_view profile) {
    std::vector<TTagEntry> out;
    if (profile.empty()) return out;
    const TByteView v(profile);
    if (v.Size() < kHeaderSize || Code(v, 36) != "acsp") {
        out.push_back(Entry("ProfileError", "Profile Error",
                            "Not a readable ICC profile (" + std::to_string(profile.size()) + " bytes)"));
        return out;
    }
    if (std::string d = IccDescription(profile); !d.empty())
        out.push_back(Entry("ProfileDescription", "Profile Description", std::move(d)));
    out.push_back(
        Entry("ColorSpaceData", "Color Space Data",
              Named(Code(v, 16), "RGB:RGB,CMYK:CMYK,GRAY:Grayscale,Lab:CIELab,XYZ:CIEXYZ,YCbr:YCbCr,"
                                 "Luv:CIELuv,HSV:HSV,HLS:HLS,CMY:CMY")));
    out.push_back(Entry("ProfileClass", "Profile Class",
                        Named(Code(v, 12), "scnr:Input Device Profile,mntr:Display Device Profile,"
                                           "prtr:Output Device Profile,link:DeviceLink Profile,"
                                           "spac:ColorSpace Conversion Profile,abst:Abstract Profile,"
                                           "nmcl:NamedColor Profile")));
    const uint8_t major = v.U8(8).value_or(0), minor = v.U8(9).value_or(0);
    char version[32];
    std::snprintf(version, sizeof version, "%u.%u.%u", major, minor >> 4, minor & 0x0F);
    out.push_back(Entry("ProfileVersion", "Profile Version", version));
    out.push_back(
        Entry("ProfileSize", "Profile Size", std::to_string(v.U32(0, true).value_or(0)) + " bytes"));
    if (const auto cprt = FindTag(v, "cprt"))
        if (std::string c = TextOfTag(*cprt); !c.empty())
            out.push_back(Entry("ProfileCopyright", "Profile Copyright", std::move(c)));
    return out;
}

void TIccChunks::Add(std::string_view rest) {
    if (rest.size() < 2) return;
    const int seq = static_cast<unsigned char>(rest[0]), count = static_cast<unsigned char>(rest[1]);
    if (seq == 0 || count == 0 || seq > count || (Count && count != Count)) {
        Broken = true;
        return;
    }
    Count = count;
    for (const auto& p : Pieces)
        if (p.first == seq) {
            Broken = true;
            return;
        }
    Pieces.emplace_back(seq, std::string(rest.substr(2)));
}

std::string TIccChunks::Join() const {
    if (Broken || Count == 0 || Pieces.size() != static_cast<size_t>(Count)) return {};
    auto sorted = Pieces;
    std::sort(sorted.begin(), sorted.end());
    std::string out;
    for (const auto& p : sorted)
        out += p.second;
    return out;
}

} // namespace quillmark
