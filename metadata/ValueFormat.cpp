#include "ValueFormat.h"

#include "ByteOrder.h"
#include "ReaderSettings.h"
#include "TextEncoding.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

namespace quillmark {

namespace {

bool IsBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

// One parsed format pattern: prefix, conversion, suffix.
struct Pattern {
    bool valid = false;
    char conversion = 0; // 's', 'd' or 'f'
    int width = 0;
    int precision = -1;
    std::string_view prefix, suffix;
};

Pattern ParsePattern(std::string_view p) {
    Pattern r;
    const size_t pct = p.find('%');
    if (pct == std::string_view::npos) return r;
    size_t i = pct + 1;
    auto digits = [&](int& out) {
        const size_t start = i;
        int v = 0;
        while (i < p.size() && p[i] >= '0' && p[i] <= '9' && i - start < 3)
            v = v * 10 + (p[i++] - '0');
        if (i > start) out = v;
        return i > start;
    };
    digits(r.width);
    if (i < p.size() && p[i] == '.') {
        ++i;
        int prec = 0;
        if (!digits(prec)) return r;
        r.precision = prec;
    }
    if (i >= p.size()) return r;
    r.conversion = p[i];
    if (r.conversion != 's' && r.conversion != 'd' && r.conversion != 'f') return r;
    if (r.conversion != 'f' && (r.width != 0 || r.precision >= 0)) return r;
    r.prefix = p.substr(0, pct);
    r.suffix = p.substr(i + 1);
    if (r.suffix.find('%') != std::string_view::npos) return r;
    r.valid = true;
    return r;
}

std::string Pad(std::string s, int width) {
    if (static_cast<int>(s.size()) < width) s.insert(0, static_cast<size_t>(width) - s.size(), ' ');
    return s;
}

// The parts of a GPS text "a, b, c": split at the first ", ", then the rest at the next one. Each
// rest is cut to its first 64 characters.
std::vector<std::string> SplitThree(std::string_view text) {
    std::vector<std::string> parts;
    std::string rest(text);
    for (int k = 0; k < 2; ++k) {
        const size_t p = rest.find(", ");
        if (p == std::string::npos) {
            parts.push_back(rest);
            rest.clear();
        } else {
            parts.push_back(rest.substr(0, p));
            rest = rest.substr(p + 2, 64);
        }
    }
    parts.push_back(rest);
    return parts;
}

} // namespace

std::string TrimText(std::string_view text) {
    size_t b = 0, e = text.size();
    while (b < e && IsBlankOrControl(text[b]))
        ++b;
    while (e > b && IsBlankOrControl(text[e - 1]))
        --e;
    return std::string(text.substr(b, e - b));
}

void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (const char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

std::string AsciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = AsciiLower(c);
    return out;
}

std::string AsciiUpper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = AsciiUpper(c);
    return out;
}

int32_t ParseInteger(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i >= text.size()) throw FormatError("'" + std::string(text) + "' is not a valid integer value");
    int64_t v = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') throw FormatError("'" + std::string(text) + "' is not a valid integer value");
        v = v * 10 + (c - '0');
        if (v > static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1)
            throw FormatError("'" + std::string(text) + "' is not a valid integer value");
    }
    if (negative) v = -v;
    if (v > std::numeric_limits<int32_t>::max())
        throw FormatError("'" + std::string(text) + "' is not a valid integer value");
    return static_cast<int32_t>(v);
}

std::string FormatFixed(double value, int width, int precision) {
    if (precision < 0) precision = 6;
    if (std::isfinite(value)) {
        // printf rounds exact binary ties to even; values here are shown the way a person rounds.
        const long double scaled = std::fabs(static_cast<long double>(value)) * std::pow(10.0L, precision);
        if (scaled < 1e18L && scaled - std::floor(scaled) == 0.5L)
            value = std::nextafter(value, value > 0 ? INFINITY : -INFINITY);
    }
    // Room for the largest double with the most decimals a pattern can ask for (three digits).
    char buf[1400];
    const auto [end, error] =
        std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, precision);
    std::string out = error == std::errc() ? std::string(buf, end) : std::string("0");
    if (static_cast<int>(out.size()) < width) out.insert(0, static_cast<size_t>(width) - out.size(), ' ');
    return out;
}

