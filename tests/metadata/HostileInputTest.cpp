// Files built to break a reader: lying counts, offsets outside the block, truncation, random
// damage. Each must give a clear outcome, never a crash, a hang or unbounded memory.
#include "HostileFiles.h"
#include "ImgData.h"
#include "MakerTables.h"
#include "PhotoReport.h"
#include "PhotoReportText.h"
#include "TestFiles.h"
#include "TextEncoding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <random>
#include <tuple>

using namespace quillmark;
using namespace quillmark::testing;
using craft::JpegFile;
using craft::TiffBlock;

namespace {

// Reads bytes as a file of that name would be read, and builds everything the window would show.
void ReadAndReport(const std::string& name, const std::string& bytes) {
    TimgData d;
    d.ProcessBytes(name, bytes);
    const TPhotoReport r = BuildPhotoReport(d);
    if (!d.HasExif()) {
        ASSERT_EQ(r.ExifRows.size(), 1u);
    }
    if (d.ExifReader) {
        (void)d.ExifReader->SummaryText();
        (void)d.ExifReader->ShortSummaryText();
    }
}

std::vector<std::pair<std::string, std::string>> Seeds() {
    std::vector<std::pair<std::string, std::string>> seeds;
    for (const char* name : {"Canon_40D.jpg", "Canon_PowerShot_S40.jpg", "Fujifilm_FinePix_E500.jpg",
                             "Nikon_COOLPIX_P1.jpg", "Nikon_D70.jpg", "Olympus_C8080WZ.jpg", "nikon-e950.jpg",
                             "nikon-gps-DSCN0010.jpg", "sanyo-vpcsx550.jpg"}) {
        std::string bytes = ReadAll(SamplePath(name));
        if (bytes.empty()) continue; // a missing photo has failed the test already; it cannot be damaged
        // The metadata lies in the first sections; damage beyond them tests nothing new.
        bytes.resize(std::min<size_t>(bytes.size(), 70000));
        seeds.emplace_back(name, bytes);
    }
    std::string tiff = ReadAll(SamplePath("BSG1.tiff"));
    tiff.resize(4096);
    seeds.emplace_back("BSG1.tiff", tiff);

    TiffBlock t(true);
    const int exif = t.AddIfd(), gps = t.AddIfd(), ifd1 = t.AddIfd();
    t.Ascii(0, 0x010F, "Canon").Link(0, 0x8769, exif).Link(0, 0x8825, gps).Next(0, ifd1);
    t.Rational(exif, 0x829A, {{1, 60}}).Short(exif, 0x9209, {25}).SRational(exif, 0x9201, {{6, 1}});
    t.Undefined(exif, 0x927C, "Nikon\0\2\x10\0\0MM\0\x2A\0\0\0\x08");
    t.Rational(gps, 0x0002, {{51, 1}, {2955, 100}, {0, 1}});
    t.Short(ifd1, 0x0103, {6}).LinkTrailer(ifd1, 0x0201).Long(ifd1, 0x0202, {300});
    t.Trailer(std::string(300, '\xFF'));
    seeds.emplace_back("crafted.jpg",
                       JpegFile().Soi().Comment("c").Exif(t).Iptc({{2, 5, "name"}}).ScanAndEnd().Bytes());
    seeds.emplace_back("crafted.tif", t.Build());
    return seeds;
}

} // namespace

TEST(HostileInput, TruncatedFilesOfEverySeed) {
    for (const auto& [name, bytes] : Seeds()) {
        SCOPED_TRACE(name);
        const size_t step = std::max<size_t>(1, bytes.size() / 97);
        for (size_t n = 0; n < bytes.size(); n += step)
            ReadAndReport(name, bytes.substr(0, n));
        for (size_t n = 0; n < std::min<size_t>(bytes.size(), 64); ++n)
            ReadAndReport(name, bytes.substr(0, n));
    }
}

TEST(HostileInput, BitFlippedFilesOfEverySeed) {
    std::mt19937 rng(20261208);
    for (const auto& [name, bytes] : Seeds()) {
        SCOPED_TRACE(name);
        // Damage where the metadata is: the first few kilobytes.
        const size_t span = std::min<size_t>(bytes.size(), 4096);
        for (int round = 0; round < 150; ++round) {
            std::string damaged = bytes;
            const int flips = 1 + static_cast<int>(rng() % 8);
            for (int k = 0; k < flips; ++k) {
                const size_t at = rng() % span;
                if (rng() % 3 == 0)
                    damaged[at] = static_cast<char>(rng());
                else
                    damaged[at] = static_cast<char>(damaged[at] ^ (1 << (rng() % 8)));
            }
            ReadAndReport(name, damaged);
        }
    }
}

