#include "MakerTables.h"

#include "ImageInfo.h"
#include "MakerDecoders.h"
#include "ValueFormat.h"

#include <iterator>
#include <string_view>

namespace quillmark {

namespace {

// A comma inside a value's text is written "|" in the maps, whose pairs commas separate; the walk
// shows it as the comma it is.
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
    // Newer notes keep the ISO selection here and the tone compensation at 0x0081; the digital zoom
    // is 0x0086.
    {0x000F, "ISOSelection", "ISO Selection", "", "", nullptr},
    {0x0010, "Skip", "Skip", "", "", nullptr},
    {0x0011, "Skip", "Skip", "", "", nullptr},
    {0x001D, "SerialNumber", "Serial Number", "", "", MakerText},
    {0x001E, "ColorSpace", "Color Space", "1:sRGB,2:Adobe RGB", "", nullptr},
    {0x0022, "ActiveD-Lighting", "Active D-Lighting",
     "0:Off,1:Low,3:Normal,5:High,7:Extra High,8:Extra High 1,9:Extra High 2,10:Extra High 3,11:Extra High 4,"
     "65535:Auto",
     "", nullptr},
    {0x0024, "TimeZone", "Time Zone", "", "", NikonWorldTime},
    {0x002A, "VignetteControl", "Vignette Control", "0:Off,1:Low,3:Normal,5:High", "", nullptr},
    {0x0080, "ImageAdjustment", "Image Adjustment", "", "", nullptr},
    {0x0081, "ToneComp", "Tone Compensation", "", "", nullptr},
    {0x0082, "Adapter", "Adapter", "", "", nullptr},
    {0x0083, "LensType", "Lens Type", "", "", NikonLensType},
    {0x0084, "Lens", "Lens information", "", "", DecodeNikonLens},
    {0x0085, "ManualFocusDistance", "Manual Focus Distance", "", "", nullptr},
    {0x0086, "DigitalZoom", "Digital Zoom", "", "", nullptr},
    {0x0088, "FocusArea", "Focus Area", "", "", nullptr},
    {0x0089, "Mode", "Mode", "", "", nullptr},
    {0x008D, "ColorMode", "Color Mode", "", "", DecodeNikonColorMode},
    {0x008F, "SceneMode", "Scene Mode", "", "", nullptr},
    {0x0092, "HueAdjustment", "Hue Adjustment", "", "", nullptr},
    {0x0094, "Saturation", "Saturation", "", "", nullptr},
    {0x0095, "NoiseReduction", "Noise Reduction", "", "", nullptr},
    // Shot info, colour balance, lens data and flash info: ciphered with the body's serial number and
    // shutter count on most bodies.
    {0x0091, "Skip", "Skip", "", "", nullptr},
    {0x0097, "Skip", "Skip", "", "", nullptr},
    {0x0098, "Skip", "Skip", "", "", nullptr},
    {0x00A0, "SerialNumber", "Serial Number", "", "", MakerText},
    {0x00A7, "ShutterCount", "Shutter Count", "", "", nullptr},
    {0x00A8, "Skip", "Skip", "", "", nullptr},
    {0x00AB, "VariProgram", "Vari Program", "", "", MakerText},
    {0x00B1, "HighISONoiseReduction", "High ISO Noise Reduction",
     "0:Off,1:Minimal,2:Low,3:Medium Low,4:Normal,5:Medium High,6:High", "", nullptr},
    {0x0F00, "Skip", "Skip", "", "", nullptr},
};
static_assert(std::size(kNikonTable) == 42);

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
// Newer Olympus notes keep the body and lens under tag 0x2010.
constexpr TTagRow kOlympusEquipmentTable[] = {
    {0x0100, "CameraType2", "Camera Type", "", "", MakerText},
    {0x0101, "SerialNumber", "Serial Number", "", "", MakerText},
    {0x0202, "LensSerialNumber", "Lens Serial Number", "", "", MakerText},
    {0x0203, "LensModel", "Lens Model", "", "", MakerText},
    {0x0204, "LensFirmwareVersion", "Lens Firmware Version", "", "", nullptr},
    {0x0301, "Extender", "Extender", "", "", nullptr},
};
constexpr TMakerSubDirectory kOlympusSubDirectories[] = {{0x2010, kOlympusEquipmentTable},
                                                         {0x2020, kOlympusCameraSettingsTable}};

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
    {0x001F, "Saturation", "Saturation", "0:Low,1:Normal,2:High", "", nullptr},
    {0x0020, "Contrast", "Contrast", "0:Low,1:Normal,2:High", "", nullptr},
    {0x0021, "Sharpness", "Sharpness", "0:Soft,1:Normal,2:Hard", "", nullptr},
    {0x0E00, "PIM", "\tPrint Image Matching Info", "", "", nullptr},
    {0x2000, "Skip", "Skip", "", "", nullptr},
    {0x2001, "Skip", "Skip", "", "", nullptr},
    {0x2002, "Skip", "Skip", "", "", nullptr},
    {0x2003, "Skip", "Skip", "", "", nullptr},
    {0x2011, "WhiteBalanceBias", "White Balance Bias", "", "", nullptr},
    {0x2013, "Skip", "Skip", "", "", nullptr},
    {0x2012, "WhiteBalance", "White Balance",
     "0:Manual,1:Daylight,2:Cloudy,3:Shade,4:Flash?,6:Fluorescent,9:Tungsten?,10:Tungsten,12:Flash", "",
     nullptr},
    {0x2021, "Skip", "Skip", "", "", nullptr},
    {0x2022, "ObjectDistance", "Object Distance (mm)", "", "", nullptr},
    {0x2023, "Skip", "Skip", "", "", nullptr},
    {0x2031, "Skip", "Skip", "", "", nullptr},
    {0x2032, "Skip", "Skip", "", "", nullptr},
    {0x2033, "Skip", "Skip", "", "", nullptr},
    {0x2034, "FlashDistance", "Flash Distance", "", "", nullptr},
    {0x3000, "RecordMode", "Record Mode",
     "2:Program AE,3:Shutter Priority,4:Aperture Priority,5:Manual,6:Best Shot,17:Movie,19:Movie (19),"
     "20:YouTube Movie",
     "", nullptr},
    // What the shutter release did: one picture, a bracketed series or a burst (the self-timer is not here).
    {0x3001, "ReleaseMode", "Release Mode",
     "1:Normal,3:AE Bracketing,11:WB Bracketing,13:Contrast Bracketing,19:High Speed Burst", "", nullptr},
    {0x3002, "Quality", "Quality", "1:Economy,2:Normal,3:Fine", "", nullptr},
    {0x3003, "FocusMode", "Focus Mode",
     "0:Manual,1:Focus Lock,2:Macro,3:Single-Area Auto Focus,5:Infinity,6:Multi-Area Auto Focus,8:Super "
     "Macro",
     "", nullptr},
    {0x3005, "Skip", "Skip", "", "", nullptr},
    {0x3006, "TimeZone", "Time Zone", "", "", nullptr},
    {0x3007, "BestshotMode", "Bestshot Mode", "0:Off,1:On", "", nullptr},
    {0x3011, "Skip", "Skip", "", "", nullptr},
    {0x3012, "Skip", "Skip", "", "", nullptr},
    {0x3013, "Skip", "Skip", "", "", nullptr},
    {0x3014, "CCDSensitivity", "CCD Sensitivity", "", "", nullptr},
    {0x3015, "ColorMode", "Color Mode", "0:Off,2:Black & White,3:Sepia", "", nullptr},
    {0x3016, "Enhancement", "Enhancement", "0:Off,1:Scenery,3:Green,5:Underwater,9:Flesh Tones", "", nullptr},
    {0x3017, "Filter", "Filter", "0:Off,1:Blue,3:Green,4:Yellow,5:Red,6:Purple,7:Pink", "", nullptr},
    {0x3018, "Skip", "Skip", "", "", nullptr},
    {0x3019, "Skip", "Skip", "", "", nullptr},
    {0x301A, "Skip", "Skip", "", "", nullptr},
    {0x301B, "Skip", "Skip", "", "", nullptr},
};
static_assert(std::size(kCasioQvcTable) == 45);

