// The container: which files it reads, the JPEG section scan and its limits, the TIFF directories.
#include "ImgData.h"
#include "PhotoReport.h"
#include "ReaderSettings.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

using namespace quillmark;
using namespace quillmark::testing;
using craft::JpegFile;
using craft::TiffBlock;

namespace {

TiffBlock SmallBlock() {
    TiffBlock t(true);
    t.Ascii(0, 0x010F, "Canon").Short(0, 0x0112, {1});
    return t;
}

std::string App(int n) {
    return std::string(static_cast<size_t>(n), 'x');
}

} // namespace

TEST(SectionScan, CommentJfifAndExifAreRecognised) {
    const std::string file =
        JpegFile().Soi().Comment("Hello\r\nthere").Jfif().Exif(SmallBlock()).ScanAndEnd().Bytes();
    TimgData d;
    ASSERT_TRUE(d.ProcessBytes("a.jpg", file));
    EXPECT_EQ(d.ErrorText, "<none>");
    EXPECT_EQ(d.SectionCount, 4); // COM, APP0, APP1, SOS
    EXPECT_EQ(d.CommentSection, 1);
    EXPECT_EQ(d.JfifSection, 2);
    EXPECT_EQ(d.ExifSection, 3);
    EXPECT_EQ(d.Section(4).Marker, 0xDA);
    EXPECT_EQ(d.CommentText(), "Hello\r\nthere");
    EXPECT_TRUE(d.HasMetadata());
    EXPECT_TRUE(d.HasExif());
    EXPECT_EQ(d.ExifReader->CameraMake, "Canon");
    EXPECT_EQ(d.Section(1).Size, 2 + 12);
    EXPECT_EQ(d.Section(1).Data.substr(0, 2), std::string("\0\x0E", 2));
}

TEST(SectionScan, SectionsAreKnownByWhatTheyHoldAnywhereBeforeThePicture) {
    const std::string xmp("http://ns.adobe.com/xap/1.0/\0<x/>", 33);
    JpegFile many; // a late comment and APP13 after 25 other sections
    many.Soi();
    for (int i = 0; i < 25; ++i)
        many.Segment(0xE2, App(100));
    many.Comment("late").Iptc({{2, 5, "name"}}).ScanAndEnd();
    struct Case {
        const char* name;
        std::string bytes;
        bool read;
        int exif, comment, iptc, count;
    };
    const Case cases[] = {
        {"exif fifth",
         JpegFile()
             .Soi()
             .Segment(0xE2, App(4))
             .Segment(0xE2, App(4))
             .Segment(0xE2, App(4))
             .Segment(0xE2, App(4))
             .Exif(SmallBlock())
             .ScanAndEnd()
             .Bytes(),
         true, 5, 0, 0, 6},
        {"xmp before exif", JpegFile().Soi().Segment(0xE1, xmp).Exif(SmallBlock()).ScanAndEnd().Bytes(), true,
         2, 0, 0, 3},
        {"second exif",
         JpegFile().Soi().Exif(SmallBlock()).Exif(TiffBlock(false)).Comment("c").ScanAndEnd().Bytes(), true,
         1, 3, 0, 4},
        // An XMP packet is metadata too.
        {"xmp only", JpegFile().Soi().Jfif().Segment(0xE1, xmp).ScanAndEnd().Bytes(), true, 0, 0, 0, 3},
        {"late comment and iptc", many.Bytes(), true, 0, 26, 27, 28},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TimgData d;
        EXPECT_EQ(d.ProcessBytes("a.jpg", c.bytes), c.read);
        // A file of no known format says so; one named as a known format fails as that format.
        EXPECT_EQ(d.ErrorText, c.read                             ? "<none>"
                               : std::string(c.name) == "gif.gif" ? "Not a photo format Quillmark knows"
                                                                  : "Not an EXIF file");
        EXPECT_EQ(d.ExifSection, c.exif);
        EXPECT_EQ(d.CommentSection, c.comment);
        EXPECT_EQ(d.IptcSection, c.iptc);
        EXPECT_EQ(d.SectionCount, c.count);
        if (c.exif) {
            EXPECT_EQ(d.ExifReader->CameraMake, "Canon");
        } else {
            EXPECT_EQ(BuildPhotoReport(d).ExifRows.front().Item, "No Exif data in photo!");
        }
        // Sections the container does not use keep only their length bytes.
        for (int i = 1; i <= d.SectionCount; ++i) {
            const bool used = i == c.exif || i == c.comment || i == c.iptc || d.Section(i).Marker == 0xDA ||
                              d.Section(i).Marker == 0xE0;
            EXPECT_TRUE(used || d.Section(i).Data.size() == 2u) << i;
        }
    }
}

