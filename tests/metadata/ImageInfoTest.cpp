// The directory walk over crafted EXIF blocks: every byte of the input is chosen here.
#include "ImageInfo.h"
#include "ReaderSettings.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

using namespace quillmark;
using namespace quillmark::testing;
using craft::TiffBlock;

namespace {

// Reads a JPEG built around the block; the container stays for inspection.
struct Read {
    explicit Read(const TiffBlock& tiff, const std::string& name = "crafted.jpg") {
        ok = data.ProcessBytes(name, JpegWithExif(tiff));
    }
    TImageInfo& reader() { return *data.ExifReader; }
    TimgData data{255};
    bool ok = false;
};

struct TraceDetailOn {
    TraceDetailOn() { ReaderSettings().TraceDetail = 1; }
    ~TraceDetailOn() { ReaderSettings().TraceDetail = 0; }
};

TiffBlock CameraBlock(bool bigEndian) {
    TiffBlock t(bigEndian);
    const int exif = t.AddIfd();
    t.Ascii(0, 0x010F, "Canon")
        .Ascii(0, 0x0110, "Canon EOS 40D")
        .Short(0, 0x0112, {6})
        .Rational(0, 0x011A, {{72, 1}})
        .Ascii(0, 0x0132, "2008:07:31 10:38:11")
        .Link(0, 0x8769, exif);
    t.Rational(exif, 0x829A, {{1, 160}})
        .Rational(exif, 0x829D, {{71, 10}})
        .Short(exif, 0x8827, {100})
        .Undefined(exif, 0x9000, "0221")
        .Ascii(exif, 0x9003, "2008:05:30 15:56:01")
        .SRational(exif, 0x9201, {{483328, 65536}})
        .Short(exif, 0x9207, {5})
        .Short(exif, 0x9209, {9})
        .Rational(exif, 0x920A, {{135, 1}})
        .Short(exif, 0xA002, {3888})
        .Short(exif, 0xA003, {2592});
    return t;
}

} // namespace

TEST(DirectoryWalk, ReadsBothByteOrdersAlike) {
    for (bool bigEndian : {true, false}) {
        SCOPED_TRACE(bigEndian ? "MM" : "II");
        Read r(CameraBlock(bigEndian));
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.data.ErrorText, "<none>");
        auto& info = r.reader();
        EXPECT_EQ(info.LookupTagValue("make"), "Canon");
        EXPECT_EQ(info.LookupTagValue("Orientation"), "CounterClockwise 90\xB0");
        EXPECT_EQ(info.LookupTagValue("XResolution"), "72.00");
        EXPECT_EQ(info.LookupTagValue("ExposureTime"), "1/160 sec");
        EXPECT_EQ(info.LookupTagValue("FNumber"), "F7.1");
        EXPECT_EQ(info.LookupTagValue("ShutterSpeedValue"), "0.0060 sec (1/166)");
        EXPECT_EQ(info.LookupTagValue("MeteringMode"), "MultiSegment");
        EXPECT_EQ(info.LookupTagValue("Flash"), "On, forced");
        EXPECT_EQ(info.LookupTagValue("FocalLength"), "135.00 mm");
        EXPECT_EQ(info.LookupTagValue("ExifVersion"), "\"0221\"");
        // Kept values.
        EXPECT_EQ(info.CameraMake, "Canon");
        EXPECT_EQ(info.CameraModel, "Canon EOS 40D");
        EXPECT_EQ(info.DateTimeText, "2008:05:30 15:56:01"); // the original date replaces DateTime
        EXPECT_EQ(info.Width, 3888);
        EXPECT_EQ(info.Height, 2592);
        EXPECT_EQ(info.FlashValue, 9);
        EXPECT_EQ(info.ExifVersionText, "0221");
        EXPECT_DOUBLE_EQ(info.NumberOf("FNUMBER"), 7.1);
        EXPECT_EQ(info.RoundedNumberOf("ISOSpeedRatings"), 100);
        EXPECT_EQ(info.NumberOf("NoSuchTag"), 0.0);
    }
}

TEST(DirectoryWalk, EntriesKeepReadingOrderSubDirectoriesFirst) {
    Read r(CameraBlock(true));
    std::vector<uint16_t> tags;
    for (const auto& e : r.reader().Entries)
        tags.push_back(e.Tag);
    // The EXIF sub-directory's entries come before the ExifOffset entry that leads to them.
    const std::vector<uint16_t> expected = {0x010F, 0x0110, 0x0112, 0x011A, 0x0132, 0x829A,
                                            0x829D, 0x8827, 0x9000, 0x9003, 0x9201, 0x9207,
                                            0x9209, 0x920A, 0xA002, 0xA003, 0x8769};
    EXPECT_EQ(tags, expected);
}

