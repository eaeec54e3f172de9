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
            // Each element at its place in Canon's array (element 0 holds the array's size).
            std::vector<uint16_t> settings(40, 0);
            settings[1] = 1;                                      // macro
            settings[2] = 100;                                    // self-timer: ten seconds
            settings[3] = 3;                                      // quality: fine
            settings[4] = 16;                                     // flash: external
            settings[5] = 1;                                      // drive: continuous
            settings[7] = 3;                                      // focus: manual
            settings[13] = 2;                                     // contrast 2: not in the map, no line
            settings[16] = 0x4000 | 320;                          // ISO given as the speed itself
            settings[17] = 5;                                     // metering: centre-weighted
            settings[19] = 0x3003;                                // AF point: centre
            settings[20] = 3;                                     // exposure: aperture priority
            settings[23] = 682;                                   // longest focal length
            settings[32] = 1;                                     // continuous focus
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
            "Macro mode = Macro",
            "Self Timer = 10 s",
            "Compression Rate = Fine",
            "Flash Mode = External flash",
            "Drive Mode = Continuous",
            "Focus Mode = MF",
            "Image Size = Large",
            "Easy Shoot = Full Auto",
            "Saturation = Normal",
            "Sharpness = Normal",
            "CCD ISO = 320",
            "Metering Mode = Center-weighted average",
            "AF Point = Center",
            "Exposure Mode = Aperture-priority AE",
            "Long focal = 682",
            "Short focal = 0",
            "Focal Units = 0/mm",
            "Flash Details = (none)",
            "Focus Mode = Continuous",
            "ExposureInfo1 = 0, 1, 100, 3, 16, 1, 0, 3, 0, 0, 0, 0, 0, 2, 0, 0, 16704, 5, 0, 12291, 3, 0, 0, "
            "682, "
            "0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0",
            "ImageType = \"IMG:PowerShot\"",
            "Noise Reduction =  On",
            "Shutter Release w/o CF Card = Disable",
            "CustomFunctions = 0, 257, 3841, 4096, 769",
        };
        EXPECT_EQ(r.MakerLines(), expected);
        // Items carry their parent's tag; all of them are maker entries.
        for (const auto& e : r.info().Entries) {
            if (e.ListId == 1 && e.Caption == "Self Timer") {
                EXPECT_EQ(e.Tag, 0x0001);
            }
        }
        EXPECT_NE(r.info().MakerTrace.find("\r\nUnknown = 7"), std::string::npos);
        EXPECT_EQ(r.info().MakerTrace.find("Skip"), std::string::npos);
        // The maker note is walked when its tag is met: a maker item is found by name like any entry.
        EXPECT_EQ(r.info().LookupTagValue("Focus Mode"), "MF");
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
        EXPECT_EQ(r.info().MakerTrace, "\r\nMacro mode = Macro\r\nExposureInfo1 = 0, 1\r\nImageNumber = 42");
    }
    Setting detailed(1, true);
    ReadPhoto r(photo);
    const std::string& t = r.info().MakerTrace;
    EXPECT_EQ(t.rfind("\r\ntag[$0001]: ExposureInfo1 =  [size: 4] [raw: 00 ", 0), 0u) << t;
    EXPECT_NE(t.find("] [start: 11]\r\nMacro mode = Macro\r\ntag[$0008]: ImageNumber = 42 "
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
    for (const char* make : {"Canon", "CANON INC.", "canonical", "Canon   "}) {
        ReadPhoto r(Photo(false, make, "", note));
        EXPECT_TRUE(r.info().MakerNoteDecoded) << make;
        EXPECT_EQ(r.MakerLines(), (std::vector<std::string>{"FirmwareVersion = \"1.0\""})) << make;
    }
    // The Make's start as cameras write it, letter case and trailing blanks aside.
    for (const char* make : {"Cano", "", "Leica", " Canon", "Canoe"}) {
        ReadPhoto r(Photo(false, make, "", note));
        EXPECT_FALSE(r.info().MakerNoteDecoded) << make;
        EXPECT_TRUE(r.MakerLines().empty()) << make;
        EXPECT_EQ(r.info().MakerNoteRaw.size(), note(0).size());
    }
}

TEST(MakerNotes, NikonLayoutComesFromTheNote) {
    // Newer layout: "Nikon\0", a version, and a TIFF header of its own at offset 10 whose byte
    // order and directory offset rule the walk, in either block order and either container.
    auto newer = [](bool noteBigEndian) {
        return [=](uint32_t) {
            TiffBlock inner(noteBigEndian);
            inner.Ascii(0, 0x008D, "MODE2xyz")
                .Rational(0, 0x0084, {{180, 10}, {700, 10}, {35, 10}, {56, 10}});
            inner.Short(0, 0x0002, {0, 200});
            return craft::NikonMakerNote(inner);
        };
    };
    const std::vector<std::string> newerLines = {"Color Mode = Mode 2 (Adobe RGB)",
                                                 "Lens information = 18.0-70.0(mm)  F3.5-F5.6",
                                                 "ISO Speed = 0, 200"};
    for (const bool blockBigEndian : {false, true}) {
        for (const bool noteBigEndian : {false, true}) {
            for (const char* version : {"0221", "0210", ""}) {
                ReadPhoto r(Photo(blockBigEndian, "NIKON CORPORATION", version, newer(noteBigEndian)));
                EXPECT_EQ(r.MakerLines(), newerLines) << blockBigEndian << noteBigEndian << version;
                EXPECT_EQ(FindEntry(r.info(), 0xA408)->Text, "Hard");
            }
        }
    }
    {
        TiffBlock t(false);
        const int exif = t.AddIfd();
        t.Ascii(0, 0x010F, "NIKON").Ascii(0, 0x0110, "NIKON D70").Link(0, 0x8769, exif);
        t.UndefinedAt(exif, 0x927C, newer(true));
        TimgData d;
        ASSERT_TRUE(d.ProcessBytes("raw.nef", t.Build()));
        EXPECT_EQ(d.ExifReader->LookupTagValue("ColorMode"), "Mode 2 (Adobe RGB)");
    }
    // "Nikon" without a TIFF header: the old layout, directory at offset 8, offsets from the
    // block's TIFF header, whatever the version.
    auto old = [](uint32_t at) {
        return "Nikon\0\x01\0"s +
               TiffRelative([](TiffBlock& n) { n.Short(0, 0x0003, {6}).Short(0, 0x000B, {1}); },
                            true)(at + 8);
    };
    for (const char* version : {"0210", "0220"}) {
        ReadPhoto r(Photo(true, "Nikon", version, old));
        EXPECT_EQ(r.MakerLines(), (std::vector<std::string>{"Quality = SXGA Fine", "Converter = Used"}));
    }
    // Headerless: the directory at the start, offsets from the EXIF block's TIFF header.
    for (const char* version : {"", "0221"}) {
        ReadPhoto r(Photo(true, "Nikon", version, [](uint32_t at) {
            return TiffRelative([](TiffBlock& n) { n.Ascii(0, 0x0004, "FINE  ").Ascii(0, 0x0003, "COLOR"); },
                                true)(at);
        }));
        EXPECT_EQ(r.MakerLines(), (std::vector<std::string>{"Quality = \"FINE\"", "Color Mode = \"COLOR\""}));
    }
}

TEST(MakerNotes, NewerOlympusNotesCarryTheirOwnByteOrderAndBase) {
    // "OLYMPUS\0", the note's byte order, the directory at offset 12, offsets from the note's start.
    for (const bool blockBigEndian : {false, true}) {
        for (const bool noteBigEndian : {false, true}) {
            ReadPhoto r(Photo(blockBigEndian, "OLYMPUS IMAGING CORP.", "0221", [=](uint32_t) {
                TiffBlock inner(noteBigEndian);
                inner.WithoutHeader().Before(0, "OLYMPUS\0"s + (noteBigEndian ? "MM" : "II") + "\3\0"s);
                inner.Long(0, 0x0200, {0, 1, 2}).Short(0, 0x0201, {2}).Short(0, 0x0202, {0});
                inner.Undefined(0, 0x0209, "OLYMPUS DIGITAL CAMERA");
                // The camera-settings directory: its macro mode is listed, its metering mode (0x0202) is not
                // taken for one.
                const int settings = inner.AddIfd();
                inner.Short(settings, 0x0202, {5}).Short(settings, 0x0300, {2}).Link(0, 0x2020, settings);
                return inner.Build();
            }));
            EXPECT_EQ(r.MakerLines(), (std::vector<std::string>{
                                          "SpecialMode = 0, 1, 2", "JpegQual = HQ", "Macro = Off",
                                          "Camera ID = \"OLYMPUS DIGITAL CAMERA\"", "Macro = Super Macro"}))
                << blockBigEndian << noteBigEndian;
            EXPECT_EQ(r.info().BigEndian, blockBigEndian);
        }
    }
    // The older notes: "OLYMP\0", a version, the directory at offset 8, offsets from the block's
    // TIFF header; Macro's codes as the cameras write them.
    ReadPhoto r(Photo(false, "OLYMPUS OPTICAL CO.,LTD", "0220", [](uint32_t at) {
        return "OLYMP\0\x01\0"s +
               TiffRelative([](TiffBlock& n) { n.Short(0, 0x0202, {1}).Short(0, 0x0201, {3}); },
                            false)(at + 8);
    }));
    EXPECT_EQ(r.MakerLines(), (std::vector<std::string>{"Macro = On", "JpegQual = SHQ"}));
}

TEST(MakerNotes, KonicaMinoltaUsesTheMinoltaTable) {
    for (const char* make : {"KONICA MINOLTA", "Minolta Co., Ltd."}) {
        ReadPhoto r(Photo(false, make, "0220", [](uint32_t at) {
            return TiffRelative([](TiffBlock& n) { n.Undefined(0, 0x0E00, "PrintIM0300"); }, false)(at);
        }));
        EXPECT_TRUE(r.info().MakerNoteDecoded) << make;
        EXPECT_EQ(r.MakerLines(), (std::vector<std::string>{"PIMdata = \"PrintIM0300\""})) << make;
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
    EXPECT_EQ(r.MakerLines(), (std::vector<std::string>{"Sharpness = Normal", "Quality = \"NORMAL\"",
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

TEST(MakerNotes, MovedNotesAreReadWhereTheirValuesLie) {
    // Software that moves a note without rewriting its offsets leaves every value the same distance
    // from where its offset points: before it (the note moved back) or after it (moved on).
    auto canon = [](int32_t moved) {
        return [=](uint32_t at) {
            return TiffRelative(
                [](TiffBlock& n) {
                    n.Short(0, 0x0001, {0, 2, 0, 3})
                        .Ascii(0, 0x0007, "Firmware 1.0")
                        .Ascii(0, 0x0009, "Owner");
                },
                false)(static_cast<uint32_t>(static_cast<int64_t>(at) + moved));
        };
    };
    const std::vector<std::string> lines = {"Macro mode = Normal",
                                            "Self Timer = Off",
                                            "Compression Rate = Fine",
                                            "ExposureInfo1 = 0, 2, 0, 3",
                                            "FirmwareVersion = \"Firmware 1.0\"",
                                            "OwnerName = \"Owner\""};
    Setting detailed(1, true);
    for (const int32_t moved : {0, 54, -30, 2}) {
        SCOPED_TRACE(moved);
        ReadPhoto r(Photo(false, "Canon", "0220", canon(moved)));
        EXPECT_EQ(r.MakerLines(), lines);
        EXPECT_EQ(r.info().MakerTrace.find("moved without its offsets; each value read " +
                                           std::to_string(-moved) + " bytes") != std::string::npos,
                  moved != 0)
            << r.info().MakerTrace;
    }
    // Offsets that no single shift brings inside the note: no entries at all, and the trace says so.
    auto scattered = [](uint32_t at) {
        return TiffRelative(
            [](TiffBlock& n) {
                n.RawField(0, 0x0007, 2, 16, 0x100)
                    .RawField(0, 0x0009, 2, 32, 0x7FFF0000)
                    .Short(0, 0x0008, {1});
            },
            false)(at);
    };
    ReadPhoto r(Photo(false, "Canon", "0220", scattered));
    EXPECT_TRUE(r.MakerLines().empty());
    EXPECT_NE(r.info().MakerTrace.find("no entries shown"), std::string::npos) << r.info().MakerTrace;
    EXPECT_EQ(FindEntry(r.info(), 0xA408)->Text, "Hard");
    // A value pointing outside the note is never read from the EXIF block around it.
    ReadPhoto olympus(Photo(false, "OLYMPUS", "0220", [](uint32_t at) {
        TiffBlock n(false);
        n.WithoutHeader().Origin(at).Before(0, "OLYMP\0\x01\0"s);
        n.RawField(0, 0x0207, 2, 6, 0); // offset 0: the block's TIFF header
        return n.Build();
    }));
    EXPECT_TRUE(olympus.MakerLines().empty());
}

TEST(MakerDecoders, CanonCustomFunctionsAndShotInfo) {
    DecoderTarget() = {};
    EXPECT_EQ(DecodeCanonCustomFunctions("0, 257, 3841, 4096, 0, 1793, 1794, 258"),
              "\r\nNoise Reduction =  On\r\nShutter Release w/o CF Card = Disable\r\nAEB Sequence = 0 - + / "
              "Disabled\r\nAEB Sequence = - 0 + / Enabled");
    EXPECT_TRUE(ReaderSettings().MultiLine);
    EXPECT_EQ(DecodeCanonCustomFunctions("257"), ""); // the last element is never decoded
    EXPECT_EQ(DecodeCanonCustomFunctions("-257, x, 65535, 0"), "");
    EXPECT_EQ(DecodeCanonShotInfo("0, 0, 0, 0, 0, 0, 0, 3, 0, 7, 5, 0, 0, 0, 1, 65504, 0, 0, 0, 12"),
              "\r\nWhite balance = Tungsten\r\nSequence Number =  7\r\nOpticalZoom Step =  5\r\nAF point =  1"
              "\r\nFlash bias = -1 EV\r\nDistance =  12");
    // Too short an array leaves out the lines it cannot fill.
    EXPECT_EQ(DecodeCanonSettings("0, 1"), "\r\nMacro mode = Macro");
    // The self-timer in tenths of a second; the ISO as a code or, with bit 14, the speed itself.
    EXPECT_EQ(
        DecodeCanonSettings("0, 2, 25, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 17"),
        "\r\nMacro mode = Normal\r\nSelf Timer = 2.5 s\r\nCompression Rate = Superfine\r\nFlash Mode = Off"
        "\r\nDrive Mode = Single\r\nFocus Mode = One-Shot\r\nImage Size = Large\r\nEasy Shoot = Full Auto"
        "\r\nContrast = Normal\r\nSaturation = Normal\r\nSharpness = Normal\r\nCCD ISO = 100");
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
    EXPECT_EQ(NikonTable().size(), 42u);
    EXPECT_EQ(NikonOldTable().size(), 11u);
    EXPECT_EQ(OlympusTable().size(), 33u);
    EXPECT_EQ(CasioTable().size(), 26u);
    EXPECT_EQ(CasioQvcTable().size(), 45u);
    EXPECT_EQ(FujiTable().size(), 39u);
    EXPECT_EQ(CanonTable().size(), 20u);
    EXPECT_EQ(SeikoTable().size(), 12u);
    EXPECT_EQ(SanyoTable().size(), 6u);
    EXPECT_EQ(MinoltaTable().size(), 8u);
    EXPECT_STREQ(CasioQvcTable()[static_cast<size_t>(IndexOfTag(0x0E00, CasioQvcTable()))].Caption,
                 "\tPrint Image Matching Info");
    EXPECT_EQ(MakerLayouts().size(), 35u);
}

TEST(MakerNotes, RealCameraNotes) {
    struct Expect {
        const char* file;
        std::vector<std::string> lines; // maker lines that appear in this order; none at all when empty
    };
    const Expect cases[] = {
        {"Canon_PowerShot_S40.jpg",
         {"Macro mode = Normal", "Self Timer = Off", "Compression Rate = Superfine", "Flash Mode = Auto",
          "Drive Mode = Single", "Focus Mode = Single", "CCD ISO = 100",
          "Metering Mode = Center-weighted average", "AF Point = Center", "Exposure Mode = Program AE",
          "Sequence Number =  0", "Distance =  782", "OwnerName = \"Andreas Huggel\""}},
        // Moved 54 bytes by editing software.
        {"Canon_IXUS_40_edited.jpg",
         {"Self Timer = Off", "Compression Rate = Fine", "CCD ISO = Auto", "Metering Mode = Evaluative",
          "Exposure Mode = Easy", "Long focal = 17.4 mm", "Short focal = 5.8 mm",
          "ImageType = \"IMG:DIGITAL IXUS 40 JPEG\""}},
        {"Fujifilm_FinePix_E500.jpg", {"Quality = \"FINE\"", "Sharpness = Normal", "WhiteBalance = Auto"}},
        {"nikon-e950.jpg", {"FamilyID = \"08.00\"", "Quality = 2 Mpixel Fine", "ColorMode = Color"}},
        {"Nikon_COOLPIX_P1.jpg", {"Family ID = \"....\"", "ISO Speed = 0, 0", "Color Mode = \"COLOR\""}},
        // A last value past the note's end costs only itself.
        {"nikon-gps-DSCN0010.jpg", {"Color Mode = \"COLOR\"", "Quality = \"FINE\"", "Focus Mode = \"AF-S\""}},
        // A big-endian note inside a little-endian block.
        {"Nikon_D70s_bigendian_note.jpg",
         {"ISO Speed = 0, 1000", "Quality = \"NORMAL\"", "White Balance = \"AUTO\"",
          "Lens information = 18.0-70.0(mm)  F3.5-F4.5"}},
        {"Olympus_u1020_damaged.jpg",
         {"SpecialMode = 0, 0, 0", "Camera ID = \"OLYMPUS DIGITAL CAMERA         .\"", "Macro = Off"}},
        // Moved by a re-save, read at its shift; its version is its tag 0.
        {"Konica_Minolta_DiMAGE_Z3.jpg", {"ModelID = \"MLT0\"", "Scene Mode = Standard", "Quality = Fine"}},
        {"sanyo-vpcsx550.jpg", {"Special Mode = 0, 0, 0", "JpegQuality = 258", "Macro = 0"}},
    };
    for (const Expect& c : cases) {
        SCOPED_TRACE(c.file);
        ReadPhoto r(ReadAll(SamplePath(c.file)), c.file);
        ASSERT_TRUE(r.ok);
        EXPECT_TRUE(r.info().MakerNoteDecoded);
        const auto lines = r.MakerLines();
        if (c.lines.empty()) {
            EXPECT_TRUE(lines.empty());
        }
        auto at = lines.begin();
        for (const std::string& line : c.lines) {
            at = std::find(at, lines.end(), line);
            ASSERT_NE(at, lines.end()) << line;
        }
    }
}
