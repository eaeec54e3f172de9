// Maker notes: recognising the maker and layout, walking its directory, and the decoders.
#include "ImageInfo.h"
#include "MakerDecoders.h"
#include "MakerTables.h"
#include "ReaderSettings.h"
#include "TagTables.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

using namespace quillmark;
using namespace quillmark::testing;
using craft::JpegFile;
using craft::TiffBlock;
using namespace std::string_literals;

namespace {

// A photo whose EXIF sub-directory holds the maker note made by `note` (given the note's TIFF
// offset), followed by EXIF's own Contrast tag.
std::string Photo(bool bigEndian, const std::string& make, const std::string& version,
                  std::function<std::string(uint32_t)> note, const std::string& model = "Model") {
    TiffBlock t(bigEndian);
    const int exif = t.AddIfd();
    t.Ascii(0, 0x010F, make).Ascii(0, 0x0110, model).Link(0, 0x8769, exif);
    if (!version.empty()) t.Undefined(exif, 0x9000, version);
    t.UndefinedAt(exif, 0x927C, std::move(note)).Short(exif, 0xA408, {2});
    return JpegWithExif(t);
}

// A headerless maker directory whose offsets count from the EXIF block's TIFF header.
std::function<std::string(uint32_t)> TiffRelative(std::function<void(TiffBlock&)> fill, bool bigEndian) {
    return [fill, bigEndian](uint32_t at) {
        TiffBlock inner(bigEndian);
        inner.WithoutHeader().Origin(at);
        fill(inner);
        return inner.Build();
    };
}

struct ReadPhoto {
    explicit ReadPhoto(const std::string& bytes, const std::string& name = "maker.jpg") {
        ok = data.ProcessBytes(name, bytes);
    }
    TImageInfo& info() { return *data.ExifReader; }
    std::vector<std::string> MakerLines() {
        std::vector<std::string> lines;
        info().ResetEntryCursor();
        TTagEntry e;
        while (info().NextEntry(1, e))
            lines.push_back(e.Caption + " = " + e.Text);
        return lines;
    }
    TimgData data{255};
    bool ok = false;
};

struct Setting {
    Setting(int32_t trace, bool decode) {
        ReaderSettings().TraceDetail = trace;
        ReaderSettings().DecodeValues = decode;
    }
    ~Setting() {
        ReaderSettings().TraceDetail = 0;
        ReaderSettings().DecodeValues = true;
    }
};

std::string CanonNote(uint32_t at, bool bigEndian) {
    return TiffRelative(
        [](TiffBlock& n) {
            std::vector<uint16_t> settings(40, 0);
            settings[1] = 2;  // macro mode: normal (position 2)
            settings[3] = 1;  // compression: fine
            settings[13] = 2; // contrast 2: not in the map, no line
            settings[23] = 682;
            n.Short(0, 0x0000, {1})                               // skipped
                .Short(0, 0x0001, settings)                       // camera settings
                .Ascii(0, 0x0006, "IMG:PowerShot")                // image type
                .Short(0, 0x000F, {0, 257, 0x0F01, 4096, 0x0301}) // custom functions
                .Short(0, 0x0042, {7});                           // not in the table
        },
        bigEndian)(at);
}

} // namespace

