// IPTC datasets of an APP13 section: the report lines, the merged entry list and its operations,
// comma texts, hostile sections, and the report's IPTC block.
#include "IptcData.h"
#include "PhotoReport.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace quillmark;
using namespace quillmark::testing;
using craft::IptcDataset;
using craft::JpegFile;

namespace {

using Lines = std::vector<std::string>;

// An APP13 section's data as the container keeps it: the two length bytes, then the body.
std::string Section(const std::string& body) {
    const size_t n = body.size() + 2;
    return std::string{static_cast<char>((n >> 8) & 0xFF), static_cast<char>(n & 0xFF)} + body;
}

std::string App13(const std::vector<IptcDataset>& datasets) {
    return Section(craft::PhotoshopApp13Body(datasets));
}

const std::string kHeader("Photoshop 3.0\0", 14);

Lines ListOf(const std::string& data) {
    TIPTCdata iptc(nullptr);
    return iptc.ListAsLines(data);
}

} // namespace

TEST(IptcTable, RowsAndLookups) {
    const auto table = IptcTable();
    ASSERT_EQ(table.size(), 49u);
    EXPECT_STREQ(table[0].Name, "SKIP");
    EXPECT_STREQ(table[0].Caption, "Record Version");
    EXPECT_EQ(table[11].Tag, 25);
    EXPECT_STREQ(table[11].Name, "Keywords");
    EXPECT_EQ(table[43].RawSize, 2000);
    EXPECT_STREQ(table[43].Caption, "Image caption");
    EXPECT_STREQ(table[35].Caption, "Country/Primary Location Code");
    EXPECT_EQ(table[48].SubCode, 8);
    EXPECT_EQ(table[48].Tag, 10);
    EXPECT_STREQ(table[48].Name, "Subfile");
    // Every row is record 2 but the last, in ascending dataset order.
    for (size_t i = 1; i + 1 < table.size(); ++i) {
        EXPECT_EQ(table[i].SubCode, 2);
        EXPECT_LT(table[i - 1].Tag, table[i].Tag);
    }

    EXPECT_EQ(TIPTCdata::TableIndexOfName("keywords"), 11);
    EXPECT_EQ(TIPTCdata::TableIndexOfName("SUBFILE"), 48);
    EXPECT_EQ(TIPTCdata::TableIndexOfName("skip"), 0);
    EXPECT_EQ(TIPTCdata::TableIndexOfName("Keyword"), -1);
    EXPECT_EQ(TIPTCdata::TableIndexOfName(""), -1);

    const TTagEntry e = IptcTableEntry(table[9]);
    EXPECT_EQ(e.SubCode, 2);
    EXPECT_EQ(e.Tag, 20);
    EXPECT_EQ(e.Name, "SuppCategory");
    EXPECT_EQ(e.Caption, "Supplemental category");
    EXPECT_EQ(e.RawSize, 32);
    EXPECT_EQ(e.ListId, 0);
    EXPECT_EQ(e.FieldType, 0);

    EXPECT_EQ(RepeatableDatasets.count(), 2u);
    EXPECT_TRUE(RepeatableDatasets.test(20));
    EXPECT_TRUE(RepeatableDatasets.test(25));
}

TEST(IptcLines, KnownCustomAndRecordEightDatasetsInFileOrder) {
    const std::string data = App13({
        {2, 0, std::string("\0\x04", 2)}, // record version: no line
        {2, 5, "Sunset"},
        {2, 25, "beach"},
        {2, 221, "x1"},
        {1, 90, "\x1B%G"}, // record 1: stepped over
        {2, 25, "BEACH"},  // repeated: listed again
        {2, 120, "Caf\xE9 \"au\" lait"},
        {8, 10, "ab"},
        {8, 0, "v"},
        {2, 116, ""},
    });
    EXPECT_EQ(ListOf(data), (Lines{
                                "Object name = Sunset",
                                "Keywords = beach",
                                "Custom_221 = x1",
                                "Keywords = BEACH",
                                "Image caption = Caf\xE9 \"au\" lait",
                                "Subfile = ab",
                                "Custom_0 = v",
                                "Copyright Notice = ",
                            }));
}

