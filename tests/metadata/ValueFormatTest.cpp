#include "ValueFormat.h"
#include "ByteOrder.h"
#include "ReaderSettings.h"

#include <gtest/gtest.h>

using namespace quillmark;

namespace {
const char* kOrientationMap = "1:Normal,3:Rotated 180\xB0,6:CounterClockwise 90\xB0,8:Clockwise 90\xB0";

std::string Short(uint16_t v) {
    return std::string{static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)};
}
std::string Rational(int32_t n, int32_t d) {
    std::string s;
    for (uint32_t v : {static_cast<uint32_t>(n), static_cast<uint32_t>(d)})
        for (int k = 3; k >= 0; --k)
            s += static_cast<char>((v >> (8 * k)) & 0xFF);
    return s;
}

struct DecodeValuesOff {
    DecodeValuesOff() { ReaderSettings().DecodeValues = false; }
    ~DecodeValuesOff() { ReaderSettings().DecodeValues = true; }
};
} // namespace

TEST(ValueText, ValueMapsAndTheirQuirks) {
    EXPECT_EQ(ValueText(Short(6), ttShort, kOrientationMap, "", true), "CounterClockwise 90\xB0");
    EXPECT_EQ(ValueText(Short(2), ttShort, kOrientationMap, "", true), "");
    // A pair after ", " is never found.
    EXPECT_EQ(ValueText(Short(2), ttShort, "1:Monochrome, 2:RGB, 6:YCbCr", "", true), "");
    EXPECT_EQ(ValueText(Short(1), ttShort, "1:Monochrome, 2:RGB, 6:YCbCr", "", true), "Monochrome");
    {
        DecodeValuesOff off;
        EXPECT_EQ(ValueText(Short(6), ttShort, kOrientationMap, "", true), "6");
    }
    // Rationals look the whole text so far up in the map.
    EXPECT_EQ(ValueText(Rational(1, 2), ttRational, "1/2:half", "", true), "1/2half");
}

TEST(ValueText, ComponentsTypesAndPatterns) {
    EXPECT_EQ(ValueText(Short(1) + Short(2) + Short(3), ttShort, "", "", true), "1, 2, 3");
    EXPECT_EQ(ValueText(std::string("\x01\x00\x02\x00", 4), ttShort, "", "", false), "1, 2");
    EXPECT_EQ(ValueText(Rational(1, 60), ttRational, "", "%s sec", true), "1/60 sec");
    EXPECT_EQ(ValueText(Rational(0, 0), ttRational, "", "F%0.1f", true), "F0.0");
    EXPECT_EQ(ValueText(Rational(28, 10), ttRational, "", "F%0.1f", true), "F2.8");
    EXPECT_EQ(ValueText(Rational(71, 10), ttRational, "", "%5.2f mm", true), " 7.10 mm");
    EXPECT_EQ(ValueText(Rational(-3, 1), ttSRational, "", "", true), "-3/1");
    EXPECT_EQ(ValueText("\xFF", ttSByte, "", "", true), "255");
    EXPECT_EQ(ValueText("abc", ttAscii, "", "", true), "?, ?, ?");
    EXPECT_EQ(ValueText("ab", ttUndefined, "", "", true), "?, ?");
    EXPECT_EQ(ValueText("abcd", ttFloat, "", "", true), "-9999.99");
    EXPECT_EQ(ValueText("abcdefgh", ttDouble, "", "", true), "-9999.99");
    EXPECT_EQ(ValueText("abcd", 0, "", "", true), "0");
    EXPECT_EQ(ValueText("abcd", 13, "", "", true), "0");
    EXPECT_EQ(ValueText("", ttShort, "", "", true), "");
    // At most 128 components are shown.
    std::string many;
    for (int i = 0; i < 200; ++i)
        many += Short(7);
    const std::string text = ValueText(many, ttShort, "", "", true);
    EXPECT_EQ(std::count(text.begin(), text.end(), '7'), 128);
}