constexpr const char* kFujiTone =
    "-64:+4 (hardest),-48:+3 (very hard),-32:+2 (hard),-16:+1 (medium hard),0:0 (normal),16:-1 (medium soft),"
    "32:-2 (soft)";

constexpr TTagRow kFujiTable[] = {
    {0x0000, "Version", "Version", "", "", nullptr},
    {0x0010, "InternalSerialNumber", "Internal Serial Number", "", "", MakerText},
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
    {0x1022, "AFMode", "AF Mode", "0:No,1:Single Point,256:Zone,512:Wide/Tracking", "", nullptr},
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
    {0x1040, "ShadowTone", "Shadow Tone", kFujiTone, "", nullptr},
    {0x1041, "HighlightTone", "Highlight Tone", kFujiTone, "", nullptr},
    {0x1045, "LensModulationOptimizer", "Lens Modulation Optimizer", "0:Off,1:On", "", nullptr},
    {0x1047, "GrainEffectRoughness", "Grain Effect Roughness", "0:Off,32:Weak,64:Strong", "", nullptr},
    {0x1048, "ColorChromeEffect", "Color Chrome Effect", "0:Off,32:Weak,64:Strong", "", nullptr},
    {0x1050, "ShutterType", "Shutter Type",
     "0:Mechanical,1:Electronic,2:Electronic (long shutter speed),3:Electronic Front Curtain", "", nullptr},
    {0x1101, "SequenceNumber", "Sequence Number", "", "", nullptr},
    {0x1400, "DynamicRange", "Dynamic Range", "1:Standard,3:Wide", "", nullptr},
    {0x1401, "FilmMode", "Film Mode",
     "0:F0/Standard (Provia),256:F1/Studio Portrait,272:F1a/Studio Portrait Enhanced Saturation,"
     "288:F1b/Studio Portrait Smooth Skin Tone (Astia),304:F1c/Studio Portrait Increased Sharpness,"
     "512:F2/Fujichrome (Velvia),768:F3/Studio Portrait Ex,1024:F4/Velvia,1280:Pro Neg. Std,1281:Pro Neg. Hi,"
     "1536:Classic Chrome,1792:Eterna,2048:Classic Negative,2304:Bleach Bypass,2560:Nostalgic Neg,2816:Reala "
     "ACE",
     "", nullptr},
    {0x1402, "DynamicRangeSetting", "Dynamic Range Setting",
     "0:Auto,1:Manual,256:Standard (100%),512:Wide1 (230%),513:Wide2 (400%),32768:Film Simulation", "",
     nullptr},
    {0x1404, "MinFocalLength", "Min Focal Length", "", "", DecimalValue},
    {0x1405, "MaxFocalLength", "Max Focal Length", "", "", DecimalValue},
    {0x1422, "ImageStabilization", "Image Stabilization", "", "", nullptr},
    {0x1431, "Rating", "Rating", "", "", nullptr},
    {0x1436, "ImageGeneration", "Image Generation", "0:Original Image,1:Re-developed from RAW", "", nullptr},
    {0x1438, "ImageCount", "Image Count", "", "", nullptr},
    {0x1443, "DRangePriority", "D Range Priority", "0:Auto,1:Fixed", "", nullptr},
    {0x1447, "FujiModel", "Fuji Model", "", "", MakerText},
    {0x4100, "FacesDetected", "Faces Detected", "", "", nullptr},
};
static_assert(std::size(kFujiTable) == 39);

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
    {0x0035, "TimeInfo", "Time Info", "", "", CanonTimeInfo},
    {0x0095, "LensModel", "Lens Model", "", "", MakerText},
    {0x0096, "InternalSerialNumber", "Internal Serial Number", "", "", MakerText},
    {0x00B4, "ColorSpace", "Color Space", "1:sRGB,2:Adobe RGB,65535:n/a", "", nullptr},
};
static_assert(std::size(kCanonTable) == 20);

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
    {0x0040, "CompressedImageSize", "Compressed Image Size", "", "", nullptr},
    {0x0100, "SceneMode", "Scene Mode", "0:Standard,1:Portrait,2:Text,3:Night Scene,4:Sunset,5:Sports", "",
     nullptr},
    {0x0102, "MinoltaQuality", "Quality", "0:Raw,1:Super Fine,2:Fine,3:Standard,4:Economy,5:Extra Fine", "",
     nullptr},
    {0x0105, "Teleconverter", "Teleconverter", "0:None", "", nullptr},
    {0x010B, "ColorTemperature", "Color Temperature", "", "", nullptr},
    {0x010C, "LensType", "Lens Type", "", "", nullptr},
    {0x0E00, "PIMdata", "PIMdata", "", "", nullptr},
};
static_assert(std::size(kMinoltaTable) == 8);

// The cities of the Pentax world clock.
constexpr const char* kPentaxCities =
    "0:Pago Pago,1:Honolulu,2:Anchorage,3:Vancouver,4:San Francisco,5:Los Angeles,6:Calgary,7:Denver,"
    "8:Mexico City,9:Chicago,10:Miami,11:Toronto,12:New York,13:Santiago,14:Caracus,15:Halifax,"
    "16:Buenos Aires,17:Sao Paulo,18:Rio de Janeiro,19:Madrid,20:London,21:Paris,22:Milan,23:Rome,"
    "24:Berlin,25:Johannesburg,26:Istanbul,27:Cairo,28:Jerusalem,29:Moscow,30:Jeddah,31:Tehran,32:Dubai,"
    "33:Karachi,34:Kabul,35:Male,36:Delhi,37:Colombo,38:Kathmandu,39:Dacca,40:Yangon,41:Bangkok,"
    "42:Kuala Lumpur,43:Vientiane,44:Singapore,45:Phnom Penh,46:Ho Chi Minh,47:Jakarta,48:Hong Kong,"
    "49:Perth,50:Beijing,51:Shanghai,52:Manila,53:Taipei,54:Seoul,55:Adelaide,56:Tokyo,57:Guam,58:Sydney,"
    "59:Noumea,60:Wellington,61:Auckland,62:Lima,63:Dakar,64:Algiers,65:Helsinki,66:Athens,67:Nairobi,"
    "68:Amsterdam,69:Stockholm,70:Lisbon,71:Copenhagen,72:Warsaw,73:Prague,74:Budapest";