TEST(SectionScan, StopsAfterAThousandSections) {
    JpegFile f;
    f.Soi().Comment("first");
    for (int i = 0; i < TimgData::kMaxSections + 10; ++i)
        f.Segment(0xE2, App(2));
    f.Comment("too late").ScanAndEnd();
    TimgData d;
    ASSERT_TRUE(d.ProcessBytes("many.jpg", f.Bytes()));
    EXPECT_EQ(d.SectionCount, TimgData::kMaxSections);
    EXPECT_EQ(d.CommentText(), "first");
}

TEST(SectionScan, FillBytesLengthsAndEndOfFile) {
    TimgData d;
    // FF FF FF E1: fill bytes before the marker.
    const std::string tiff = SmallBlock().Build();
    std::string fill = std::string("\xFF\xD8\xFF\xFF\xFF\xE1", 6);
    const std::string body = craft::ExifApp1Body(tiff);
    fill += static_cast<char>((body.size() + 2) >> 8);
    fill += static_cast<char>((body.size() + 2) & 0xFF);
    fill += body;
    ASSERT_TRUE(d.ProcessBytes("fill.jpg", fill));
    EXPECT_EQ(d.SectionCount, 1);
    EXPECT_EQ(d.Section(1).Marker, 0xE1);
    EXPECT_EQ(d.ExifReader->CameraMake, "Canon"); // no SOS: the end of the file ends the scan

    // A length below 2 fails the read.
    EXPECT_FALSE(
        d.ProcessBytes("len.jpg", JpegFile().Soi().Comment("c").SegmentWithLength(0xE2, 1, "").Bytes()));
    EXPECT_EQ(d.ErrorText, "Not an EXIF file");

    // A length past the end keeps the bytes that exist.
    ASSERT_TRUE(d.ProcessBytes("short.jpg", JpegFile().Soi().SegmentWithLength(0xFE, 500, "abc").Bytes()));
    EXPECT_EQ(d.Section(1).Size, 500);
    EXPECT_EQ(d.Section(1).Data.size(), 5u);
    EXPECT_EQ(d.CommentText(), "abc");

    // No start of image.
    EXPECT_FALSE(d.ProcessBytes("x.jpg", "GIF89a"));
    EXPECT_FALSE(d.ProcessBytes("x.jpg", ""));
    EXPECT_FALSE(d.ProcessBytes("x.jpg", "\xFF"));
    EXPECT_EQ(d.ErrorText, "Not an EXIF file");
    // Only the start of image.
    EXPECT_FALSE(d.ProcessBytes("x.jpg", "\xFF\xD8"));
}

TEST(SectionScan, OnlyAnApp1SayingExifIsExif) {
    TimgData d;
    // Another identifier, or none: not EXIF, and nothing else either.
    EXPECT_FALSE(
        d.ProcessBytes("other.jpg", JpegFile().Soi().Segment(0xE1, "Exig\0\0MM").ScanAndEnd().Bytes()));
    EXPECT_FALSE(d.HasExif());
    EXPECT_FALSE(d.ProcessBytes("tiny.jpg", JpegFile().Soi().Segment(0xE1, "").Bytes()));
    EXPECT_EQ(d.ErrorText, "Not an EXIF file");
    // "Exif" with a bad byte-order mark still counts as EXIF, with no tags read.
    ASSERT_TRUE(d.ProcessBytes("order.jpg",
                               JpegFile().Soi().Segment(0xE1, std::string("Exif\0\0XX\0\x2A", 10)).Bytes()));
    EXPECT_EQ(d.ErrorText, "<none>");
    EXPECT_TRUE(d.ExifReader->Entries.empty());
}