TEST(HostileInput, DirectoryCountOf65535InAShortBlock) {
    TiffBlock t(true);
    t.Ascii(0, 0x010F, "Canon").CountOverride(0, 65535);
    TimgData d;
    EXPECT_TRUE(d.ProcessBytes("count.jpg", JpegWithExif(t)));
    EXPECT_EQ(d.ErrorText, "<none>");
    // The directory ends where the block does: the one entry inside it is kept.
    ASSERT_EQ(d.ExifReader->Entries.size(), 1u);
    EXPECT_EQ(d.ExifReader->CameraMake, "Canon");

    // In a TIFF file the directory is read where it is: one that runs past the file's end, or holds
    // nothing, leaves nothing to show and says so.
    TimgData tiff;
    const std::string bytes = t.Build();
    EXPECT_FALSE(tiff.ProcessBytes("count.tif", bytes));
    EXPECT_EQ(tiff.ErrorText, "The TIFF directory at offset 8 of a file of " + std::to_string(bytes.size()) +
                                  " bytes runs past its end");
    TiffBlock empty(true);
    empty.CountOverride(0, 0);
    EXPECT_FALSE(tiff.ProcessBytes("empty.tif", empty.Build()));
    EXPECT_EQ(tiff.ErrorText, "No entries in the TIFF directory at offset 8 of a file of 14 bytes");
}

TEST(HostileInput, CountTimesSizeBeyond32Bits) {
    TiffBlock t(false);
    t.RawField(0, 0x829A, 5, 0x40000000, 8)    // 2^33 bytes of rationals at offset 8
        .RawField(0, 0x0102, 3, 0x80000001, 8) // 2^32 + 2 bytes: wraps to 2 in 32 bits
        .RawField(0, 0x0110, 2, 0xFFFFFFFF, 8) // 4 GiB of text
        .Ascii(0, 0x010F, "After");
    TimgData d;
    ASSERT_TRUE(d.ProcessBytes("overflow.jpg", JpegWithExif(t)));
    auto& info = *d.ExifReader;
    EXPECT_EQ(info.CameraMake, "After");
    const auto model = FindEntry(info, 0x0110);
    ASSERT_TRUE(model);
    EXPECT_LE(model->Raw.size(), d.Section(1).Data.size()); // only the bytes the block has
    EXPECT_LE(model->Text.size(), 50u);
    const auto bits = FindEntry(info, 0x0102);
    ASSERT_TRUE(bits);
    EXPECT_GT(bits->Raw.size(), 4u); // read through its offset, not as a 2-byte value in the entry
}

TEST(HostileInput, OffsetsBeforeAndPastTheBlock) {
    TiffBlock t(true);
    const int exif = t.AddIfd();
    t.RawField(0, 0x010F, 2, 20, 0xFFFFFFF0)    // before the block
        .RawField(0, 0x0110, 2, 20, 0x7FFFFFF0) // far past its end
        .RawField(0, 0x0131, 2, 20, 0xFFFFFFF7) // exactly at position 0
        .RawField(0, 0x8825, 4, 1, 0xFFFFFF00)  // a sub-directory before the block
        .RawField(0, 0x014A, 4, 1, 0x00FFFFFF)  // and one past it
        .Link(0, 0x8769, exif)
        .NextRaw(0, 0xFFFFFFFF);
    t.Short(exif, 0x8827, {400});
    TimgData d;
    ASSERT_TRUE(d.ProcessBytes("offsets.jpg", JpegWithExif(t)));
    auto& info = *d.ExifReader;
    EXPECT_EQ(info.LookupTagValue("Make"), "");
    EXPECT_EQ(info.LookupTagValue("Model"), "");
    EXPECT_EQ(info.LookupTagValue("ISOSpeedRatings"), "400");
    EXPECT_FALSE(d.HasThumbnail());
    EXPECT_TRUE(info.ReadThumbnailDirectory() || true); // refused or empty, never a crash
}