TEST(MakerNotes, CanonSettingsBecomeItemsBeforeTheirParent) {
    for (bool bigEndian : {false, true}) {
        SCOPED_TRACE(bigEndian ? "MM" : "II");
        ReadPhoto r(Photo(bigEndian, "Canon", "0220", [=](uint32_t at) { return CanonNote(at, bigEndian); }));
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.data.ErrorText, "<none>");
        EXPECT_TRUE(r.info().MakerNoteDecoded);
        const std::vector<std::string> expected = {
            "Macro mode = Normal",
            "Self Timer =  2",
            "Compression Rate = Fine",
            "Flash Mode = Not fired",
            "Drive Mode = Single",
            "Focus Mode = One-Shot",
            "Image Size = Large",
            "Easy Shoot = Full Auto",
            "Saturation = Normal",
            "Sharpness = Normal",
            "CCD ISO = Not used",
            "Metering Mode = Normal",
            "AF Point = Normal",
            "Exposure Mode = Normal",
            "Long focal =  682",
            "Short focal =  0",
            "Focal Units =  0",
            "Flash Details =  0",
            "Focus Mode = Normal",
            "ExposureInfo1 = 0, 2, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 682, 0, 0, "
            "0, 0, "
            "0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0",
            "ImageType = \"IMG:PowerShot\"",
            "Noise Reduction =  On",
            "Shutter Release w/o CF Card = Disable",
            "CustomFunctions = 0, 257, 3841, 4096, 769",
        };
        EXPECT_EQ(r.MakerLines(), expected);
        // Items carry their parent's tag; all of them are maker entries.
        for (const auto& e : r.info().Entries) {
            if (e.ListId == 1 && e.Caption == "Macro mode") {
                EXPECT_EQ(e.Tag, 0x0001);
            }
        }
        EXPECT_NE(r.info().MakerTrace.find("\r\nUnknown = 7"), std::string::npos);
        EXPECT_EQ(r.info().MakerTrace.find("Skip"), std::string::npos);
        // The maker note is walked when its tag is met: a maker item is found by name like any entry.
        EXPECT_EQ(r.info().LookupTagValue("Focus Mode"), "One-Shot");
    }
}

TEST(MakerNotes, TraceFormats) {
    auto photo = Photo(false, "Canon", "0220", [](uint32_t at) {
        return TiffRelative(
            [](TiffBlock& n) {
                n.Short(0, 0x0001, {0, 1}).Long(0, 0x0008, {42});
            },
            false)(at);
    });
    {
        ReadPhoto r(photo);
        EXPECT_EQ(r.info().MakerTrace, "\r\nMacro mode = Macro\r\nSelf Timer =  1\r\nExposureInfo1 = 0, 1"
                                       "\r\nImageNumber = 42");
    }
    Setting detailed(1, true);
    ReadPhoto r(photo);
    const std::string& t = r.info().MakerTrace;
    EXPECT_EQ(t.rfind("\r\ntag[$0001]: ExposureInfo1 =  [size: 4] [raw: 00 ", 0), 0u) << t;
    EXPECT_NE(t.find("] [start: 11]\r\nMacro mode = Macro\r\nSelf Timer =  1\r\ntag[$0008]: ImageNumber = 42 "
                     "[size: 4] "
                     "[raw: 2A 00 00 00 ] [start: 23]"),
              std::string::npos)
        << t;
}

TEST(MakerNotes, DecodeValuesOffRunsNoDecoder) {
    Setting plain(0, false);
    ReadPhoto r(Photo(false, "Canon", "0220", [](uint32_t at) {
        return TiffRelative([](TiffBlock& n) { n.Short(0, 0x0001, {0, 1}); }, false)(at);
    }));
    EXPECT_EQ(r.MakerLines(), (std::vector<std::string>{"ExposureInfo1 = 0, 1"}));
}

TEST(MakerNotes, MakerKeysAndUnknownMakers) {
    auto note = [](uint32_t at) {
        return TiffRelative([](TiffBlock& n) { n.Ascii(0, 0x0007, "1.0"); }, false)(at);
    };
    for (const char* make : {"Canon", "CANON INC.", "canonical"}) {
        ReadPhoto r(Photo(false, make, "", note));
        EXPECT_TRUE(r.info().MakerNoteDecoded) << make;
        EXPECT_EQ(r.MakerLines(), (std::vector<std::string>{"FirmwareVersion = \"1.0\""})) << make;
    }
    for (const char* make : {"Cano", "", "Leica", " Canon"}) {
        ReadPhoto r(Photo(false, make, "", note));
        EXPECT_FALSE(r.info().MakerNoteDecoded) << make;
        EXPECT_TRUE(r.MakerLines().empty()) << make;
        EXPECT_EQ(r.info().MakerNoteRaw.size(), note(0).size());
    }
}