std::string ApplyPattern(std::string_view pattern, std::string_view text) {
    const Pattern p = ParsePattern(pattern);
    if (!p.valid) return std::string(text);
    if (p.conversion == 's') return std::string(p.prefix) + std::string(text) + std::string(p.suffix);
    return ApplyPattern(pattern, FractionValue(text));
}

std::string ApplyPattern(std::string_view pattern, double value) {
    const Pattern p = ParsePattern(pattern);
    if (!p.valid) return FormatFixed(value, 0, 2);
    std::string body;
    switch (p.conversion) {
    case 'f':
        body = FormatFixed(value, p.width, p.precision < 0 ? 6 : p.precision);
        break;
    case 'd':
        body = IntegerText(RoundToInt(value));
        break;
    default:
        body = FormatFixed(value, 0, 2);
        break;
    }
    return std::string(p.prefix) + Pad(body, p.width) + std::string(p.suffix);
}

std::string IntegerText(int32_t value) {
    return std::to_string(value);
}

std::string RationalText(int32_t numerator, int32_t denominator) {
    return std::to_string(numerator) + "/" + std::to_string(denominator);
}

std::string ValueText(std::string_view bytes, int type, std::string_view map, std::string_view pattern,
                      bool bigEndian) {
    const int size = ComponentSize(type);
    if (size == 0) return "0";
    const size_t count = std::min<size_t>(bytes.size() / static_cast<size_t>(size), 128);
    const bool decode = ReaderSettings().DecodeValues;
    std::string text;
    for (size_t k = 0; k < count; ++k) {
        const std::string_view component =
            bytes.substr(k * static_cast<size_t>(size), static_cast<size_t>(size));
        if (!text.empty()) text += ", ";
        switch (type) {
        case ttByte:
        case ttShort:
        case ttLong:
        case ttSByte:
        case ttSShort:
        case ttSLong: {
            const int32_t v = BytesToInt(component, bigEndian);
            if (!map.empty() && decode)
                text += MapLookup(map, IntegerText(v));
            else
                text += IntegerText(v);
            break;
        }
        case ttRational:
        case ttSRational:
            text += RationalText(BytesToInt(component.substr(0, 4), bigEndian),
                                 BytesToInt(component.substr(4, 4), bigEndian));
            if (!map.empty()) text += MapLookup(map, text);
            break;
        case ttFloat:
        case ttDouble:
            text += "-9999.99";
            break;
        default:
            text += "?";
            break;
        }
    }
    if (!pattern.empty()) {
        if (pattern.find("%s") != std::string_view::npos)
            return ApplyPattern(pattern, std::string_view(text));
        return ApplyPattern(pattern, ValueAsNumber(bytes, type, bigEndian));
    }
    return text;
}

std::string MapLookup(std::string_view map, std::string_view key) {
    // The same as finding "," + key + ":" in "," + map + ",", without building either string.
    const std::string k = TrimText(key);
    for (size_t p = map.find(k); p != std::string_view::npos; p = map.find(k, p + 1)) {
        const size_t colon = p + k.size();
        if ((p == 0 || map[p - 1] == ',') && colon < map.size() && map[colon] == ':') {
            const size_t end = map.find(',', colon + 1);
            return std::string(map.substr(colon + 1, end == std::string_view::npos ? end : end - colon - 1));
        }
    }
    return {};
}

