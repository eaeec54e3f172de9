// Maker recognition by header and Make, the newer makers' tables on real notes, and the Canon and
// Casio values as the cameras mean them.
#include "ImageInfo.h"
#include "MakerDecoders.h"
#include "MakerTables.h"
#include "ReaderSettings.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

using namespace quillmark;
using namespace quillmark::testing;
using craft::TiffBlock;
using namespace std::string_literals;

namespace {

std::string Photo(bool bigEndian, const std::string& make, std::function<std::string(uint32_t)> note) {
    TiffBlock t(bigEndian);
    const int exif = t.AddIfd();
    t.Ascii(0, 0x010F, make).Ascii(0, 0x0110, "Model").Link(0, 0x8769, exif);
    t.UndefinedAt(exif, 0x927C, std::move(note)).Short(exif, 0xA408, {2});
    return JpegWithExif(t);
}

// A headerless directory (after `header`) whose offsets count from the EXIF block's TIFF header.
std::function<std::string(uint32_t)> Directory(const std::string& header,
                                               std::function<void(TiffBlock&)> fill, bool bigEndian) {
    return [=](uint32_t at) {
        TiffBlock inner(bigEndian);
        inner.WithoutHeader().Origin(at + static_cast<uint32_t>(header.size()));
        fill(inner);
        return header + inner.Build();
    };
}

std::vector<std::string> MakerLines(const std::string& bytes, const std::string& name = "maker.jpg") {
    TimgData data(255);
    data.ProcessBytes(name, bytes);
    std::vector<std::string> lines;
    if (!data.ExifReader) return lines;
    data.ExifReader->ResetEntryCursor();
    TTagEntry e;
    while (data.ExifReader->NextEntry(1, e))
        lines.push_back(e.Caption + " = " + e.Text);
    return lines;
}

} // namespace

TEST(MakerRecognition, HeaderFirstThenTheMakeAsCamerasWriteIt) {
    struct Case {
        const char* make;
        std::string note;
        const char* layout; // nullptr: no layout
    };
    const std::string ifd = "\x01\0\x01\0\x03\0\x01\0\0\0\x01\0\0\0"s + std::string(4, '\0');
    const Case cases[] = {
        {"Apple", "Apple iOS\0\0\1MM"s + ifd, "Apple"},
        {"", "Apple iOS\0\0\1MM"s + ifd, "Apple"},             // the header alone names the writer
        {"SAMSUNG TECHWIN", "AOC\0MM"s + ifd, "Pentax (AOC)"}, // a Pentax-made Samsung
        {"RICOH IMAGING COMPANY, LTD.", "PENTAX \0II"s + ifd, "Pentax (PENTAX)"},
        {"RICOH IMAGING COMPANY, LTD.", "RICOH\0II"s + ifd, "Ricoh Imaging (RICOH)"},
        {"RICOH", "RICOH\0\0\0"s + ifd, "Ricoh"},
        {"RICOH", "Rv0103;Rg1C"s, "Ricoh (text)"},
        {"SONY", "SONY DSC \0\0\0"s + ifd, "Sony (DSC)"},
        {"Sony Ericsson", ifd, "Sony (headerless)"},
        {"Sony Ericsson", "SEMC MS\0\0\0\0\0"s, nullptr}, // not Sony's directory
        {"LEICA", "Panasonic\0\0\0"s + ifd, "Panasonic"},
        {"SIGMA", "SIGMA\0\0\0\1\0"s + ifd, "Sigma"},
        {"SIGMA", "FOVEON\0\0\1\0"s + ifd, "Foveon"},
        {"samsung", ifd, "Samsung"},
        {"Canon  ", ifd, "Canon"}, // trailing blanks aside
        {"canon", ifd, "Canon"},
        {" Canon", ifd, nullptr},
        {"Cano", ifd, nullptr},
        {"Leica", ifd, nullptr}, // Leica's own notes are not read
        {"KONICA MINOLTA", ifd, "Konica Minolta"},
        {"Minolta Co., Ltd.", ifd, "Minolta"},
        {"OM Digital Solutions", "OM SYSTEM\0\0\0II\3\0"s + ifd, "OM System"},
        {"DJI", ifd, "DJI"},
        {"Google", "", "Google"},
    };
    for (const Case& c : cases) {
        TImageInfo reader(nullptr, bmBoth);
        reader.CameraMake = c.make;
        reader.MakerNoteRaw = c.note;
        const TMakerLayout* layout = FindMakerLayout(reader, false);
        if (!c.layout) {
            EXPECT_EQ(layout, nullptr) << c.make;
            continue;
        }
        ASSERT_NE(layout, nullptr) << c.make;
        EXPECT_STREQ(layout->Name, c.layout) << c.make;
    }
    EXPECT_EQ(NormalisedMake("Panasonic \0 "s), "PANASONIC");
}

