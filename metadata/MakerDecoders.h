// Decoders for packed maker-note values: Canon's settings arrays, Nikon's lens and colour mode, and
// the small conversions other makers' tags need (texts, versions, dates, lens codes). Each takes the
// value text of a maker entry and returns its display text.
#pragma once

#include <cstdint>
#include <string>

namespace quillmark {

class TImageInfo;

// The reader that the Canon decoders offer their decoded settings to, as maker items under the
// tag being decoded. Set by the maker-note walk for the length of one walk.
struct TDecoderTarget {
    TImageInfo* Reader = nullptr;
    uint16_t ParentTag = 0;
};
TDecoderTarget& DecoderTarget();

std::string DecodeCanonSettings(const std::string& text);
std::string DecodeCanonShotInfo(const std::string& text);
std::string DecodeCanonCustomFunctions(const std::string& text);
std::string DecodeNikonColorMode(const std::string& text);
std::string DecodeNikonLens(const std::string& text);

// A text value (ASCII or bytes, as the walk quotes it) without its quotes, zero bytes and padding.
std::string MakerText(const std::string& text);
// Version bytes ("\0\1\0\x08") as "0.1.0.8"; numbers ("3, 0, 0, 0") as "3.0.0.0".
std::string DottedBytes(const std::string& text);
std::string DottedNumbers(const std::string& text);
// A fraction as a decimal number ("-2/3" as "-0.67"); several as a list cut by blanks.
std::string DecimalValue(const std::string& text);
// Hundredths of a millimetre ("1000" as "10.0 mm").
std::string HundredthsMillimetre(const std::string& text);
std::string PentaxDate(const std::string& text);
std::string PentaxTime(const std::string& text);
std::string PentaxLensType(const std::string& text);
std::string PentaxFlashMode(const std::string& text);
std::string PentaxDriveMode(const std::string& text);
std::string RicohFirmware(const std::string& text);
// "S000407190102" as "(S00) 2004:07:19 no. 0102".
std::string PanasonicSerial(const std::string& text);
// The time zone, its city and daylight saving: items of their own, as the Canon settings are.
std::string CanonTimeInfo(const std::string& text);
// Nikon's world time: the zone ("+01:00"), with daylight saving and the date order as items.
std::string NikonWorldTime(const std::string& text);
std::string PanasonicAfAreaMode(const std::string& text);
std::string AppleFocusDistanceRange(const std::string& text);
// Sigma's texts carry their own caption ("Expo:+0.8"); newer bodies write the number instead.
std::string SigmaValue(const std::string& text);
std::string SigmaExposureMode(const std::string& text);
std::string SigmaMeteringMode(const std::string& text);
std::string NikonLensType(const std::string& text);

// Element n (from 1) of a text cut at a separator; empty beyond the last.
std::string ElementAt(const std::string& text, char separator, int n);

} // namespace quillmark
