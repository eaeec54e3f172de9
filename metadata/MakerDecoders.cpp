#include "MakerDecoders.h"

#include "ImageInfo.h"
#include "ReaderSettings.h"
#include "ValueFormat.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

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

// Canon's ISO element: a speed code, or the speed itself when bit 14 is set; 0x7FFF (not set, as
// raw files write it) gives no line.
std::string IsoLine(const std::string& text, int position) {
    const std::optional<int32_t> v = NumberAt(text, position);
    if (v && *v == 0x7FFF) return {};
    if (v && (*v & 0x4000) && *v < 0x8000) return Line("CCD ISO", IntegerText(*v & 0x3FFF));
    return MappedLine(text, "CCD ISO", position,
                      "0:n/a,14:Auto High,15:Auto,16:50,17:100,18:200,19:400,20:800");
}

// A number in its shortest decimal form, at most six decimals ("17.4", "21.3125", "247").
std::string ShortDecimal(double value) {
    std::string t = FormatFixed(value, 0, 6);
    if (t.find('.') != std::string::npos) {
        while (!t.empty() && t.back() == '0')
            t.pop_back();
        if (!t.empty() && t.back() == '.') t.pop_back();
    }
    return t == "-0" ? "0" : t;
}

// Canon's focal lengths count in FocalUnits per millimetre (1000 for compacts, 32 for some, 1 for
// most EOS lenses); without a unit the number is shown as it is.
std::string FocalLine(const std::string& text, const char* caption, int position, int unitsPosition) {
    const std::optional<int32_t> v = NumberAt(text, position);
    if (!v) return {};
    const std::optional<int32_t> units = NumberAt(text, unitsPosition);
    if (!units || *units <= 0) return Line(caption, IntegerText(*v));
    return Line(caption, ShortDecimal(static_cast<double>(*v) / *units) + " mm");
}

// Canon's flash bits: how the flash was driven and which one fired.
std::string FlashBitsLine(const std::string& text, int position) {
    const std::optional<int32_t> v = NumberAt(text, position);
    if (!v) return {};
    if (*v == 0) return Line("Flash Details", "(none)");
    static constexpr std::pair<int32_t, const char*> kBits[] = {{1, "Manual"},
                                                                {2, "TTL"},
                                                                {4, "A-TTL"},
                                                                {8, "E-TTL"},
                                                                {16, "FP sync enabled"},
                                                                {128, "2nd-curtain sync used"},
                                                                {2048, "FP sync used"},
                                                                {8192, "Built-in"},
                                                                {16384, "External"}};
    std::string words;
    for (const auto& [bit, word] : kBits) {
        if ((*v & bit) == 0) continue;
        if (!words.empty()) words += ", ";
        words += word;
    }
    if (words.empty()) words = "Unknown (" + IntegerText(*v) + ")";
    return Line("Flash Details", words);
}

// The lens code of the camera settings, listed under the name the Summary looks for.
std::string LensTypeLine(const std::string& text, int position) {
    const std::optional<int32_t> v = NumberAt(text, position);
    if (!v || *v == 0) return {};
    const std::string value = *v == 65535 || *v == -1 ? "n/a" : IntegerText(*v);
    const std::string line = Line("Lens Type", value);
    TDecoderTarget& target = DecoderTarget();
    if (target.Reader && !target.Reader->Entries.empty() &&
        target.Reader->Entries.back().Caption == "Lens Type")
        target.Reader->Entries.back().Name = "LensType";
    return line;
}

// A day, month, hour... as two digits.
std::string TwoDigits(int32_t n) {
    std::string t(n >= 0 && n < 10 ? "0" : "");
    t += IntegerText(n);
    return t;
}

// Minutes east of UTC as "+01:00" / "-05:30".
std::string ZoneText(int32_t minutes) {
    if (minutes < -24 * 60 || minutes > 24 * 60) return IntegerText(minutes);
    const int32_t m = minutes < 0 ? -minutes : minutes;
    std::string zone(minutes < 0 ? "-" : "+");
    zone += TwoDigits(m / 60);
    zone += ':';
    zone += TwoDigits(m % 60);
    return zone;
}

// The quoted value the walk hands over, without its quotes.
std::string_view Unquoted(const std::string& text) {
    std::string_view v(text);
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    return v;
}

} // namespace

