// A JSON object written straight into a string, one value after another: the report tool prints an
// object per file, and building a tree of values first cost more than reading the photo.
#pragma once

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillmark {

class TJsonWriter {
public:
    explicit TJsonWriter(std::string& out) : Out(out) {}

    TJsonWriter& Key(std::string_view key) {
        Separate();
        String(key);
        Out += ':';
        Comma = false;
        return *this;
    }
    void Open(char bracket) {
        Separate();
        Out += bracket;
        Comma = false;
    }
    void Close(char bracket) {
        Out += bracket;
        Comma = true;
    }
    void Null() { Raw("null"); }
    void Bool(bool b) { Raw(b ? "true" : "false"); }
    template <class Int> void Integer(Int v) {
        char buf[24];
        Raw(std::string_view(buf, static_cast<size_t>(std::to_chars(buf, buf + sizeof buf, v).ptr - buf)));
    }
    // Shortest text that reads back as the same double; null for what JSON cannot hold.
    void Number(double v) {
        if (!std::isfinite(v)) return Null();
        char buf[32];
        Raw(std::string_view(buf, static_cast<size_t>(std::to_chars(buf, buf + sizeof buf, v).ptr - buf)));
    }
    // A string that is valid UTF-8 already: quotes, backslashes and C0 controls are escaped, and
    // so are the bidirectional controls and the line and paragraph separators (U+202A..U+202E,
    // U+2066..U+2069, U+2028, U+2029), which would otherwise turn or split the text where it is shown.
    void String(std::string_view utf8) {
        Separate();
        static constexpr char kHex[] = "0123456789abcdef";
        Out += '"';
        size_t plain = 0;
        for (size_t i = 0; i < utf8.size(); ++i) {
            const auto c = static_cast<unsigned char>(utf8[i]);
            if (c == 0xE2 && utf8.size() - i >= 3) {
                const auto b1 = static_cast<unsigned char>(utf8[i + 1]);
                const auto b2 = static_cast<unsigned char>(utf8[i + 2]);
                const unsigned cp = 0x2000u | (b1 & 0x3Fu) << 6 | (b2 & 0x3Fu);
                if ((b1 == 0x80 || b1 == 0x81) &&
                    ((cp >= 0x2028 && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069))) {
                    Out.append(utf8.substr(plain, i - plain));
                    Out.append("\\u")
                        .append(1, '2')
                        .append(1, '0')
                        .append(1, kHex[(cp >> 4) & 15])
                        .append(1, kHex[cp & 15]);
                    i += 2;
                    plain = i + 1;
                }
                continue;
            }
            if (c >= 0x20 && c != '"' && c != '\\') continue;
            Out.append(utf8.substr(plain, i - plain));
            plain = i + 1;
            Out += '\\';
            switch (c) {
            case '"':
            case '\\':
                Out += static_cast<char>(c);
                break;
            case '\n':
                Out += 'n';
                break;
            case '\r':
                Out += 'r';
                break;
            case '\t':
                Out += 't';
                break;
            default:
                Out.append("u00").append(1, kHex[c >> 4]).append(1, kHex[c & 15]);
            }
        }
        Out.append(utf8.substr(plain));
        Out += '"';
        Comma = true;
    }

    // Bytes as a string of lower-case hexadecimal digits, two per byte.
    void Hex(std::string_view bytes) {
        static constexpr char kDigits[] = "0123456789abcdef";
        Separate();
        Out += '"';
        size_t at = Out.size();
        Out.resize(at + 2 * bytes.size());
        for (char ch : bytes) {
            const auto b = static_cast<unsigned char>(ch);
            Out[at++] = kDigits[b >> 4];
            Out[at++] = kDigits[b & 15];
        }
        Out += '"';
        Comma = true;
    }

private:
    void Separate() {
        if (Comma) Out += ',';
        Comma = false;
    }
    void Raw(std::string_view text) {
        Separate();
        Out.append(text);
        Comma = true;
    }

    std::string& Out;
    bool Comma = false;
};

} // namespace quillmark
