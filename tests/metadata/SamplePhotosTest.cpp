// Real camera photos (tests/data/cameras), read through the report tool's rendering.
#include "ImgData.h"
#include "PhotoReportText.h"
#include "TestFiles.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <tuple>
#include <vector>

using namespace quillmark;
using namespace quillmark::testing;

namespace {

bool HasLine(const std::string& text, const std::string& line) {
    return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

} // namespace

TEST(SamplePhotos, Canon40D) {
    const TFileReport r = ReportFile(SamplePath("Canon_40D.jpg"));
    ASSERT_TRUE(r.HadMetadata);
    for (const char* line :
         {"Make = Canon", "Model = Canon EOS 40D", "Exposure Time = 1/160 sec", "FNumber = F7.1",
          "Focal Length = 135.00 mm", "Flash = On, forced", "Metering Mode = MultiSegment",
          "Shutter Speed Value = 0.0060 sec (1/166)", "Exif Version = \"0221\"",
          "Components Configuration = YCbCr", " -- Thumbnail Data ---- ", "Compression = Jpeg",
          " -- Summary ---- ", "ISO = 100", "Mettering Mode = MultiSegment",
          "Make (Model): Canon (Canon EOS 40D)", "Dimensions: 100 x 68"})
        EXPECT_TRUE(HasLine(r.Text, line)) << line << "\n" << r.Text;
    const auto j = nlohmann::json::parse(r.Json);
    EXPECT_TRUE(j["error"].is_null());
    EXPECT_TRUE(j["thumbnail"].is_object());
}

TEST(SamplePhotos, ValuesAgreeWithWhatTheFilesHold) {
    // Each checked against an independent reader of the same files.
    struct Expect {
        const char* file;
        std::vector<std::string> lines;
    };
    const Expect cases[] = {
        {"kodak-dc210.jpg",
         {"Dimensions: 640 x 480", "Photo Date: 2000:10:26 16:46:51", "Aperture Value = F4.0"}},
        {"Canon_40D.jpg", {"Aperture Value = F7.0"}},
        {"Canon_PowerShot_S40.jpg",
         {"Aperture Value = F5.0", "Max Aperture Value = F2.8", "Max Aperture = F2.8",
          "File Source = Digital Camera"}},
        {"Nikon_COOLPIX_P1.jpg", {"Scene Type = Directly photographed", "White Balance = Auto"}},
        {"Nikon_D70s_bigendian_note.jpg", {"Aperture Value = F29.0", "Max Aperture Value = F4.4"}},
    };
    for (const Expect& e : cases) {
        const TFileReport r = ReportFile(SamplePath(e.file));
        for (const std::string& line : e.lines)
            EXPECT_TRUE(HasLine(r.Text, line)) << e.file << ": " << line << "\n" << r.Text;
    }
    // The Summary's White Balance is the EXIF entry, not the maker note's of the same name.
    const TFileReport p1 = ReportFile(SamplePath("Nikon_COOLPIX_P1.jpg"));
    const std::string rows = p1.Text.substr(p1.Text.find(" -- Summary ---- "));
    EXPECT_TRUE(HasLine(rows, "White Balance = Auto")) << rows;
}

TEST(SamplePhotos, NikonWithGps) {
    const TFileReport r = ReportFile(SamplePath("nikon-gps-DSCN0010.jpg"));
    ASSERT_TRUE(r.HadMetadata);
    EXPECT_TRUE(HasLine(r.Text, "GPSLatitude = 43 Degrees 28 Minutes 3 Seconds")) << r.Text;
    EXPECT_TRUE(HasLine(r.Text, "GPSLatitude Ref = N"));
    EXPECT_TRUE(HasLine(r.Text, "GPSLongitude Ref = E"));
    EXPECT_TRUE(HasLine(r.Text, "GPSMap Datum = WGS-84"));
}

TEST(SamplePhotos, TiffsAreReadWhereTheirDirectoriesLie) {
    // IFD0 at 284340 and 6400, near the ends of the files: each block holds that directory and its
    // values only.
    for (const auto& [name, ifd0, width, entries] :
         {std::tuple{"BSG1.tiff", 284340, 635, 15u}, std::tuple{"Arbitro.tiff", 6400, 174, 15u}}) {
        SCOPED_TRACE(name);
        TimgData d;
        ASSERT_TRUE(d.ProcessFile(SamplePath(name)));
        EXPECT_EQ(d.ErrorText, "<none>");
        EXPECT_TRUE(d.ExifReader->FromTiff);
        EXPECT_TRUE(d.BigEndian);
        EXPECT_EQ(d.BlockBase, 1 - ifd0);
        EXPECT_LT(d.Section(1).Data.size(), 5000u);
        EXPECT_EQ(d.ExifReader->Width, width);
        EXPECT_EQ(d.ExifReader->Entries.size(), entries);
        EXPECT_EQ(d.ExifReader->LookupTagValue("Orientation"), "Normal");
    }
}

TEST(SamplePhotos, ExifAfterAnXmpSectionAndIptcAreFound) {
    const TFileReport r = ReportFile(SamplePath("xmp_before_exif.jpg"));
    EXPECT_TRUE(HasLine(r.Text, "Software = Adobe Photoshop CC (Macintosh)"));
    EXPECT_TRUE(HasLine(r.Text, "Exif Image Width = 322"));
    EXPECT_TRUE(HasLine(r.Text, "Image caption = Der Goalie bin ig"));
}

TEST(SamplePhotos, EverySampleReadsAndRenders) {
    for (const char* name :
         {"BSG1.tiff", "Arbitro.tiff", "xmp_before_exif.jpg", "Canon_40D.jpg", "Canon_PowerShot_S40.jpg",
          "Fujifilm_FinePix_E500.jpg", "Nikon_COOLPIX_P1.jpg", "Nikon_D70.jpg", "Olympus_C8080WZ.jpg",
          "nikon-e950.jpg", "nikon-gps-DSCN0010.jpg", "sanyo-vpcsx550.jpg"}) {
        SCOPED_TRACE(name);
        const TFileReport r = ReportFile(SamplePath(name));
        EXPECT_TRUE(r.HadMetadata);
        // Every text made it to valid UTF-8 and the object to valid JSON.
        const auto j = nlohmann::json::parse(r.Json);
        EXPECT_TRUE(j["error"].is_null());
        EXPECT_TRUE(j["hasExif"]);
        EXPECT_EQ(j["summary"].size(), 17u);
    }
}

TEST(SamplePhotos, MakersAndDates) {
    struct Expect {
        const char* file;
        const char* make;
        const char* model;
    };
    for (const Expect& e : {Expect{"Nikon_D70.jpg", "NIKON CORPORATION", "NIKON D70"},
                            Expect{"Fujifilm_FinePix_E500.jpg", "FUJIFILM", "FinePix E500"},
                            Expect{"Olympus_C8080WZ.jpg", "OLYMPUS CORPORATION", "C8080WZ"},
                            Expect{"sanyo-vpcsx550.jpg", "SANYO Electric Co.,Ltd.", "SX113"}}) {
        TimgData d;
        ASSERT_TRUE(d.ProcessFile(SamplePath(e.file))) << e.file;
        EXPECT_EQ(d.ExifReader->CameraMake, e.make) << e.file;
        EXPECT_EQ(d.ExifReader->CameraModel, e.model) << e.file;
        EXPECT_EQ(d.ExifReader->DateTimeText.size(), 19u) << e.file;
    }
}