std::string MakerText(const std::string& text) {
    std::string_view v = Unquoted(text);
    v = v.substr(0, v.find('\0'));
    return CleanText(TrimText(v));
}

std::string DottedBytes(const std::string& text) {
    const std::string_view v = Unquoted(text);
    std::string out;
    for (size_t i = 0; i < v.size() && i < 16; ++i) {
        if (!out.empty()) out += '.';
        out += IntegerText(static_cast<unsigned char>(v[i]));
    }
    return out;
}

std::string DottedNumbers(const std::string& text) {
    std::string out;
    for (int n = 1; n <= 16; ++n) {
        const std::string element = TrimText(ElementAt(text, ',', n));
        if (element.empty()) break;
        if (!out.empty()) out += '.';
        out += element;
    }
    return out;
}

std::string DecimalValue(const std::string& text) {
    std::string out;
    for (int n = 1; n <= 16; ++n) {
        const std::string element = TrimText(ElementAt(text, ',', n));
        if (element.empty()) break;
        if (!out.empty()) out += ' ';
        const size_t slash = element.find('/');
        if (slash != std::string::npos && TrimText(element.substr(slash + 1)) == "0") {
            out += "inf";
            continue;
        }
        out += ShortDecimal(std::round(FractionValue(element) * 10000) / 10000);
    }
    return out;
}

std::string HundredthsMillimetre(const std::string& text) {
    const std::optional<int32_t> v = NumberAt(text, 1);
    if (!v) return CleanText(text);
    return FormatFixed(*v / 100.0, 0, 1) + " mm";
}

std::string PentaxDate(const std::string& text) {
    const std::string_view v = Unquoted(text);
    if (v.size() < 4) return CleanText(text);
    const auto byte = [&](size_t i) { return static_cast<int32_t>(static_cast<unsigned char>(v[i])); };
    const auto two = TwoDigits;
    return IntegerText(byte(0) * 256 + byte(1)) + ":" + two(byte(2)) + ":" + two(byte(3));
}

std::string PentaxTime(const std::string& text) {
    const std::string_view v = Unquoted(text);
    if (v.size() < 3) return CleanText(text);
    std::string out;
    for (size_t i = 0; i < 3; ++i) {
        const int32_t n = static_cast<unsigned char>(v[i]);
        if (i > 0) out += ':';
        out += TwoDigits(n);
    }
    return out;
}

std::string PentaxLensType(const std::string& text) {
    // The lens series and its number within it; the names are Pentax's catalogue, the codes are
    // what identifies the lens.
    std::string out;
    for (int n = 1; n <= 2; ++n) {
        const std::string element = TrimText(ElementAt(text, ',', n));
        if (element.empty()) break;
        if (!out.empty()) out += ' ';
        out += element;
    }
    return out;
}

std::string PentaxFlashMode(const std::string& text) {
    std::string mode = MapLookup(
        "0:Auto| Did not fire,1:Off| Did not fire,2:On| Did not fire,3:Auto| Did not fire| Red-eye reduction,"
        "5:On| Did not fire| Wireless (Master),256:Auto| Fired,258:On| Fired,259:Auto| Fired| Red-eye "
        "reduction,"
        "260:On| Red-eye reduction,261:On| Wireless (Master),262:On| Wireless (Control),264:On| Soft,"
        "265:On| Slow-sync,266:On| Slow-sync| Red-eye reduction,267:On| Trailing-curtain Sync",
        ElementAt(text, ',', 1));
    std::replace(mode.begin(), mode.end(), '|', ',');
    return mode.empty() ? CleanText(ElementAt(text, ',', 1)) : mode;
}

std::string PanasonicSerial(const std::string& text) {
    // "S000407190102": the factory's code, the date of manufacture and a number of that day.
    const std::string serial = MakerText(text);
    const bool digits = serial.size() == 13 && std::all_of(serial.begin() + 1, serial.end(),
                                                           [](char c) { return c >= '0' && c <= '9'; });
    if (!digits || serial[0] < 'A' || serial[0] > 'Z') return serial;
    std::string out = "(";
    out += serial.substr(0, 3);
    out += ") 20";
    out += serial.substr(3, 2) + ":" + serial.substr(5, 2) + ":" + serial.substr(7, 2);
    out += " no. ";
    out += serial.substr(9, 4);
    return out;
}