// Sony: the same directory behind "SONY DSC \0\0\0", "SONY CAM \0\0\0" or no header at all. Much of
// it (0x2010, 0x9050, 0x94xx and the 0x900x blocks of older bodies) is ciphered; those are left out.
constexpr TTagRow kSonyTable[] = {
    {0x0010, "Skip", "Skip", "", "", nullptr},
    {0x0102, "Quality", "Quality",
     "0:RAW,1:Super Fine,2:Fine,3:Standard,4:Economy,5:Extra Fine,6:RAW + JPEG/HEIF,7:Compressed RAW,"
     "8:Compressed RAW + JPEG,9:Light,4294967295:n/a",
     "", nullptr},
    {0x0104, "FlashExposureComp", "Flash Exposure Comp", "", "", DecimalValue},
    {0x0112, "WhiteBalanceFineTune", "White Balance Fine Tune", "", "", nullptr},
    {0x0114, "Skip", "Skip", "", "", nullptr},
    {0x0115, "WhiteBalance", "White Balance",
     "0:Auto,1:Color Temperature/Color Filter,16:Daylight,32:Cloudy,48:Shade,64:Tungsten,80:Flash,"
     "96:Fluorescent,112:Custom,128:Underwater",
     "", nullptr},
    {0x2001, "Skip", "Skip", "", "", nullptr},
    {0x2002, "Rating", "Rating", "", "", nullptr},
    {0x2004, "Contrast", "Contrast", "", "", nullptr},
    {0x2005, "Saturation", "Saturation", "", "", nullptr},
    {0x2006, "Sharpness", "Sharpness", "", "", nullptr},
    {0x2009, "HighISONoiseReduction", "High ISO Noise Reduction",
     "0:Off,1:Low,2:Normal,3:High,256:Auto,65535:n/a", "", nullptr},
    {0x200B, "MultiFrameNoiseReduction", "Multi Frame Noise Reduction", "0:Off,1:On,255:n/a", "", nullptr},
    {0x2010, "Skip", "Skip", "", "", nullptr},
    {0x2011, "VignettingCorrection", "Vignetting Correction", "0:Off,2:Auto,4294967295:n/a", "", nullptr},
    {0x2012, "LateralChromaticAberration", "Lateral Chromatic Aberration", "0:Off,2:Auto,4294967295:n/a", "",
     nullptr},
    {0x2013, "DistortionCorrectionSetting", "Distortion Correction Setting", "0:Off,2:Auto,4294967295:n/a",
     "", nullptr},
    {0x2017, "FlashAction", "Flash Action",
     "0:Did not fire,1:Flash Fired,2:External Flash Fired,3:Wireless Controlled Flash Fired", "", nullptr},
    {0x201A, "ElectronicFrontCurtainShutter", "Electronic Front Curtain Shutter", "0:Off,1:On", "", nullptr},
    {0x201B, "FocusMode", "Focus Mode", "0:Manual,2:AF-S,3:AF-C,4:AF-A,6:DMF,7:AF-D", "", nullptr},
    {0x2021, "AFTracking", "AF Tracking", "0:Off,1:Face tracking,2:Lock On AF", "", nullptr},
    {0x2031, "SerialNumber", "Serial Number", "", "", MakerText},
    {0x2039, "JPEG-HEIFSwitch", "JPEG/HEIF Switch", "0:JPEG,1:HEIF,65535:n/a", "", nullptr},
    {0x9001, "Skip", "Skip", "", "", nullptr},
    {0x9002, "Skip", "Skip", "", "", nullptr},
    {0x9003, "Skip", "Skip", "", "", nullptr},
    {0x9004, "Skip", "Skip", "", "", nullptr},
    {0x9005, "Skip", "Skip", "", "", nullptr},
    {0x9006, "Skip", "Skip", "", "", nullptr},
    {0x9050, "Skip", "Skip", "", "", nullptr},
    {0x9400, "Skip", "Skip", "", "", nullptr},
    {0x9401, "Skip", "Skip", "", "", nullptr},
    {0x9402, "Skip", "Skip", "", "", nullptr},
    {0x9403, "Skip", "Skip", "", "", nullptr},
    {0x9404, "Skip", "Skip", "", "", nullptr},
    {0x9405, "Skip", "Skip", "", "", nullptr},
    {0x9406, "Skip", "Skip", "", "", nullptr},
    {0x9407, "Skip", "Skip", "", "", nullptr},
    {0x9408, "Skip", "Skip", "", "", nullptr},
    {0x9409, "Skip", "Skip", "", "", nullptr},
    {0x940A, "Skip", "Skip", "", "", nullptr},
    {0x940B, "Skip", "Skip", "", "", nullptr},
    {0x940C, "Skip", "Skip", "", "", nullptr},
    {0x940D, "Skip", "Skip", "", "", nullptr},
    {0x940E, "Skip", "Skip", "", "", nullptr},
    {0x940F, "Skip", "Skip", "", "", nullptr},
    {0x9411, "Skip", "Skip", "", "", nullptr},
    {0x9416, "Skip", "Skip", "", "", nullptr},
    {0xB001, "SonyModelID", "Sony Model ID", "", "", nullptr},
    {0xB020, "CreativeStyle", "Creative Style", "", "", MakerText},
    {0xB021, "ColorTemperature", "Color Temperature", "", "", nullptr},
    {0xB023, "SceneMode", "Scene Mode",
     "0:Standard,1:Portrait,2:Text,3:Night Scene,4:Sunset,5:Sports,6:Landscape,7:Night Portrait,8:Macro,"
     "9:Super Macro,16:Auto,17:Night View/Portrait,18:Sweep Panorama,19:Handheld Night Shot,"
     "20:Anti Motion Blur,21:Cont. Priority AE",
     "", nullptr},
    {0xB025, "DynamicRangeOptimizer", "Dynamic Range Optimizer",
     "0:Off,1:Standard,2:Advanced Auto,3:Auto,8:Advanced Lv1,9:Advanced Lv2,10:Advanced Lv3,11:Advanced Lv4,"
     "12:Advanced Lv5,16:Lv1,17:Lv2,18:Lv3,19:Lv4,20:Lv5",
     "", nullptr},
    {0xB026, "ImageStabilization", "Image Stabilization", "0:Off,1:On,4294967295:n/a", "", nullptr},
    // Codes of A-mount lenses; E-mount lenses and adapters all write the one code that says so.
    {0xB027, "LensType", "Lens Type", "65535:E-Mount| T-Mount| Other Lens or no lens", "", nullptr},
    {0xB029, "ColorMode", "Color Mode",
     "0:Standard,1:Vivid,2:Portrait,3:Landscape,4:Sunset,5:Night View/Portrait,6:B&W,7:Adobe RGB,12:Neutral,"
     "13:Clear,14:Deep,15:Light,16:Autumn Leaves,17:Sepia",
     "", nullptr},
    {0xB02B, "FullImageSize", "Full Image Size", "", "", nullptr},
    {0xB040, "Macro", "Macro", "0:Off,1:On,2:Close Focus,65535:n/a", "", nullptr},
    {0xB041, "ExposureMode", "Exposure Mode",
     "0:Program AE,1:Portrait,2:Beach,3:Sports,4:Snow,5:Landscape,6:Auto,7:Aperture-priority AE,"
     "8:Shutter speed priority AE,9:Night Scene / Twilight,10:Hi-Speed Shutter,11:Twilight Portrait,"
     "12:Soft Snap/Portrait,13:Fireworks,14:Smile Shutter,15:Manual",
     "", nullptr},
    {0xB042, "FocusMode", "Focus Mode", "1:AF-S,2:AF-C,4:Permanent-AF,65535:n/a", "", nullptr},
    {0xB043, "AFAreaMode", "AF Area Mode",
     "0:Default,1:Multi,2:Center,3:Spot,4:Flexible Spot,6:Touch,14:Tracking,15:Face Tracking,65535:n/a", "",
     nullptr},
    {0xB044, "AFIlluminator", "AF Illuminator", "0:Off,1:Auto,65535:n/a", "", nullptr},
    {0xB047, "JPEGQuality", "JPEG Quality", "0:Standard,1:Fine,2:Extra Fine,65535:n/a", "", nullptr},
    {0xB048, "FlashLevel", "Flash Level", "", "", nullptr},
    {0xB049, "ReleaseMode", "Release Mode",
     "0:Normal,2:Continuous,5:Exposure Bracketing,6:White Balance Bracketing,8:DRO Bracketing,65535:n/a", "",
     nullptr},
    {0xB04A, "SequenceNumber", "Sequence Number", "0:Single,65535:n/a", "", nullptr},
    {0xB04B, "Anti-Blur", "Anti-Blur", "0:Off,1:On (Continuous),2:On (Shooting),65535:n/a", "", nullptr},
    {0xB04E, "FocusMode", "Focus Mode", "0:Manual,2:AF-S,3:AF-C,5:Semi-manual,6:DMF", "", nullptr},
    {0xB04F, "DynamicRangeOptimizer", "Dynamic Range Optimizer", "0:Off,1:Standard,2:Plus", "", nullptr},
    {0xB052, "IntelligentAuto", "Intelligent Auto", "0:Off,1:On,2:Advanced", "", nullptr},
};