TEST(MakerNotes, CanonNoteInTheOtherByteOrderThanItsRewrittenBlock) {
    // The block was rewritten little-endian by photo software; the note stayed big-endian.
    for (const bool blockBigEndian : {false, true}) {
        const auto lines = MakerLines(
            Photo(blockBigEndian, "Canon",
                  Directory(
                      "",
                      [](TiffBlock& n) {
                          n.Short(0, 0x0001, {0, 2, 0, 3}).Ascii(0, 0x0095, "EF-S18-55mm f/3.5-5.6 IS STM");
                      },
                      !blockBigEndian)));
        EXPECT_EQ(lines, (std::vector<std::string>{"Macro mode = Normal", "Self Timer = Off",
                                                   "Compression Rate = Fine", "ExposureInfo1 = 0, 2, 0, 3",
                                                   "Lens Model = EF-S18-55mm f/3.5-5.6 IS STM"}))
            << blockBigEndian;
    }
}

TEST(MakerDecoders, CanonSettingsAsCanonMeansThem) {
    DecoderTarget() = {};
    std::vector<std::string> e(31, "0");
    e[11] = "5";     // image size: Medium 1
    e[12] = "51";    // easy shoot: HDR
    e[17] = "32767"; // ISO not set: no line
    e[23] = "137";   // lens type
    e[24] = "24700"; // longest focal length, in hundredths of a millimetre
    e[25] = "1800";
    e[26] = "100";  // focal units per millimetre
    e[29] = "1";    // flash activity, not the details
    e[30] = "8200"; // flash bits: E-TTL, built-in
    std::string text;
    for (size_t i = 1; i < e.size(); ++i)
        text += (i > 1 ? ", " : "") + e[i];
    const std::string s = DecodeCanonSettings(text) + "\r\n";
    EXPECT_EQ(s.find("CCD ISO"), std::string::npos);
    for (const char* line : {"Image Size = Medium 1", "Easy Shoot = High Dynamic Range", "Lens Type = 137",
                             "Long focal = 247 mm", "Short focal = 18 mm", "Focal Units = 100/mm",
                             "Flash Details = E-TTL, Built-in"})
        EXPECT_NE(s.find(std::string("\r\n") + line + "\r\n"), std::string::npos) << line << s;
    ReaderSettings().MultiLine = false;
}

