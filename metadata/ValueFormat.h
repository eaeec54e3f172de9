// Turning a field's bytes into the text the user sees: value maps, format patterns, and the
// formatting callbacks that rewrite a text into a friendlier form.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quillmark {

// Raised by a formatting callback that cannot read its input.
class FormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Display text of a field by its type: integers (through the value map when DecodeValues is on),
// rationals as "n/d", "?" for text and undefined types, "-9999.99" for floating point. At most 128
// components. A pattern with "%s" wraps the text; any other pattern formats the field's number.
std::string ValueText(std::string_view bytes, int type, std::string_view map, std::string_view pattern,
                      bool bigEndian);

// The text that the map gives for a key ("6" in "1:Normal,6:Rotated" gives "Rotated"); empty if none.
std::string MapLookup(std::string_view map, std::string_view key);

// "3/4", "1 3/4": the value of a fraction with an optional whole number; 0 when it cannot be read.
double FractionValue(std::string_view text);

std::string RationalText(int32_t numerator, int32_t denominator);
std::string IntegerText(int32_t value);
// The first 50 bytes (fewer rather than half a character), control characters shown as ".".
std::string CleanText(std::string_view text);
// At most maxBytes of a text, cut where a character starts: a text that is valid UTF-8 is never cut
// inside a sequence; in any other (8-bit) text every byte is a character.
std::string CutText(std::string_view text, size_t maxBytes);
// Up to 16 bytes as upper-case hex pairs each followed by a blank, then "..." when there were more.
std::string HexDump(std::string_view bytes);
// A tag number as four upper-case hex digits.
std::string HexWord(uint16_t value);
inline std::string Choose(bool flag, std::string a, std::string b) {
    return flag ? a : b;
}

// Applies a table's format pattern: a literal prefix and suffix around one of "%s", "%d" or
// "%W.Pf". Patterns only ever come from the tables; anything else leaves the text as it is.
std::string ApplyPattern(std::string_view pattern, std::string_view text);
std::string ApplyPattern(std::string_view pattern, double value);
// printf-style "%W.Pf", with ties rounded away from zero.
std::string FormatFixed(double value, int width, int precision);

// Reads a decimal integer (optional blanks before, optional sign); FormatError otherwise.
int32_t ParseInteger(std::string_view text);
// Blanks and control characters removed from both ends.
std::string TrimText(std::string_view text);
// Appends text in double quotes, each quote inside doubled (as CSV and comma texts quote).
void AppendQuoted(std::string& out, std::string_view text);

// ASCII letters folded to one case, every other byte kept: texts may be UTF-8 or a Windows code
// page, and folding only ASCII can never make two different texts equal.
inline char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
inline char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
std::string AsciiLower(std::string_view text);
std::string AsciiUpper(std::string_view text);

// Texts read from a value's bytes by their own encoding.
// An ASCII value without what pads it at the end: zero bytes, and the blanks that fill a field of
// fixed size ("FinePix E500   ").
std::string_view AsciiValue(std::string_view bytes);
// UCS-2 (UTF-16) code units as UTF-8; zero units are dropped, a lone surrogate becomes U+FFFD.
std::string Ucs2ToUtf8(std::string_view bytes, bool bigEndian);
// The Windows XP text tags (title, comment, author, keywords, subject): UTF-16 little-endian
// whatever the block's byte order.
std::string WideText(std::string_view bytes);
// A user comment by its 8-byte character code: "ASCII", "UNICODE" (in the block's byte order
// unless a byte-order mark says otherwise), "JIS" (kept as it is), or zeros / an unknown code (the
// bytes, when they are printable text). Zero bytes and blank padding are dropped.
std::string UserCommentBody(std::string_view bytes, bool bigEndian);

// Formatting callbacks referenced from the tag tables.
std::string FlashText(const std::string& text);
std::string ExposureText(const std::string& text);
std::string GpsDegreesText(const std::string& text);
std::string GpsTimeText(const std::string& text);
std::string ComponentsText(const std::string& text);
// ApertureValue, MaxApertureValue: an APEX value v ("n/d") as the f-number 2^(v/2), "F%0.1f".
std::string ApertureText(const std::string& text);
// LensSpecification (four rationals: shortest and longest focal length, their f-numbers) as
// "24-70mm f/2.8-4"; an unknown part ("0/0") is left out.
std::string LensSpecificationText(const std::string& text);
// A version held as numbers ("2, 2, 0, 0") as "2.2.0.0".
std::string VersionDotsText(const std::string& text);
// A colour filter array's pattern as its rows of colours, "[Red,Green][Green,Blue]": from EXIF's
// CFAPattern (width and height as two 16-bit numbers, then the colours) or TIFF/EP's (a square of
// colours). The text is the value's bytes as numbers ("2, 0, 2, 0, 0, 1, 1, 2").
std::string CfaPatternText(const std::string& text);

} // namespace quillmark