TEST(DirectoryWalk, ValuesInTheEntryAndThroughOffsets) {
    TiffBlock t(true);
    t.Short(0, 0x0102, {8, 8}).Short(0, 0x0153, {1, 2, 3});
    Read r(t);
    ASSERT_TRUE(r.ok);
    const auto two = FindEntry(r.reader(), 0x0102);
    const auto three = FindEntry(r.reader(), 0x0153);
    ASSERT_TRUE(two && three);
    EXPECT_EQ(two->Text, "8, 8");
    EXPECT_EQ(two->ValueOffset, static_cast<int32_t>(t.EntryOffset(0, 0) + 8 + 9));
    EXPECT_EQ(three->Text, "1, 2, 3");
    EXPECT_EQ(three->ValueOffset, static_cast<int32_t>(t.ValueOffsetOf(0, 0x0153) + 9));
    EXPECT_EQ(three->Raw, std::string("\0\x01\0\x02\0\x03", 6));
    EXPECT_EQ(three->FieldType, 3);
    EXPECT_EQ(three->RawSize, 6);
}

TEST(DirectoryWalk, AsciiUndefinedAndUserComment) {
    TiffBlock t(false);
    const int exif = t.AddIfd();
    t.Ascii(0, 0x010F, "Canon")
        .Raw(0, 0x0110, 2, 7, std::string("Canon\0\0", 7))
        .Raw(0, 0x0131, 2, 6, std::string("a\0b\0\0\0", 6))
        .XpText(0, 0x9C9B, "Caf\xC3\xA9 \xE2\x82\xAC")
        .Link(0, 0x8769, exif);
    t.Undefined(exif, 0x9101, std::string("\x01\x02\x03\x00", 4))
        .Undefined(exif, 0x9286, std::string("ASCII\0\0\0  Hello world \0", 24))
        .Undefined(exif, 0xA000, "0100")
        .Undefined(exif, 0xA300, "\x03")
        .Undefined(exif, 0xA301, "\x01");
    Read r(t);
    auto& info = r.reader();
    EXPECT_EQ(info.LookupTagValue("Make"), "Canon");
    EXPECT_EQ(info.LookupTagValue("Model"), "Canon");  // the zero bytes that pad it are dropped
    EXPECT_EQ(info.LookupTagValue("Software"), "a.b"); // one inside it is not padding
    EXPECT_EQ(info.LookupTagValue("Title"), "Caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(info.LookupTagValue("ComponentsConfiguration"), "YCbCr");
    EXPECT_EQ(info.LookupTagValue("FlashPixVersion"), "\"0100\"");
    EXPECT_EQ(info.LookupTagValue("FileSource"), "Digital Camera");
    EXPECT_EQ(info.LookupTagValue("SceneType"), "Directly photographed");
    EXPECT_EQ(info.UserCommentText, "Hello world");
    EXPECT_EQ(info.LookupTagValue("UserComment"), "Hello world");
    EXPECT_EQ(info.UserCommentLength, 24 - 9);
    EXPECT_EQ(info.UserCommentPos, static_cast<int32_t>(t.ValueOffsetOf(exif, 0x9286) + 9));

    // A comment without a closing zero byte keeps its last letter.
    TiffBlock open(true);
    open.Undefined(0, 0x9286, std::string("ASCII\0\0\0ridge", 13));
    Read r2(open);
    EXPECT_EQ(r2.reader().UserCommentText, "ridge");
    EXPECT_EQ(r2.reader().UserCommentLength, 4);
}

TEST(DirectoryWalk, UnknownTagsAndEmptyEntriesAreNotStored) {
    TiffBlock t(true);
    t.Short(0, 0x1234, {1})                          // not in the table
        .Raw(0, 0x0112, 13, 1, std::string(4, '\1')) // type 13: size 0
        .Raw(0, 0x0100, 3, 0, "")                    // count 0
        .Ascii(0, 0x010F, "Nikon");
    TraceDetailOn trace;
    Read r(t);
    ASSERT_EQ(r.reader().Entries.size(), 1u);
    EXPECT_EQ(r.reader().Entries[0].Name, "Make");
    EXPECT_NE(r.reader().Trace.find("tag[$1234]: Unknown = 1 [size: 2]"), std::string::npos);
    EXPECT_EQ(r.reader().Trace.find("tag[$0112]"), std::string::npos);
}

TEST(DirectoryWalk, TraceTexts) {
    TiffBlock t(true);
    t.Ascii(0, 0x010F, "Canon");
    {
        Read plain(t);
        EXPECT_EQ(plain.reader().Trace, "\r\nMake = Canon");
    }
    TraceDetailOn on;
    Read detailed(t);
    const std::string start = std::to_string(t.ValueOffsetOf(0, 0x010F) + 9);
    EXPECT_EQ(detailed.reader().Trace,
              "\r\nDirectory: Start, entries = 17, 1\r\ntag[$010F]: Make = Canon [size: 6] [start: " + start +
                  "]");
}

TEST(DirectoryWalk, FailingCallbackFallsBackToCleanedText) {
    TiffBlock t(true);
    const int exif = t.AddIfd();
    t.Link(0, 0x8769, exif);
    t.Short(exif, 0x9209, {1, 0})            // Flash with two components: not one integer
        .SRational(exif, 0x9201, {{40, 1}})  // 2^40 does not fit an integer
        .Byte(exif, 0x9C9B, {65, 0, 66})     // an odd count: still readable
        .Rational(exif, 0x829D, {{28, 10}}); // read after the failures
    Read r(t);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.data.ErrorText, "<none>");
    auto& info = r.reader();
    EXPECT_EQ(info.LookupTagValue("Flash"), "1, 0");
    EXPECT_EQ(info.LookupTagValue("ShutterSpeedValue"), "40/1");
    EXPECT_EQ(info.LookupTagValue("Title"), "A");
    EXPECT_EQ(info.LookupTagValue("FNumber"), "F2.8");
}