double FractionValue(std::string_view text) {
    try {
        std::string t = std::string(text);
        const size_t b = t.find_first_not_of(' ');
        const size_t e = t.find_last_not_of(' ');
        t = b == std::string::npos ? std::string() : t.substr(b, e - b + 1);
        double whole = 0;
        const size_t blank = t.find(' ');
        if (blank != std::string::npos) {
            whole = ParseInteger(t.substr(0, blank));
            t = t.substr(blank + 1);
        }
        const size_t slash = t.find('/');
        if (slash == std::string::npos) return 0;
        const double n = ParseInteger(t.substr(0, slash));
        const double d = ParseInteger(t.substr(slash + 1));
        if (d == 0) return 0;
        return (whole * d + n) / d;
    } catch (const FormatError&) {
        return 0;
    }
}

std::string CleanText(std::string_view text) {
    std::string out = CutText(text, 50);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 32) c = '.';
    return out;
}

std::string CutText(std::string_view text, size_t maxBytes) {
    if (text.size() <= maxBytes) return std::string(text);
    auto at = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    // Only a cut that falls on a continuation byte can split a character. Whether the text is UTF-8
    // is judged by what is kept and the character the cut falls in, never by the whole of a long value.
    size_t lead = maxBytes;
    while (lead > 0 && maxBytes - lead < 3 && (at(lead) & 0xC0) == 0x80)
        --lead;
    if (lead == maxBytes || (at(lead) & 0xC0) == 0x80) return std::string(text.substr(0, maxBytes));
    const size_t length = at(lead) >= 0xF0 ? 4 : at(lead) >= 0xE0 ? 3 : at(lead) >= 0xC0 ? 2 : 1;
    const bool utf8 =
        lead + length > maxBytes && IsValidUtf8(text.substr(0, std::min(text.size(), lead + length)));
    return std::string(text.substr(0, utf8 ? lead : maxBytes));
}

std::string HexDump(std::string_view bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    const size_t n = std::min<size_t>(bytes.size(), 16);
    for (size_t i = 0; i < n; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out += digits[b >> 4];
        out += digits[b & 15];
        out += ' ';
    }
    if (bytes.size() > 16) out += "...";
    return out;
}

std::string HexWord(uint16_t value) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04X", value);
    return buf;
}

std::string FlashText(const std::string& text) {
    const int32_t v = ParseInteger(text);
    std::string out = (v & 1) ? "On" : "Off";
    switch (v & 6) {
    case 2:
        out += ", UNKNOWN";
        break;
    case 4:
        out += ", no strobe return";
        break;
    case 6:
        out += ", strobe return";
        break;
    }
    switch (v & 0x18) {
    case 8:
        out += ", forced";
        break;
    case 16:
        out += ", surpressed";
        break;
    case 24:
        out += ", auto mode";
        break;
    }
    if (v & 0x20) out += ", no flash function";
    if (v & 0x40) out += ", red-eye reduction";
    return out;
}

std::string ExposureText(const std::string& text) {
    const double x = FractionValue(text);
    const double t = std::pow(2.0, -x);
    std::string out = FormatFixed(t, 4, 4) + " sec";
    if (t <= 0.5) {
        const double r = std::nearbyint(std::pow(2.0, x));
        if (!(r <= std::numeric_limits<int32_t>::max()))
            throw FormatError("Exposure value " + text + " is out of range");
        out += " (1/" + IntegerText(static_cast<int32_t>(r)) + ")";
    }
    return out;
}

std::string GpsDegreesText(const std::string& text) {
    const auto parts = SplitThree(text);
    const double d = FractionValue(parts[0]);
    double m = FractionValue(parts[1]);
    double s = FractionValue(parts[2]);
    if (s == 0) {
        s = (m - std::trunc(m)) * 60;
        m = std::trunc(m);
    }
    return FormatFixed(d, 0, 0) + " Degrees " + FormatFixed(m, 0, 0) + " Minutes " + FormatFixed(s, 0, 0) +
           " Seconds";
}