std::string CanonTimeInfo(const std::string& text) {
    // Canon's array starts with its own size in bytes: the zone is element 2 here.
    ReaderSettings().MultiLine = true;
    std::string s;
    if (const std::optional<int32_t> zone = NumberAt(text, 2)) s += Line("Time Zone", ZoneText(*zone));
    s += MappedLine(
        text, "Time Zone City", 3,
        "0:n/a,1:Chatham Islands,2:Wellington,3:Solomon Islands,4:Sydney,5:Adelaide,6:Tokyo,"
        "7:Hong Kong,8:Bangkok,9:Yangon,10:Dhaka,11:Kathmandu,12:Delhi,13:Karachi,14:Kabul,15:Dubai,"
        "16:Tehran,17:Moscow,18:Cairo,19:Paris,20:London,21:Azores,22:Fernando de Noronha,"
        "23:Sao Paulo,24:Newfoundland,25:Santiago,26:Caracas,27:New York,28:Chicago,29:Denver,"
        "30:Los Angeles,31:Anchorage,32:Honolulu,33:Samoa,32766:(not set)");
    s += MappedLine(text, "Daylight Savings", 4, "0:Off,60:On");
    return s;
}

std::string NikonWorldTime(const std::string& text) {
    // Minutes from UTC in the note's byte order, then the daylight-saving flag and the date order:
    // the zone is the entry's text, the other two are items of their own.
    const std::string_view v = Unquoted(text);
    if (v.size() < 4) return CleanText(text);
    const TDecoderTarget& target = DecoderTarget();
    const bool bigEndian = target.Reader ? target.Reader->BigEndian : false;
    const auto zone = static_cast<int16_t>(BytesToInt(v.substr(0, 2), bigEndian));
    Line("Daylight Savings", v[2] == 0   ? "No"
                             : v[2] == 1 ? "Yes"
                                         : IntegerText(static_cast<unsigned char>(v[2])));
    const std::string order =
        MapLookup("0:Y/M/D,1:M/D/Y,2:D/M/Y", IntegerText(static_cast<unsigned char>(v[3])));
    if (!order.empty()) Line("Date Display Format", order);
    return ZoneText(zone);
}

