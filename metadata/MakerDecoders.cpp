#include "MakerDecoders.h"

#include "ImageInfo.h"
#include "ReaderSettings.h"
#include "ValueFormat.h"

#include <algorithm>
#include <optional>

namespace quillmark {

TDecoderTarget& DecoderTarget() {
    thread_local TDecoderTarget target;
    return target;
}

std::string ElementAt(const std::string& text, char separator, int n) {
    size_t start = 0;
    for (int k = 1; k < n; ++k) {
        const size_t p = text.find(separator, start);
        if (p == std::string::npos) return {};
        start = p + 1;
    }
    const size_t end = text.find(separator, start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

namespace {

// A decoded setting: offered to the reader as an item of its own, and one line of the display.
std::string Line(const std::string& caption, const std::string& value) {
    const TDecoderTarget& target = DecoderTarget();
    if (target.Reader) {
        try {
            target.Reader->AddMakerItem(caption, value, 2, target.ParentTag);
        } catch (const std::exception&) {
            // An item that cannot be added costs only itself.
        }
    }
    return "\r\n" + caption + " = " + value;
}

std::string MappedLine(const std::string& text, const char* caption, int position, const char* map) {
    const std::string decoded = MapLookup(map, ElementAt(text, ',', position));
    if (TrimText(decoded).empty()) return {};
    return Line(caption, decoded);
}

std::string PlainLine(const std::string& text, const char* caption, int position) {
    const std::string element = ElementAt(text, ',', position);
    if (TrimText(element).empty()) return {};
    return Line(caption, element);
}

constexpr const char* kLowNormalHigh = "65535:Low,0:Normal,1:High";

// An element as a number; nullopt when it is not one.
std::optional<int32_t> NumberAt(const std::string& text, int position) {
    try {
        return ParseInteger(ElementAt(text, ',', position));
    } catch (const FormatError&) {
        return std::nullopt;
    }
}

// Canon's self-timer element: tenths of a second (the bits above the twelfth flag a custom timer),
// 0 when the timer was off.
std::string SelfTimerLine(const std::string& text, int position) {
    const std::optional<int32_t> v = NumberAt(text, position);
    if (!v) return {};
    if (*v == 0) return Line("Self Timer", "Off");
    const int32_t tenths = *v & 0x0FFF;
    std::string seconds = IntegerText(tenths / 10);
    if (tenths % 10 != 0) {
        seconds += '.';
        seconds += static_cast<char>('0' + tenths % 10);
    }
    return Line("Self Timer", seconds + " s");
}

// Canon's ISO element: a speed code, or the speed itself when bit 14 is set.
std::string IsoLine(const std::string& text, int position) {
    const std::optional<int32_t> v = NumberAt(text, position);
    if (v && (*v & 0x4000) && *v < 0x8000) return Line("CCD ISO", IntegerText(*v & 0x3FFF));
    return MappedLine(text, "CCD ISO", position,
                      "0:n/a,14:Auto High,15:Auto,16:50,17:100,18:200,19:400,20:800");
}

} // namespace

// The camera-settings array (Canon tag 0x0001): element k of Canon's array is position k + 1 here,
// as the array's first element holds its own length in bytes.
std::string DecodeCanonSettings(const std::string& text) {
    ReaderSettings().MultiLine = true;
    std::string s;
    s += MappedLine(text, "Macro mode", 2, "1:Macro,2:Normal");
    s += SelfTimerLine(text, 3);
    s += MappedLine(text, "Compression Rate", 4,
                    "65535:n/a,1:Economy,2:Normal,3:Fine,4:RAW,5:Superfine,7:CRAW,130:Light (RAW),"
                    "131:Standard (RAW)");
    s += MappedLine(text, "Flash Mode", 5,
                    "65535:n/a,0:Off,1:Auto,2:On,3:Red-eye reduction,4:Slow-sync,5:Red-eye reduction (Auto),"
                    "6:Red-eye reduction (On),16:External flash");
    s += MappedLine(text, "Drive Mode", 6,
                    "0:Single,1:Continuous,2:Movie,3:Continuous Speed Priority,4:Continuous Low,"
                    "5:Continuous High");
    s +=
        MappedLine(text, "Focus Mode", 8, "0:One-Shot,1:AI Servo,2:AI Focus,3:MF,4:Single,5:Continuous,6:MF");
    s += MappedLine(text, "Image Size", 11, "0:Large,1:Medium,2:Small,4:5MPixel,5:2 MPixel,6:1.5 MPixel");
    s += MappedLine(text, "Easy Shoot", 12,
                    "0:Full Auto,1:Manual,2:Landscape,3:Fast Shutter,4:Slow Shutter,5:Night,6:B&W,7:Sepia,"
                    "8:Portrait,9:Sports,10:Macro/Close-Up,11:Black & White,12:Pan Focus");
    s += MappedLine(text, "Contrast", 14, kLowNormalHigh);
    s += MappedLine(text, "Saturation", 15, kLowNormalHigh);
    s += MappedLine(text, "Sharpness", 16, kLowNormalHigh);
    s += IsoLine(text, 17);
    s += MappedLine(text, "Metering Mode", 18,
                    "0:Default,1:Spot,2:Average,3:Evaluative,4:Partial,5:Center-weighted average");
    s += MappedLine(text, "AF Point", 20,
                    "8197:Manual AF point selection,12288:None (MF),12289:Auto AF point selection,"
                    "12290:Right,12291:Center,12292:Left,16385:Auto AF point selection,16390:Face Detect");
    s += MappedLine(text, "Exposure Mode", 21,
                    "0:Easy,1:Program AE,2:Shutter speed priority AE,3:Aperture-priority AE,4:Manual,"
                    "5:Depth-of-field AE,6:M-Dep,7:Bulb,8:Flexible-priority AE");
    s += PlainLine(text, "Long focal", 24);
    s += PlainLine(text, "Short focal", 25);
    s += PlainLine(text, "Focal Units", 26);
    s += PlainLine(text, "Flash Details", 29);
    s += MappedLine(text, "Focus Mode", 33, "0:Single,1:Continuous,8:Manual");
    return s;
}

// The shot-info array (Canon tag 0x0004), numbered like the camera settings.
std::string DecodeCanonShotInfo(const std::string& text) {
    ReaderSettings().MultiLine = true;
    std::string s;
    s += MappedLine(text, "White balance", 8,
                    "0:Auto,1:Sunny,2:Cloudy,3:Tungsten,4:Flourescent,5:Flash,6:Custom");
    s += PlainLine(text, "Sequence Number", 10);
    s += PlainLine(text, "OpticalZoom Step", 11);
    s += PlainLine(text, "AF point", 15);
    s +=
        MappedLine(text, "Flash bias", 16,
                   "65472:-2 EV,65484:-1.67 EV,65488:-1.50 EV,65492:-1.33 EV,65504:-1 EV,65516:-0.67 EV,"
                   "65520:-0.50 EV,65524:-0.33 EV,0:0 EV,12:0.33 EV,16:0.50 EV,20:0.67 EV,32:1 EV,44:1.33 EV,"
                   "48:1.50 EV,52:1.67 EV,64:2 EV");
    s += PlainLine(text, "Distance", 20);
    return s;
}

std::string DecodeCanonCustomFunctions(const std::string& text) {
    struct Function {
        const char* Caption;
        const char* Map;
    };
    static constexpr Function kFunctions[15] = {
        {"Noise Reduction", "0: Off,1: On"},
        {"Shutter AE Lock Button", "0:AF/AE lock,1:AE lock/AF,2:AF/AF lock,3:AE+release/AE+AF"},
        {"Mirror Lockup", "0:Disable,1:Enable"},
        {"Exposure Level", "0:1/2 stop,1:1/3 stop"},
        {"AF Assist", "0:On (auto),1:Off"},
        {"AV Shutter Speed", "0:Automatic,1: 1/200 (fixed)"},
        // The order of a bracketed series, written without the commas that separate map pairs.
        {"AEB Sequence", "0:0 - + / Enabled,1:0 - + / Disabled,2:- 0 + / Enabled,3:- 0 + / Disabled"},
        {"Shutter Sync", "0:1st-curtain sync,1: 2nd-curtain sync"},
        {"Lens AF Button", "0:AF stop,1:Operate AF,2:Lock AE and start timer"},
        {"Fill Flash Reduction", "0:Enable,1:Disable"},
        {"Menu Return", "0:Top,1:Previous (volatile),2:Previous"},
        {"Set Button", "0:Not assigned,1:Change quality,2:Change ISO speed,3:Select parameters"},
        {"Sensor Cleaning", "0:Disable,1:Enable"},
        {"Superimposed Display", "0: On,1: Off"},
        {"Shutter Release w/o CF Card", "0:Enable,1:Disable"},
    };
    ReaderSettings().MultiLine = true;
    std::string s;
    // The last element is never decoded: only those followed by a comma. A camera writes a few
    // dozen; a text value could hold thousands, of which the first 128 are looked at, like the
    // components of a numeric value.
    size_t start = 0;
    for (int k = 0; k < 128; ++k) {
        const size_t comma = text.find(',', start);
        if (comma == std::string::npos) break;
        const std::string_view element = std::string_view(text).substr(start, comma - start);
        start = comma + 1;
        int32_t v;
        try {
            v = ParseInteger(element);
        } catch (const FormatError&) {
            continue;
        }
        const int32_t function = v / 256;
        const int32_t setting = v % 256;
        if (function < 1 || function > 15) continue;
        const Function& f = kFunctions[function - 1];
        const std::string decoded = MapLookup(f.Map, IntegerText(setting));
        if (TrimText(decoded).empty()) continue;
        s += Line(f.Caption, decoded);
    }
    return s;
}

std::string DecodeNikonColorMode(const std::string& text) {
    const std::string mode = text.size() > 1 ? text.substr(1, 5) : std::string();
    if (mode == "MODE1") return "Mode1 (sRGB)";
    if (mode == "MODE2") return "Mode 2 (Adobe RGB)";
    if (mode == "MODE3") return "Mode 3 (sRGB): higher saturation";
    return mode;
}

std::string DecodeNikonLens(const std::string& text) {
    std::string parts[4];
    std::string rest = text;
    for (int i = 0; i < 3; ++i) {
        const size_t p = rest.find(", ");
        if (p == std::string::npos) continue; // an empty number; the rest stays
        parts[i] = rest.substr(0, p);
        rest = rest.substr(p + 1, 64);
    }
    parts[3] = rest;
    return FormatFixed(FractionValue(parts[0]), 0, 1) + "-" + FormatFixed(FractionValue(parts[1]), 0, 1) +
           "(mm)  F" + FormatFixed(FractionValue(parts[2]), 0, 1) + "-F" +
           FormatFixed(FractionValue(parts[3]), 0, 1);
}

} // namespace quillmark
