// The long and short summaries, and the report lines and list rows built for the window.
#include "ImgData.h"
#include "PhotoReport.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

using namespace quillmark;
using namespace quillmark::testing;
using craft::JpegFile;
using craft::TiffBlock;

namespace {

// 2020-01-02, as days since 1899-12-30.
constexpr double kStamp = 43832.5;

TiffBlock Camera(bool withModel, bool withExposureTime, uint16_t flash) {
    TiffBlock t(true);
    const int exif = t.AddIfd();
    t.Ascii(0, 0x010F, "Canon");
    if (withModel) t.Ascii(0, 0x0110, "Canon EOS 40D");
    t.Ascii(0, 0x0132, "2008:07:31 10:38:11").Link(0, 0x8769, exif);
    if (withExposureTime) t.Rational(exif, 0x829A, {{1, 160}});
    t.Rational(exif, 0x829D, {{71, 10}})
        .Short(exif, 0x8827, {100})
        .Ascii(exif, 0x9003, "2008:05:30 15:56:01")
        .SRational(exif, 0x9201, {{6, 1}})
        .Short(exif, 0x9209, {flash})
        .Rational(exif, 0x920A, {{135, 1}})
        .Short(exif, 0xA002, {100})
        .Short(exif, 0xA003, {68});
    return t;
}

// A JPEG padded with a comment to an exact size, so the size lines can be checked.
std::string Padded(const std::string& jpeg, size_t size) {
    std::string out = jpeg;
    if (out.size() < size) out.append(size - out.size(), '\0');
    return out;
}

} // namespace

TEST(Summaries, LongAndShortOfACameraPhoto) {
    TimgData d;
    ASSERT_TRUE(
        d.ProcessBytes("/photos/IMG_0001.JPG", Padded(JpegWithExif(Camera(true, true, 9)), 5000), kStamp));
    EXPECT_EQ(d.ExifReader->SummaryText(), "File Name: IMG_0001.JPG\r\n"
                                           "File Size: 4k\r\n"
                                           "File Date: 2020-01-02\r\n"
                                           "Photo Date: 2008:05:30 15:56:01\r\n"
                                           "Make (Model): Canon (Canon EOS 40D)\r\n"
                                           "Dimensions: 100 x 68\r\n"
                                           "Exposure Time: 1/160 sec\r\n"
                                           "Focal Length: 135.00 mm\r\n"
                                           "FNumber: F7.1\r\n"
                                           "ISO: 100\r\n"
                                           "Flash: Yes");
    EXPECT_EQ(d.ExifReader->ShortSummaryText(), "IMG_0001.JPG 4k 2008:05:30 100w 68h  Flash");
}

TEST(Summaries, MissingValuesAndFallbacks) {
    TimgData d;
    ASSERT_TRUE(d.ProcessBytes("p.jpg", Padded(JpegWithExif(Camera(false, false, 16)), 1023), kStamp));
    const std::string s = d.ExifReader->SummaryText();
    EXPECT_NE(s.find("\r\nFile Size: 0k\r\n"), std::string::npos);
    EXPECT_NE(s.find("\r\nMake (Model): Canon ()\r\n"), std::string::npos);
    EXPECT_NE(s.find("\r\nExposure Time: 0.0156 sec (1/64)\r\n"), std::string::npos);
    EXPECT_EQ(s.substr(s.size() - 11), "\r\nFlash: No");
    EXPECT_EQ(d.ExifReader->ShortSummaryText(), "p.jpg 0k 2008:05:30 100w 68h ");

    ASSERT_TRUE(d.ProcessBytes("p.jpg", Padded(JpegWithExif(Camera(true, true, 25)), 2048), kStamp));
    EXPECT_NE(d.ExifReader->SummaryText().find("\r\nFile Size: 2k\r\n"), std::string::npos);
    EXPECT_NE(d.ExifReader->SummaryText().find("Flash: Yes"), std::string::npos);
}