TEST(IptcLines, ValuesStayByteStrings) {
    const std::string value("a\0b\r\nc\xFF", 7);
    EXPECT_EQ(ListOf(App13({{2, 105, value}})), Lines{"Image headline = " + value});
}

TEST(IptcLines, WhereTheScanStarts) {
    // Without the identifier the scan starts at the 13th byte of the data: a dataset before it
    // is not seen.
    const std::string early = std::string("\0\0", 2) + std::string("\x1C\x02\x05\x00\x01X", 6) + "....";
    ASSERT_EQ(early.size(), 12u);
    EXPECT_EQ(ListOf(early + craft::IptcDatasets({{2, 90, "Rome"}})), Lines{"City = Rome"});
    EXPECT_EQ(ListOf(early), Lines{});

    // With it, the scan starts right after it; a dataset before it is not seen either.
    const std::string before = std::string("\0\0", 2) + std::string("\x1C\x02\x05\x00\x01X", 6);
    EXPECT_EQ(ListOf(before + kHeader + craft::IptcDatasets({{2, 90, "Oslo"}})), Lines{"City = Oslo"});

    // Tag markers followed by other records are passed by until one is followed by 2 or 8.
    EXPECT_EQ(ListOf(Section(kHeader + "\x1C\x1C\x03\x1C" + craft::IptcDatasets({{8, 10, "s"}}))),
              Lines{"Subfile = s"});

    // The first marker-and-record pair may lie in another Photoshop resource: it starts the scan.
    const std::string first = craft::PhotoshopResource(0x03ED, std::string("ab\x1C\x02\x05\x00\x02hi", 9));
    const std::string iptc = craft::PhotoshopResource(0x0404, craft::IptcDatasets({{2, 90, "Oslo"}}));
    EXPECT_EQ(ListOf(Section(kHeader + first + iptc)), Lines{"Object name = hi"});

    // No pair at all.
    EXPECT_EQ(ListOf(Section(kHeader + craft::PhotoshopResource(0x03ED, "\x1C\x01\x1C"))), Lines{});
    EXPECT_EQ(ListOf(""), Lines{});
}

TEST(IptcLines, HeaderBytesMustBeThereValueBytesMayBeShort) {
    // Fewer than three bytes after the record number: nothing.
    EXPECT_EQ(ListOf(Section(kHeader + std::string("\x1C\x02\x05\x00", 4))), Lines{});
    // Three: an empty value.
    EXPECT_EQ(ListOf(Section(kHeader + std::string("\x1C\x02\x05\x00\x00", 5))), Lines{"Object name = "});
    // A length past the end takes the bytes that exist, and the scan ends.
    EXPECT_EQ(ListOf(Section(kHeader + std::string("\x1C\x02\x05\x01\x00", 5) + "abc")),
              Lines{"Object name = abc"});
    EXPECT_EQ(ListOf(Section(kHeader + std::string("\x1C\x02\x05\xFF\xFF", 5) + "abc")),
              Lines{"Object name = abc"});
    // The extended-length form is not recognised: its length field is read as a plain length.
    EXPECT_EQ(ListOf(Section(kHeader + std::string("\x1C\x02\x78\x80\x02\x00\x05", 7) + "hello")),
              Lines{std::string("Image caption = \x00\x05hello", 23)});
}

TEST(IptcLines, TheDatasetsEndWhereTheTagMarkerIsMissing) {
    // After the last dataset comes the resource's pad byte and, here, bytes that would read as
    // a dataset if the pad byte were taken for a tag marker.
    const std::string body = craft::PhotoshopApp13Body({{2, 5, "ab"}});
    ASSERT_EQ(body.back(), '\0');
    EXPECT_EQ(ListOf(Section(body + std::string("\x02\x05\x00\x03", 4) + "bad")), Lines{"Object name = ab"});

    // As in files saved by Photoshop: the IPTC resource (even length, so no pad byte) followed
    // by a large resource such as the thumbnail. Skipping "8BIM" as if it were a dataset would
    // jump some 19 KB into the thumbnail and list whatever bytes are found there.
    const std::string datasets = craft::IptcDatasets({{2, 5, "Sunset"}, {2, 25, "seas"}});
    ASSERT_EQ(datasets.size() % 2, 0u);
    const std::string thumb = craft::PhotoshopResource(0x040C, std::string(30000, '\x02'));
    const std::string data = Section(kHeader + craft::PhotoshopResource(0x0404, datasets) + thumb);
    EXPECT_EQ(ListOf(data), (Lines{"Object name = Sunset", "Keywords = seas"}));
    TIPTCdata iptc(nullptr);
    ASSERT_TRUE(iptc.ReadIptc(data));
    EXPECT_EQ(iptc.Count(), 2);
}