TEST(SectionScan, AFailedWalkKeepsWhatWasRead) {
    TiffBlock t(true);
    t.FirstIfdOffsetRaw(0x7FFFFF00); // IFD0 far outside the block
    TimgData d;
    EXPECT_FALSE(d.ProcessBytes("bad.jpg", JpegFile().Soi().Comment("kept").Exif(t).ScanAndEnd().Bytes()));
    EXPECT_EQ(d.ErrorText, "Not an EXIF file");
    EXPECT_TRUE(d.HasExif());
    EXPECT_EQ(d.CommentText(), "kept");
    EXPECT_TRUE(d.ExifReader);
}

TEST(SectionScan, AStoredIfd0OffsetOfZeroMeansOffsetEight) {
    TiffBlock t = SmallBlock();
    t.FirstIfdOffsetRaw(0);
    TimgData d;
    ASSERT_TRUE(d.ProcessBytes("zero.jpg", JpegWithExif(t)));
    EXPECT_EQ(d.ExifReader->CameraMake, "Canon");
}

TEST(FileProcessing, TheFirstBytesChooseTheReaderAndTheNameOnlyWhenTheySayNeither) {
    TempDir dir;
    const std::string jpeg = JpegWithExif(SmallBlock());
    const std::string tiff = SmallBlock().Build();
    struct Case {
        const char* name;
        const std::string& bytes;
        bool read;
    };
    const std::string junk = "GIF89a and more";
    const Case cases[] = {
        {"a.jpg", jpeg, true},          {"b.JPG", jpeg, true},     {"c.jpeg", jpeg, true},
        {"d.JPE", jpeg, true},          {"e.jfif", jpeg, true},    {"noextension", jpeg, true},
        {"g.png", jpeg, true},          {"h.jpg.bak", jpeg, true}, {"jpeg-named.tif", jpeg, true},
        {"tiff-named.jpg", tiff, true}, {"raw.nef", tiff, true},   {"tiff", tiff, true},
        {"gif.jpg", junk, false},       {"gif.tif", junk, false},  {"gif.gif", junk, false},
    };
    TimgData d;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(d.ProcessFile(dir.File(c.name, c.bytes)), c.read);
        // A file of no known format says so; one named as a known format fails as that format.
        EXPECT_EQ(d.ErrorText, c.read                             ? "<none>"
                               : std::string(c.name) == "gif.gif" ? "Not a photo format Quillmark knows"
                                                                  : "Not an EXIF file");
        if (c.read) {
            EXPECT_EQ(d.ExifReader->CameraMake, "Canon");
            EXPECT_EQ(d.ExifReader->FromTiff, &c.bytes == &tiff);
        }
    }
}

TEST(FileProcessing, FileInformationAndMissingFiles) {
    TempDir dir;
    const std::string jpeg = JpegWithExif(SmallBlock());
    const std::string path = dir.File("photo.jpg", jpeg);
    TimgData d;
    ASSERT_TRUE(d.ProcessFile(path));
    EXPECT_EQ(d.PathName, path);
    EXPECT_EQ(d.FileLength, static_cast<int64_t>(jpeg.size()));
    EXPECT_GT(d.FileStamp, 40000.0); // after the year 2009

    EXPECT_FALSE(d.ProcessFile((dir.Path / "missing.jpg").string()));
    EXPECT_EQ(d.ErrorText, "");
    EXPECT_EQ(d.PathName, "");
    EXPECT_EQ(d.FileLength, 0);
    EXPECT_FALSE(d.HasExif());

    // A folder named like a photo is not a photo.
    std::filesystem::create_directory(dir.Path / "folder.jpg");
    EXPECT_FALSE(d.ProcessFile((dir.Path / "folder.jpg").string()));
    EXPECT_EQ(d.ErrorText, "");
}

TEST(FileProcessing, UnreadableFileIsAnIllegalConstruction) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
    TempDir dir;
    const std::string path = dir.File("locked.jpg", JpegWithExif(SmallBlock()));
    std::filesystem::permissions(path, std::filesystem::perms::none);
    TimgData d;
    EXPECT_FALSE(d.ProcessFile(path));
    EXPECT_EQ(d.ErrorText, "Illegal Exif construction");
}

