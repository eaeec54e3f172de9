#include "MakerTables.h"

#include "ImageInfo.h"
#include "MakerDecoders.h"

#include <iterator>
#include <string_view>

namespace quillmark {

namespace {

// The tables keep their captions exactly as cameras' notes were first catalogued here, odd
// spellings included: stored reports depend on them. Maps follow the codes the cameras write.
constexpr TTagRow kNikonTable[] = {
    {0x0001, "FamilyID", "Family ID", "", "", nullptr},
    {0x0002, "ISOSpeed", "ISO Speed", "", "", nullptr},
    {0x0003, "ColorMode", "Color Mode", "", "", nullptr},
    {0x0004, "Quality", "Quality", "", "", nullptr},
    {0x0005, "WhiteBalance", "White Balance", "", "", nullptr},
    {0x0006, "ImageSharpening", "Image Sharpening", "", "", nullptr},
    {0x0007, "FocusMode", "Focus Mode", "", "", nullptr},
    {0x0008, "FlashSetting", "Flash Setting", "", "", nullptr},
    {0x0009, "AutoFlashMode", "Auto Flash Mode", "", "", nullptr},
    {0x000A, "Skip", "Skip", "", "", nullptr},
    {0x000B, "WhiteBiasValue", "White Bias Value", "", "", nullptr},
    {0x000F, "DigitalZoom", "Digital Zoom", "", "", nullptr},
    {0x0010, "Skip", "Skip", "", "", nullptr},
    {0x0011, "Skip", "Skip", "", "", nullptr},
    {0x0080, "ImageAdjustment", "Image Adjustment", "", "", nullptr},
    {0x0081, "ImageAdjustment", "Image Adjustment", "", "", nullptr},
    {0x0082, "Adapter", "Adapter", "", "", nullptr},
    {0x0084, "LensInformation", "Lens information", "", "", DecodeNikonLens},
    {0x0085, "ManualFocusDistance", "Manual Focus Distance", "", "", nullptr},
    {0x0086, "DigitalZoom", "Digital Zoom", "", "", nullptr},
    {0x0088, "FocusArea", "Focus Area", "", "", nullptr},
    {0x0089, "Mode", "Mode", "", "", nullptr},
    {0x008D, "ColorMode", "Color Mode", "", "", DecodeNikonColorMode},
    {0x008F, "SceneMode", "Scene Mode", "", "", nullptr},
    {0x0092, "HueAdjustment", "Hue Adjustment", "", "", nullptr},
    {0x0094, "Saturation", "Saturation", "", "", nullptr},
    {0x0095, "NoiseReduction", "Noise Reduction", "", "", nullptr},
    {0x0F00, "Skip", "Skip", "", "", nullptr},
};
static_assert(std::size(kNikonTable) == 28);

constexpr TTagRow kNikonOldTable[] = {
    {0x0002, "FamilyID", "FamilyID", "", "", nullptr},
    {0x0003, "Quality", "Quality",
     "1:Vga Basic,2:Vga Normal,3:Vga Fine,4:SXGA Basic,5:SXGA Normal,6:SXGA Fine,10:2 Mpixel Basic,11:2 "
     "Mpixel Normal,12:2 Mpixel Fine",
     "", nullptr},
    {0x0004, "ColorMode", "ColorMode", "1:Color,2:Monochrome", "", nullptr},
    {0x0005, "ImageAdjustment", "ImageAdjustment", "0:Normal,1:Bright+,2:Bright-,3:Contrast+,4:Contrast-", "",
     nullptr},
    {0x0006, "ISOSpeed", "ISOSpeed", "0:ISO80,2:ISO160,4:ISO320,5:ISO100", "", nullptr},
    {0x0007, "WhiteBalance", "WhiteBalance",
     "0:Auto,1:Preset,2:Daylight,3:Incandescense,4:Fluorescence,5:Cloudy,6:SpeedLight", "", nullptr},
    {0x0008, "Focus", "Focus", "", "", nullptr},
    {0x0009, "Skip", "Skip", "", "", nullptr},
    {0x000A, "DigitalZoom", "DigitalZoom", "", "", nullptr},
    {0x000B, "Converter", "Converter", "0:Not used,1:Used", "", nullptr},
    {0x0F00, "Skip", "Skip", "", "", nullptr},
};
static_assert(std::size(kNikonOldTable) == 11);

constexpr TTagRow kOlympusTable[] = {
    {0x0200, "SpecialMode", "SpecialMode", "", "", nullptr},
    {0x0201, "JpegQual", "JpegQual", "1:SQ,2:HQ,3:SHQ,4:Raw", "", nullptr},
    {0x0202, "Macro", "Macro", "0:Off,1:On,2:Super Macro", "", nullptr},
    {0x0203, "Skip", "Skip", "", "", nullptr},
    {0x0204, "DigiZoom", "Digital Zoom Ratio", "", "", nullptr},
    {0x0205, "Skip", "Skip", "", "", nullptr},
    {0x0206, "Skip", "Skip", "", "", nullptr},
    {0x0207, "Firmware", "Firmware", "", "", nullptr},
    {0x0208, "PictInfo", "Picture Info", "", "", nullptr},
    {0x0209, "CameraID", "Camera ID", "", "", nullptr},
    {0x0F00, "Skip", "Skip", "", "", nullptr},
    {0x1004, "FlashMode", "Flash Mode", "", "", nullptr},
    {0x1006, "Bracket", "Bracket", "", "", nullptr},
    {0x100B, "FocusMode", "Focus Mode", "", "", nullptr},
    {0x100C, "FocusDistance", "Focus Distance", "", "", nullptr},
    {0x100D, "Zoom", "Zoom", "", "", nullptr},
    {0x100E, "MacroFocus", "Macro Focus", "", "", nullptr},
    {0x100F, "Sharpness", "Sharpness", "", "", nullptr},
    {0x1011, "ColorMatrix", "Color Matrix", "", "", nullptr},
    {0x1012, "BlackLevel", "Black Level", "", "", nullptr},
    {0x1015, "WhiteBalance", "White Balance", "", "", nullptr},
    {0x1017, "RedBias", "Red Bias", "", "", nullptr},
    {0x1018, "BlueBias", "Blue Bias", "", "", nullptr},
    {0x101A, "SerialNumber", "SerialNumber", "", "", nullptr},
    {0x1023, "FlashBias", "Flash Bias", "", "", nullptr},
    {0x1029, "Contrast", "Contrast", "", "", nullptr},
    {0x102A, "SharpnessFactor", "Sharpness Factor", "", "", nullptr},
    {0x102B, "ColorControl", "Color Control", "", "", nullptr},
    {0x102C, "ValidBits", "Valid Bits", "", "", nullptr},
    {0x102D, "Coring", "Coring Filter", "", "", nullptr},
    {0x102E, "FinalWidth", "Final Width", "", "", nullptr},
    {0x102F, "FinalHeight", "Final Height", "", "", nullptr},
    {0x1034, "CompressionRatio", "Compression Ratio", "", "", nullptr},
};
static_assert(std::size(kOlympusTable) == 33);

// The camera-settings directory of newer Olympus notes (main tag 0x2020) keeps the macro mode that older
// notes keep in their main directory (0x0202), under tag 0x0300; its own 0x0202 is the metering mode.
constexpr TTagRow kOlympusCameraSettingsTable[] = {
    {0x0300, "Macro", "Macro", "0:Off,1:On,2:Super Macro", "", nullptr},
};
constexpr TMakerSubDirectory kOlympusSubDirectories[] = {{0x2020, kOlympusCameraSettingsTable}};

constexpr TTagRow kCasioTable[] = {
    {0x0001, "RecordingMode", "RecordingMode",
     "1:Single Shutter,2:Panorama,3:Night Scene,4:Portrait,5:Landscape", "", nullptr},
    {0x0002, "Quality", "Quality", "1:Economy,2:Normal,3:Fine", "", nullptr},
    {0x0003, "FocusingMode", "FocusingMode", "2:Macro,3:Auto Focus,4:Manual Focus,5:Infinity", "", nullptr},
    {0x0004, "FlashMode", "FlashMode", "1:Auto,2:On,3:Off,4:Red Eye Reduction", "", nullptr},
    {0x0005, "FlashIntensity", "FlashIntensity", "11:Weak,13:Normal,15:Strong", "", nullptr},
    {0x0006, "ObjectDistance", "ObjectDistance", "", "", nullptr},
    {0x0007, "WhiteBalance", "WhiteBalance", "1:Auto,2:Tungsten,3:Daylight,4:Fluorescent,5:Shade,129:Manual",
     "", nullptr},
    {0x0008, "Skip", "Skip", "", "", nullptr},
    {0x0009, "Skip", "Skip", "", "", nullptr},
    {0x000A, "DigitalZoom", "DigitalZoom", "65536:Off,65537:2X Digital Zoom", "", nullptr},
    {0x000B, "Sharpness", "Sharpness", "0:Normal,1:Soft,2:Hard", "", nullptr},
    {0x000C, "Contrast", "Contrast", "0:Normal,1:Low,2:High", "", nullptr},
    {0x000D, "Saturation", "Saturation", "0:Normal,1:Low,2:High", "", nullptr},
    {0x000E, "Skip", "Skip", "", "", nullptr},
    {0x000F, "Skip", "Skip", "", "", nullptr},
    {0x0010, "Skip", "Skip", "", "", nullptr},
    {0x0011, "Skip", "Skip", "", "", nullptr},
    {0x0012, "Skip", "Skip", "", "", nullptr},
    {0x0013, "Skip", "Skip", "", "", nullptr},
    {0x0014, "CCDSensitivity", "CCDSensitivity", "64:Normal,125:+1.0,250:+2.0,244:+3.0,80:Normal,100:High",
     "", nullptr},
    {0x0015, "Skip", "Skip", "", "", nullptr},
    {0x0016, "Skip", "Skip", "", "", nullptr},
    {0x0017, "Skip", "Skip", "", "", nullptr},
    {0x0018, "Skip", "Skip", "", "", nullptr},
    {0x0019, "Skip", "Skip", "", "", nullptr},
    {0x001A, "Skip", "Skip", "", "", nullptr},
};
static_assert(std::size(kCasioTable) == 26);

constexpr TTagRow kCasioQvcTable[] = {
    {0x0002, "ThumbnailDimensions", "Thumbnail Dimensions", "", "", nullptr},
    {0x0003, "ThumbnailSize", "Thumbnail Size", "", "", nullptr},
    {0x0004, "ThumbnailOffset", "Thumbnail OffSet", "", "", nullptr},
    {0x0008, "Quality", "Quality", "1:Fine,2:Super Fine", "", nullptr},
    {0x0009, "ImageSize", "ImageSize",
     "0:640 x 480,4:1600 x 1200,5:2048 x 1536,20:2288 x 1712,21:2592 x 1944,22:2304 x 1728,36:3008 x 2008",
     "", nullptr},
    {0x000D, "FocusMode", "FocusMode", "0:Normal,1:Macro", "", nullptr},
    {0x0014, "IsoSensitivity", "IsoSensitivity", "3:50,4:64,6:100,9:200", "", nullptr},
    {0x0019, "WhiteBalance", "WhiteBalance", "0:Auto,1:Daylight,2:Shade,3:Tungsten,4:Fluorescent,5:Manual",
     "", nullptr},
    {0x001D, "FocalLength", "Focal Length (.1 mm)", "", "", nullptr},
    {0x001F, "Saturation", "Saturation", "0:-1,1:Normal,2:+1", "", nullptr},
    {0x0020, "Contrast", "Contrast", "0:-1,1:Normal,2:+1", "", nullptr},
    {0x0021, "Sharpness", "Sharpness", "0:-1,1:Normal,2:+1", "", nullptr},
    {0x0E00, "PIM", "\tPrint Image Matching Info", "", "", nullptr},
    {0x2000, "Skip", "Skip", "", "", nullptr},
    {0x2001, "Skip", "Skip", "", "", nullptr},
    {0x2002, "Skip", "Skip", "", "", nullptr},
    {0x2003, "Skip", "Skip", "", "", nullptr},
    {0x2011, "WhiteBalanceBias", "White Balance Bias", "", "", nullptr},
    {0x2013, "Skip", "Skip", "", "", nullptr},
    {0x2012, "WhiteBalance", "White Balance", "0:Manual,1:Auto,4:Flash,12:Flash", "", nullptr},
    {0x2021, "Skip", "Skip", "", "", nullptr},
    {0x2022, "ObjectDistance", "Object Distance (mm)", "", "", nullptr},
    {0x2023, "Skip", "Skip", "", "", nullptr},
    {0x2031, "Skip", "Skip", "", "", nullptr},
    {0x2032, "Skip", "Skip", "", "", nullptr},
    {0x2033, "Skip", "Skip", "", "", nullptr},
    {0x2034, "FlashDistance", "Flash Distance", "", "", nullptr},
    {0x3000, "RecordMode", "Record Mode", "2:Normal", "", nullptr},
    {0x3001, "SelfTimer", "Self Timer", "0:Off,1:On", "", nullptr},
    {0x3002, "Quality", "Quality", "1:Economy,2:Normal,3:Fine", "", nullptr},
    {0x3003, "FocusMode", "Focus Mode", "1:Fixed,3:Auto Focus,6:Multi-Area Auto Focus", "", nullptr},
    {0x3005, "Skip", "Skip", "", "", nullptr},
    {0x3006, "TimeZone", "Time Zone", "", "", nullptr},
    {0x3007, "BestshotMode", "Bestshot Mode", "0:Off,1:On", "", nullptr},
    {0x3011, "Skip", "Skip", "", "", nullptr},
    {0x3012, "Skip", "Skip", "", "", nullptr},
    {0x3013, "Skip", "Skip", "", "", nullptr},
    {0x3014, "CCDSensitivity", "CCD Sensitivity", "", "", nullptr},
    {0x3015, "ColorMode", "Color Mode", "0:Off,1:On", "", nullptr},
    {0x3016, "Enhancement", "Enhancement", "0:Off,1:On", "", nullptr},
    {0x3017, "Filter", "Filter", "0:Off,1:On", "", nullptr},
    {0x3018, "Skip", "Skip", "", "", nullptr},
    {0x3019, "Skip", "Skip", "", "", nullptr},
    {0x301A, "Skip", "Skip", "", "", nullptr},
    {0x301B, "Skip", "Skip", "", "", nullptr},
};
static_assert(std::size(kCasioQvcTable) == 45);

constexpr TTagRow kFujiTable[] = {
    {0x0000, "Version", "Version", "", "", nullptr},
    {0x1000, "Quality", "Quality", "", "", nullptr},
    {0x1001, "Sharpness", "Sharpness", "1:Soft,2:Soft,3:Normal,4:Hard,5:Hard", "", nullptr},
    {0x1002, "WhiteBalance", "WhiteBalance",
     "0:Auto,256:Daylight,512:Cloudy,768:DaylightColor-fluorescence,769:DaywhiteColor-fluorescence,770:White-"
     "fluorescence,1024:Incandenscense,3840:Custom white balance.",
     "", nullptr},
    {0x1003, "Color", "Color", "0:Normal,256:High,512:Low", "", nullptr},
    {0x1004, "Tone", "Tone", "0:Normal,256:High,512:Low", "", nullptr},
    {0x1010, "FlashMode", "FlashMode", "0:Auto,1:On,2:Off,3:Red-eye reduction", "", nullptr},
    {0x1011, "FlashStrength", "FlashStrength", "", "", nullptr},
    {0x1020, "Macro", "Macro", "0:Off,1:On", "", nullptr},
    {0x1021, "Focusmode", "Focusmode", "0:Auto Focus,1:Manual Focus", "", nullptr},
    {0x1030, "SlowSync", "SlowSync", "0:Off,1:On", "", nullptr},
    {0x1031, "PictureMode", "PictureMode",
     "0:Auto,1:Portrait scene,2:Landscape scene,4:Sports scene,5:Night scene,6:Program AE,256:Aperture prior "
     "AE,512:Shutter prior AE,768:Manual exposure",
     "", nullptr},
    {0x1032, "Skip", "Skip", "", "", nullptr},
    {0x1100, "ContTake/Bracket", "ContTake/Bracket", "0:Off,1:On", "", nullptr},
    {0x1200, "Skip", "Skip", "", "", nullptr},
    {0x1300, "BlurWarning", "BlurWarning", "0:No blur warning,1:Blur warning", "", nullptr},
    {0x1301, "FocusWarning", "FocusWarning", "0:Auto Focus good,1:Out of focus", "", nullptr},
    {0x1302, "AEWarning", "AEWarning", "0:AE good,1:Over exposure", "", nullptr},
};
static_assert(std::size(kFujiTable) == 18);

constexpr TTagRow kCanonTable[] = {
    {0x0000, "Skip", "Skip", "", "", nullptr},
    {0x0001, "ExposureInfo1", "ExposureInfo1", "", "", DecodeCanonSettings},
    {0x0002, "Skip", "Skip", "", "", nullptr},
    {0x0003, "Skip", "Skip", "", "", nullptr},
    {0x0004, "ExposureInfo2", "ExposureInfo2", "", "", DecodeCanonShotInfo},
    {0x0006, "ImageType", "ImageType", "", "", nullptr},
    {0x0007, "FirmwareVersion", "FirmwareVersion", "", "", nullptr},
    {0x0008, "ImageNumber", "ImageNumber", "", "", nullptr},
    {0x0009, "OwnerName", "OwnerName", "", "", nullptr},
    {0x000A, "Skip", "Skip", "", "", nullptr},
    {0x000B, "Skip", "Skip", "", "", nullptr},
    {0x000C, "CameraSerialNumber", "CameraSerialNumber", "", "", nullptr},
    {0x000D, "Skip", "Skip", "", "", nullptr},
    {0x000E, "Skip", "Skip", "", "", nullptr},
    {0x000F, "CustomFunctions", "CustomFunctions", "", "", DecodeCanonCustomFunctions},
    {0x0010, "Skip", "Skip", "", "", nullptr},
};
static_assert(std::size(kCanonTable) == 16);

constexpr TTagRow kSeikoTable[] = {
    {0x0200, "Special Mode", "Special Mode", "", "", nullptr},
    {0x0201, "JpegQuality", "JpegQuality", "", "", nullptr},
    {0x0202, "Macro", "Macro", "", "", nullptr},
    {0x0203, "Skip", "Skip", "", "", nullptr},
    {0x0204, "DigiZoom", "DigiZoom", "", "", nullptr},
    {0x0209, "CameraID", "CameraID", "", "", nullptr},
    {0x020A, "Comments", "Comments", "", "", nullptr},
    {0x020B, "Width", "Width", "", "", nullptr},
    {0x020C, "Height", "Height", "", "", nullptr},
    {0x020D, "SoftRelease", "SoftRelease", "", "", nullptr},
    {0x0300, "??", "??", "", "", nullptr},
    {0x0F00, "skip", "skip", "", "", nullptr},
};
static_assert(std::size(kSeikoTable) == 12);

constexpr TTagRow kSanyoTable[] = {
    {0x0200, "Special Mode", "Special Mode", "", "", nullptr},
    {0x0201, "JpegQuality", "JpegQuality", "", "", nullptr},
    {0x0202, "Macro", "Macro", "", "", nullptr},
    {0x0203, "Skip", "Skip", "", "", nullptr},
    {0x0204, "DigiZoom", "DigiZoom", "", "", nullptr},
    {0x0F00, "DataDump", "DataDump", "", "", nullptr},
};
static_assert(std::size(kSanyoTable) == 6);

constexpr TTagRow kMinoltaTable[] = {
    {0x0000, "ModelID", "ModelID", "", "", nullptr},
    {0x0E00, "PIMdata", "PIMdata", "", "", nullptr},
};
static_assert(std::size(kMinoltaTable) == 2);

bool BeginsWith(const std::string& bytes, std::string_view prefix) {
    return bytes.size() >= prefix.size() && std::string_view(bytes).substr(0, prefix.size()) == prefix;
}

// A TIFF byte-order mark ("II" or "MM") at an offset of the note.
bool OrderMarkAt(const std::string& bytes, size_t at) {
    return bytes.size() >= at + 2 && (bytes.compare(at, 2, "II") == 0 || bytes.compare(at, 2, "MM") == 0);
}

// Newer Nikon notes: "Nikon\0", a version, and a TIFF header of their own at offset 10.
bool NikonNewer(const TImageInfo& reader, bool) {
    const std::string& note = reader.MakerNoteRaw;
    return BeginsWith(note, std::string_view("Nikon\0", 6)) && note.size() >= 14 &&
           (note.compare(10, 4, std::string_view("II*\0", 4)) == 0 ||
            note.compare(10, 4, std::string_view("MM\0*", 4)) == 0);
}
bool NikonOld(const TImageInfo& reader, bool) {
    return BeginsWith(reader.MakerNoteRaw, "Nikon");
}
// Newer Olympus notes: "OLYMPUS\0" and their byte order, the directory at offset 12.
bool OlympusNewer(const TImageInfo& reader, bool) {
    return BeginsWith(reader.MakerNoteRaw, std::string_view("OLYMPUS\0", 8)) &&
           OrderMarkAt(reader.MakerNoteRaw, 8);
}
bool CasioQvc(const TImageInfo& reader, bool) {
    return BeginsWith(reader.MakerNoteRaw, "QVC");
}

constexpr TMakerLayout kLayouts[] = {
    {"NIKON", "Nikon (newer)", NikonNewer, kNikonTable, 18, false, 9, false, 10, true},
    {"NIKON", "Nikon (old)", NikonOld, kNikonOldTable, 8, true, 0, false},
    {"NIKON", "Nikon (headerless)", nullptr, kNikonTable, 0, true, -8, false},
    {"OLYMP", "Olympus (newer)", OlympusNewer, kOlympusTable, 12, false, 13, false, 8, false,
     kOlympusSubDirectories},
    {"OLYMP", "Olympus", nullptr, kOlympusTable, 8, true, 0, false},
    {"CASIO", "Casio (QVC)", CasioQvc, kCasioQvcTable, 6, true, -2, false},
    {"CASIO", "Casio", nullptr, kCasioTable, 0, true, -8, false},
    {"FUJIF", "Fujifilm", nullptr, kFujiTable, 12, false, 13, true},
    {"CANON", "Canon", nullptr, kCanonTable, 0, true, -8, false},
    {"SEIKO", "Seiko", nullptr, kSeikoTable, 8, true, 0, false},
    {"SANYO", "Sanyo", nullptr, kSanyoTable, 8, true, 0, false},
    {"MINOL", "Minolta", nullptr, kMinoltaTable, 0, true, -8, false},
    {"KONIC", "Konica Minolta", nullptr, kMinoltaTable, 0, true, -8, false},
};

} // namespace

std::span<const TMakerLayout> MakerLayouts() {
    return kLayouts;
}

std::span<const TTagRow> NikonTable() {
    return kNikonTable;
}
std::span<const TTagRow> NikonOldTable() {
    return kNikonOldTable;
}
std::span<const TTagRow> OlympusTable() {
    return kOlympusTable;
}
std::span<const TTagRow> CasioTable() {
    return kCasioTable;
}
std::span<const TTagRow> CasioQvcTable() {
    return kCasioQvcTable;
}
std::span<const TTagRow> FujiTable() {
    return kFujiTable;
}
std::span<const TTagRow> CanonTable() {
    return kCanonTable;
}
std::span<const TTagRow> SeikoTable() {
    return kSeikoTable;
}
std::span<const TTagRow> SanyoTable() {
    return kSanyoTable;
}
std::span<const TTagRow> MinoltaTable() {
    return kMinoltaTable;
}

} // namespace quillmark