TEST(IptcRead, EntriesMergedAndDropped) {
    TIPTCdata iptc(nullptr);
    iptc.SetSingleValue("City", "old"); // replaced by the read
    ASSERT_TRUE(iptc.ReadIptc(App13({
        {2, 0, std::string("\0\x04", 2)},
        {2, 25, "beach"},
        {2, 5, "One"},
        {2, 20, "SPO"},
        {1, 90, "x"},
        {2, 25, "Sea"},
        {2, 25, "BEACH"},
        {2, 5, "Two"},
        {2, 221, "c"},
        {2, 20, "spo"},
        {2, 25, "  sand  "},
        {8, 10, "ab"},
        {8, 0, "dropped"},
    })));
    ASSERT_EQ(iptc.Count(), 6);
    const auto& e = iptc.AllEntries();
    EXPECT_EQ(e[0].Name, "Keywords");
    EXPECT_EQ(e[0].Text, "beach,Sea,sand");
    EXPECT_EQ(e[0].SubCode, 2);
    EXPECT_EQ(e[0].Tag, 25);
    EXPECT_EQ(e[0].RawSize, 64);
    EXPECT_EQ(e[1].Name, "ObjectName");
    EXPECT_EQ(e[1].Text, "One");
    EXPECT_EQ(e[2].Name, "SuppCategory");
    EXPECT_EQ(e[2].Text, "SPO");
    // A dataset that is not repeatable is kept as often as it occurs; look-ups find the first.
    EXPECT_EQ(e[3].Name, "ObjectName");
    EXPECT_EQ(e[3].Text, "Two");
    EXPECT_EQ(iptc.GetValueByName("objectname"), "One");
    EXPECT_EQ(e[4].Name, "Custom_221");
    EXPECT_EQ(e[4].Caption, "Custom_221");
    EXPECT_EQ(e[4].Tag, 221);
    EXPECT_EQ(e[4].RawSize, 64);
    EXPECT_EQ(e[5].Name, "Subfile");
    EXPECT_EQ(e[5].SubCode, 8);
    EXPECT_EQ(iptc.IndexOfEntry("City"), -1);

    // Reading again starts afresh.
    ASSERT_TRUE(iptc.ReadIptc(App13({{2, 90, "Rome"}})));
    ASSERT_EQ(iptc.Count(), 1);
    EXPECT_EQ(iptc.EntryAt(0).Text, "Rome");
    ASSERT_TRUE(iptc.ReadIptc(""));
    EXPECT_FALSE(iptc.HasData());
}

TEST(IptcRead, AKeywordIsOneItemWhateverItHolds) {
    // A dataset holds one keyword: blanks, commas and quotes in it do not split it.
    TIPTCdata iptc(nullptr);
    ASSERT_TRUE(iptc.ReadIptc(App13({
        {2, 25, "New York"},
        {2, 25, "Smith, John"},
        {2, 25, "new york"},
        {2, 25, "say \"hi\""},
        {2, 25, "   "},
        {2, 25, "plain"},
    })));
    ASSERT_EQ(iptc.Count(), 1);
    const std::string text = iptc.GetValueByName("Keywords");
    EXPECT_EQ(text, "\"New York\",\"Smith, John\",\"say \"\"hi\"\"\",plain");
    EXPECT_EQ(SplitCommaText(text), (Lines{"New York", "Smith, John", "say \"hi\"", "plain"}));

    // A single keyword with a blank is quoted too; adding it again through the entry operations
    // (which take comma text) finds it there.
    ASSERT_TRUE(iptc.ReadIptc(App13({{2, 25, "New York"}})));
    EXPECT_EQ(iptc.GetValueByName("Keywords"), "\"New York\"");
    EXPECT_EQ(iptc.AddMultiValue("Keywords", "\"NEW YORK\",Paris"), 0);
    EXPECT_EQ(iptc.GetValueByName("Keywords"), "\"New York\",Paris");

    // Record 8 has no repeatable datasets of its own, but a repeated 8:25 is still kept.
    ASSERT_TRUE(iptc.ReadIptc(App13({{8, 25, "a"}, {8, 25, "b"}})));
    ASSERT_EQ(iptc.Count(), 1);
    EXPECT_EQ(iptc.EntryAt(0).Name, "Custom_25");
    EXPECT_EQ(iptc.EntryAt(0).Text, "a,b");
}