TEST(MakerDecoders, SmallConversions) {
    struct Case {
        TFormatter f;
        std::string in;
        const char* out;
    };
    const Case cases[] = {
        {MakerText, "\"Sony  \"", "Sony"},
        {MakerText, "\"RDC\0x\""s, "RDC"},
        {DottedBytes, "\"\x00\x01\x00\x08\""s, "0.1.0.8"},
        {DottedNumbers, "3, 0, 0, 0", "3.0.0.0"},
        {DecimalValue, "-2/3, 7/0, 174/10", "-0.6667 inf 17.4"},
        {HundredthsMillimetre, "1000", "10.0 mm"},
        {PentaxDate, "\"\x07\xD8\x03\x02\"", "2008:03:02"},
        {PentaxTime, "\"\x0C\x01\x17\"", "12:01:23"},
        {PentaxFlashMode, "259, 63", "Auto, Fired, Red-eye reduction"},
        {PanasonicAfAreaMode, "0, 1", "9-area"},
        {PanasonicAfAreaMode, "9, 9", "Unknown (9 9)"},
        {AppleFocusDistanceRange, "54/100, 68/100", "0.54 - 0.68 m"},
        {AppleFocusDistanceRange, "1822/100, 753/100", "7.53 - 18.22 m"},
        {SigmaValue, "\"Expo:+0.8\"", "+0.8"},
        {SigmaValue, "2/5", "0.4"},
        {SigmaExposureMode, "\"P\"", "Program AE"},
        {RicohFirmware, "\"Rev0104\"", "1.04"},
        {NikonLensType, "14", "G VR"},
        {NikonLensType, "2", "D"},
        {PanasonicSerial, "\"S000407190102\"", "(S00) 2004:07:19 no. 0102"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.f(c.in), c.out) << c.in;
}

TEST(MakerNotes, NewMakersFromCraftedNotes) {
    struct Case {
        const char* make;
        bool bigEndian;
        std::function<std::string(uint32_t)> note;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        // Release mode 1 is an ordinary release, not a self-timer.
        {"CASIO COMPUTER CO.,LTD.",
         false,
         Directory(
             "QVC\0\0\0"s,
             [](TiffBlock& n) {
                 n.Short(0, 0x3001, {1}).Short(0, 0x3000, {2}).Short(0, 0x2012, {1}).Short(0, 0x3015, {3});
             },
             false),
         {"Release Mode = Normal", "Record Mode = Program AE", "White Balance = Daylight",
          "Color Mode = Sepia"}},
        // Values in the maps with commas; codes the map does not know.
        {"Panasonic",
         true,
         Directory(
             "Panasonic\0\0\0"s,
             [](TiffBlock& n) {
                 n.Short(0, 0x001A, {4})
                     .Short(0, 0x0003, {99})
                     .Ascii(0, 0x0051, "LUMIX G VARIO 14-42/F3.5-5.6  ");
             },
             true),
         {"Image Stabilization = On, Mode 2", "White Balance = Unknown (99)",
          "Lens Type = LUMIX G VARIO 14-42/F3.5-5.6"}},
        {"SONY",
         false,
         Directory(
             "SONY DSC \0\0\0"s,
             [](TiffBlock& n) {
                 n.Long(0, 0xB027, {65535})
                     .Ascii(0, 0x2031, "04512345")
                     .Undefined(0, 0x9050, "\x8a\x01\xff garbage"s)
                     .Undefined(0, 0x9416, "\x10\x20 ciphered"s);
             },
             false),
         {"Lens Type = E-Mount, T-Mount, Other Lens or no lens", "Serial Number = 04512345"}},
        {"NIKON CORPORATION",
         true,
         Directory(
             "",
             [](TiffBlock& n) {
                 n.Byte(0, 0x0083, {14}).Long(0, 0x00A7, {12345}).Ascii(0, 0x001D, "3001234");
                 n.Undefined(0, 0x0024, "\xFF\xC4\x01\x02"s); // UTC-01:00, daylight saving, D/M/Y
             },
             true),
         {"Lens Type = G VR", "Shutter Count = 12345", "Serial Number = 3001234", "Daylight Savings = Yes",
          "Date Display Format = D/M/Y", "Time Zone = -01:00"}},
        {"DJI",
         false,
         Directory(
             "",
             [](TiffBlock& n) {
                 n.Ascii(0, 0x0001, "DJI").Float(0, 0x0006, {-2.5f}).Float(0, 0x000A, {90.25f});
             },
             false),
         {"Make = DJI", "Pitch = -2.5", "Camera Yaw = 90.25"}},
        {"Canon",
         false,
         Directory(
             "",
             [](TiffBlock& n) {
                 n.Long(0, 0x0035, {16, 60, 19, 60});
             },
             false),
         {"Time Zone = +01:00", "Time Zone City = Paris", "Daylight Savings = On",
          "Time Info = 16, 60, 19, 60"}},
        // Kodak's serial number lies in the first of the directories its note points to.
        {"EASTMAN KODAK COMPANY",
         false,
         Directory(
             "",
             [](TiffBlock& n) {
                 const int sub = n.AddIfd();
                 n.Ascii(sub, 0xFA19, "KCXGM12345678").Link(0, 0xFC00, sub);
             },
             false),
         {"Serial Number = KCXGM12345678"}},
        {"Kodak",
         true,
         [](uint32_t) {
             TiffBlock own(true); // a TIFF header of the note's own; offsets from it
             const int sub = own.AddIfd();
             own.Ascii(sub, 0xFA19, "KJ123").Link(0, 0xFC00, sub);
             return own.Build();
         },
         {"Serial Number = KJ123"}},
        // Newer Olympus notes keep the body's and the lens's serial numbers and the lens under 0x2010.
        {"OLYMPUS IMAGING CORP.",
         false,
         [](uint32_t) {
             TiffBlock n(true);
             n.WithoutHeader().Before(0, "OLYMPUS\0MM\3\0"s);
             const int equipment = n.AddIfd();
             n.Ascii(equipment, 0x0101, "BHP123456").Ascii(equipment, 0x0203, "OLYMPUS M.12-40mm F2.8");
             n.Ascii(equipment, 0x0202, "ABC012345").Link(0, 0x2010, equipment);
             return n.Build();
         },
         {"Serial Number = BHP123456", "Lens Model = OLYMPUS M.12-40mm F2.8",
          "Lens Serial Number = ABC012345"}},
        // A mapped tag holding bytes is another kind of tag of an older body: left out.
        {"RICOH",
         true,
         Directory(
             "RICOH\0\0\0"s,
             [](TiffBlock& n) {
                 n.Ascii(0, 0x0002, "Rev0104").Undefined(0, 0x1001, "\x01\x02\x03\x04\x05\x06"s);
             },
             true),
         {"Firmware Version = 1.04"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MakerLines(Photo(c.bigEndian, c.make, c.note)), c.lines) << c.make;
}

TEST(MakerNotes, NewerMakersRealNotes) {
    struct Expect {
        const char* file;
        std::vector<std::string> lines; // in this order; checked against exiftool's -MakerNotes:all
    };
    const Expect cases[] = {
        // Its note holds only ciphered blocks.
        {"Sony.jpg", {}},
        {"Pentax.jpg",
         {"Date = 2008:03:02", "Time = 12:01:23", "Quality = Better", "Focus Mode = AF-S (Focus-priority)",
          "AF Point Selected = Center", "White Balance = Auto", "White Balance Mode = Auto (Daylight)",
          "Focal Length = 10.0 mm", "Hometown City = Toronto", "Destination City = New York",
          "Drive Mode = Single-frame", "Camera Temperature = 12 C", "Image Tone = Natural"}},
        {"Panasonic.jpg",
         {"Image Quality = High", "Firmware Version = 0.1.0.8", "White Balance = Auto", "Focus Mode = Auto",
          "AF Area Mode = 9-area", "Image Stabilization = On, Mode 2", "Macro Mode = Off",
          "Shooting Mode = Program", "Panasonic Exif Version = 0100", "Noise Reduction = Standard",
          "Self Timer = Off"}},
        {"Apple.jpg",
         {"Maker Note Version = 4", "AE Stable = Yes", "AE Target = 177", "AE Average = 185",
          "AF Stable = Yes", "Focus Distance Range = 0.54 - 0.68 m", "OIS Mode = 2"}},
        {"Ricoh.jpg", {"Maker Note Type = RDC", "Firmware Version = 1.04"}},
        {"Sigma.jpg",
         {"Serial Number = 02000019", "Drive Mode = SINGLE", "Resolution Mode = HI", "AF Mode = AF-S",
          "White Balance = Sunlight", "Exposure Mode = Program AE", "Metering Mode = Multi-segment",
          "Lens Focal Range = 24 to 70", "Exposure Compensation = +0.8", "Saturation = +0.4",
          "Sharpness = +1.0", "Quality = 12", "Firmware = 2.0.4.1642 Release"}},
        {"Google.jpg", {"Maker note = none (Google keeps camera data in XMP)"}},
        {"Canon_IXUS_40_edited.jpg",
         {"Long focal = 17.4 mm", "Short focal = 5.8 mm", "Focal Units = 1000/mm", "Flash Details = (none)"}},
        {"Canon_PowerShot_S40.jpg", {"Long focal = 21.3125 mm", "Short focal = 7.09375 mm"}},
        {"Panasonic.jpg", {"Internal Serial Number = (S00) 2004:07:19 no. 0102"}},
    };
    for (const Expect& c : cases) {
        SCOPED_TRACE(c.file);
        const auto lines = MakerLines(ReadAll(SamplePath(c.file)), c.file);
        if (c.lines.empty()) {
            EXPECT_TRUE(lines.empty());
        }
        auto at = lines.begin();
        for (const std::string& line : c.lines) {
            at = std::find(at, lines.end(), line);
            ASSERT_NE(at, lines.end()) << line;
        }
    }
    // The Summary's lens row finds the lens by its entry's name.
    TimgData data(255);
    data.ProcessBytes("Sigma.jpg", ReadAll(SamplePath("Sigma.jpg")));
    EXPECT_EQ(data.ExifReader->LookupTagValue("SerialNumber", 1), "02000019");
}