TEST(HostileInput, ThumbnailDirectoryOutsideTheBlock) {
    TiffBlock t(true);
    t.Ascii(0, 0x010F, "Canon").NextRaw(0, 30).Trailer(std::string(2000, '\xFF'));
    TimgData d;
    ASSERT_TRUE(d.ProcessBytes("thumb.jpg", JpegWithExif(t)));
    ASSERT_TRUE(d.HasThumbnail());
    d.ExifReader->ReadThumbnailDirectory(); // 0xFFFF entries: refused by the size check
    EXPECT_TRUE(d.ExifReader->ThumbEntries.empty());
}

TEST(HostileInput, ManyLargeValuesStayWithinAMemoryBudget) {
    // A TIFF block full of entries whose values each claim the whole block.
    TiffBlock t(false);
    for (int i = 0; i < 20000; ++i)
        t.RawField(0, 0x010E, 1, 250000, 8);
    t.Trailer(std::string(60000, 'x'));
    TimgData d;
    ASSERT_TRUE(d.ProcessBytes("big.tif", t.Build()));
    size_t stored = 0;
    for (const auto& e : d.ExifReader->Entries)
        stored += e.Raw.capacity() + e.Text.capacity() + sizeof e;
    // Entries are kept while the budget lasts, beyond half of it with a short head of their value;
    // the last one says that the rest was left out.
    EXPECT_GT(d.ExifReader->Entries.size(), 1000u);
    EXPECT_EQ(d.ExifReader->Entries.back().Caption, TReadBudget::kCutNote);
    EXPECT_LE(stored, static_cast<size_t>(d.Budget.LimitBytes()) + 4096u);
}

TEST(HostileInput, MakerNoteEntriesShareTheMemoryBudget) {
    // A JPEG under 64 KB whose Canon note points thousands of entries at one large value: decoded
    // settings arrays and long texts. Kept whole, the values would take some 150 MB.
    constexpr int kEntries = 2400;
    TiffBlock t(false);
    const int exif = t.AddIfd();
    t.Ascii(0, 0x010F, "Canon").Link(0, 0x8769, exif);
    t.UndefinedAt(exif, 0x927C, [](uint32_t at) {
        const uint32_t values = at + 2 + 12 * kEntries + 4;
        const uint32_t size = 62000 - (values - at);
        TiffBlock n(false);
        n.WithoutHeader().Origin(at);
        for (int i = 0; i < kEntries; ++i) {
            if (i % 2 == 0)
                n.RawField(0, 0x0001, 3, size / 2, values); // camera settings
            else
                n.RawField(0, 0x0009, 7, size, values); // owner name
        }
        n.Trailer(std::string(size, '1'));
        return n.Build();
    });
    t.Short(exif, 0xA408, {2});
    const std::string photo = JpegWithExif(t);
    ASSERT_LT(photo.size(), 65536u);
    TimgData d;
    ASSERT_TRUE(d.ProcessBytes("budget.jpg", photo));
    const TImageInfo& info = *d.ExifReader;
    int64_t kept = static_cast<int64_t>(info.MakerTrace.size());
    size_t makerEntries = 0;
    for (const auto& e : info.Entries) {
        kept += static_cast<int64_t>(e.Raw.size() + e.Text.size());
        makerEntries += e.ListId == 1;
    }
    // The note's entries, with their decoded items, fill the share of the budget a maker note may
    // take and say where they were cut; the photo's own entries after the note are all kept.
    EXPECT_GT(makerEntries, 100u);
    const auto cut = FindEntry(info, 0xFFFF, 1);
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->ListId, 1);
    EXPECT_EQ(cut->Caption, TReadBudget::kCutNote);
    EXPECT_LE(info.KeptTotal(), d.Budget.LimitBytes());
    EXPECT_LE(kept, info.KeptTotal());
    EXPECT_EQ(FindEntry(info, 0xA408)->Text, "Hard");
}

