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
// The first 50 characters, control characters shown as ".".
std::string CleanText(std::string_view text);
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

// Formatting callbacks referenced from the tag tables.
std::string FlashText(const std::string& text);
std::string ExposureText(const std::string& text);
std::string GpsDegreesText(const std::string& text);
std::string GpsTimeText(const std::string& text);
std::string ComponentsText(const std::string& text);
std::string UserCommentBody(const std::string& text);
std::string WideText(const std::string& text);

} // namespace quillmark