// Panasonic, and Leica bodies made by Panasonic: "Panasonic\0\0\0", the directory at 12, offsets from
// the EXIF block's TIFF header.
constexpr TTagRow kPanasonicTable[] = {
    {0x0001, "ImageQuality", "Image Quality",
     "1:TIFF,2:High,3:Normal,6:Very High,7:RAW,9:Motion Picture,11:Full HD Movie,12:4k Movie", "", nullptr},
    {0x0002, "FirmwareVersion", "Firmware Version", "", "", DottedBytes},
    {0x0003, "WhiteBalance", "White Balance",
     "1:Auto,2:Daylight,3:Cloudy,4:Incandescent,5:Manual,8:Flash,10:Black & White,11:Manual 2,12:Shade,"
     "13:Kelvin,14:Manual 3,15:Manual 4,19:Auto (cool)",
     "", nullptr},
    {0x0007, "FocusMode", "Focus Mode",
     "1:Auto,2:Manual,4:Auto| Focus button,5:Auto| Continuous,6:AF-S,7:AF-C,8:AF-F", "", nullptr},
    {0x000F, "AFAreaMode", "AF Area Mode", "", "", PanasonicAfAreaMode},
    {0x001A, "ImageStabilization", "Image Stabilization",
     "2:On| Optical,3:Off,4:On| Mode 2,5:On| Optical Panning,6:On| Body-only,7:On| Body-only Panning,9:Dual "
     "IS,"
     "10:Dual IS Panning,11:Dual2 IS,12:Dual2 IS Panning",
     "", nullptr},
    {0x001C, "MacroMode", "Macro Mode", "1:On,2:Off,257:Tele-Macro,513:Macro Zoom", "", nullptr},
    {0x001F, "ShootingMode", "Shooting Mode",
     "1:Normal,2:Portrait,3:Scenery,4:Sports,5:Night Portrait,6:Program,7:Aperture Priority,8:Shutter "
     "Priority,"
     "9:Macro,10:Spot,11:Manual,12:Movie Preview,13:Panning,14:Simple,15:Color Effects,16:Self Portrait,"
     "17:Economy,18:Fireworks,19:Party,20:Snow,21:Night Scenery,22:Food,23:Baby,24:Soft Skin,25:Candlelight",
     "", nullptr},
    {0x0020, "Audio", "Audio", "1:Yes,2:No,3:Stereo", "", nullptr},
    {0x0021, "Skip", "Skip", "", "", nullptr},
    {0x0023, "WhiteBalanceBias", "White Balance Bias", "", "", nullptr},
    {0x0024, "FlashBias", "Flash Bias", "", "", nullptr},
    {0x0025, "InternalSerialNumber", "Internal Serial Number", "", "", PanasonicSerial},
    {0x0026, "PanasonicExifVersion", "Panasonic Exif Version", "", "", MakerText},
    {0x0028, "ColorEffect", "Color Effect", "1:Off,2:Warm,3:Cool,4:Black & White,5:Sepia,6:Happy,8:Vivid", "",
     nullptr},
    {0x002A, "BurstMode", "Burst Mode",
     "0:Off,1:On,2:Auto Exposure Bracketing (AEB),3:Focus Bracketing,4:Unlimited,8:White Balance Bracketing,"
     "17:On (with flash),18:Aperture Bracketing",
     "", nullptr},
    {0x002B, "SequenceNumber", "Sequence Number", "", "", nullptr},
    {0x002D, "NoiseReduction", "Noise Reduction",
     "0:Standard,1:Low (-1),2:High (+1),3:Lowest (-2),4:Highest (+2),5:+5,6:+6,65531:-5,65532:-4,65533:-3,"
     "65534:-2,65535:-1",
     "", nullptr},
    {0x002E, "SelfTimer", "Self Timer",
     "0:Off (0),1:Off,2:10 s,3:2 s,4:10 s / 3 pictures,258:2 s after shutter pressed,266:10 s after shutter "
     "pressed,"
     "778:3 photos after 10 s",
     "", nullptr},
    {0x0031, "AFAssistLamp", "AF Assist Lamp",
     "1:Fired,2:Enabled but Not Used,3:Disabled but Required,4:Disabled and Not Required", "", nullptr},
    {0x0032, "ColorMode", "Color Mode", "0:Normal,1:Natural,2:Vivid", "", nullptr},
    {0x003F, "FacesDetected", "Faces Detected", "", "", nullptr},
    {0x0042, "FilmMode", "Film Mode",
     "0:n/a,1:Standard (color),2:Dynamic (color),3:Nature (color),4:Smooth (color),5:Standard (B&W),"
     "6:Dynamic (B&W),7:Smooth (B&W),10:Nostalgic,11:Vibrant",
     "", nullptr},
    {0x0044, "ColorTempKelvin", "Color Temp Kelvin", "", "", nullptr},
    {0x0051, "LensModel", "Lens Type", "", "", MakerText},
    {0x0052, "LensSerialNumber", "Lens Serial Number", "", "", MakerText},
    {0x0053, "AccessoryType", "Accessory Type", "", "", MakerText},
    {0x0054, "AccessorySerialNumber", "Accessory Serial Number", "", "", MakerText},
    {0x0089, "PhotoStyle", "Photo Style",
     "0:Auto,1:Standard or Custom,2:Vivid,3:Natural,4:Monochrome,5:Scenery,6:Portrait,8:Cinelike "
     "D,9:Cinelike V,"
     "11:L. Monochrome,12:Like709,15:L. Monochrome D,17:V-Log,18:Cinelike D2",
     "", nullptr},
    {0x009F, "ShutterType", "Shutter Type", "0:Mechanical,1:Electronic,2:Hybrid", "", nullptr},
    {0x0E00, "Skip", "Skip", "", "", nullptr},
    {0x8000, "MakerNoteVersion", "Maker Note Version", "", "", MakerText},
};