TEST(DirectoryWalk, DirectoriesAreReadOnceEvenWhenTheyPointAtEachOther) {
    TiffBlock t(true);
    const int exif = t.AddIfd();
    const int gps = t.AddIfd();
    t.Ascii(0, 0x010F, "Loop").Link(0, 0x8769, exif);
    t.Short(exif, 0x8827, {200}).Link(exif, 0x8825, gps).Link(exif, 0x014A, 0); // back to IFD0
    t.Ascii(gps, 0x0001, "N").Link(gps, 0x8825, gps);                           // itself
    Read r(t);
    ASSERT_TRUE(r.ok);
    auto count = [&](uint16_t tag) {
        return std::count_if(r.reader().Entries.begin(), r.reader().Entries.end(),
                             [&](const TTagEntry& e) { return e.Tag == tag; });
    };
    EXPECT_EQ(count(0x010F), 1);
    EXPECT_EQ(count(0x8827), 1);
    EXPECT_EQ(r.reader().LookupTagValue("GPSLatitudeRef"), "N");
}

TEST(DirectoryWalk, LongChainsOfDistinctDirectoriesAreBounded) {
    // Each directory leads to the next: far deeper than any camera writes.
    TiffBlock t(false);
    int previous = 0;
    for (int i = 0; i < 400; ++i) {
        const int next = t.AddIfd();
        t.Short(previous, 0x8827, {static_cast<uint16_t>(i)}).Link(previous, 0x8769, next);
        previous = next;
    }
    Read r(t);
    ASSERT_TRUE(r.ok);
    const auto n = r.reader().Entries.size();
    EXPECT_GT(n, 10u);
    EXPECT_LE(n, static_cast<size_t>(2 * (TImageInfo::kMaxDepth + 1)));
}

TEST(DirectoryWalk, GpsDirectoryUsesTheGpsTable) {
    TiffBlock t(true);
    const int gps = t.AddIfd();
    t.Link(0, 0x8825, gps);
    t.Byte(gps, 0x0000, {2, 2, 0, 0})
        .Ascii(gps, 0x0001, "N")
        .Rational(gps, 0x0002, {{51, 1}, {2955, 100}, {0, 1}})
        .Byte(gps, 0x0005, {0})
        .Rational(gps, 0x0007, {{14, 1}, {5, 1}, {3, 1}})
        .Short(gps, 0x001E, {1});
    Read r(t);
    auto& info = r.reader();
    // Tag 0, which stands for "no tag" elsewhere, is GPSVersionID here: stored and listed.
    EXPECT_EQ(info.LookupTagValue("GPSVersionID"), "2.2.0.0");
    EXPECT_NE(info.Trace.find("\r\nGPSVersion ID = 2.2.0.0"), std::string::npos);
    EXPECT_EQ(info.LookupTagValue("GPSLatitude"), "51 Degrees 29 Minutes 33 Seconds");
    EXPECT_EQ(info.LookupTagValue("GPSAltitudeRef"), "Sealevel");
    EXPECT_EQ(info.LookupTagValue("GPSTimeStamp"), "14:5:3");
    EXPECT_EQ(info.LookupTagValue("GPSDifferential"), "Differential Corrected");
    const auto e = FindEntry(info, 0x0005);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->Caption, "GPSAltitude Ref");
}