TEST(Summaries, WithoutExifOrWithAnEmptyOne) {
    TimgData d;
    ASSERT_TRUE(d.ProcessBytes("c.jpg", JpegFile().Soi().Comment("only").ScanAndEnd().Bytes()));
    EXPECT_FALSE(d.ExifReader);

    ASSERT_TRUE(d.ProcessBytes(
        "dir/e.jpg",
        Padded(JpegFile().Soi().Segment(0xE1, std::string("Exif\0\0", 6)).ScanAndEnd().Bytes(), 3000),
        kStamp));
    EXPECT_EQ(d.ExifReader->SummaryText(),
              "File Name: e.jpg\r\nFile Size: 2k\r\nFile Date: 2020-01-02\r\nPhoto Date: \r\n"
              "Make (Model):  ()\r\nDimensions: 0 x 0\r\nFlash: No");
    EXPECT_EQ(d.ExifReader->ShortSummaryText(), "e.jpg 2k  0w 0h ");
}

TEST(Summaries, AFailedReadShowsItsError) {
    TiffBlock t(true);
    t.FirstIfdOffsetRaw(0x00FFFFFF);
    TimgData d;
    EXPECT_FALSE(d.ProcessBytes("/x/broken.jpg", JpegWithExif(t)));
    EXPECT_EQ(d.ExifReader->SummaryText(), "File Name: broken.jpg\r\nExif Error: Not an EXIF file");
    EXPECT_EQ(d.ExifReader->ShortSummaryText(), "broken.jpg Exif Error: Not an EXIF file");
}

TEST(PhotoReport, ListsAndReportLinesOfAPhotoWithEverything) {
    TiffBlock t(true);
    const int ifd1 = t.AddIfd();
    t.Ascii(0, 0x010F, "Canon").Short(0, 0x0112, {1}).Next(0, ifd1);
    t.Short(ifd1, 0x0103, {6}).LinkTrailer(ifd1, 0x0201).Long(ifd1, 0x0202, {400});
    t.Trailer(std::string(400, '\0'));
    TimgData d;
    ASSERT_TRUE(d.ProcessBytes(
        "/a/b.jpg", JpegFile().Soi().Exif(t).Comment("two\r\nlines").ScanAndEnd().Bytes(), kStamp));
    const TPhotoReport r = BuildPhotoReport(d);
    ASSERT_EQ(r.ExifRows.size(), 2u);
    EXPECT_EQ(r.ExifRows[0].Item, "Make");
    EXPECT_EQ(r.ExifRows[1].Details, "Normal");
    EXPECT_TRUE(r.MakerRows.empty());
    ASSERT_EQ(r.SummaryRows.size(), 17u);
    EXPECT_EQ(r.SummaryRows[0].Item, "Make");
    EXPECT_EQ(r.SummaryRows[0].Details, "Canon");
    EXPECT_EQ(r.SummaryRows[2].Item, "Title");
    EXPECT_EQ(r.SummaryRows[2].Details, "");
    EXPECT_EQ(r.SummaryRows[9].Item, "ISO");
    EXPECT_EQ(r.SummaryRows[14].Item, "Mettering Mode");

    const std::vector<std::string> head = {
        "Make = Canon",
        "Orientation = Normal",
        " ",
        " -- Thumbnail Data ---- ",
        "Thumbnail Start = " + std::to_string(t.IfdOffset(ifd1)),
        "Thumbnail Length = " + std::to_string(d.ExifReader->ThumbnailLength),
        "Compression = Jpeg",
        "JPEGInterchange Format = " + std::to_string(t.TrailerOffset()),
        "JPEGInterchange Format Length = 400",
        " ",
        " Comment Segment Available",
        "two",
        "lines",
        " ",
        " -- EXIF Summary -(short)--- ",
        d.ExifReader->ShortSummaryText(),
        " ",
        " -- EXIF Summary -(long)---- ",
        "File Name: b.jpg",
    };
    ASSERT_GE(r.MemoLines.size(), head.size());
    EXPECT_EQ(
        std::vector<std::string>(r.MemoLines.begin(), r.MemoLines.begin() + static_cast<long>(head.size())),
        head);
    EXPECT_EQ(r.MemoLines.back(), "Flash: No");
}