TEST(ValueText, PatternsComeOnlyFromTablesAndAreApplied) {
    EXPECT_EQ(ApplyPattern("%s sec", std::string_view("1/60")), "1/60 sec");
    EXPECT_EQ(ApplyPattern("%5.2f", 72.0), "72.00");
    EXPECT_EQ(ApplyPattern("%5.2f", 7.1), " 7.10");
    EXPECT_EQ(ApplyPattern("%d", 6.0), "6");
    EXPECT_EQ(ApplyPattern("%4.4f sec", 0.5), "0.5000 sec");
    // Anything but the three conversions is refused, never handed to printf.
    EXPECT_EQ(ApplyPattern("%n%s", std::string_view("x")), "x");
    EXPECT_EQ(ApplyPattern("%s%s", std::string_view("x")), "x");
    EXPECT_EQ(FormatFixed(0.125, 0, 2), "0.13");
    EXPECT_EQ(FormatFixed(2.5, 0, 0), "3");
    EXPECT_EQ(FormatFixed(-2.5, 0, 0), "-3");
    EXPECT_EQ(FormatFixed(7.1, 5, 2), " 7.10");
}

TEST(ValueFormat, MapLookupFractionCleanHex) {
    EXPECT_EQ(MapLookup("1:Normal,3:Rotated", " 3\r"), "Rotated");
    EXPECT_EQ(MapLookup("1:Normal,3:Rotated", "4"), "");
    EXPECT_EQ(MapLookup("", "1"), "");
    EXPECT_EQ(MapLookup("10:Flash,1:Daylight", "1"), "Daylight");

    EXPECT_DOUBLE_EQ(FractionValue("3/4"), 0.75);
    EXPECT_DOUBLE_EQ(FractionValue(" 1 3/4 "), 1.75);
    EXPECT_DOUBLE_EQ(FractionValue("-1/1"), -1.0);
    EXPECT_EQ(FractionValue("3"), 0.0);
    EXPECT_EQ(FractionValue("3/0"), 0.0);
    EXPECT_EQ(FractionValue("a/b"), 0.0);
    EXPECT_EQ(FractionValue("99999999999/1"), 0.0);
    EXPECT_EQ(FractionValue(""), 0.0);

    EXPECT_EQ(CleanText(std::string(60, 'a')), std::string(50, 'a'));
    EXPECT_EQ(CleanText(std::string("a\0b\tc\xB0", 6)), "a.b.c\xB0");
    EXPECT_EQ(HexDump(std::string(17, '\xAB')), [] {
        std::string s;
        for (int i = 0; i < 16; ++i)
            s += "AB ";
        return s + "...";
    }());
    EXPECT_EQ(HexDump(std::string("\x00\x0F", 2)), "00 0F ");
    EXPECT_EQ(RationalText(-1, 3), "-1/3");
    EXPECT_EQ(Choose(true, "a", "b"), "a");
}

TEST(FormattingCallbacks, Flash) {
    EXPECT_EQ(FlashText("25"), "On, auto mode");
    EXPECT_EQ(FlashText("65"), "On, red-eye reduction");
    EXPECT_EQ(FlashText("16"), "Off, surpressed");
    EXPECT_EQ(FlashText("9"), "On, forced");
    EXPECT_EQ(FlashText("0"), "Off");
    EXPECT_EQ(FlashText("95"), "On, strobe return, auto mode, red-eye reduction");
    EXPECT_EQ(FlashText("3"), "On, UNKNOWN");
    EXPECT_EQ(FlashText("5"), "On, no strobe return");
    EXPECT_EQ(FlashText("32"), "Off, no flash function");
    EXPECT_THROW(FlashText("1, 0"), FormatError);
    EXPECT_THROW(FlashText(""), FormatError);
}

TEST(FormattingCallbacks, ExposureGpsComponentsWide) {
    EXPECT_EQ(ExposureText("6/1"), "0.0156 sec (1/64)");
    EXPECT_EQ(ExposureText("-1/1"), "2.0000 sec");
    EXPECT_EQ(ExposureText("1/1"), "0.5000 sec (1/2)");
    EXPECT_EQ(ExposureText("483328/65536"), "0.0060 sec (1/166)");
    EXPECT_EQ(ExposureText("7"), "1.0000 sec"); // no "/": the value counts as 0
    EXPECT_THROW(ExposureText("40/1"), FormatError);

    EXPECT_EQ(GpsDegreesText("51/1, 2955/100, 0/1"), "51 Degrees 29 Minutes 33 Seconds");
    EXPECT_EQ(GpsDegreesText("43/1, 28/1, 281/100"), "43 Degrees 28 Minutes 3 Seconds");
    EXPECT_EQ(GpsDegreesText("garbage"), "0 Degrees 0 Minutes 0 Seconds");
    EXPECT_EQ(GpsTimeText("14/1, 5/1, 3/1"), "14:5:3");

    EXPECT_EQ(ComponentsText(std::string("\"\x01\x02\x03\"", 5)), "YCbCr");
    EXPECT_EQ(ComponentsText(std::string("\"\x04\x05\x06\x07\"", 6)), "RGB");
    EXPECT_EQ(ComponentsText("\""), "");
}