// "Rev0104" as "1.04".
std::string RicohFirmware(const std::string& text) {
    const std::string version = MakerText(text);
    if (version.size() == 7 && version.starts_with("Rev") &&
        std::all_of(version.begin() + 3, version.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return IntegerText((version[3] - '0') * 10 + (version[4] - '0')) + "." + version.substr(5);
    return version;
}

std::string PentaxDriveMode(const std::string& text) {
    const std::string mode =
        MapLookup("0:Single-frame,1:Continuous,2:Continuous (Lo),3:Burst,4:Continuous (Medium),"
                  "255:Video",
                  ElementAt(text, ',', 1));
    return mode.empty() ? CleanText(ElementAt(text, ',', 1)) : mode;
}

std::string PanasonicAfAreaMode(const std::string& text) {
    const std::string pair = TrimText(ElementAt(text, ',', 1)) + " " + TrimText(ElementAt(text, ',', 2));
    const std::string mode = MapLookup(
        "0 1:9-area,0 16:3-area (high speed),0 23:23-area,0 49:49-area,0 225:225-area,1 0:Spot Focusing,"
        "1 1:5-area,16 0:1-area,16 16:1-area (high speed),32 0:Tracking,64 0:Face Detect,128 0:Pinpoint",
        pair);
    return mode.empty() ? "Unknown (" + pair + ")" : mode;
}

std::string AppleFocusDistanceRange(const std::string& text) {
    const std::string near = TrimText(ElementAt(text, ',', 1)), far = TrimText(ElementAt(text, ',', 2));
    if (near.empty() || far.empty()) return CleanText(text);
    // The phone writes the two ends in either order; the range reads from near to far.
    const double a = FractionValue(near), b = FractionValue(far);
    return FormatFixed(std::min(a, b), 0, 2) + " - " + FormatFixed(std::max(a, b), 0, 2) + " m";
}

std::string SigmaValue(const std::string& text) {
    if (text.empty() || text.front() != '"') return DecimalValue(text);
    std::string value = MakerText(text);
    const size_t colon = value.find(':');
    if (colon != std::string::npos && colon <= 8 &&
        std::all_of(value.begin(), value.begin() + static_cast<std::ptrdiff_t>(colon),
                    [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }))
        value.erase(0, colon + 1);
    return value;
}

std::string SigmaExposureMode(const std::string& text) {
    const std::string code = MakerText(text);
    const std::string mode =
        MapLookup("P:Program AE,A:Aperture-priority AE,S:Shutter speed priority AE,M:Manual", code);
    return mode.empty() ? code : mode;
}

std::string SigmaMeteringMode(const std::string& text) {
    const std::string code = MakerText(text);
    const std::string mode = MapLookup("8:Multi-segment,A:Average,C:Center-weighted average", code);
    return mode.empty() ? code : mode;
}

std::string NikonLensType(const std::string& text) {
    const std::optional<int32_t> v = NumberAt(text, 1);
    if (!v) return CleanText(text);
    static constexpr const char* kFlags[8] = {"MF", "D", "G", "VR", "1", "FT-1", "E", "AF-P"};
    std::string out;
    for (int bit = 0; bit < 8; ++bit) {
        if ((*v & (1 << bit)) == 0) continue;
        if (bit == 1 && (*v & 4)) continue; // every G lens reports distance, as D lenses do: named G alone
        if (!out.empty()) out += ' ';
        out += kFlags[bit];
    }
    return out.empty() ? "AF" : out;
}

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
    s += MappedLine(
        text, "Focus Mode", 8,
        "0:One-Shot,1:AI Servo,2:AI Focus,3:MF,4:Single,5:Continuous,6:MF,16:Pan Focus,256:AF + MF,"
        "257:Live View,512:Movie Snap Focus,519:Movie Servo AF");
    s += MappedLine(
        text, "Image Size", 11,
        "65535:n/a,0:Large,1:Medium,2:Small,5:Medium 1,6:Medium 2,7:Medium 3,8:Postcard,9:Widescreen,"
        "10:Medium Widescreen,14:Small 1,15:Small 2,16:Small 3,128:640x480 Movie,129:Medium Movie,"
        "130:Small Movie,137:1280x720 Movie,142:1920x1080 Movie,143:4096x2160 Movie");
    s += MappedLine(
        text, "Easy Shoot", 12,
        "0:Full Auto,1:Manual,2:Landscape,3:Fast Shutter,4:Slow Shutter,5:Night,6:B&W,7:Sepia,"
        "8:Portrait,9:Sports,10:Macro/Close-Up,11:Black & White,12:Pan Focus,13:Vivid,14:Neutral,"
        "15:Flash Off,16:Long Shutter,17:Super Macro,18:Foliage,19:Indoor,20:Fireworks,21:Beach,"
        "22:Underwater,23:Snow,24:Kids & Pets,25:Night Snapshot,26:Digital Macro,27:My Colors,"
        "28:Movie Snap,29:Super Macro 2,30:Color Accent,31:Color Swap,32:Aquarium,33:ISO 3200,"
        "34:ISO 6400,35:Creative Light Effect,36:Easy,37:Quick Shot,38:Creative Auto,39:Zoom Blur,"
        "40:Low Light,41:Nostalgic,42:Super Vivid,43:Poster Effect,44:Face Self-timer,45:Smile,"
        "46:Wink Self-timer,47:Fisheye Effect,48:Miniature Effect,49:High-speed Burst,"
        "50:Best Image Selection,51:High Dynamic Range,52:Handheld Night Scene,53:Movie Digest,"
        "54:Live View Control,55:Discreet,56:Blur Reduction,57:Monochrome,58:Toy Camera Effect,"
        "59:Scene Intelligent Auto,60:High-speed Burst HQ,61:Smooth Skin,62:Soft Focus,68:Food,"
        "84:HDR Art Standard,85:HDR Art Vivid,93:HDR Art Bold,257:Spotlight,258:Night 2,259:Night+,"
        "260:Super Night,261:Sunset,263:Night Scene,264:Surface,265:Low Light 2");
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
    s += LensTypeLine(text, 23);
    s += FocalLine(text, "Long focal", 24, 26);
    s += FocalLine(text, "Short focal", 25, 26);
    if (const std::optional<int32_t> units = NumberAt(text, 26))
        s += Line("Focal Units", IntegerText(*units) + "/mm");
    s += FlashBitsLine(text, 30);
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