TEST(IptcEntries, SetAddAndRemove) {
    TIPTCdata iptc(nullptr);
    EXPECT_FALSE(iptc.HasData());
    EXPECT_EQ(iptc.GetValueByName("City", "none"), "none");

    // A table row is added under its own name, whatever the letter case asked for.
    EXPECT_EQ(iptc.SetSingleValue("city", "Rome"), 0);
    EXPECT_EQ(iptc.EntryAt(0).Name, "City");
    EXPECT_EQ(iptc.EntryAt(0).Caption, "City");
    EXPECT_EQ(iptc.EntryAt(0).RawSize, 32);
    EXPECT_EQ(iptc.SetSingleValue("CITY", "Oslo"), 0);
    EXPECT_EQ(iptc.GetValueByName("City"), "Oslo");
    EXPECT_EQ(iptc.SetSingleValue("City", ""), 0); // an empty value changes nothing
    EXPECT_EQ(iptc.GetValueByName("City"), "Oslo");
    EXPECT_EQ(iptc.SetSingleValue("Nowhere", "x"), -1);
    // The record version row is never stored: nothing added, and no other entry's index.
    EXPECT_EQ(iptc.SetSingleValue("SKIP", "x"), -1);
    EXPECT_EQ(iptc.Count(), 1);

    // Multi-valued: the value is comma text, merged without duplicates.
    EXPECT_EQ(iptc.AddMultiValue("Keywords", "sea, Sun \"blue sky\""), 1);
    EXPECT_EQ(iptc.GetValueByName("keywords"), "sea,Sun,\"blue sky\"");
    EXPECT_EQ(iptc.AddMultiValue("Keywords", "SUN,sand"), 1);
    EXPECT_EQ(iptc.GetValueByName("keywords"), "sea,Sun,\"blue sky\",sand");
    EXPECT_EQ(iptc.AddMultiValue("Keywords", ""), 1);
    EXPECT_EQ(iptc.GetValueByName("keywords"), "sea,Sun,\"blue sky\",sand");
    EXPECT_EQ(iptc.AddMultiValue("NoSuchRow", "a"), -1);

    // By name: only table rows, repeatable ones merged, others replaced.
    EXPECT_EQ(iptc.SetValueByName("Custom_5", "x"), -1);
    EXPECT_EQ(iptc.SetValueByName("SuppCategory", "b a"), 2);
    EXPECT_EQ(iptc.GetValueByName("SuppCategory"), "b,a");
    EXPECT_EQ(iptc.SetValueByName("suppcategory", "c"), 2);
    EXPECT_EQ(iptc.GetValueByName("SuppCategory"), "b,a,c");
    EXPECT_EQ(iptc.SetValueByName("City", "Bern"), 0);
    EXPECT_EQ(iptc.GetValueByName("City"), "Bern");
    EXPECT_EQ(iptc.SetValueByName("Subfile", "1"), 3);
    EXPECT_EQ(iptc.EntryAt(3).SubCode, 8);

    // Entries given whole; Tag 0 stands for no dataset and is not stored.
    TTagEntry custom;
    custom.SubCode = 2;
    custom.Tag = 221;
    custom.Name = custom.Caption = "Custom_221";
    custom.Text = "c";
    EXPECT_EQ(iptc.AddIptcEntry(custom), 4);
    TTagEntry none;
    none.Name = "Nothing";
    EXPECT_EQ(iptc.AddIptcEntry(none), 4);
    EXPECT_EQ(iptc.IndexOfEntry("custom_221"), 4);
    EXPECT_EQ(iptc.IndexOfEntry("Nothing"), -1);

    // Removing moves the later entries up.
    iptc.RemoveName("keywords");
    ASSERT_EQ(iptc.Count(), 4);
    EXPECT_EQ(iptc.IndexOfEntry("Keywords"), -1);
    EXPECT_EQ(iptc.IndexOfEntry("SuppCategory"), 1);
    EXPECT_EQ(iptc.IndexOfEntry("Custom_221"), 3);
    iptc.RemoveName("Keywords"); // no such entry: nothing happens
    EXPECT_EQ(iptc.Count(), 4);
    EXPECT_THROW(iptc.EntryAt(4), std::out_of_range);
    EXPECT_THROW(iptc.EntryAt(-1), std::out_of_range);
    iptc.Clear();
    EXPECT_FALSE(iptc.HasData());
}

