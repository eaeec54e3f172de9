// Values shown as the file means them, each from a crafted file, and the EXIF 2.32 tags of real photos.
#include "ImageInfo.h"
#include "PhotoReport.h"
#include "TestFiles.h"

#include <functional>
#include <gtest/gtest.h>
#include <map>

using namespace quillmark;
using namespace quillmark::testing;
using craft::TiffBlock;

namespace {

std::map<std::string, std::string> SummaryOf(TimgData& data) {
    std::map<std::string, std::string> rows;
    for (const auto& row : BuildPhotoReport(data).SummaryRows)
        rows[row.Item] = row.Details;
    return rows;
}

TEST(ExifValues, ShownAsTheFileMeansThem) {
    enum Where { Ifd0, Exif, Gps };
    const struct {
        const char* what;
        Where where;
        std::function<void(TiffBlock&, int)> add;
        const char* name;
        const char* text;
    } cases[] = {
        {"compression 1", Ifd0, [](TiffBlock& t, int d) { t.Short(d, 0x0103, {1}); }, "Compression",
         "Uncompressed"},
        {"an ASCII comment with bytes after its zero", Exif,
         [](TiffBlock& t, int d) {
             t.Undefined(d, 0x9286, std::string("ASCII\0\0\0Hello\0\x01\x89\xFF junk", 22));
         },
         "UserComment", "Hello"},
        {"processing method without its character code", Gps,
         [](TiffBlock& t, int d) { t.Undefined(d, 0x001B, std::string("ASCII\0\0\0GPS", 11)); },
         "GPSProcessingMode", "GPS"},
        {"CFA pattern, EXIF's form", Exif,
         [](TiffBlock& t, int d) { t.Undefined(d, 0xA302, std::string("\0\x02\0\x02\0\x01\x01\x02", 8)); },
         "CFAPattern", "[Red,Green][Green,Blue]"},
        {"CFA pattern, dimensions little-endian", Exif,
         [](TiffBlock& t, int d) { t.Undefined(d, 0xA302, std::string("\x02\0\x02\0\x01\x02\0\x01", 8)); },
         "CFAPattern", "[Green,Blue][Red,Green]"},
        {"GPS version", Gps,
         [](TiffBlock& t, int d) {
             t.Byte(d, 0x0000, {2, 3, 0, 0});
         },
         "GPSVersionID", "2.3.0.0"},
        {"horizontal positioning error", Gps,
         [](TiffBlock& t, int d) {
             t.Rational(d, 0x001F, {{5, 2}});
         },
         "GPSHPositioningError", "5/2 m"},
        {"zoom lens range", Exif,
         [](TiffBlock& t, int d) {
             t.Rational(d, 0xA432, {{24, 1}, {70, 1}, {28, 10}, {4, 1}});
         },
         "LensSpecification", "24-70mm f/2.8-4"},
        {"a prime lens, apertures unknown", Exif,
         [](TiffBlock& t, int d) {
             t.Rational(d, 0xA432, {{50, 1}, {50, 1}, {0, 0}, {0, 0}});
         },
         "LensSpecification", "50mm"},
        {"composite image", Exif, [](TiffBlock& t, int d) { t.Short(d, 0xA460, {2}); }, "CompositeImage",
         "General Composite Image"},
        {"temperature", Exif,
         [](TiffBlock& t, int d) {
             t.SRational(d, 0x9400, {{-55, 10}});
         },
         "Temperature",
         "-5.5 \xB0"
         "C"},
        {"water depth", Exif,
         [](TiffBlock& t, int d) {
             t.SRational(d, 0x9403, {{125, 10}});
         },
         "WaterDepth", "12.5 m"},
        {"camera owner", Exif, [](TiffBlock& t, int d) { t.Ascii(d, 0xA430, "Ann"); }, "CameraOwnerName",
         "Ann"},
        {"DNG version", Ifd0,
         [](TiffBlock& t, int d) {
             t.Byte(d, 0xC612, {1, 4, 0, 0});
         },
         "DNGVersion", "1.4.0.0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TiffBlock t(true);
        t.Ascii(0, 0x010F, "Acme");
        int d = 0;
        if (c.where != Ifd0) {
            d = t.AddIfd();
            t.Link(0, c.where == Exif ? 0x8769 : 0x8825, d);
        }
        c.add(t, d);
        TimgData data;
        ASSERT_TRUE(data.ProcessBytes("v.jpg", JpegWithExif(t)));
        EXPECT_EQ(data.ExifReader->LookupTagValue(c.name, 0), c.text);
    }
}

// The photo date carries its offset from UTC, the Summary names the lens (EXIF's first, else the
// maker note's), and a 35 mm focal length is computed only from a sensor some camera has.
TEST(ExifValues, SummaryDateLensAndFocalLength) {
    TiffBlock t(false);
    const int exif = t.AddIfd();
    t.Ascii(0, 0x010F, "Acme").Link(0, 0x8769, exif);
    t.Ascii(exif, 0x9003, "2023:10:06 22:53:51")
        .Ascii(exif, 0x9011, "+02:00")
        .Ascii(exif, 0xA434, "Acme 35mm")
        .Rational(exif, 0x920A, {{135, 1}})
        .Short(exif, 0xA002, {100})
        .Short(exif, 0xA003, {68})
        .Rational(exif, 0xA20E, {{4438356, 1000}})
        .Rational(exif, 0xA20F, {{4445969, 1000}})
        .Short(exif, 0xA210, {2});
    TimgData data;
    ASSERT_TRUE(data.ProcessBytes("s.jpg", JpegWithExif(t)));
    EXPECT_NE(data.ExifReader->SummaryText().find("\r\nPhoto Date: 2023:10:06 22:53:51+02:00\r\n"),
              std::string::npos);
    EXPECT_EQ(SummaryOf(data)["Lens"], "Acme 35mm");
    // 100 pixels at 4438 per inch: a sensor of half a millimetre, the resolution of the unreduced photo.
    EXPECT_EQ(data.ExifReader->LookupTagIndex("FocalLengthin35mmFilm", 0), -1);
}

// Real photos, checked against exiftool -G1 -a -s.
TEST(ExifValues, SamplePhotos) {
    TimgData data;
    ASSERT_TRUE(data.ProcessFile(SamplePath("Google.jpg")));
    const TImageInfo& r = *data.ExifReader;
    const struct {
        const char* name;
        const char* text;
    } google[] = {
        {"GPSVersionID", "2.2.0.0"},
        {"OffsetTime", "+02:00"},
        {"OffsetTimeOriginal", "+02:00"},
        {"OffsetTimeDigitized", "+02:00"},
        {"LensMake", "Google"},
        {"LensModel", "Pixel 8 Pro back camera 6.9mm f/1.68"},
        {"CompositeImage", "Composite Image Captured While Shooting"},
        {"FocalLengthin35mmFilm", "24.00 mm"},
    };
    for (const auto& g : google)
        EXPECT_EQ(r.LookupTagValue(g.name, 0), g.text) << g.name;
    EXPECT_NE(r.SummaryText().find("Photo Date: 2023:10:06 22:53:51+02:00"), std::string::npos);
    EXPECT_EQ(SummaryOf(data)["Lens"], "Pixel 8 Pro back camera 6.9mm f/1.68");

    // Reduced to 100 x 68 with the camera's focal-plane resolution kept: no 35 mm focal length
    // rather than 8444 mm.
    ASSERT_TRUE(data.ProcessFile(SamplePath("Canon_40D.jpg")));
    EXPECT_EQ(data.ExifReader->LookupTagIndex("FocalLengthin35mmFilm", 0), -1);
    // Unreduced: 2272 pixels at 8114 per inch, exiftool's 103.7 mm.
    ASSERT_TRUE(data.ProcessFile(SamplePath("Canon_PowerShot_S40.jpg")));
    EXPECT_EQ(data.ExifReader->LookupTagValue("FocalLengthin35mmFilm", 0), "103.72");
}

} // namespace