// Pentax and Ricoh Imaging: "AOC\0" (offsets from the EXIF block's TIFF header) or "PENTAX \0" (and
// "RICOH\0" on the GR bodies; offsets from the note's start), in the note's own byte order.
constexpr TTagRow kPentaxTable[] = {
    {0x0000, "PentaxVersion", "Pentax Version", "", "", DottedNumbers},
    {0x0006, "Date", "Date", "", "", PentaxDate},
    {0x0007, "Time", "Time", "", "", PentaxTime},
    {0x0008, "Quality", "Quality",
     "0:Good,1:Better,2:Best,3:TIFF,4:RAW,5:Premium,7:RAW (pixel shift enabled),8:Dynamic Pixel "
     "Shift,65535:n/a",
     "", nullptr},
    {0x000C, "FlashMode", "Flash Mode", "", "", PentaxFlashMode},
    {0x000D, "FocusMode", "Focus Mode",
     "0:Normal,1:Macro,2:Infinity,3:Manual,4:Super Macro,5:Pan Focus,16:AF-S (Focus-priority),"
     "17:AF-C (Focus-priority),18:AF-A (Focus-priority),32:Contrast-detect (Focus-priority),"
     "33:Tracking Contrast-detect (Focus-priority),272:AF-S (Release-priority),273:AF-C (Release-priority),"
     "274:AF-A (Release-priority),288:Contrast-detect (Release-priority)",
     "", nullptr},
    {0x000E, "AFPointSelected", "AF Point Selected",
     "0:None,1:Upper-left,2:Top,3:Upper-right,4:Left,5:Mid-left,6:Center,7:Mid-right,8:Right,9:Lower-left,"
     "10:Bottom,11:Lower-right,65531:AF Select,65532:Face Detect AF,65533:Automatic Tracking AF,65534:Fixed "
     "Center,"
     "65535:Auto",
     "", nullptr},
    {0x0017, "MeteringMode", "Metering Mode", "0:Multi-segment,1:Center-weighted average,2:Spot", "",
     nullptr},
    {0x0019, "WhiteBalance", "White Balance",
     "0:Auto,1:Daylight,2:Shade,3:Fluorescent,4:Tungsten,5:Manual,6:Daylight Fluorescent,7:Day White "
     "Fluorescent,"
     "8:White Fluorescent,9:Flash,10:Cloudy,11:Warm White Fluorescent,14:Multi Auto,"
     "15:Color Temperature Enhancement,17:Kelvin,65534:Unknown,65535:User-Selected",
     "", nullptr},
    {0x001A, "WhiteBalanceMode", "White Balance Mode",
     "1:Auto (Daylight),2:Auto (Shade),3:Auto (Flash),4:Auto (Tungsten),6:Auto (Daylight Fluorescent),"
     "7:Auto (Day White Fluorescent),8:Auto (White Fluorescent),10:Auto (Cloudy),65534:Unknown,"
     "65535:User-Selected",
     "", nullptr},
    {0x001D, "FocalLength", "Focal Length", "", "", HundredthsMillimetre},
    {0x0022, "WorldTimeLocation", "World Time Location", "0:Hometown,1:Destination", "", nullptr},
    {0x0023, "HometownCity", "Hometown City", kPentaxCities, "", nullptr},
    {0x0024, "DestinationCity", "Destination City", kPentaxCities, "", nullptr},
    {0x0025, "HometownDST", "Hometown DST", "0:No,1:Yes", "", nullptr},
    {0x0026, "DestinationDST", "Destination DST", "0:No,1:Yes", "", nullptr},
    {0x0029, "FrameNumber", "Frame Number", "", "", nullptr},
    {0x0034, "DriveMode", "Drive Mode", "", "", PentaxDriveMode},
    {0x003F, "LensType", "Lens Type", "", "", PentaxLensType},
    {0x0047, "CameraTemperature", "Camera Temperature", "", "%s C", nullptr},
    {0x0049, "NoiseReduction", "Noise Reduction", "0:Off,1:On", "", nullptr},
    {0x004F, "ImageTone", "Image Tone",
     "0:Natural,1:Bright,2:Portrait,3:Landscape,4:Vibrant,5:Monochrome,6:Muted,7:Reversal Film,8:Bleach "
     "Bypass,"
     "9:Radiant,10:Cross Processing,11:Flat",
     "", nullptr},
    {0x0050, "ColorTemperature", "Color Temperature", "", "", nullptr},
    // Ciphered with the shot's date and time.
    {0x005D, "Skip", "Skip", "", "", nullptr},
    {0x0071, "HighISONoiseReduction", "High ISO Noise Reduction",
     "0:Off,1:Weakest,2:Weak,3:Strong,4:Medium,255:Auto", "", nullptr},
    {0x0229, "SerialNumber", "Serial Number", "", "", MakerText},
    {0x0230, "FirmwareVersion", "Firmware Version", "", "", MakerText},
};

// Apple: "Apple iOS\0", a version, "MM", the directory at 14, offsets from the note's start.
constexpr TTagRow kAppleTable[] = {
    {0x0001, "MakerNoteVersion", "Maker Note Version", "", "", nullptr},
    {0x0004, "AEStable", "AE Stable", "0:No,1:Yes", "", nullptr},
    {0x0005, "AETarget", "AE Target", "", "", nullptr},
    {0x0006, "AEAverage", "AE Average", "", "", nullptr},
    {0x0007, "AFStable", "AF Stable", "0:No,1:Yes", "", nullptr},
    {0x000A, "HDRImageType", "HDR Image Type", "3:HDR Image,4:Original Image", "", nullptr},
    {0x000B, "BurstUUID", "Burst UUID", "", "", MakerText},
    {0x000C, "FocusDistanceRange", "Focus Distance Range", "", "", AppleFocusDistanceRange},
    {0x000F, "OISMode", "OIS Mode", "", "", nullptr},
    {0x0011, "MediaGroupUUID", "Media Group UUID", "", "", MakerText},
    {0x0014, "ImageCaptureType", "Image Capture Type", "", "", nullptr},
    {0x0015, "ImageUniqueID", "Image Unique ID", "", "", MakerText},
    {0x001A, "QualityHint", "Quality Hint", "", "", MakerText},
    {0x002F, "FocusPosition", "Focus Position", "", "", nullptr},
    {0x0045, "FrontFacingCamera", "Front Facing Camera", "0:No,1:Yes", "", nullptr},
};

// Samsung's own directory ("type 2"), without a header; offsets from the EXIF block's TIFF header.
constexpr TTagRow kSamsungTable[] = {
    {0x0001, "MakerNoteVersion", "Maker Note Version", "", "", MakerText},
    {0x0002, "DeviceType", "Device Type",
     "4096:Compact Digital Camera,8192:High-end NX Camera,12288:HXM Video Camera,73728:Cell Phone,"
     "3145728:SMX Video Camera",
     "", nullptr},
    {0x0030, "LocalLocationName", "Local Location Name", "", "", MakerText},
    {0x0031, "LocationName", "Location Name", "", "", MakerText},
    {0x0043, "CameraTemperature", "Camera Temperature", "", "", DecimalValue},
    {0x0100, "FaceDetect", "Face Detect", "0:Off,1:On", "", nullptr},
    {0x0120, "FaceRecognition", "Face Recognition", "0:Off,1:On", "", nullptr},
    {0x0123, "FaceName", "Face Name", "", "", MakerText},
    {0xA001, "FirmwareName", "Firmware Name", "", "", MakerText},
    {0xA002, "SerialNumber", "Serial Number", "", "", MakerText},
    {0xA003, "LensType", "Lens Type",
     "0:Built-in or Manual Lens,1:Samsung NX 30mm F2 Pancake,2:Samsung NX 18-55mm F3.5-5.6 OIS,"
     "3:Samsung NX 50-200mm F4-5.6 ED OIS,4:Samsung NX 20-50mm F3.5-5.6 ED,5:Samsung NX 20mm F2.8 Pancake",
     "", nullptr},
    {0xA004, "LensFirmware", "Lens Firmware", "", "", MakerText},
    {0xA005, "InternalLensSerialNumber", "Internal Lens Serial Number", "", "", MakerText},
    {0xA011, "ColorSpace", "Color Space", "0:sRGB,1:Adobe RGB", "", nullptr},
    {0xA012, "SmartRange", "Smart Range", "0:Off,1:On", "", nullptr},
    {0xA013, "ExposureCompensation", "Exposure Compensation", "", "", DecimalValue},
    {0xA014, "ISO", "ISO", "", "", nullptr},
    {0xA018, "ExposureTime", "Exposure Time", "", "", nullptr},
    {0xA019, "FNumber", "F Number", "", "", DecimalValue},
    // The key that ciphers the raw data's colour values, and what it ciphers.
    {0xA020, "Skip", "Skip", "", "", nullptr},
};