TEST(PhotoReport, PhotoFactsNeverComeFromTheThumbnailOrTheMakerNote) {
    // No size in the photo's directories (as some early cameras write): the frame's size stands.
    TiffBlock t(true);
    const int exif = t.AddIfd();
    const int ifd1 = t.AddIfd();
    t.Ascii(0, 0x010F, "Kodak").Link(0, 0x8769, exif).Next(0, ifd1);
    t.Ascii(exif, 0x9003, "2000:10:26 16:46:51")
        .Rational(exif, 0x9205, {{3, 1}})
        .Short(exif, 0xA403, {0})
        .XpText(exif, 0x9C9F, "Smoke");
    t.Short(ifd1, 0x0100, {96}).Short(ifd1, 0x0101, {72}).Ascii(ifd1, 0x0132, "1999:01:01 00:00:00");
    t.Short(ifd1, 0x0103, {1}).Trailer(std::string(400, '\0'));
    TimgData d;
    ASSERT_TRUE(d.ProcessBytes("/k/dc.jpg", JpegFile().Soi().Exif(t).Image(64, 48).Bytes(), kStamp));
    d.ExifReader->AddMakerItem("WhiteBalance", "AUTO        ", 2, 0x0005);
    const TPhotoReport r = BuildPhotoReport(d);
    auto summary = [&](const std::string& caption) {
        for (const auto& row : r.SummaryRows)
            if (row.Item == caption) return row.Details;
        return std::string("(none)");
    };
    EXPECT_EQ(summary("White Balance"), "Auto");
    EXPECT_EQ(summary("Max Aperture"), "F2.8");
    EXPECT_EQ(summary("Subject"), "Smoke");
    const std::string s = d.ExifReader->SummaryText();
    EXPECT_NE(s.find("\r\nPhoto Date: 2000:10:26 16:46:51\r\n"), std::string::npos) << s;
    EXPECT_NE(s.find("\r\nDimensions: 64 x 48\r\n"), std::string::npos) << s;
    EXPECT_EQ(d.ExifReader->ShortSummaryText(),
              "dc.jpg " + std::to_string(d.FileLength / 1024) + "k 2000:10:26 64w 48h ");
}

TEST(PhotoReport, CommentOnlyAndNoMetadata) {
    TimgData d;
    d.ProcessBytes("c.jpg", JpegFile().Soi().Comment("hello").ScanAndEnd().Bytes());
    TPhotoReport r = BuildPhotoReport(d);
    ASSERT_EQ(r.ExifRows.size(), 1u);
    EXPECT_EQ(r.ExifRows[0].Item, "No Exif data in photo!");
    EXPECT_EQ(r.MemoLines,
              (std::vector<std::string>{"No Thumbnail", " ", " Comment Segment Available", "hello"}));
    EXPECT_TRUE(r.SummaryRows.empty());

    d.ProcessBytes("plain.jpg", JpegFile().Soi().Jfif().ScanAndEnd().Bytes());
    r = BuildPhotoReport(d);
    EXPECT_EQ(r.ExifRows.size(), 1u);
    EXPECT_TRUE(r.MemoLines.empty());
    EXPECT_TRUE(r.SummaryRows.empty());
}

TEST(PhotoReport, ReportLinesSplitAtLineBreaks) {
    std::vector<std::string> lines;
    AddReportLines(lines, "\r\n IPTC Segment Available!\r\n");
    AddReportLines(lines, "a\nb\rc");
    AddReportLines(lines, "");
    EXPECT_EQ(lines, (std::vector<std::string>{"", " IPTC Segment Available!", "", "a", "b", "c", ""}));
}
