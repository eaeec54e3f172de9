#include "TagTables.h"
#include "ValueFormat.h"

#include <gtest/gtest.h>
#include <set>

using namespace quillmark;

TEST(TagTables, SizesAndClosingRow) {
    ASSERT_EQ(MainTagTable().size(), 251u);
    EXPECT_EQ(MainTagTable().back().Tag, 0);
    EXPECT_STREQ(MainTagTable().back().Name, "Unknown");
    ASSERT_EQ(GpsTagTable().size(), 31u);
    for (size_t i = 0; i < GpsTagTable().size(); ++i)
        EXPECT_EQ(GpsTagTable()[i].Tag, i);
    EXPECT_EQ(MarkerNameTable().size(), 30u);
    // Every tag row has its own tag.
    std::set<uint16_t> tags;
    for (size_t i = 0; i + 1 < MainTagTable().size(); ++i)
        tags.insert(MainTagTable()[i].Tag);
    EXPECT_EQ(tags.size(), 250u);
}

TEST(TagTables, SplitCamelCase) {
    EXPECT_EQ(SplitCamelCase("FocalLength"), "Focal Length");
    EXPECT_EQ(SplitCamelCase("ISOSpeedRatings"), "ISOSpeed Ratings");
    EXPECT_EQ(SplitCamelCase("GPSLatitudeRef"), "GPSLatitude Ref");
    EXPECT_EQ(SplitCamelCase("FNumber"), "FNumber");
    EXPECT_EQ(SplitCamelCase("Unknown"), "Unknown");
    EXPECT_EQ(SplitCamelCase("TIFF/EPStandardID"), "TIFF/ EPStandard ID");
    EXPECT_EQ(SplitCamelCase(""), "");
}

TEST(TagTables, CaptionsAreFilledOnceAndKeepTableCaptions) {
    FillCaptions(true);
    FillCaptions(false); // later calls change nothing
    EXPECT_EQ(LookupTagEntry(0x920A, dkMain).Caption, "Focal Length");
    EXPECT_EQ(LookupTagEntry(0x9216, dkMain).Caption, "TIFF/ EPStandard ID");
    EXPECT_EQ(LookupTagEntry(0xA216, dkMain).Caption, "TIFF/EPStandardID");
    EXPECT_EQ(LookupTagEntry(0xA405, dkMain).Caption, "Focal Length in 35mm Film");
    EXPECT_EQ(LookupTagEntry(0x83BB, dkThumbnail).Caption, "IPTC/NAA");
    EXPECT_EQ(LookupTagEntry(0x0000, dkGps).Caption, "GPSVersion ID");
    const auto diff = LookupTagEntry(0x001E, dkGps);
    EXPECT_EQ(diff.Name, "GPSDifferential");
    EXPECT_EQ(diff.Caption, "GPSDifferential");
}

TEST(TagTables, LookupsByTagKindAndName) {
    const auto alt = LookupTagEntry(5, dkGps);
    EXPECT_EQ(alt.Name, "GPSAltitudeRef");
    EXPECT_EQ(alt.ValueMap, "0:Sealevel");
    EXPECT_EQ(LookupTagEntry(5, dkMain).Name, "Unknown");
    EXPECT_EQ(LookupTagEntry(5, dkMain).Tag, 0);
    EXPECT_EQ(LookupTagEntry(0x0112, 3).Name, "Unknown");
    EXPECT_EQ(LookupTagEntry(0xFFFF, dkMain).Tag, 0);
    const auto orientation = LookupTagEntry(0x0112, dkMain);
    EXPECT_EQ(orientation.ValueMap,
              "1:Normal,3:Rotated 180\xB0,6:CounterClockwise 90\xB0,8:Clockwise 90\xB0");
    EXPECT_EQ(LookupTagEntry(0x829D, dkMain).FormatPattern, "F%0.1f");
    EXPECT_EQ(LookupTagEntry(0x9209, dkMain).Formatter, &FlashText);
    EXPECT_EQ(LookupTagEntry(0x0002, dkGps).Formatter, &GpsDegreesText);

    const int i = MainTableIndexOfName("FocalLengthIn35mmFilm");
    ASSERT_GE(i, 0);
    EXPECT_EQ(MainTagTable()[static_cast<size_t>(i)].Tag, 0xA405);
    EXPECT_EQ(MainTableIndexOfName("Unknown"), -1); // the closing row is not a tag row
    // Repeated names: the first row wins.
    EXPECT_EQ(MainTagTable()[static_cast<size_t>(MainTableIndexOfName("flashenergy"))].Tag, 0x920B);

    EXPECT_EQ(IndexOfTag(0x0007, GpsTagTable()), 7);
    EXPECT_EQ(IndexOfTag(0x1234, GpsTagTable()), -1);
    EXPECT_EQ(ValueMapOf(0xA001, MainTagTable()), "0:sBW,1:sRGB");
    EXPECT_EQ(ValueMapOf(0x1234, MainTagTable()), "");
}

TEST(TagTables, MarkerNames) {
    EXPECT_EQ(MarkerName(0xC0), "Baseline");
    EXPECT_EQ(MarkerName(0xCC), "Define arithmetic coding conditioning");
    EXPECT_EQ(MarkerName(0xE1), "Exif Data");
    EXPECT_EQ(MarkerName(0xED), "IPTC data");
    EXPECT_EQ(MarkerName(0xFE), "Comment");
    EXPECT_EQ(MarkerName(0x00), "Unknown");
    EXPECT_EQ(MarkerName(0xE5), "Unknown");
}