TEST(MakerNotes, NikonLayouts) {
    // Newer layout: "Nikon" header, a TIFF header of its own at offset 10.
    auto newer = [](uint32_t) {
        TiffBlock inner(true);
        inner.Ascii(0, 0x008D, "MODE2xyz").Rational(0, 0x0084, {{180, 10}, {700, 10}, {35, 10}, {56, 10}});
        inner.Short(0, 0x0002, {0, 200});
        return craft::NikonMakerNote(inner);
    };
    {
        ReadPhoto r(Photo(true, "NIKON CORPORATION", "0221", newer));
        EXPECT_EQ(r.MakerLines(), (std::vector<std::string>{"Color Mode = Mode 2 (Adobe RGB)",
                                                            "Lens information = 18.0-70.0(mm)  F3.5-F5.6",
                                                            "ISO Speed = 0, 200"}));
    }
    // ExifVersion 0210 with a "Nikon" note: the old layout, directory at offset 8.
    auto old = [](uint32_t at) {
        return "Nikon\0\x01\0"s +
               TiffRelative([](TiffBlock& n) { n.Short(0, 0x0003, {6}).Short(0, 0x000B, {1}); },
                            true)(at + 8);
    };
    {
        ReadPhoto r(Photo(true, "Nikon", "0210", old));
        EXPECT_EQ(r.MakerLines(),
                  (std::vector<std::string>{"Quality = SXGA Fine10:2 Mpixel Basic", "Converter = Used"}));
    }
    // No version, a TIFF-structured file, and a D-series model: the newer layout.
    {
        TiffBlock t(true);
        const int exif = t.AddIfd();
        t.Ascii(0, 0x010F, "NIKON").Ascii(0, 0x0110, "NIKON D70").Link(0, 0x8769, exif);
        t.UndefinedAt(exif, 0x927C, newer);
        TimgData d;
        ASSERT_TRUE(d.ProcessBytes("raw.nef", t.Build()));
        EXPECT_TRUE(d.ExifReader->MakerNoteDecoded);
        EXPECT_EQ(d.ExifReader->LookupTagValue("ColorMode"), "Mode 2 (Adobe RGB)");
        // The same photo as a JPEG reads the note as the old layout (it begins "Nikon").
        ReadPhoto jpeg(Photo(true, "NIKON", "", newer, "NIKON D70"));
        EXPECT_EQ(jpeg.info().LookupTagValue("ColorMode"), "");
    }
    // Headerless: the directory at the start, offsets from the EXIF block's TIFF header.
    {
        ReadPhoto r(Photo(true, "Nikon", "", [](uint32_t at) {
            return TiffRelative([](TiffBlock& n) { n.Ascii(0, 0x0004, "FINE  ").Ascii(0, 0x0003, "COLOR"); },
                                true)(at);
        }));
        EXPECT_EQ(r.MakerLines(),
                  (std::vector<std::string>{"Quality = \"FINE  \"", "Color Mode = \"COLOR\""}));
    }
}

TEST(MakerNotes, FujifilmIsLittleEndianInsideABigEndianBlock) {
    auto fuji = [](uint32_t) {
        TiffBlock inner(false);
        inner.WithoutHeader();
        inner.Before(0, "FUJIFILM\x0C\0\0\0"s);
        inner.Short(0, 0x1001, {3}).Ascii(0, 0x1000, "NORMAL ").Short(0, 0x1302, {1});
        // Offsets count from the start of the note.
        return inner.Build();
    };
    ReadPhoto r(Photo(true, "FUJIFILM", "0220", fuji));
    EXPECT_EQ(r.MakerLines(), (std::vector<std::string>{"Sharpness = Normal", "Quality = \"NORMAL \"",
                                                        "AEWarning = Over exposure"}));
    EXPECT_TRUE(r.info().BigEndian);
    EXPECT_TRUE(r.data.BigEndian);
    // EXIF's own Contrast, after the maker note, is read big-endian again.
    EXPECT_EQ(FindEntry(r.info(), 0xA408)->Text, "Hard");
}

