#include "TagTables.h"
#include "ValueFormat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

using namespace quillmark;

TEST(TagTables, SizesAndClosingRow) {
    ASSERT_EQ(MainTagTable().size(), 362u);
    EXPECT_EQ(MainTagTable().back().Tag, 0);
    EXPECT_STREQ(MainTagTable().back().Name, "Unknown");
    ASSERT_EQ(GpsTagTable().size(), 32u);
    for (size_t i = 0; i < GpsTagTable().size(); ++i)
        EXPECT_EQ(GpsTagTable()[i].Tag, i);
    EXPECT_EQ(MarkerNameTable().size(), 30u);
    // Every tag row has its own tag.
    std::set<uint16_t> tags;
    for (size_t i = 0; i + 1 < MainTagTable().size(); ++i)
        tags.insert(MainTagTable()[i].Tag);
    EXPECT_EQ(tags.size(), 361u);
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
    EXPECT_EQ(MapLookup(alt.ValueMap, "0"), "Sealevel");
    EXPECT_EQ(LookupTagEntry(5, dkMain).Name, "Unknown");
    EXPECT_EQ(LookupTagEntry(5, dkMain).Tag, 0);
    EXPECT_EQ(LookupTagEntry(0x0112, 3).Name, "Unknown");
    EXPECT_EQ(LookupTagEntry(0xFFFF, dkMain).Tag, 0);
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
    EXPECT_EQ(ValueMapOf(0xA001, MainTagTable()).substr(0, 12), "0:sBW,1:sRGB");
    EXPECT_EQ(ValueMapOf(0x1234, MainTagTable()), "");
}

TEST(TagTables, EveryMapItemCanBeFound) {
    // "code:text" items joined by "," alone: an item behind ", " or a code that is no number is
    // never found by the look-up.
    for (auto table : {MainTagTable(), GpsTagTable()})
        for (const TTagRow& row : table) {
            std::string_view map = row.ValueMap;
            while (!map.empty()) {
                const std::string_view item = map.substr(0, map.find(','));
                map.remove_prefix(std::min(map.size(), item.size() + 1));
                const size_t colon = item.find(':');
                ASSERT_NE(colon, std::string_view::npos) << row.Name << ": " << item;
                const std::string code(item.substr(0, colon));
                EXPECT_NO_THROW(ParseInteger(code)) << row.Name << ": " << item;
                EXPECT_EQ(code, TrimText(code)) << row.Name << ": " << item;
                EXPECT_EQ(MapLookup(row.ValueMap, code), item.substr(colon + 1)) << row.Name << ": " << item;
            }
        }
}

TEST(TagTables, StandardValuesAllHaveTexts) {
    struct Case {
        uint16_t tag;
        std::vector<int> values;
    };
    const Case cases[] = {
        {0x0103, {1, 6}},
        {0x0106, {0, 1, 2, 3, 4, 5, 6, 8}},
        {0x0112, {1, 2, 3, 4, 5, 6, 7, 8}},
        {0x0128, {1, 2, 3}},
        {0x0213, {1, 2}},
        {0x8822, {0, 1, 2, 3, 4, 5, 6, 7, 8}},
        {0x9207, {0, 1, 2, 3, 4, 5, 6, 255}},
        {0x9208, {0, 1, 2, 3, 4, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 255}},
        {0xA001, {1, 65535}},
        {0xA210, {1, 2, 3}},
        {0xA217, {1, 2, 3, 4, 5, 7, 8}},
        {0xA300, {0, 1, 2, 3}},
        {0xA301, {1}},
        {0xA401, {0, 1}},
        {0xA402, {0, 1, 2}},
        {0xA403, {0, 1}},
        {0xA406, {0, 1, 2, 3}},
        {0xA407, {0, 1, 2, 3, 4}},
        {0xA408, {0, 1, 2}},
        {0xA409, {0, 1, 2}},
        {0xA40A, {0, 1, 2}},
        {0xA40C, {0, 1, 2, 3}},
    };
    for (const Case& c : cases)
        for (int v : c.values)
            EXPECT_NE(MapLookup(LookupTagEntry(c.tag, dkMain).ValueMap, std::to_string(v)), "")
                << HexWord(c.tag) << " " << v;
    const auto orientation = LookupTagEntry(0x0112, dkMain).ValueMap;
    EXPECT_EQ(MapLookup(orientation, "6"), "CounterClockwise 90\xB0"); // the texts it always had
    EXPECT_EQ(MapLookup(orientation, "2"), "Mirror horizontal");
    EXPECT_EQ(MapLookup(LookupTagEntry(0xA300, dkMain).ValueMap, "3"), "Digital Camera");
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
