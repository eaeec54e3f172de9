#include "TextEncoding.h"

#include <cstdint>
#include <cstring>

namespace quillmark {

namespace {

// Windows-1252 code points of 0x80..0x9F; the five unassigned bytes keep their C1 code points,
// which the display conversion then replaces like any other control character.
constexpr uint16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr uint32_t kReplacement = 0xFFFD;
constexpr uint64_t kOnes = 0x0101010101010101ull;
constexpr uint64_t kHighBits = 0x8080808080808080ull;

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool IsControl(uint32_t cp, TControls keep) {
    if (cp < 0x20) {
        if (keep == TControls::C0) return false;
        if (keep == TControls::LineBreaks) return cp != '\t' && cp != '\n' && cp != '\r';
        return true;
    }
    // Bidirectional embeddings, overrides and isolates reorder what follows them on the screen, and
    // the Unicode line and paragraph separators split a line: a file must not do either. JSON
    // strings keep them, escaped by the writer.
    if (keep != TControls::C0 && ((cp >= 0x2028 && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069)))
        return true;
    return cp >= 0x7F && cp <= 0x9F;
}

// Eight ASCII bytes none of which is a control character: the common case, checked a word at a time.
bool PlainAsciiWord(const unsigned char* s, TControls keep) {
    uint64_t word;
    std::memcpy(&word, s, 8);
    if (word & kHighBits) return false;
    const uint64_t del = word ^ (0x7F * kOnes);
    if ((del - kOnes) & ~del & kHighBits) return false;
    // With every high bit clear, a borrow reaches a high bit only from a byte below 0x20.
    return keep == TControls::C0 || ((word - 0x20 * kOnes) & kHighBits) == 0;
}

// The length of the UTF-8 sequence at s[i] and its code point; 0 when it is not one.
size_t DecodeUtf8(const unsigned char* s, size_t n, size_t i, uint32_t& cp) {
    const unsigned char c = s[i];
    size_t len;
    if (c < 0x80) {
        cp = c;
        return 1;
    } else if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (n - i < len) return 0;
    for (size_t k = 1; k < len; ++k) {
        if ((s[i + k] & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    // No overlong forms, no surrogates, nothing past U+10FFFF.
    if ((len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

// Walks the text as UTF-8: false at the first byte that is not UTF-8, or, when `controls` is set,
// at the first control character it does not keep.
bool ScanUtf8(std::string_view text, bool controls, TControls keep) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        if (n - i >= 8 && PlainAsciiWord(s + i, controls ? keep : TControls::C0)) {
            i += 8;
            continue;
        }
        uint32_t cp = 0;
        const size_t len = DecodeUtf8(s, n, i, cp);
        if (len == 0 || (controls && IsControl(cp, keep))) return false;
        i += len;
    }
    return true;
}

} // namespace

bool IsValidUtf8(std::string_view text) {
    return ScanUtf8(text, false, TControls::C0);
}

bool IsDisplaySafe(std::string_view text, TControls keep) {
    return ScanUtf8(text, true, keep);
}

std::string Windows1252ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80)
            out += ch;
        else if (c < 0xA0)
            AppendUtf8(out, kHigh[c - 0x80]);
        else
            AppendUtf8(out, c);
    }
    return out;
}

void AppendDisplayUtf8(std::string& out, std::string_view text, TControls keep) {
    if (IsDisplaySafe(text, keep)) {
        out.append(text);
        return;
    }
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    out.reserve(out.size() + n + 8);
    if (IsValidUtf8(text)) {
        for (size_t i = 0; i < n;) {
            uint32_t cp = 0;
            const size_t len = DecodeUtf8(s, n, i, cp);
            if (IsControl(cp, keep))
                AppendUtf8(out, kReplacement);
            else
                out.append(text.substr(i, len));
            i += len;
        }
        return;
    }
    for (size_t i = 0; i < n; ++i) {
        const uint32_t cp = s[i] < 0x80 ? s[i] : s[i] < 0xA0 ? kHigh[s[i] - 0x80] : s[i];
        AppendUtf8(out, IsControl(cp, keep) ? kReplacement : cp);
    }
}

std::string DisplayUtf8(std::string_view text, TControls keep) {
    std::string out;
    AppendDisplayUtf8(out, text, keep);
    return out;
}

} // namespace quillmark