std::string GpsTimeText(const std::string& text) {
    const auto parts = SplitThree(text);
    return FormatFixed(FractionValue(parts[0]), 0, 0) + ":" + FormatFixed(FractionValue(parts[1]), 0, 0) +
           ":" + FormatFixed(FractionValue(parts[2]), 0, 0);
}

std::string ComponentsText(const std::string& text) {
    static const char* names[] = {"", "Y", "Cb", "Cr", "R", "G", "B"};
    std::string out;
    for (size_t i = 1; i <= 4 && i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 1 && c <= 6) out += names[c];
    }
    return out;
}

std::string ApertureText(const std::string& text) {
    const size_t slash = text.find('/');
    if (slash == std::string::npos) throw FormatError("'" + text + "' is not a rational value");
    const double n = ParseInteger(text.substr(0, slash));
    const double d = ParseInteger(text.substr(slash + 1));
    if (d == 0) throw FormatError("'" + text + "' has no value");
    const double f = std::pow(2.0, n / d / 2);
    if (!std::isfinite(f) || f > 1e6) throw FormatError("Aperture value " + text + " is out of range");
    std::string out = "F";
    return out.append(FormatFixed(f, 0, 1));
}

std::string_view AsciiValue(std::string_view bytes) {
    while (!bytes.empty() && (bytes.back() == '\0' || bytes.back() == ' '))
        bytes.remove_suffix(1);
    return bytes;
}

namespace {

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
        return;
    }
    char buf[4];
    int n;
    if (cp < 0x800) {
        buf[0] = static_cast<char>(0xC0 | (cp >> 6));
        n = 2;
    } else if (cp < 0x10000) {
        buf[0] = static_cast<char>(0xE0 | (cp >> 12));
        n = 3;
    } else {
        buf[0] = static_cast<char>(0xF0 | (cp >> 18));
        n = 4;
    }
    for (int k = 1; k < n; ++k)
        buf[k] = static_cast<char>(0x80 | ((cp >> (6 * (n - 1 - k))) & 0x3F));
    out.append(buf, static_cast<size_t>(n));
}

// Every byte a character of a text: no control characters but tab and line breaks, no DEL.
bool IsPrintableText(std::string_view text) {
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F) return false;
    }
    return true;
}

std::string WithoutZeros(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes)
        if (c != '\0') out += c;
    return out;
}

} // namespace

std::string Ucs2ToUtf8(std::string_view bytes, bool bigEndian) {
    auto unit = [&](size_t i) {
        const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? static_cast<uint32_t>(a << 8 | b) : static_cast<uint32_t>(b << 8 | a);
    };
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        uint32_t u = unit(i);
        if (u == 0) continue;
        if (u >= 0xD800 && u <= 0xDFFF) {
            const uint32_t low = u <= 0xDBFF && i + 3 < bytes.size() ? unit(i + 2) : 0;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            } else {
                u = 0xFFFD;
            }
        }
        AppendUtf8(out, u);
    }
    return out;
}

std::string WideText(std::string_view bytes) {
    return Ucs2ToUtf8(bytes, false);
}

std::string UserCommentBody(std::string_view bytes, bool bigEndian) {
    const std::string_view code = bytes.substr(0, 8);
    const std::string_view body = bytes.substr(std::min<size_t>(bytes.size(), 8));
    std::string text;
    if (code == std::string_view("ASCII\0\0\0", 8)) {
        // The text ends at its first zero: what some cameras leave after it is not text.
        text = std::string(body.substr(0, body.find('\0')));
    } else if (code == std::string_view("JIS\0\0\0\0\0", 8)) {
        text = WithoutZeros(body);
    } else if (code == std::string_view("UNICODE\0", 8)) {
        std::string_view units = body;
        if (units.substr(0, 2) == "\xFE\xFF" || units.substr(0, 2) == "\xFF\xFE") {
            bigEndian = units[0] == '\xFE';
            units.remove_prefix(2);
        }
        text = Ucs2ToUtf8(units, bigEndian);
    } else {
        // Undefined (eight zero bytes), or a writer that put no code at all in front of the text.
        text = WithoutZeros(code == std::string_view("\0\0\0\0\0\0\0\0", 8) ? body : bytes);
        if (!IsPrintableText(text)) text.clear();
    }
    // Blank padding goes; control characters stay, for a JIS text starts with its escape sequence.
    const size_t b = text.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    return text.substr(b, text.find_last_not_of(" \t\r\n") - b + 1);
}