TEST(IptcCommaText, ReadWriteAndMerge) {
    EXPECT_EQ(SplitCommaText("a,b c"), (Lines{"a", "b", "c"}));
    EXPECT_EQ(SplitCommaText("  a ,\t b\r\n,c  "), (Lines{"a", "b", "c"}));
    EXPECT_EQ(SplitCommaText("\"x, \"\"y\"\"\",z"), (Lines{"x, \"y\"", "z"}));
    EXPECT_EQ(SplitCommaText("\"open ended"), (Lines{"open ended"}));
    EXPECT_EQ(SplitCommaText("\"a\"b"), (Lines{"a", "b"}));
    EXPECT_EQ(SplitCommaText("a,,b"), (Lines{"a", "", "b"}));
    EXPECT_EQ(SplitCommaText("a,"), (Lines{"a", ""}));
    EXPECT_EQ(SplitCommaText("a, "), (Lines{"a"}));
    EXPECT_EQ(SplitCommaText(std::string("a\0b", 3)), (Lines{"a", "b"}));
    EXPECT_EQ(SplitCommaText("  "), Lines{});
    EXPECT_EQ(SplitCommaText("\"\""), Lines{""});

    EXPECT_EQ(JoinCommaText({"a", "b c", "d,e", "f\"g", std::string("h\0", 2), "\xE9t\xE9"}),
              std::string("a,\"b c\",\"d,e\",\"f\"\"g\",\"h") + '\0' + "\",\xE9t\xE9");
    EXPECT_EQ(JoinCommaText({}), "");
    EXPECT_EQ(JoinCommaText({""}), "\"\"");
    EXPECT_EQ(JoinCommaText({"a", ""}), "a,");

    EXPECT_EQ(MergeItems("", "b a"), "b,a");
    EXPECT_EQ(MergeItems("a,B", "b, c A"), "a,B,c");
    EXPECT_EQ(MergeItems("a", "\" spaced \""), "a,spaced");
    EXPECT_EQ(MergeItems("\"blue sky\"", "\"Blue Sky\",blue"), "\"blue sky\",blue");
    EXPECT_EQ(MergeItems("x", ""), "x");
    EXPECT_EQ(MergeItems("a,B", "b c d e f g h i j A k D"), "a,B,c,d,e,f,g,h,i,j,k");

    // What is written reads back as the same items.
    std::mt19937 rng(7);
    const std::string alphabet = std::string("aB ,\"\t\0\xE9", 8);
    for (int round = 0; round < 500; ++round) {
        Lines items(rng() % 5 + 1);
        for (auto& item : items) {
            const size_t len = rng() % 6 + 1;
            for (size_t i = 0; i < len; ++i)
                item += alphabet[rng() % alphabet.size()];
        }
        ASSERT_EQ(SplitCommaText(JoinCommaText(items)), items) << JoinCommaText(items);
    }
}