TEST(ThumbnailDirectory, FoundThroughIfd0AndReadOnDemand) {
    TiffBlock t(true);
    const int ifd1 = t.AddIfd();
    t.Ascii(0, 0x010F, "Canon").Next(0, ifd1);
    t.Short(ifd1, 0x0103, {6}).LinkTrailer(ifd1, 0x0201).Long(ifd1, 0x0202, {600}).Short(ifd1, 0x0100, {160});
    t.Trailer(std::string(600, '\x55'));
    Read r(t);
    auto& info = r.reader();
    EXPECT_EQ(info.ThumbnailStart, static_cast<int32_t>(t.IfdOffset(ifd1)));
    const int64_t sectionSize = r.data.Section(r.data.ExifSection).Size;
    EXPECT_EQ(info.ThumbnailLength, 9 + (sectionSize - 6) - info.ThumbnailStart);
    EXPECT_TRUE(r.data.HasThumbnail());
    EXPECT_TRUE(info.ThumbEntries.empty());
    ASSERT_TRUE(info.ReadThumbnailDirectory());
    ASSERT_EQ(info.ThumbEntries.size(), 4u);
    EXPECT_EQ(info.ThumbCompression, 6);
    EXPECT_EQ(info.ThumbEntries[0].Text, "Jpeg");
    info.ResetThumbCursor();
    TTagEntry e;
    int n = 0;
    while (info.NextThumbEntry(0, e))
        ++n;
    EXPECT_EQ(n, 4);
    EXPECT_EQ(e.Tag, 0); // the end gives an empty entry
    // The thumbnail's size is its own, never the photo's.
    EXPECT_EQ(info.Width, 0);
}

TEST(ThumbnailDirectory, PhotoFactsComeFromTheMainDirectoriesOnly) {
    // A raw file's layout: IFD0 and the first SubIFD record reduced images, the second SubIFD the
    // full one; the thumbnail's directory records its own size and date.
    auto block = [](uint32_t previewAt, uint32_t fullAt) {
        TiffBlock t(false);
        const int preview = t.AddIfd(), full = t.AddIfd(), ifd1 = t.AddIfd();
        t.Long(0, 0x00FE, {1}).Short(0, 0x0100, {160}).Short(0, 0x0101, {120});
        t.Ascii(0, 0x0132, "2001:01:01 00:00:00").Long(0, 0x014A, {previewAt, fullAt}).Next(0, ifd1);
        t.Long(preview, 0x00FE, {1}).Long(preview, 0x0100, {1024}).Long(preview, 0x0101, {680});
        t.Long(full, 0x00FE, {0}).Long(full, 0x0100, {3008}).Long(full, 0x0101, {2000});
        t.Short(ifd1, 0x0100, {96}).Short(ifd1, 0x0101, {72}).Ascii(ifd1, 0x0132, "1999:09:09 09:09:09");
        t.Short(ifd1, 0x0103, {1}).Trailer(std::string(400, '\0'));
        return t;
    };
    const TiffBlock layout = block(0, 0);
    Read r(block(layout.IfdOffset(1), layout.IfdOffset(2)));
    auto& info = r.reader();
    ASSERT_TRUE(info.ReadThumbnailDirectory());
    EXPECT_EQ(info.ThumbEntries.size(), 4u);
    EXPECT_EQ(info.Width, 3008);
    EXPECT_EQ(info.Height, 2000);
    EXPECT_EQ(info.DateTimeText, "2001:01:01 00:00:00");
    EXPECT_EQ(info.WidthFields.size(), 1u);
}

