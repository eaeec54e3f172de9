// The container: which files it reads, the JPEG section scan and its limits, the TIFF path.
#include "ImgData.h"
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

TEST(SectionScan, OnlyTheFirstFourSectionsMayStartTheMetadata) {
    // EXIF as the fifth section, after four sections that are none of EXIF, IPTC or comment.
    JpegFile late;
    late.Soi();
    for (int i = 0; i < 4; ++i)
        late.Segment(0xE2, App(10));
    late.Exif(SmallBlock()).ScanAndEnd();
    TimgData d;
    EXPECT_FALSE(d.ProcessBytes("late.jpg", late.Bytes()));
    EXPECT_EQ(d.ErrorText, "Not an EXIF file");
    EXPECT_FALSE(d.HasExif());

    // A comment among the first four keeps the scan going, but an APP1 as the sixth section or
    // later is dropped and its slot reused.
    JpegFile f;
    f.Soi().Comment("c");
    for (int i = 0; i < 4; ++i)
        f.Segment(0xE2, App(4));
    f.Exif(SmallBlock()).Segment(0xE3, App(3)).ScanAndEnd();
    ASSERT_TRUE(d.ProcessBytes("dropped.jpg", f.Bytes()));
    EXPECT_FALSE(d.HasExif());
    EXPECT_EQ(d.SectionCount, 7); // COM, 4 x APP2, APP3, SOS
    EXPECT_EQ(d.Section(6).Marker, 0xE3);
}

TEST(SectionScan, ASecondApp1IsDropped) {
    const std::string file = JpegFile()
                                 .Soi()
                                 .Exif(SmallBlock())
                                 .Segment(0xE1, "http://ns.adobe.com/xap/1.0/\0<x/>")
                                 .Comment("after")
                                 .ScanAndEnd()
                                 .Bytes();
    TimgData d;
    ASSERT_TRUE(d.ProcessBytes("xmp.jpg", file));
    EXPECT_EQ(d.SectionCount, 3); // APP1, COM, SOS
    EXPECT_EQ(d.ExifSection, 1);
    EXPECT_EQ(d.CommentSection, 2);
}

TEST(SectionScan, StopsAfterTwentySections) {
    JpegFile f;
    f.Soi().Comment("first");
    for (int i = 0; i < 25; ++i)
        f.Segment(0xE2, App(2));
    f.Comment("too late").ScanAndEnd();
    TimgData d;
    ASSERT_TRUE(d.ProcessBytes("many.jpg", f.Bytes()));
    EXPECT_EQ(d.SectionCount, 20);
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

TEST(SectionScan, ExifHeaderAndByteOrderMarkProblemsStillCountAsExif) {
    TimgData d;
    ASSERT_TRUE(
        d.ProcessBytes("noexif.jpg", JpegFile().Soi().Segment(0xE1, "Exig\0\0MM").ScanAndEnd().Bytes()));
    EXPECT_EQ(d.ErrorText, "<none>");
    EXPECT_TRUE(d.HasExif());
    EXPECT_TRUE(d.ExifReader->Entries.empty());

    ASSERT_TRUE(d.ProcessBytes("order.jpg",
                               JpegFile().Soi().Segment(0xE1, std::string("Exif\0\0XX\0\x2A", 10)).Bytes()));
    EXPECT_EQ(d.ErrorText, "<none>");
    EXPECT_TRUE(d.ExifReader->Entries.empty());

    ASSERT_TRUE(d.ProcessBytes("tiny.jpg", JpegFile().Soi().Segment(0xE1, "").Bytes()));
    EXPECT_TRUE(d.HasExif());
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

TEST(FileProcessing, ExtensionsChooseTheReader) {
    TempDir dir;
    const std::string jpeg = JpegWithExif(SmallBlock());
    TimgData d;
    for (const char* name : {"a.jpg", "b.JPG", "c.jpeg", "d.JPE", "e.dir.Jpeg"}) {
        EXPECT_TRUE(d.ProcessFile(dir.File(name, jpeg))) << name;
        EXPECT_EQ(d.ExifReader->CameraMake, "Canon") << name;
    }
    for (const char* name : {"f.jfif", "g.png", "noextension", "h.jpg.bak"}) {
        EXPECT_FALSE(d.ProcessFile(dir.File(name, jpeg))) << name;
        EXPECT_EQ(d.ErrorText, "Not an EXIF file") << name;
        EXPECT_FALSE(d.HasExif());
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

TEST(TiffPath, ReadsTheFirstBlockWithIfd0AtOffsetEight) {
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
            // File offset X sits at block position X - 7.
            EXPECT_EQ(FindEntry(info, 0x829D)->ValueOffset,
                      static_cast<int32_t>(t.ValueOffsetOf(exif, 0x829D)) - 7);
        }
    }
}

TEST(TiffPath, Ifd0ElsewhereIsStillTakenAtOffsetEight) {
    TiffBlock t(false);
    t.Before(0, std::string(64, '\0')); // IFD0 at offset 72, the header still says so
    t.Ascii(0, 0x010F, "Elsewhere");
    TimgData d;
    ASSERT_TRUE(d.ProcessBytes("moved.tif", t.Build()));
    EXPECT_EQ(d.ExifReader->CameraMake, ""); // offset 8 holds a directory of no entries
    EXPECT_FALSE(d.ProcessBytes("bad.tif", "PK\x03\x04"));
    EXPECT_EQ(d.ErrorText, "Not an EXIF file");
    // A header and nothing more: no directory to walk.
    EXPECT_FALSE(d.ProcessBytes("tiny.tif", "II"));
    EXPECT_EQ(d.ErrorText, "Not an EXIF file");
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