// Ricoh: "Ricoh\0\0\0" or "RICOH\0\0\0", the directory at 8, offsets from the EXIF block's TIFF header.
// Older bodies keep binary blocks under tags that newer ones use for numbers: a mapped tag whose
// value is not a number is left out.
constexpr TTagRow kRicohTable[] = {
    {0x0001, "MakerNoteType", "Maker Note Type", "", "", MakerText},
    {0x0002, "FirmwareVersion", "Firmware Version", "", "", RicohFirmware},
    {0x0005, "SerialNumber", "Serial Number", "", "", MakerText},
    {0x0E00, "Skip", "Skip", "", "", nullptr},
    {0x1000, "RecordingFormat", "Recording Format", "2:JPEG,3:DNG", "", nullptr},
    {0x1001, "ExposureProgram", "Exposure Program",
     "1:Auto,2:Program AE,3:Aperture-priority AE,4:Shutter speed priority AE,5:Shutter/aperture priority AE,"
     "6:Manual,7:Movie",
     "", nullptr},
    {0x1006, "FocusMode", "Focus Mode",
     "1:Manual,2:Multi AF,3:Spot AF,4:Snap,5:Infinity,7:Face Detect,8:Subject Tracking,9:Pinpoint "
     "AF,10:Movie",
     "", nullptr},
    {0x1007, "AutoBracketing", "Auto Bracketing", "0:Off,9:AE,11:WB,16:DR,17:Contrast,18:WB2,19:Effect", "",
     nullptr},
    {0x1009, "MacroMode", "Macro Mode", "0:Off,1:On", "", nullptr},
    {0x100A, "FlashMode", "Flash Mode",
     "0:Off,1:Auto| Fired,2:On,3:Auto| Fired| Red-eye reduction,4:Slow Sync,5:Manual,6:On| Red-eye reduction,"
     "7:Synchro| Red-eye reduction,8:Auto| Did not fire",
     "", nullptr},
    {0x100B, "FlashExposureComp", "Flash Exposure Comp", "", "", DecimalValue},
    {0x100E, "DynamicRangeExpansion", "Dynamic Range Expansion", "0:Off,3:Weak,4:Medium,5:Strong", "",
     nullptr},
    {0x100F, "NoiseReduction", "Noise Reduction", "0:Off,1:Weak,2:Medium,3:Strong", "", nullptr},
    {0x1010, "ImageEffects", "Image Effects",
     "0:Standard,1:Vivid,3:Black & White,5:B&W Toning Effect,6:Setting 1,7:Setting 2,9:High-contrast B&W,"
     "10:Cross Process,11:Positive Film,12:Bleach Bypass,13:Retro,15:Miniature,17:High Key",
     "", nullptr},
    {0x1017, "WideAdapter", "Wide Adapter", "0:Not Attached,2:Attached", "", nullptr},
    {0x1018, "CropMode", "Crop Mode", "0:Off,1:On (35mm),2:On (47mm)", "", nullptr},
    {0x1019, "NDFilter", "ND Filter", "0:Off,1:On", "", nullptr},
    {0x1200, "AFStatus", "AF Status", "0:Out of Focus,1:In Focus", "", nullptr},
    {0x1205, "AFAreaMode", "AF Area Mode", "0:Auto,2:Manual", "", nullptr},
    {0x1307, "ColorTempKelvin", "Color Temp Kelvin", "", "", nullptr},
    {0x1500, "FocalLength", "Focal Length", "", "", DecimalValue},
};

// Sigma and Foveon: "SIGMA\0\0\0" or "FOVEON\0\0", a version, the directory at 10, offsets from the
// EXIF block's TIFF header. Older bodies write their settings as captioned texts.
constexpr TTagRow kSigmaTable[] = {
    {0x0002, "SerialNumber", "Serial Number", "", "", MakerText},
    {0x0003, "DriveMode", "Drive Mode", "", "", MakerText},
    {0x0004, "ResolutionMode", "Resolution Mode", "", "", MakerText},
    {0x0005, "AFMode", "AF Mode", "", "", MakerText},
    {0x0006, "FocusSetting", "Focus Setting", "", "", MakerText},
    {0x0007, "WhiteBalance", "White Balance", "", "", MakerText},
    {0x0008, "ExposureMode", "Exposure Mode", "", "", SigmaExposureMode},
    {0x0009, "MeteringMode", "Metering Mode", "", "", SigmaMeteringMode},
    {0x000A, "LensFocalRange", "Lens Focal Range", "", "", MakerText},
    {0x000B, "ColorSpace", "Color Space", "", "", MakerText},
    {0x000C, "ExposureCompensation", "Exposure Compensation", "", "", SigmaValue},
    {0x000D, "Contrast", "Contrast", "", "", SigmaValue},
    {0x000E, "Shadow", "Shadow", "", "", SigmaValue},
    {0x000F, "Highlight", "Highlight", "", "", SigmaValue},
    {0x0010, "Saturation", "Saturation", "", "", SigmaValue},
    {0x0011, "Sharpness", "Sharpness", "", "", SigmaValue},
    {0x0012, "X3FillLight", "X3 Fill Light", "", "", SigmaValue},
    {0x0014, "ColorAdjustment", "Color Adjustment", "", "", SigmaValue},
    {0x0015, "AdjustmentMode", "Adjustment Mode", "", "", MakerText},
    {0x0016, "Quality", "Quality", "", "", SigmaValue},
    {0x0017, "Firmware", "Firmware", "", "", MakerText},
    {0x0018, "Software", "Software", "", "", MakerText},
    {0x0027, "LensType", "Lens Type", "", "", MakerText},
    {0x002A, "LensFocalRange", "Lens Focal Range", "", "", DecimalValue},
    {0x002B, "LensMaxApertureRange", "Lens Max Aperture Range", "", "", DecimalValue},
};

// Newer Kodak bodies: a plain directory (or one behind a TIFF header of the note's own) of further
// directories; the first keeps the body's serial number.
constexpr TTagRow kKodakSubIfd0Table[] = {
    {0xFA19, "SerialNumber", "Serial Number", "", "", MakerText},
};
constexpr TMakerSubDirectory kKodakSubDirectories[] = {{0xFC00, kKodakSubIfd0Table}};
constexpr TTagRow kKodakTable[] = {
    {0xFA19, "SerialNumber", "Serial Number", "", "", MakerText},
};

// DJI drones: a plain directory of the aircraft's and the gimbal's speed and attitude.
constexpr TTagRow kDjiTable[] = {
    {0x0001, "Make", "Make", "", "", MakerText},
    {0x0003, "SpeedX", "Speed X", "", "", nullptr},
    {0x0004, "SpeedY", "Speed Y", "", "", nullptr},
    {0x0005, "SpeedZ", "Speed Z", "", "", nullptr},
    {0x0006, "Pitch", "Pitch", "", "", nullptr},
    {0x0007, "Yaw", "Yaw", "", "", nullptr},
    {0x0008, "Roll", "Roll", "", "", nullptr},
    {0x0009, "CameraPitch", "Camera Pitch", "", "", nullptr},
    {0x000A, "CameraYaw", "Camera Yaw", "", "", nullptr},
    {0x000B, "CameraRoll", "Camera Roll", "", "", nullptr},
};

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
    return note.size() >= 14 && (note.compare(10, 4, std::string_view("II*\0", 4)) == 0 ||
                                 note.compare(10, 4, std::string_view("MM\0*", 4)) == 0);
}
// Notes with their own byte-order mark right after the header.
bool MarkAt4(const TImageInfo& reader, bool) {
    return OrderMarkAt(reader.MakerNoteRaw, 4);
}
bool MarkAt6(const TImageInfo& reader, bool) {
    return OrderMarkAt(reader.MakerNoteRaw, 6);
}
bool MarkAt8(const TImageInfo& reader, bool) {
    return OrderMarkAt(reader.MakerNoteRaw, 8);
}
bool MarkAt12(const TImageInfo& reader, bool) {
    return OrderMarkAt(reader.MakerNoteRaw, 12);
}