TEST(ThumbnailDirectory, NextOffsetOfALaterDirectoryWhenIfd0HasNone) {
    TiffBlock t(true);
    const int exif = t.AddIfd();
    const int other = t.AddIfd();
    t.Link(0, 0x8769, exif);
    t.Short(exif, 0x8827, {100}).Next(exif, other);
    t.Short(other, 0x0103, {6});
    {
        Read r(t);
        EXPECT_EQ(r.reader().ThumbnailStart, static_cast<int32_t>(t.IfdOffset(other)));
        EXPECT_FALSE(r.data.HasThumbnail()); // too short a block
    }
    TiffBlock none(true);
    none.Ascii(0, 0x010F, "Canon");
    Read r(none);
    EXPECT_EQ(r.reader().ThumbnailStart, 0);
    EXPECT_FALSE(r.data.HasThumbnail());
}

TEST(FocalLength35, DerivedFromTheFocalPlane) {
    auto block = [](bool withPlane, bool with35) {
        TiffBlock t(true);
        const int exif = t.AddIfd();
        t.Link(0, 0x8769, exif);
        t.Rational(exif, 0x920A, {{50, 1}}).Short(exif, 0xA002, {3600}).Short(exif, 0xA003, {2400});
        if (withPlane) // 2540 pixels per inch: a 36 x 24 mm sensor
            t.Rational(exif, 0xA20E, {{2540, 1}})
                .Rational(exif, 0xA20F, {{2540, 1}})
                .Short(exif, 0xA210, {2});
        else // the unit then comes from the picture's resolution unit
            t.Short(0, 0x0128, {2});
        if (with35) t.Short(exif, 0xA405, {75});
        return t;
    };
    {
        Read r(block(true, false));
        const auto e = FindEntry(r.reader(), 0xA405);
        ASSERT_TRUE(e);
        EXPECT_EQ(e->Text, "50.00"); // full frame: factor 1
        EXPECT_EQ(e->FormatPattern, "%s mm");
        EXPECT_EQ(e->FieldType, 10);
        EXPECT_TRUE(e->Raw.empty());
        EXPECT_EQ(r.reader().LookupTagValue("FocalLengthin35mmFilm"), "50.00");
        EXPECT_NE(r.reader().Trace.find("\r\nFocal Length in 35mm Film = 50.00"), std::string::npos);
    }
    {
        Read r(block(false, false));
        EXPECT_FALSE(FindEntry(r.reader(), 0xA405));
        ReaderSettings().EstimateCropFactor = true;
        Read estimated(block(false, false));
        ReaderSettings().EstimateCropFactor = false;
        const auto e = FindEntry(estimated.reader(), 0xA405);
        ASSERT_TRUE(e);
        EXPECT_EQ(e->Text, "225.00");
    }
    {
        Read r(block(true, true));
        int n = 0;
        for (const auto& e : r.reader().Entries)
            n += e.Tag == 0xA405;
        EXPECT_EQ(n, 1);
        EXPECT_EQ(r.reader().LookupTagValue("FocalLengthIn35mmFilm"), "75.00 mm");
    }
}

TEST(EntryLists, CursorsSeparateTheLists) {
    Read r(CameraBlock(true));
    auto& info = r.reader();
    const size_t exifCount = info.Entries.size();
    info.AddMakerItem("Macro Mode", "Normal", 2, 0x0001);
    info.AddMakerItem("Ignored", "x", 2, 0); // no tag: never stored
    TTagEntry maker;
    maker.ListId = 1;
    maker.Tag = 0x0007;
    maker.Name = "FirmwareVersion";
    info.AddEntry(maker);
    EXPECT_EQ(info.Entries.size(), exifCount + 2);

    info.ResetEntryCursor();
    TTagEntry e;
    std::vector<std::string> names;
    while (info.NextEntry(1, e))
        names.push_back(e.Name);
    EXPECT_EQ(names, (std::vector<std::string>{"Macro Mode", "FirmwareVersion"}));
    info.ResetEntryCursor();
    size_t zero = 0;
    while (info.NextEntry(0, e))
        ++zero;
    EXPECT_EQ(zero, exifCount);
    EXPECT_FALSE(info.NextEntry(0, e));
    EXPECT_TRUE(e.Name.empty());
    // Look-ups by name cross lists unless one is asked for: the first entry of that name wins.
    EXPECT_EQ(info.LookupTagValue("MACRO MODE"), "Normal");
    EXPECT_EQ(info.LookupTagValue("MACRO MODE", 1), "Normal");
    EXPECT_EQ(info.ExifValue("MACRO MODE"), "");
    EXPECT_EQ(info.LookupTagIndex("nothing"), -1);
}