TEST(HostileInput, OverlappingDirectoriesAreBoundedInNumber) {
    // Every entry of IFD0 names a different sub-directory, each of which does the same.
    TiffBlock t(true);
    std::vector<int> dirs;
    for (int i = 0; i < 40; ++i)
        dirs.push_back(t.AddIfd());
    for (int parent = 0; parent <= 40; ++parent) {
        const int from = parent == 0 ? 0 : dirs[static_cast<size_t>(parent - 1)];
        for (int child = 0; child < 40; ++child)
            if (child != parent - 1) t.Link(from, 0x014A, dirs[static_cast<size_t>(child)]);
    }
    TimgData d;
    ASSERT_TRUE(d.ProcessBytes("web.jpg", JpegWithExif(t)));
    EXPECT_LE(d.ExifReader->Entries.size(), static_cast<size_t>(TImageInfo::kMaxDirectories) * 40u);
}

TEST(HostileInput, App13AndCommentLengthsPastTheEnd) {
    TimgData d;
    const std::string iptc = JpegFile().Soi().SegmentWithLength(0xED, 0xFFFF, "Photoshop 3.0\0").Bytes();
    EXPECT_TRUE(d.ProcessBytes("iptc.jpg", iptc));
    EXPECT_EQ(d.IptcSection, 1);
    EXPECT_EQ(d.Section(1).Data.size(), iptc.size() - 4);
    ReadAndReport("iptc.jpg", iptc);
    ReadAndReport("com.jpg", JpegFile().Soi().SegmentWithLength(0xFE, 0xFFFF, "").Bytes());
}

TEST(HostileInput, TiffDirectoryChainsThatLoopOrLeaveTheFile) {
    // IFD0 -> IFD1 -> IFD0 again; a chain that leaves the file; a chain longer than any file's.
    TiffBlock loop(false);
    const int second = loop.AddIfd();
    loop.Ascii(0, 0x010F, "Loop").Next(0, second).Short(second, 0x0100, {1}).Next(second, 0);
    TiffBlock away(true);
    away.Ascii(0, 0x010F, "Away").NextRaw(0, 0xFFFFFFF0);
    TiffBlock longChain(true);
    longChain.Ascii(0, 0x010F, "Long");
    for (int i = 1; i <= 300; ++i)
        longChain.Next(longChain.AddIfd() - 1, i).Short(i, 0x0100, {static_cast<uint16_t>(i)});
    for (const auto& [t, make, thumbs] :
         {std::tuple{&loop, "Loop", 1}, {&away, "Away", 0}, {&longChain, "Long", 63}}) {
        TimgData d;
        ASSERT_TRUE(d.ProcessBytes("chain.tif", t->Build())) << make;
        EXPECT_EQ(d.ExifReader->CameraMake, make);
        EXPECT_EQ(d.ExifReader->ThumbEntries.size(), static_cast<size_t>(thumbs)) << make;
        ReadAndReport("chain.tif", t->Build());
    }
}

TEST(HostileInput, ATiffOfAGigabyteIsNotReadWhole) {
    // A sparse file: the header points at IFD0 a gigabyte in, where its directory and values lie.
    constexpr uint32_t kFar = 1u << 30;
    TiffBlock t(true);
    t.WithoutHeader().Origin(kFar).Ascii(0, 0x010F, "Far").Rational(0, 0x011A, {{300, 1}});
    TempDir dir;
    const std::string path = dir.File("huge.tif", std::string("MM\0*", 4) + craft::U32(kFar, true));
    {
        std::ofstream out(path, std::ios::binary | std::ios::in | std::ios::out);
        out.seekp(kFar);
        out << t.Build();
    }
    TimgData d;
    ASSERT_TRUE(d.ProcessFile(path));
    EXPECT_EQ(d.FileLength, int64_t{kFar} + static_cast<int64_t>(t.Build().size()));
    EXPECT_EQ(d.ExifReader->CameraMake, "Far");
    EXPECT_EQ(d.ExifReader->LookupTagValue("XResolution"), "300.00");
    EXPECT_EQ(d.Section(1).Data.size(), t.Build().size());
}