TEST(IptcHostile, TruncatedAtEveryByte) {
    const std::string full = App13({
        {2, 0, std::string("\0\x04", 2)},
        {2, 5, "Sunset over the bay"},
        {2, 25, "sea"},
        {1, 90, "xyz"},
        {2, 25, "sun"},
        {2, 20, "SPO"},
        {8, 10, "ab"},
        {2, 120, std::string(300, 'c')},
    });
    const Lines all = ListOf(full);
    ASSERT_EQ(all.size(), 6u);
    for (size_t n = 0; n <= full.size(); ++n) {
        SCOPED_TRACE(n);
        const std::string cut = full.substr(0, n);
        const Lines lines = ListOf(cut);
        ASSERT_LE(lines.size(), all.size());
        // Every line but the last is whole; the last may have lost the end of its value.
        for (size_t i = 0; i < lines.size(); ++i) {
            if (i + 1 < lines.size())
                EXPECT_EQ(lines[i], all[i]);
            else
                EXPECT_EQ(all[i].compare(0, lines[i].size(), lines[i]), 0);
        }
        TIPTCdata iptc(nullptr);
        EXPECT_TRUE(iptc.ReadIptc(cut));
        EXPECT_LE(iptc.Count(), 5);
    }
}

TEST(IptcHostile, RandomDamage) {
    std::string base = App13({
        {2, 5, "name"},
        {2, 25, "a b"},
        {2, 25, "c"},
        {2, 20, "x"},
        {2, 221, "custom"},
        {8, 10, "ab"},
        {2, 120, "caption..."},
        {2, 25, "d"},
    });
    base += craft::PhotoshopResource(0x040C, std::string(200, '\x02'));
    std::mt19937 rng(20261208);
    for (int round = 0; round < 3000; ++round) {
        std::string damaged = base;
        const int hits = 1 + static_cast<int>(rng() % 8);
        for (int h = 0; h < hits; ++h) {
            const size_t at = rng() % damaged.size();
            switch (rng() % 3) {
            case 0:
                damaged[at] = static_cast<char>(rng());
                break;
            case 1:
                damaged[at] = static_cast<char>(rng() % 2 ? 0x1C : 0xFF);
                break;
            default:
                damaged.resize(at + 1);
                break;
            }
        }
        const Lines lines = ListOf(damaged);
        // Each line stands for at least five bytes of the section.
        ASSERT_LE(lines.size(), damaged.size() / 5);
        TIPTCdata iptc(nullptr);
        ASSERT_TRUE(iptc.ReadIptc(damaged));
        ASSERT_LE(static_cast<size_t>(iptc.Count()), lines.size());
        for (const auto& e : iptc.AllEntries())
            ASSERT_NE(e.Tag, 0);
    }
}

TEST(IptcHostile, ASectionFullOfTinyDatasets) {
    // The largest section a JPEG can hold, every dataset five bytes long.
    std::string body = kHeader;
    while (body.size() + 5 <= 0xFFFD)
        body += craft::IptcDatasets({{2, 5, ""}});
    const Lines lines = ListOf(Section(body));
    EXPECT_EQ(lines.size(), (0xFFFD - kHeader.size()) / 5);
    EXPECT_EQ(lines.back(), "Object name = ");
    TIPTCdata iptc(nullptr);
    ASSERT_TRUE(iptc.ReadIptc(Section(body)));
    EXPECT_EQ(static_cast<size_t>(iptc.Count()), lines.size());

    // As many different keywords as fit: merged into one entry in one pass.
    std::string keywords = kHeader;
    int n = 0;
    while (keywords.size() + 8 <= 0xFFFD) {
        char k[4] = {static_cast<char>('A' + n / 676), static_cast<char>('a' + n / 26 % 26),
                     static_cast<char>('a' + n % 26), 0};
        keywords += craft::IptcDatasets({{2, 25, k}});
        ++n;
    }
    ASSERT_TRUE(iptc.ReadIptc(Section(keywords)));
    ASSERT_EQ(iptc.Count(), 1);
    EXPECT_EQ(SplitCommaText(iptc.EntryAt(0).Text).size(), static_cast<size_t>(n));
}