TEST(TiffPath, ReadsTheDirectoriesWithIfd0AtOffsetEight) {
    for (bool bigEndian : {true, false}) {
        TiffBlock t(bigEndian);
        const int exif = t.AddIfd();
        t.Short(0, 0x0100, {640}).Short(0, 0x0101, {480}).Ascii(0, 0x010F, "NIKON").Link(0, 0x8769, exif);
        t.Rational(exif, 0x829D, {{56, 10}});
        TempDir dir;
        TimgData d;
        for (const char* name : {"scan.tif", "scan.TIFF", "raw.nef"}) {
            ASSERT_TRUE(d.ProcessFile(dir.File(name, t.Build()))) << name;
            EXPECT_EQ(d.ErrorText, "<none>");
            EXPECT_EQ(d.SectionCount, 1);
            EXPECT_EQ(d.ExifSection, 1);
            EXPECT_EQ(d.BigEndian, bigEndian);
            EXPECT_FALSE(d.ReadingTiff);
            auto& info = *d.ExifReader;
            EXPECT_TRUE(info.FromTiff);
            EXPECT_EQ(info.CameraMake, "NIKON");
            EXPECT_EQ(info.Width, 640);
            EXPECT_EQ(info.LookupTagValue("FNumber"), "F5.6");
            EXPECT_EQ(info.ThumbnailStart, 0); // no thumbnail directory in a TIFF file
            // The block starts at the first byte the directories need: here IFD0, at offset 8.
            EXPECT_EQ(d.BlockBase, -7);
            EXPECT_EQ(FindEntry(info, 0x829D)->ValueOffset,
                      static_cast<int32_t>(t.ValueOffsetOf(exif, 0x829D)) + d.BlockBase);
        }
    }
}

TEST(TiffPath, DirectoriesAreReadWhereTheyLieAndNoMoreOfTheFile) {
    // IFD0 after a megabyte of picture data, its EXIF directory after another, IFD1 chained to it.
    TiffBlock t(true);
    const int exif = t.AddIfd(), ifd1 = t.AddIfd();
    t.Before(0, std::string(1 << 20, '\x55')).Before(exif, std::string(1 << 20, '\x66'));
    t.Short(0, 0x0100, {4000}).Ascii(0, 0x010F, "Far away").Link(0, 0x8769, exif).Next(0, ifd1);
    t.Rational(exif, 0x829D, {{28, 10}});
    t.Short(ifd1, 0x0100, {160}).Long(ifd1, 0x0201, {12});
    TempDir dir;
    const std::string path = dir.File("far.tif", t.Build());
    TimgData d;
    ASSERT_TRUE(d.ProcessFile(path));
    const TImageInfo& info = *d.ExifReader;
    EXPECT_EQ(info.CameraMake, "Far away");
    EXPECT_EQ(info.LookupTagValue("FNumber"), "F2.8");
    EXPECT_EQ(info.Width, 4000); // the photo's, not the chained directory's
    ASSERT_EQ(info.ThumbEntries.size(), 2u);
    EXPECT_EQ(info.ThumbEntries[0].Text, "160");
    // From IFD0 to IFD1, with the megabyte between IFD0 and the EXIF directory left unread (zero).
    EXPECT_EQ(d.BlockBase, 1 - static_cast<int64_t>(t.IfdOffset(0)));
    EXPECT_EQ(d.Section(1).Data.size(), t.IfdOffset(ifd1) + 2 + 2 * 12 + 4 - t.IfdOffset(0));
    EXPECT_EQ(d.Section(1).Data.find('\x66'), std::string::npos);

    // A directory so far away that the block would outgrow its limit is left out; IFD0 is read.
    const int32_t limit = ReaderSettings().TiffReadSize;
    ReaderSettings().TiffReadSize = 1 << 16;
    ASSERT_TRUE(d.ProcessFile(path));
    ReaderSettings().TiffReadSize = limit;
    EXPECT_EQ(d.ExifReader->CameraMake, "Far away");
    EXPECT_EQ(d.ExifReader->LookupTagValue("FNumber"), "");
}