namespace {

// One link of a chain of sub-directories: each link tag the walk follows, in turn.
constexpr uint16_t kLinkTags[] = {0x8769, 0x8825, 0xA005, 0x014A};

// A block whose IFD0 starts a chain of `length` sub-directories, each holding one entry (its depth,
// as ISO speed in an EXIF or main directory, as the GPS version's first byte in a GPS one) and the
// link to the next; IFD0 has an entry after the link, read once the chain's walk has come back.
TiffBlock Chain(bool bigEndian, int length, bool throughEveryKind) {
    TiffBlock t(bigEndian);
    t.Ascii(0, 0x010F, "Chain");
    int previous = 0;
    for (int i = 0; i < length; ++i) {
        const int next = t.AddIfd();
        const uint16_t tag = throughEveryKind ? kLinkTags[i % 4] : 0x8769;
        if (previous != 0) {
            if (throughEveryKind && kLinkTags[(i + 3) % 4] == 0x8825)
                t.Byte(previous, 0x0000, {static_cast<uint8_t>(i), 0, 0, 0});
            else
                t.Short(previous, 0x8827, {static_cast<uint16_t>(i)});
        }
        t.Link(previous, tag, next);
        previous = next;
    }
    t.Short(previous, 0x8827, {9999});
    t.Ascii(0, 0x0131, "After the chain");
    return t;
}

} // namespace

TEST(HostileInput, SubDirectoriesChainedDeeperThanAnyPhoto) {
    // Real photos nest three levels at most (IFD0, EXIF, interoperability); a chain of thousands
    // must neither recurse without end nor lose what follows it.
    for (const bool bigEndian : {false, true}) {
        for (const bool everyKind : {false, true}) {
            SCOPED_TRACE(std::string(bigEndian ? "MM" : "II") +
                         (everyKind ? " every link kind" : " EXIF links"));
            const TiffBlock t = Chain(bigEndian, 1500, everyKind);
            for (const bool tiff : {false, true}) {
                TimgData d;
                const std::string bytes = tiff ? t.Build() : JpegWithExif(t);
                if (!tiff) {
                    ASSERT_LT(bytes.size(), 65536u) << "the chain must fit one EXIF section";
                }
                ASSERT_TRUE(d.ProcessBytes(tiff ? "chain.tif" : "chain.jpg", bytes));
                const TImageInfo& info = *d.ExifReader;
                EXPECT_EQ(info.LookupTagValue("Software"), "After the chain");
                // IFD0's three entries and the directories down to the depth limit, two entries each
                // at most; the end of the chain is never reached.
                EXPECT_LE(info.Entries.size(), static_cast<size_t>(3 + 2 * TImageInfo::kMaxDepth));
                EXPECT_GE(info.Entries.size(), static_cast<size_t>(TImageInfo::kMaxDepth));
                for (const TTagEntry& e : info.Entries)
                    EXPECT_NE(e.Text, "9999");
                ReadAndReport(tiff ? "chain.tif" : "chain.jpg", bytes);
            }
        }
    }
    // The thumbnail directory may start a chain of its own once the main walk is done.
    TiffBlock t(true);
    const int ifd1 = t.AddIfd();
    t.Ascii(0, 0x010F, "Canon").Next(0, ifd1).Short(ifd1, 0x0103, {6});
    int previous = ifd1;
    for (int i = 0; i < 2000; ++i) {
        const int next = t.AddIfd();
        t.Link(previous, 0x8769, next).Short(next, 0x8827, {static_cast<uint16_t>(i)});
        previous = next;
    }
    t.Trailer(std::string(400, '\xFF'));
    TimgData d;
    ASSERT_TRUE(d.ProcessBytes("thumbchain.jpg", JpegWithExif(t)));
    ASSERT_TRUE(d.HasThumbnail());
    EXPECT_TRUE(d.ExifReader->ReadThumbnailDirectory());
    EXPECT_LE(d.ExifReader->Entries.size() + d.ExifReader->ThumbEntries.size(),
              static_cast<size_t>(2 * (TImageInfo::kMaxDepth + 2)));
}