// Whether the note's first bytes read as a directory in one byte order: a count, and entries of
// known field types as far as the note holds them (a count that overstates is the walk's matter).
bool DirectoryIn(const std::string& note, bool bigEndian) {
    if (note.size() < 14) return false;
    const std::string_view v(note);
    const auto count = static_cast<uint32_t>(BytesToInt(v.substr(0, 2), bigEndian)) & 0xFFFFu;
    if (count == 0) return false;
    for (uint32_t i = 0; i < count && i < 8 && 2 + 12 * size_t{i} + 12 <= note.size(); ++i) {
        const auto type = static_cast<uint32_t>(BytesToInt(v.substr(2 + 12 * i + 2, 2), bigEndian)) & 0xFFFFu;
        if (type < 1 || type > 13) return false;
    }
    return true;
}
// A note with no header that is a directory (a phone maker's other note kinds are not).
bool HeaderlessDirectory(const TImageInfo& reader, bool) {
    return DirectoryIn(reader.MakerNoteRaw, false) || DirectoryIn(reader.MakerNoteRaw, true);
}

// Kodak notes that begin with a TIFF header of their own (offsets from it).
bool TiffHeaderAt0(const TImageInfo& reader, bool) {
    const std::string& note = reader.MakerNoteRaw;
    return note.size() >= 8 && (note.compare(0, 4, std::string_view("II*\0", 4)) == 0 ||
                                note.compare(0, 4, std::string_view("MM\0*", 4)) == 0);
}

// Google's phones write no maker note: their camera data is in the XMP.
std::string GoogleNote(std::string_view) {
    return "none (Google keeps camera data in XMP)";
}
// Older Ricoh bodies write their note as text ("Rv0103;Rg1C;...", or "RDC" and text).
std::string RicohTextNote(std::string_view note) {
    std::string text;
    for (const char c : note.substr(0, 200)) {
        if (c == '\0') break;
        text += c;
    }
    return CleanText(TrimText(text));
}

using namespace std::string_view_literals;