TEST(TiffPath, AMakerNoteFarIntoTheFileReadsAsInAJpeg) {
    // A Canon note whose value offsets count from the TIFF header, as a camera writes them.
    TiffBlock t(false);
    const int exif = t.AddIfd();
    t.Before(0, std::string(60000, '\0')).Ascii(0, 0x010F, "Canon").Link(0, 0x8769, exif);
    t.UndefinedAt(exif, 0x927C, [](uint32_t at) {
        TiffBlock note(false);
        note.WithoutHeader().Origin(at).Ascii(0, 0x0006, "IMG:PowerShot").Long(0, 0x0008, {42});
        return note.Build();
    });
    for (const char* name : {"far.tif", "far.jpg"}) {
        TimgData d;
        ASSERT_TRUE(d.ProcessBytes(name, std::string(name) == "far.tif" ? t.Build() : JpegWithExif(t)))
            << name;
        ASSERT_TRUE(FindEntry(*d.ExifReader, 0x0006, 1)) << name;
        EXPECT_EQ(FindEntry(*d.ExifReader, 0x0006, 1)->Text, "\"IMG:PowerShot\"") << name;
    }
}

TEST(TiffPath, AFileWithNoReadableDirectoryIsAnError) {
    TiffBlock beyond(false);
    beyond.Ascii(0, 0x010F, "x").FirstIfdOffsetRaw(5000);
    TiffBlock cut(false);
    cut.Ascii(0, 0x010F, "x").CountOverride(0, 3);
    const std::string tiny("MM\0*\0\0\0\x08\0", 9);
    const struct {
        std::string bytes, error;
    } cases[] = {
        {"PK\x03\x04", "Not an EXIF file"},
        {"II", "No TIFF directory: the file ends in its header"},
        {beyond.Build(), "No TIFF directory at offset 5000 of a file of 26 bytes"},
        {cut.Build(), "The TIFF directory at offset 8 of a file of 26 bytes runs past its end"},
        {tiny, "No TIFF directory at offset 8 of a file of 9 bytes"},
    };
    for (const auto& c : cases) {
        TimgData d;
        EXPECT_FALSE(d.ProcessBytes("bad.tif", c.bytes));
        EXPECT_EQ(d.ErrorText, c.error);
    }
}

TEST(FileProcessing, BytesInMemoryReadLikeTheFile) {
    const std::string path = SamplePath("Canon_40D.jpg");
    TimgData fromFile, fromBytes;
    ASSERT_TRUE(fromFile.ProcessFile(path));
    ASSERT_TRUE(fromBytes.ProcessBytes(path, ReadAll(path)));
    ASSERT_EQ(fromFile.ExifReader->Entries.size(), fromBytes.ExifReader->Entries.size());
    for (size_t i = 0; i < fromFile.ExifReader->Entries.size(); ++i)
        EXPECT_EQ(fromFile.ExifReader->Entries[i].Text, fromBytes.ExifReader->Entries[i].Text);
    EXPECT_EQ(fromFile.ExifReader->Trace, fromBytes.ExifReader->Trace);
    EXPECT_EQ(fromFile.FileLength, fromBytes.FileLength);
}

TEST(FileProcessing, SectionsOfEverySizeAroundTheReadBufferReadLikeBytes) {
    // Sections shorter than, as long as and longer than the file reader's buffer, in every order,
    // so that markers and section bodies fall on and across its edges.
    TiffBlock t = SmallBlock();
    for (size_t exifPad : {0u, 8000u, 8190u, 8192u, 20000u}) {
        for (size_t commentSize : {1u, 8189u, 8193u, 30000u}) {
            TiffBlock block = t;
            block.Trailer(std::string(exifPad, '\x11'));
            const std::string file = JpegFile()
                                         .Soi()
                                         .Segment(0xE2, App(static_cast<int>(commentSize % 7000)))
                                         .Exif(block)
                                         .Comment(std::string(commentSize, 'c'))
                                         .ScanAndEnd()
                                         .Bytes();
            TempDir dir;
            TimgData fromFile, fromBytes;
            SCOPED_TRACE(std::to_string(exifPad) + "/" + std::to_string(commentSize));
            ASSERT_TRUE(fromFile.ProcessFile(dir.File("edge.jpg", file)));
            ASSERT_TRUE(fromBytes.ProcessBytes("edge.jpg", file));
            ASSERT_EQ(fromFile.SectionCount, fromBytes.SectionCount);
            for (int i = 1; i <= fromFile.SectionCount; ++i)
                EXPECT_EQ(fromFile.Section(i).Data, fromBytes.Section(i).Data) << i;
            EXPECT_EQ(fromFile.CommentText(), std::string(commentSize, 'c'));
            EXPECT_EQ(fromFile.ExifReader->CameraMake, "Canon");
        }
    }
}