namespace {

// The numbers of a ", "-separated text; FormatError when one is not a number.
std::vector<std::string> CommaItems(const std::string& text) {
    std::vector<std::string> items;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t comma = text.find(',', start);
        items.push_back(TrimText(std::string_view(text).substr(
            start, comma == std::string::npos ? std::string::npos : comma - start)));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return items;
}

std::string Trimmed(double v) {
    std::string s = FormatFixed(v, 0, 1);
    if (s.size() > 2 && s.ends_with(".0")) s.resize(s.size() - 2);
    return s;
}

std::string Range(double a, double b) {
    if (a <= 0 && b <= 0) return {};
    if (a <= 0 || b <= 0 || a == b) return Trimmed(a > 0 ? a : b);
    return Trimmed(a) + "-" + Trimmed(b);
}

} // namespace

std::string LensSpecificationText(const std::string& text) {
    const auto items = CommaItems(text);
    if (items.size() != 4) throw FormatError("not four values");
    double v[4];
    for (size_t i = 0; i < 4; ++i) {
        if (items[i].find('/') == std::string::npos) throw FormatError("not a rational");
        v[i] = FractionValue(items[i]);
    }
    std::string focal = Range(v[0], v[1]), aperture = Range(v[2], v[3]);
    if (focal.empty() && aperture.empty()) return "Unknown";
    std::string s;
    if (!focal.empty()) s = focal + "mm";
    if (!aperture.empty()) s += (s.empty() ? "f/" : " f/") + aperture;
    return s;
}

std::string VersionDotsText(const std::string& text) {
    const auto items = CommaItems(text);
    std::string s;
    for (const auto& item : items) {
        if (item.empty() || item.find_first_not_of("0123456789") != std::string::npos)
            throw FormatError("not a number");
        if (!s.empty()) s += '.';
        s += item;
    }
    return s;
}

std::string CfaPatternText(const std::string& text) {
    const auto items = CommaItems(text);
    std::vector<int> b;
    for (const auto& item : items) {
        if (item.empty() || item.size() > 3 || item.find_first_not_of("0123456789") != std::string::npos)
            throw FormatError("not a byte");
        b.push_back(std::stoi(item));
    }
    size_t width = 0, height = 0, first = 0;
    // EXIF's form: two 16-bit dimensions in either byte order, each small.
    const auto dim = [&](size_t at) { return b[at] == 0 ? b[at + 1] : b[at + 1] == 0 ? b[at] : 0; };
    if (b.size() > 4 && dim(0) > 0 && dim(2) > 0 &&
        static_cast<size_t>(dim(0)) * static_cast<size_t>(dim(2)) == b.size() - 4) {
        width = static_cast<size_t>(dim(0));
        height = static_cast<size_t>(dim(2));
        first = 4;
    } else {
        for (size_t n = 1; n * n <= b.size(); ++n)
            if (n * n == b.size()) width = height = n;
        if (width == 0) throw FormatError("no pattern");
    }
    static constexpr const char* kColours[] = {"Red", "Green", "Blue", "Cyan", "Magenta", "Yellow", "White"};
    std::string s;
    for (size_t y = 0; y < height; ++y) {
        s += '[';
        for (size_t x = 0; x < width; ++x) {
            const int c = b[first + y * width + x];
            if (x) s += ',';
            s += c >= 0 && c < 7 ? kColours[c] : "Unknown (" + std::to_string(c) + ")";
        }
        s += ']';
    }
    return s;
}

} // namespace quillmark