namespace {

// What a maker note of `layout` needs so that the dispatch chooses that layout: the version, and the
// bytes before its directory.
struct NoteLayout {
    std::string Version;
    std::string Prefix;
};

NoteLayout LayoutNeeds(const TMakerLayout& layout, bool bigEndian) {
    using namespace std::string_literals;
    const std::string name = layout.Name;
    if (name == "Nikon (newer)")
        return {"0220",
                "Nikon\0\2\x10\0\0"s + (bigEndian ? "MM\0\x2A"s : "II\x2A\0"s) + craft::U32(8, bigEndian)};
    if (name == "Nikon (old)") return {"0210", "Nikon\0\1\0"s};
    if (name == "Olympus (newer)") return {"0220", "OLYMPUS\0"s + (bigEndian ? "MM" : "II") + "\3\0"s};
    if (name == "Nikon (headerless)") return {"", ""};
    if (name == "Casio (QVC)") return {"0220", "QVC\0\0\0"s};
    if (name == "Fujifilm") return {"0220", "FUJIFILM\x0C\0\0\0"s};
    // The note's own header, or one of S bytes like the cameras' own, with the byte-order mark where
    // the layout reads it.
    std::string prefix =
        layout.Header.empty() ? std::string(layout.Key) + "\0\1\0"s : std::string(layout.Header);
    prefix.resize(static_cast<size_t>(layout.S), '\0');
    if (layout.OrderMark >= 0 && static_cast<size_t>(layout.OrderMark) + 2 <= prefix.size())
        prefix.replace(static_cast<size_t>(layout.OrderMark), 2, bigEndian ? "MM" : "II");
    // A TIFF header of the note's own at its start, its directory right behind it.
    if (layout.OwnTiffHeader && layout.OrderMark == 0)
        prefix = (bigEndian ? "MM\0\x2A"s : "II\x2A\0"s) + craft::U32(8, bigEndian);
    return {"0220", prefix};
}

// A photo whose EXIF directory holds a maker note for `layout` made by `fill` (a headerless
// directory placed and numbered as that layout reads it), then EXIF's Contrast ("Hard").
std::string MakerPhoto(const TMakerLayout& layout, bool bigEndian,
                       const std::function<void(TiffBlock&)>& fill) {
    const NoteLayout needs = LayoutNeeds(layout, bigEndian);
    TiffBlock t(bigEndian);
    const int exif = t.AddIfd();
    t.Ascii(0, 0x010F, layout.Key).Ascii(0, 0x0110, "Model").Link(0, 0x8769, exif);
    if (!needs.Version.empty()) t.Undefined(exif, 0x9000, needs.Version);
    t.UndefinedAt(exif, 0x927C, [&](uint32_t at) {
        TiffBlock inner(layout.LittleEndian ? false : bigEndian);
        inner.WithoutHeader().Origin(layout.BFromPosition ? at + static_cast<uint32_t>(layout.S)
                                                          : static_cast<uint32_t>(layout.BOffset - 1));
        fill(inner);
        return needs.Prefix + inner.Build();
    });
    t.Short(exif, 0xA408, {2});
    return JpegWithExif(t);
}

// The first row of the layout's table that is read and kept as it stands: not skipped, no
// decoder, no value map (which asks for a number), not tag 0 (which stands for no tag and is never
// stored).
const TTagRow& PlainRow(const TMakerLayout& layout) {
    for (const TTagRow& row : layout.Table)
        if (!row.Formatter && row.ValueMap[0] == '\0' && row.Tag != 0 &&
            std::string_view(row.Caption) != "Skip")
            return row;
    return layout.Table.front();
}

std::vector<std::string> MakerLines(TImageInfo& info) {
    std::vector<std::string> lines;
    info.ResetEntryCursor();
    TTagEntry e;
    while (info.NextEntry(1, e))
        lines.push_back(e.Caption + " = " + e.Text);
    return lines;
}

} // namespace