constexpr TMakerLayout kLayouts[] = {
    // Notes whose header names their writer, whatever the Make.
    {.Key = "NIKON",
     .Name = "Nikon (newer)",
     .Applies = NikonNewer,
     .Table = kNikonTable,
     .S = 18,
     .BFromPosition = false,
     .BOffset = 9,
     .LittleEndian = false,
     .OrderMark = 10,
     .OwnTiffHeader = true,
     .Header = "Nikon\0"sv},
    {.Key = "NIKON",
     .Name = "Nikon (old)",
     .Applies = nullptr,
     .Table = kNikonOldTable,
     .S = 8,
     .BFromPosition = true,
     .BOffset = 0,
     .LittleEndian = false,
     .Header = "Nikon"sv},
    {.Key = "OLYMPUS",
     .Name = "Olympus (newer)",
     .Applies = MarkAt8,
     .Table = kOlympusTable,
     .S = 12,
     .BFromPosition = false,
     .BOffset = 13,
     .LittleEndian = false,
     .OrderMark = 8,
     .OwnTiffHeader = false,
     .SubDirectories = kOlympusSubDirectories,
     .Header = "OLYMPUS\0"sv},
    {.Key = "OM DIGITAL",
     .Name = "OM System",
     .Applies = MarkAt12,
     .Table = kOlympusTable,
     .S = 16,
     .BFromPosition = false,
     .BOffset = 17,
     .LittleEndian = false,
     .OrderMark = 12,
     .OwnTiffHeader = false,
     .SubDirectories = kOlympusSubDirectories,
     .Header = "OM SYSTEM\0"sv},
    {.Key = "CASIO",
     .Name = "Casio (QVC)",
     .Applies = nullptr,
     .Table = kCasioQvcTable,
     .S = 6,
     .BFromPosition = true,
     .BOffset = -2,
     .LittleEndian = false,
     .Header = "QVC"sv},
    {.Key = "FUJIFILM",
     .Name = "Fujifilm",
     .Applies = nullptr,
     .Table = kFujiTable,
     .S = 12,
     .BFromPosition = false,
     .BOffset = 13,
     .LittleEndian = true,
     .Header = "FUJIFILM"sv},
    {.Key = "SONY",
     .Name = "Sony (DSC)",
     .Applies = nullptr,
     .Table = kSonyTable,
     .S = 12,
     .BFromPosition = true,
     .BOffset = 4,
     .LittleEndian = false,
     .Header = "SONY DSC \0\0\0"sv,
     .OrderFromNote = true},
    {.Key = "SONY",
     .Name = "Sony (CAM)",
     .Applies = nullptr,
     .Table = kSonyTable,
     .S = 12,
     .BFromPosition = true,
     .BOffset = 4,
     .LittleEndian = false,
     .Header = "SONY CAM \0\0\0"sv,
     .OrderFromNote = true},
    {.Key = "PANASONIC",
     .Name = "Panasonic",
     .Applies = nullptr,
     .Table = kPanasonicTable,
     .S = 12,
     .BFromPosition = true,
     .BOffset = 4,
     .LittleEndian = false,
     .Header = "Panasonic\0\0\0"sv,
     .OrderFromNote = true},
    {.Key = "PENTAX",
     .Name = "Pentax (AOC)",
     .Applies = MarkAt4,
     .Table = kPentaxTable,
     .S = 6,
     .BFromPosition = true,
     .BOffset = -2,
     .LittleEndian = false,
     .OrderMark = 4,
     .OwnTiffHeader = false,
     .Header = "AOC\0"sv},
    {.Key = "PENTAX",
     .Name = "Pentax (PENTAX)",
     .Applies = MarkAt8,
     .Table = kPentaxTable,
     .S = 10,
     .BFromPosition = false,
     .BOffset = 11,
     .LittleEndian = false,
     .OrderMark = 8,
     .OwnTiffHeader = false,
     .Header = "PENTAX \0"sv},
    {.Key = "RICOH IMAGING",
     .Name = "Ricoh Imaging (RICOH)",
     .Applies = MarkAt6,
     .Table = kPentaxTable,
     .S = 8,
     .BFromPosition = false,
     .BOffset = 9,
     .LittleEndian = false,
     .OrderMark = 6,
     .OwnTiffHeader = false,
     .Header = "RICOH\0"sv},
    {.Key = "APPLE",
     .Name = "Apple",
     .Applies = MarkAt12,
     .Table = kAppleTable,
     .S = 14,
     .BFromPosition = false,
     .BOffset = 15,
     .LittleEndian = false,
     .OrderMark = 12,
     .OwnTiffHeader = false,
     .Header = "Apple iOS\0"sv},
    {.Key = "RICOH",
     .Name = "Ricoh",
     .Applies = nullptr,
     .Table = kRicohTable,
     .S = 8,
     .BFromPosition = true,
     .BOffset = 0,
     .LittleEndian = false,
     .Header = "RICOH\0\0\0"sv,
     .OrderFromNote = true},
    {.Key = "RICOH",
     .Name = "Ricoh (Ricoh)",
     .Applies = nullptr,
     .Table = kRicohTable,
     .S = 8,
     .BFromPosition = true,
     .BOffset = 0,
     .LittleEndian = false,
     .Header = "Ricoh\0\0\0"sv,
     .OrderFromNote = true},
    {.Key = "RICOH",
     .Name = "Ricoh (text)",
     .Applies = nullptr,
     .Table = kRicohTable,
     .S = 0,
     .BFromPosition = false,
     .BOffset = 0,
     .LittleEndian = false,
     .Header = "Rv"sv,
     .Describe = RicohTextNote},
    {.Key = "RICOH",
     .Name = "Ricoh (text, Rev)",
     .Applies = nullptr,
     .Table = kRicohTable,
     .S = 0,
     .BFromPosition = false,
     .BOffset = 0,
     .LittleEndian = false,
     .Header = "Rev"sv,
     .Describe = RicohTextNote},
    {.Key = "SIGMA",
     .Name = "Sigma",
     .Applies = nullptr,
     .Table = kSigmaTable,
     .S = 10,
     .BFromPosition = true,
     .BOffset = 2,
     .LittleEndian = false,
     .Header = "SIGMA\0\0\0"sv,
     .OrderFromNote = true},
    {.Key = "FOVEON",
     .Name = "Foveon",
     .Applies = nullptr,
     .Table = kSigmaTable,
     .S = 10,
     .BFromPosition = true,
     .BOffset = 2,
     .LittleEndian = false,
     .Header = "FOVEON\0\0"sv,
     .OrderFromNote = true},
    // Notes chosen by the Make.
    {.Key = "NIKON",
     .Name = "Nikon (headerless)",
     .Applies = nullptr,
     .Table = kNikonTable,
     .S = 0,
     .BFromPosition = true,
     .BOffset = -8,
     .LittleEndian = false},
    {.Key = "OLYMPUS",
     .Name = "Olympus",
     .Applies = nullptr,
     .Table = kOlympusTable,
     .S = 8,
     .BFromPosition = true,
     .BOffset = 0,
     .LittleEndian = false},
    {.Key = "CASIO",
     .Name = "Casio",
     .Applies = nullptr,
     .Table = kCasioTable,
     .S = 0,
     .BFromPosition = true,
     .BOffset = -8,
     .LittleEndian = false},
    {.Key = "CANON",
     .Name = "Canon",
     .Applies = nullptr,
     .Table = kCanonTable,
     .S = 0,
     .BFromPosition = true,
     .BOffset = -8,
     .LittleEndian = false,
     .OrderFromNote = true},
    {.Key = "SEIKO",
     .Name = "Seiko",
     .Applies = nullptr,
     .Table = kSeikoTable,
     .S = 8,
     .BFromPosition = true,
     .BOffset = 0,
     .LittleEndian = false},
    {.Key = "SANYO",
     .Name = "Sanyo",
     .Applies = nullptr,
     .Table = kSanyoTable,
     .S = 8,
     .BFromPosition = true,
     .BOffset = 0,
     .LittleEndian = false},
    {.Key = "MINOLTA",
     .Name = "Minolta",
     .Applies = nullptr,
     .Table = kMinoltaTable,
     .S = 0,
     .BFromPosition = true,
     .BOffset = -8,
     .LittleEndian = false},
    {.Key = "KONICA MINOLTA",
     .Name = "Konica Minolta",
     .Applies = nullptr,
     .Table = kMinoltaTable,
     .S = 0,
     .BFromPosition = true,
     .BOffset = -8,
     .LittleEndian = false},
    {.Key = "SONY",
     .Name = "Sony (headerless)",
     .Applies = HeaderlessDirectory,
     .Table = kSonyTable,
     .S = 0,
     .BFromPosition = true,
     .BOffset = -8,
     .LittleEndian = false,
     .OrderFromNote = true},
    {.Key = "SAMSUNG",
     .Name = "Samsung",
     .Applies = HeaderlessDirectory,
     .Table = kSamsungTable,
     .S = 0,
     .BFromPosition = true,
     .BOffset = -8,
     .LittleEndian = false,
     .OrderFromNote = true},
    {.Key = "DJI",
     .Name = "DJI",
     .Applies = HeaderlessDirectory,
     .Table = kDjiTable,
     .S = 0,
     .BFromPosition = true,
     .BOffset = -8,
     .LittleEndian = false,
     .OrderFromNote = true},
    {.Key = "EASTMAN KODAK",
     .Name = "Kodak (TIFF header)",
     .Applies = TiffHeaderAt0,
     .Table = kKodakTable,
     .S = 8,
     .BFromPosition = false,
     .BOffset = 9,
     .LittleEndian = false,
     .OrderMark = 0,
     .OwnTiffHeader = true,
     .SubDirectories = kKodakSubDirectories},
    {.Key = "EASTMAN KODAK",
     .Name = "Kodak",
     .Applies = HeaderlessDirectory,
     .Table = kKodakTable,
     .S = 0,
     .BFromPosition = true,
     .BOffset = -8,
     .LittleEndian = false,
     .SubDirectories = kKodakSubDirectories,
     .OrderFromNote = true},
    {.Key = "KODAK",
     .Name = "Kodak (TIFF header)",
     .Applies = TiffHeaderAt0,
     .Table = kKodakTable,
     .S = 8,
     .BFromPosition = false,
     .BOffset = 9,
     .LittleEndian = false,
     .OrderMark = 0,
     .OwnTiffHeader = true,
     .SubDirectories = kKodakSubDirectories},
    {.Key = "KODAK",
     .Name = "Kodak",
     .Applies = HeaderlessDirectory,
     .Table = kKodakTable,
     .S = 0,
     .BFromPosition = true,
     .BOffset = -8,
     .LittleEndian = false,
     .SubDirectories = kKodakSubDirectories,
     .OrderFromNote = true},
    {.Key = "GOOGLE",
     .Name = "Google",
     .Applies = nullptr,
     .Table = {},
     .S = 0,
     .BFromPosition = false,
     .BOffset = 0,
     .LittleEndian = false,
     .Describe = GoogleNote},
};

} // namespace

std::span<const TMakerLayout> MakerLayouts() {
    return kLayouts;
}

std::string NormalisedMake(std::string_view make) {
    while (!make.empty() && (make.back() == ' ' || make.back() == '\0' || make.back() == '\t'))
        make.remove_suffix(1);
    return AsciiUpper(make);
}

const TMakerLayout* FindMakerLayout(const TImageInfo& reader, bool fromTiff) {
    const std::string& note = reader.MakerNoteRaw;
    for (const TMakerLayout& layout : kLayouts) {
        if (layout.Header.empty() || !BeginsWith(note, layout.Header)) continue;
        if (!layout.Applies || layout.Applies(reader, fromTiff)) return &layout;
    }
    const std::string make = NormalisedMake(reader.CameraMake);
    for (const TMakerLayout& layout : kLayouts) {
        if (!layout.Header.empty() || !make.starts_with(layout.Key)) continue;
        if (!layout.Applies || layout.Applies(reader, fromTiff)) return &layout;
    }
    return nullptr;
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
std::span<const TTagRow> SonyTable() {
    return kSonyTable;
}
std::span<const TTagRow> PanasonicTable() {
    return kPanasonicTable;
}
std::span<const TTagRow> PentaxTable() {
    return kPentaxTable;
}
std::span<const TTagRow> AppleTable() {
    return kAppleTable;
}
std::span<const TTagRow> SamsungTable() {
    return kSamsungTable;
}
std::span<const TTagRow> RicohTable() {
    return kRicohTable;
}
std::span<const TTagRow> SigmaTable() {
    return kSigmaTable;
}
std::span<const TTagRow> DjiTable() {
    return kDjiTable;
}

} // namespace quillmark