TEST(FormattingCallbacks, ApertureIsAnApexValue) {
    // f-number = 2^(v/2), one decimal.
    EXPECT_EQ(ApertureText("5655/1000"), "F7.1");
    EXPECT_EQ(ApertureText("6/1"), "F8.0");
    EXPECT_EQ(ApertureText("3/1"), "F2.8");
    EXPECT_EQ(ApertureText("0/1"), "F1.0");
    for (const char* bad : {"0/0", "7", "1/1, 2/1", "2147483647/1"})
        EXPECT_THROW(ApertureText(bad), FormatError) << bad;
}

TEST(TextDecoding, UserCommentsByTheirCharacterCode) {
    using namespace std::string_literals;
    struct Case {
        std::string bytes;
        bool bigEndian;
        const char* text;
    };
    const Case cases[] = {
        {"ASCII\0\0\0  Hello world \0\0"s, false, "Hello world"},
        {"ASCII\0\0\0ridge"s, false, "ridge"}, // no closing zero: the last letter stays
        {"ASCII\0\0\0"s + std::string(20, ' '), false, ""},
        {"UNICODE\0\0C\0a\0f\0\xE9\0\0"s, true, "Caf\xC3\xA9"}, // the block's byte order
        {"UNICODE\0C\0a\0f\0\xE9\0\0\0"s, false, "Caf\xC3\xA9"},
        {"UNICODE\0\xFF\xFEH\0i\0"s, true, "Hi"}, // a byte-order mark overrules it
        {"JIS\0\0\0\0\0\x1B$B\0"s, false, "\x1B$B"},
        {std::string(8, '\0') + "Plain text \0"s, false, "Plain text"},
        {std::string(8, '\0') + "\x01\x02\x03garbage"s, false, ""}, // binary: no text
        {std::string(40, '\0'), false, ""},
        {"No code, just words"s, false, "No code, just words"},
        {"short"s, false, "short"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(UserCommentBody(c.bytes, c.bigEndian), c.text) << c.bytes;
}

TEST(TextDecoding, WideTextsAsciiPaddingAndCuts) {
    using namespace std::string_literals;
    EXPECT_EQ(WideText("A\0B\0\0\0"s), "AB");
    EXPECT_EQ(WideText("A\0\xE9\0\xAC\x20"s), "A\xC3\xA9\xE2\x82\xAC"); // é and €
    EXPECT_EQ(WideText("=\xD8\x00\xDEx"s), "\xF0\x9F\x98\x80");         // a surrogate pair, odd byte left
    EXPECT_EQ(Ucs2ToUtf8("\xD8\x3D\x00"
                         "A"s,
                         true),
              "\xEF\xBF\xBD"
              "A"); // a lone surrogate
    EXPECT_EQ(AsciiValue("SONY\0\0\0"s), "SONY");
    EXPECT_EQ(AsciiValue("SX113 \0 \0"s), "SX113");
    EXPECT_EQ(AsciiValue(" \0"s), "");
    EXPECT_EQ(AsciiValue("a\0b\0"s), "a\0b"s);
    EXPECT_EQ(AsciiLower("Make\xC9"), "make\xC9");
    EXPECT_EQ(AsciiUpper("skip"), "SKIP");

    // 50-byte cuts never split a UTF-8 character; 8-bit text is cut at the byte.
    const std::string cafe = std::string(48, 'a') + "\xC3\xA9\xC3\xA9";
    EXPECT_EQ(CleanText(std::string(49, 'a') + "\xC3\xA9"), std::string(49, 'a'));
    EXPECT_EQ(CleanText(cafe), std::string(48, 'a') + "\xC3\xA9");
    EXPECT_EQ(CutText(std::string(47, 'a') + "\xE2\x82\xAC\xE2\x82\xAC", 49), std::string(47, 'a'));
    EXPECT_EQ(CutText(std::string(49, 'a') + "\xE9\xE9", 50), std::string(49, 'a') + "\xE9");
    EXPECT_EQ(CutText("ab\x80\x80\x80\x80", 3), "ab\x80"); // not UTF-8: any byte
    EXPECT_EQ(CutText("short", 50), "short");
}