TEST(HostileInput, MakerNoteDirectoriesThatRunPastTheirBytes) {
    for (const TMakerLayout& layout : MakerLayouts()) {
        if (layout.Describe) continue; // no directory to walk
        for (const bool bigEndian : {false, true}) {
            SCOPED_TRACE(std::string(layout.Name) + (bigEndian ? " MM" : " II"));
            const TTagRow& row = PlainRow(layout);
            // One entry where the count promises 65535.
            TimgData d;
            ASSERT_TRUE(d.ProcessBytes("maker.jpg", MakerPhoto(layout, bigEndian, [&](TiffBlock& n) {
                                           n.Ascii(0, row.Tag, "v1").CountOverride(0, 65535);
                                       })));
            EXPECT_TRUE(d.ExifReader->MakerNoteDecoded);
            // (A table whose every row has a decoder shows the text as that decoder does.)
            const std::string shown = row.Formatter ? row.Formatter("\"v1\"") : "\"v1\"";
            EXPECT_EQ(MakerLines(*d.ExifReader),
                      std::vector<std::string>{std::string(row.Caption) + " = " + shown});
            // The walk came back to the block's own byte order and bytes: Contrast still reads.
            ASSERT_TRUE(FindEntry(*d.ExifReader, 0xA408));
            EXPECT_EQ(FindEntry(*d.ExifReader, 0xA408)->Text, "Hard");
            EXPECT_EQ(d.ExifReader->BigEndian, bigEndian);

            // Values behind offsets before the note, before the block, past the block, and with
            // sizes beyond 32 bits: what is kept never exceeds the block.
            TimgData far;
            ASSERT_TRUE(far.ProcessBytes("far.jpg", MakerPhoto(layout, bigEndian, [&](TiffBlock& n) {
                                             n.RawField(0, row.Tag, 2, 40, 0xFFFFFFF0)
                                                 .RawField(0, row.Tag, 2, 40, 0x7FFFFFF0)
                                                 .RawField(0, row.Tag, 7, 0xFFFFFFFF, 0)
                                                 .RawField(0, row.Tag, 12, 0x40000000, 0x80000000);
                                         })));
            const size_t block = far.Section(far.ExifSection).Data.size();
            for (const TTagEntry& e : far.ExifReader->Entries)
                EXPECT_LE(e.Raw.size(), block) << e.Name;
            EXPECT_EQ(FindEntry(*far.ExifReader, 0xA408)->Text, "Hard");
            ReadAndReport("far.jpg", MakerPhoto(layout, bigEndian, [&](TiffBlock& n) {
                              n.RawField(0, row.Tag, 5, 0x20000000, 0xFFFFFF00).CountOverride(0, 3);
                          }));
        }
    }
}

TEST(HostileInput, MakerNotesShorterThanTheirHeader) {
    using namespace std::string_literals;
    for (const TMakerLayout& layout : MakerLayouts()) {
        if (layout.Describe) continue; // no directory to walk
        const NoteLayout needs = LayoutNeeds(layout, true);
        for (size_t cut = 0; cut <= needs.Prefix.size() + 3; ++cut) {
            SCOPED_TRACE(std::string(layout.Name) + " cut to " + std::to_string(cut));
            TiffBlock t(true);
            const int exif = t.AddIfd();
            t.Ascii(0, 0x010F, layout.Key).Link(0, 0x8769, exif);
            if (!needs.Version.empty()) t.Undefined(exif, 0x9000, needs.Version);
            t.Undefined(exif, 0x927C, (needs.Prefix + "\0\x05\0\x01"s).substr(0, cut))
                .Short(exif, 0xA408, {2});
            TimgData d;
            ASSERT_TRUE(d.ProcessBytes("short.jpg", JpegWithExif(t)));
            EXPECT_TRUE(MakerLines(*d.ExifReader).empty());
            EXPECT_EQ(FindEntry(*d.ExifReader, 0xA408)->Text, "Hard");
        }
    }
}

TEST(HostileInput, MakerNotesPlacedAtTheTopOfThe32BitRange) {
    // A maker note whose value offset is near 2^31 (or past it) lies outside every block; its place,
    // and the base its offsets count from, must still be worked out without overflowing, in the
    // TIFF reader (which adds the header's 16 bytes) and the JPEG reader alike.
    for (const TMakerLayout& layout : MakerLayouts()) {
        if (layout.Describe) continue; // no directory to walk
        for (const uint32_t offset : {0x7FFFFFF0u, 0x7FFFFFFFu, 0xFFFFFFF0u}) {
            for (const char* name : {"far.tif", "far.jpg"}) {
                SCOPED_TRACE(std::string(layout.Name) + " " + name + " " + std::to_string(offset));
                const NoteLayout needs = LayoutNeeds(layout, std::string(name) == "far.jpg");
                TiffBlock t(true);
                const int exif = t.AddIfd();
                t.Ascii(0, 0x010F, layout.Key).Link(0, 0x8769, exif);
                if (!needs.Version.empty()) t.Undefined(exif, 0x9000, needs.Version);
                t.RawField(exif, 0x927C, 7, 64, offset).Short(exif, 0xA408, {2});
                const std::string bytes = std::string(name) == "far.jpg" ? JpegWithExif(t) : t.Build();
                TimgData d;
                ASSERT_TRUE(d.ProcessBytes(name, bytes));
                EXPECT_TRUE(MakerLines(*d.ExifReader).empty());
                EXPECT_EQ(FindEntry(*d.ExifReader, 0xA408)->Text, "Hard");
            }
        }
    }
}