TEST(MakerNotes, SkipCaptionsAndDataDump) {
    auto note = [](uint32_t at) {
        return "SANYO\0\x01\0"s +
               TiffRelative(
                   [](TiffBlock& n) { n.Short(0, 0x0203, {1}).Long(0, 0x0F00, {5}).Short(0, 0x0201, {2}); },
                   false)(at + 8);
    };
    ReadPhoto sanyo(Photo(false, "SANYO Electric", "0220", note));
    EXPECT_EQ(sanyo.MakerLines(), (std::vector<std::string>{"DataDump = 5", "JpegQuality = 2"}));
    ReadPhoto seiko(Photo(false, "SEIKO EPSON", "0220", note));
    EXPECT_EQ(seiko.MakerLines(), (std::vector<std::string>{"JpegQuality = 2"}));
}

TEST(MakerNotes, AFailedWalkKeepsWhatItReadAndTheFileStillReads) {
    // The directory claims more entries than the note holds.
    auto note = [](uint32_t at) {
        TiffBlock n(false);
        n.WithoutHeader().Origin(at).Ascii(0, 0x0007, "v1").CountOverride(0, 40);
        return n.Build();
    };
    ReadPhoto r(Photo(false, "Canon", "0220", note));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.data.ErrorText, "<none>"); // the read as a whole succeeded
    EXPECT_TRUE(r.info().MakerNoteDecoded);
    EXPECT_EQ(r.MakerLines(), (std::vector<std::string>{"FirmwareVersion = \"v1\""}));
    EXPECT_EQ(FindEntry(r.info(), 0xA408)->Text, "Hard");

    // A directory count of zero adds nothing and traces nothing.
    ReadPhoto empty(Photo(false, "Canon", "0220", [](uint32_t) { return std::string(2, '\0'); }));
    EXPECT_TRUE(empty.info().MakerNoteDecoded);
    EXPECT_TRUE(empty.info().MakerTrace.empty());
    // A note too short for its count.
    ReadPhoto tiny(Photo(false, "Canon", "0220", [](uint32_t) { return std::string("\x01", 1); }));
    EXPECT_TRUE(tiny.ok);
    EXPECT_TRUE(tiny.MakerLines().empty());
}

TEST(MakerNotes, ValuesOutsideTheNoteComeFromTheExifBlock) {
    // An Olympus value whose offset points outside the note: read from the EXIF block at A + O.
    auto note = [](uint32_t at) {
        TiffBlock n(false);
        n.WithoutHeader().Origin(at + 8).Before(0, "OLYMP\0\x01\0"s);
        n.RawField(0, 0x0207, 2, 6, 0); // offset 0: far before the note
        return n.Build();
    };
    ReadPhoto r(Photo(false, "OLYMPUS", "0220", note));
    // A + O = 9: the block's TIFF header "II*\0" and IFD0's offset.
    EXPECT_EQ(r.MakerLines(), (std::vector<std::string>{"Firmware = \"II*\""}));
}

TEST(MakerDecoders, CanonCustomFunctionsAndShotInfo) {
    DecoderTarget() = {};
    EXPECT_EQ(DecodeCanonCustomFunctions("0, 257, 3841, 4096, 0, 1793, 1792, 258"),
              "\r\nNoise Reduction =  On\r\nShutter Release w/o CF Card = Disable\r\nAEB Sequence = 0");
    EXPECT_TRUE(ReaderSettings().MultiLine);
    EXPECT_EQ(DecodeCanonCustomFunctions("257"), ""); // the last element is never decoded
    EXPECT_EQ(DecodeCanonCustomFunctions("-257, x, 65535, 0"), "");
    EXPECT_EQ(DecodeCanonShotInfo("0, 0, 0, 0, 0, 0, 0, 3, 7, 0, 5, 0, 0, 1, 0, 65504, 0, 0, 12"),
              "\r\nWhite balance = Tungsten\r\nSequence Number =  7\r\nOpticalZoom Step =  5\r\nAF point =  1"
              "\r\nFlash bias = -1 EV\r\nDistance =  12");
    // Too short an array leaves out the lines it cannot fill.
    EXPECT_EQ(DecodeCanonSettings("0, 1"), "\r\nMacro mode = Macro\r\nSelf Timer =  1");
    ReaderSettings().MultiLine = false;
}