TEST(IptcReport, TheMemoListsTheDatasets) {
    TimgData d;
    const std::string file =
        JpegFile()
            .Soi()
            .Iptc({{2, 0, std::string("\0\x04", 2)}, {2, 5, "Sunset"}, {2, 25, "sea"}, {2, 25, "sun"}})
            .ScanAndEnd()
            .Bytes();
    ASSERT_TRUE(d.ProcessBytes("i.jpg", file));
    ASSERT_EQ(d.IptcSection, 1);
    ASSERT_TRUE(d.IptcReader);
    EXPECT_EQ(BuildPhotoReport(d).MemoLines,
              (Lines{"No Thumbnail", "", " IPTC Segment Available!", "", "Object name = Sunset",
                     "Keywords = sea", "Keywords = sun"}));
    // The report leaves the entry list alone; reading it is asked for separately.
    EXPECT_FALSE(d.IptcReader->HasData());
    ASSERT_TRUE(d.IptcReader->ReadIptc(d.Section(d.IptcSection).Data));
    EXPECT_EQ(d.IptcReader->GetValueByName("Keywords"), "sea,sun");
    EXPECT_EQ(d.IptcReader->Owner, &d);
}

TEST(IptcReport, IptcInATiffTagIsListedLikeAnApp13Section) {
    const std::vector<craft::IptcDataset> datasets = {{2, 5, "Sunset"}, {2, 25, "sea"}, {2, 25, "sun"}};
    const std::string records = craft::IptcDatasets(datasets);
    const Lines expected = {"Object name = Sunset", "Keywords = sea", "Keywords = sun"};
    // As UNDEFINED bytes, as LONGs (padded to whole components), and at a length whose size field
    // could pass for a dataset's start (0x1C02).
    std::string padded = records;
    padded.resize((records.size() + 3) / 4 * 4, '\0');
    std::string long7170 =
        records + craft::IptcDatasets({{2, 120, std::string(7170 - records.size() - 5, 'c')}});
    ASSERT_EQ(long7170.size(), 0x1C02u);
    const struct {
        uint16_t type;
        std::string bytes;
    } cases[] = {{craft::kUndefined, records}, {craft::kLong, padded}, {craft::kUndefined, long7170}};
    for (const auto& c : cases) {
        craft::TiffBlock t(true);
        t.Ascii(0, 0x010F, "Scanner")
            .Raw(0, 0x83BB, c.type, static_cast<uint32_t>(c.bytes.size() / (c.type == craft::kLong ? 4 : 1)),
                 c.bytes);
        TimgData d;
        ASSERT_TRUE(d.ProcessBytes("scan.tif", t.Build()));
        ASSERT_NE(d.IptcSection, 0);
        const Lines lines = d.IptcReader->ListAsLines(d.Section(d.IptcSection).Data);
        ASSERT_GE(lines.size(), 3u);
        EXPECT_EQ(Lines(lines.begin(), lines.begin() + 3), expected);
        EXPECT_EQ(lines.size(), c.bytes.size() == 0x1C02u ? 4u : 3u);
        ASSERT_TRUE(d.IptcReader->ReadIptc(d.Section(d.IptcSection).Data));
        EXPECT_EQ(d.IptcReader->GetValueByName("Keywords"), "sea,sun");
    }
}

TEST(IptcReport, AnIptcSectionWithoutLinesAddsNothing) {
    TimgData d;
    const std::string onlyVersion =
        JpegFile().Soi().Iptc({{2, 0, std::string("\0\x04", 2)}, {1, 90, "x"}}).ScanAndEnd().Bytes();
    ASSERT_TRUE(d.ProcessBytes("v.jpg", onlyVersion));
    EXPECT_EQ(BuildPhotoReport(d).MemoLines, Lines{"No Thumbnail"});

    const std::string noDatasets = JpegFile()
                                       .Soi()
                                       .Segment(0xED, kHeader + craft::PhotoshopResource(0x03ED, "res"))
                                       .ScanAndEnd()
                                       .Bytes();
    ASSERT_TRUE(d.ProcessBytes("n.jpg", noDatasets));
    EXPECT_EQ(BuildPhotoReport(d).MemoLines, Lines{"No Thumbnail"});

    // A camera file whose APP13 holds Photoshop resources but no IPTC datasets.
    ASSERT_TRUE(d.ProcessFile(SamplePath("nikon-e950.jpg")));
    ASSERT_NE(d.IptcSection, 0);
    EXPECT_EQ(d.IptcReader->ListAsLines(d.Section(d.IptcSection).Data), Lines{});
    const Lines memo = BuildPhotoReport(d).MemoLines;
    EXPECT_EQ(std::find(memo.begin(), memo.end(), " IPTC Segment Available!"), memo.end());
}