TEST(HostileInput, WhatManyEntriesPointAtIsReadOnce) {
    // One directory of the maker note, one maker note, for every pointer at it.
    struct Case {
        const char* What;
        std::string Once, Many;
        uint16_t Tag; // of the entries read from what is pointed at
    };
    const Case cases[] = {
        {"maker sub-directory", hostile::MakerSubDirectoryFanOut(1, 40),
         hostile::MakerSubDirectoryFanOut(300, 40), 0x0300},
        {"maker note", hostile::MakerNoteFanOut(1, 40, 0), hostile::MakerNoteFanOut(300, 40, 0), 0x0008},
    };
    const auto count = [](const std::string& bytes, uint16_t tag) {
        TimgData d;
        EXPECT_TRUE(d.ProcessBytes("fan.tif", bytes));
        return std::count_if(d.ExifReader->Entries.begin(), d.ExifReader->Entries.end(),
                             [&](const TTagEntry& e) { return e.ListId == 1 && e.Tag == tag; });
    };
    for (const Case& c : cases) {
        EXPECT_GT(count(c.Once, c.Tag), 0) << c.What;
        EXPECT_EQ(count(c.Many, c.Tag), count(c.Once, c.Tag)) << c.What;
    }
}

TEST(HostileInput, TextsOverTheBudgetAreReallyShortened) {
    // Thousands of XP comments pointing at one text: beyond half the budget each keeps a short head,
    // in a string of that size, cut between characters.
    TimgData d;
    ASSERT_TRUE(d.ProcessBytes("xp.jpg", hostile::TextFanOut(4700, 8192, false)));
    size_t cut = 0;
    for (const TTagEntry& e : d.ExifReader->Entries) {
        if (e.Tag != 0x9C9C) continue;
        EXPECT_TRUE(IsValidUtf8(e.Text));
        if (e.Raw.size() > TImageInfo::kOverBudgetKeep) continue;
        ++cut;
        EXPECT_LE(e.Text.size(), TImageInfo::kOverBudgetKeep);
        EXPECT_LT(e.Text.capacity(), 2 * TImageInfo::kOverBudgetKeep);
        EXPECT_LT(e.Raw.capacity(), 2 * TImageInfo::kOverBudgetKeep);
    }
    EXPECT_GT(cut, 50u);
    EXPECT_LE(d.ExifReader->KeptTotal(), d.Budget.LimitBytes());
    EXPECT_EQ(d.ExifReader->Entries.back().Caption, TReadBudget::kCutNote);
    // The trace of the same entries stops first, and says so.
    EXPECT_TRUE(d.ExifReader->Trace.ends_with(TReadBudget::kCutNote));
    // The text's right-to-left override and line separator never reach the report as they are.
    const TFileReport report = RenderReport(d, true);
    EXPECT_EQ(report.Text.find("\xE2\x80\xAE"), std::string::npos);
    EXPECT_EQ(report.Text.find("\xE2\x80\xA8"), std::string::npos);
    EXPECT_NE(report.Json.find("\\u202e"), std::string::npos);
    EXPECT_EQ(report.Json.find("\xE2\x80\xAE"), std::string::npos);
}

TEST(HostileInput, IptcDatasetsAreCappedAndSaySo) {
    const std::string tiff = hostile::IptcDatasetsTiff(TIPTCdata::kMaxDatasets + 500);
    TimgData d;
    ASSERT_TRUE(d.ProcessBytes("iptc.tif", tiff));
    ASSERT_TRUE(d.IptcReader);
    const std::string& app13 = d.Section(d.IptcSection).Data;
    const auto lines = d.IptcReader->ListAsLines(app13);
    ASSERT_EQ(lines.size(), static_cast<size_t>(TIPTCdata::kMaxDatasets) + 1);
    EXPECT_EQ(lines.back(), TIPTCdata::kDatasetsCut);
    // The photo's reader stops at its budget, one without a container at the cap.
    EXPECT_FALSE(d.IptcReader->ReadIptc(app13));
    EXPECT_GT(d.IptcReader->Count(), 1000);
    EXPECT_LE(d.IptcReader->Count(), TIPTCdata::kMaxDatasets);
    TIPTCdata alone(nullptr);
    EXPECT_FALSE(alone.ReadIptc(app13));
    EXPECT_EQ(alone.Count(), TIPTCdata::kMaxDatasets);
}