TEST(MakerDecoders, NikonColorModeAndLens) {
    EXPECT_EQ(DecodeNikonColorMode("\"MODE1\""), "Mode1 (sRGB)");
    EXPECT_EQ(DecodeNikonColorMode("\"MODE3 more\""), "Mode 3 (sRGB): higher saturation");
    EXPECT_EQ(DecodeNikonColorMode("\"mode1\""), "mode1");
    EXPECT_EQ(DecodeNikonColorMode("\"AB\""), "AB\"");
    EXPECT_EQ(DecodeNikonColorMode(""), "");
    EXPECT_EQ(DecodeNikonLens("180/10, 700/10, 35/10, 56/10"), "18.0-70.0(mm)  F3.5-F5.6");
    EXPECT_EQ(DecodeNikonLens("180/0, 700/10, 35/10, 56/10"), "0.0-70.0(mm)  F3.5-F5.6");
    EXPECT_EQ(DecodeNikonLens("garbage"), "0.0-0.0(mm)  F0.0-F0.0");
    EXPECT_EQ(ElementAt("a, b,,c", ',', 2), " b");
    EXPECT_EQ(ElementAt("a, b,,c", ',', 3), "");
    EXPECT_EQ(ElementAt("a", ',', 5), "");
}

TEST(MakerTables, SizesAndOddRows) {
    EXPECT_EQ(NikonTable().size(), 28u);
    EXPECT_EQ(NikonOldTable().size(), 11u);
    EXPECT_EQ(OlympusTable().size(), 33u);
    EXPECT_EQ(CasioTable().size(), 26u);
    EXPECT_EQ(CasioQvcTable().size(), 45u);
    EXPECT_EQ(FujiTable().size(), 18u);
    EXPECT_EQ(CanonTable().size(), 16u);
    EXPECT_EQ(SeikoTable().size(), 12u);
    EXPECT_EQ(SanyoTable().size(), 6u);
    EXPECT_EQ(MinoltaTable().size(), 2u);
    EXPECT_STREQ(CasioQvcTable()[static_cast<size_t>(IndexOfTag(0x0E00, CasioQvcTable()))].Caption,
                 "\tPrint Image Matching Info");
    EXPECT_EQ(MakerLayouts().size(), 11u);
}

TEST(MakerNotes, RealCameraNotes) {
    struct Expect {
        const char* file;
        std::vector<std::string> lines; // the first maker lines
    };
    const Expect cases[] = {
        {"Canon_PowerShot_S40.jpg",
         {"Macro mode = Normal", "Self Timer =  2", "Compression Rate = SuperFine"}},
        {"Fujifilm_FinePix_E500.jpg", {"Quality = \"FINE   \"", "Sharpness = Normal", "WhiteBalance = Auto"}},
        {"nikon-e950.jpg", {"FamilyID = \"08.00\"", "Quality = 2 Mpixel Fine", "ColorMode = Color"}},
        {"Nikon_COOLPIX_P1.jpg", {"Family ID = \"....\"", "ISO Speed = 0, 0", "Color Mode = \"COLOR\""}},
        {"sanyo-vpcsx550.jpg", {"Special Mode = 0, 0, 0", "JpegQuality = 258", "Macro = 0"}},
    };
    for (const Expect& c : cases) {
        SCOPED_TRACE(c.file);
        ReadPhoto r(ReadAll(SamplePath(c.file)), c.file);
        ASSERT_TRUE(r.ok);
        EXPECT_TRUE(r.info().MakerNoteDecoded);
        const auto lines = r.MakerLines();
        ASSERT_GE(lines.size(), c.lines.size());
        EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + static_cast<long>(c.lines.size())),
                  c.lines);
    }
}
