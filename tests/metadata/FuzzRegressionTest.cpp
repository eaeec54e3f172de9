// Every input that ever made a fuzz target fail, run again through exactly what that target does
// with an input (fuzz/FuzzBodies.h). The inputs are files in tests/data/fuzz-regressions/<target>/,
// named after what they found; scripts/fuzz leaves a new finding in build-fuzz/findings/, from where
// it is copied there together with its fix. Under the sanitizer build (scripts/test) a read outside
// a buffer or an overflow fails these tests as it failed the fuzzer.
#include "../../fuzz/FuzzBodies.h"
#include "../../fuzz/IsoBmffBody.h"
#include "../../fuzz/JpegHeaderBody.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>

using namespace quillmark;
using namespace quillmark::testing;
namespace fs = std::filesystem;

namespace {

fs::path RegressionFolder() {
    return fs::path(__FILE__).parent_path().parent_path() / "data" / "fuzz-regressions";
}

// The fuzz targets whose bodies run without Qt; the findings of the targets over the Qt controls
// are kept as inline bytes in the controls' tests.
const std::map<std::string, std::function<bool(std::string_view)>>& Bodies() {
    static const std::map<std::string, std::function<bool(std::string_view)>> bodies = {
        {"fuzz_jpeg_reader", [](std::string_view b) { return fuzzing::ReadLikeTheWindow("fuzz.jpg", b); }},
        {"fuzz_tiff_reader", [](std::string_view b) { return fuzzing::ReadLikeTheWindow("fuzz.tif", b); }},
        {"fuzz_formats_reader", [](std::string_view b) { return fuzzing::ReadLikeTheWindow("fuzz", b); }},
        {"fuzz_maker_notes", fuzzing::ReadMakerNote},
        {"fuzz_iptc", fuzzing::ReadIptcSection},
        {"fuzz_xmp", fuzzing::ReadXmpPacketBody},
        {"fuzz_writer_skip", fuzzing::SkipWriterSections},
        {"fuzz_report_output", fuzzing::RenderLikeTheReportTool},
        {"fuzz_jpeg_header", fuzzing::ScanLikeTheStrip},
        {"fuzz_isobmff", fuzzing::ScanBoxFormats},
    };
    return bodies;
}

} // namespace

TEST(FuzzRegression, EveryKeptInputPassesItsTarget) {
    ASSERT_TRUE(fs::is_directory(RegressionFolder())) << RegressionFolder();
    for (const auto& [target, body] : Bodies()) {
        const fs::path folder = RegressionFolder() / target;
        if (!fs::is_directory(folder)) continue;
        std::vector<fs::path> inputs;
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.is_regular_file()) inputs.push_back(entry.path());
        std::sort(inputs.begin(), inputs.end());
        for (const fs::path& input : inputs) {
            SCOPED_TRACE(target + "/" + input.filename().string());
            EXPECT_TRUE(body(ReadAll(input.string())));
        }
    }
}

TEST(FuzzRegression, OnlyKnownTargetsAreKept) {
    // A folder named after no target would be skipped without a word.
    for (const auto& entry : fs::directory_iterator(RegressionFolder())) {
        if (!entry.is_directory()) continue;
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(Bodies().contains(name)) << entry.path();
    }
}

TEST(FuzzRegression, EverySelectorOfTheMakerHarness) {
    // Each layout, version, model, container and byte order the maker target can choose, with notes
    // that end before, inside and after a directory: the target's own code runs here on every build.
    using namespace std::string_literals;
    const std::vector<std::string> notes = {
        "",
        "\x01"s,
        "Nikon\0\2\x10\0\0MM\0\x2A\0\0\0\x08\xFF\xFF"s,
        "Nikon\0\1\0\0\x02\0\x01\0\x02\0\0\0\x04"s,
        "FUJIFILM\x0C\0\0\0\x05\0"s,
        "QVC\0\0\0\0\x01\0\x08\0\x04\xFF\xFF\xFF\xFF\0\0\0\0"s,
        "OLYMP\0\1\0\x7F\x7F"s,
        std::string(12, '\xFF') + std::string(40, '\0'),
    };
    // Every layout (and one past the last, which wraps to the first) with every model, version,
    // container and byte order.
    const size_t layouts = MakerLayouts().size();
    for (size_t layout = 0; layout <= layouts; ++layout) {
        for (const int flags : {0x00, 0x08, 0x10, 0x20, 0x30, 0x40, 0x80, 0xC8, 0xF8}) {
            for (const std::string& note : notes) {
                SCOPED_TRACE(std::to_string(layout) + " " + std::to_string(flags));
                EXPECT_TRUE(fuzzing::ReadMakerNote(std::string(1, static_cast<char>(layout)) +
                                                   static_cast<char>(flags) + note));
            }
        }
    }
}

TEST(FuzzRegression, TheReaderTargetsOverEveryCutOfACraftedFile) {
    craft::TiffBlock t(true);
    const int exif = t.AddIfd(), ifd1 = t.AddIfd();
    t.Ascii(0, 0x010F, "Canon").Link(0, 0x8769, exif).Next(0, ifd1);
    t.Short(exif, 0x8827, {100})
        .Undefined(exif, 0x927C, std::string("\0\x01\0\x07\0\x02\0\0\0\x03v1\0\0", 14));
    t.Short(ifd1, 0x0103, {6}).LinkTrailer(ifd1, 0x0201).Long(ifd1, 0x0202, {300});
    t.Trailer(std::string(300, '\xFF'));
    const std::string jpeg =
        craft::JpegFile().Soi().Comment("c").Exif(t).Iptc({{2, 25, "k"}, {2, 25, "l"}}).ScanAndEnd().Bytes();
    const std::string tiff = t.Build();
    for (size_t n = 0; n <= jpeg.size(); ++n)
        EXPECT_TRUE(fuzzing::ReadLikeTheWindow("fuzz.jpg", std::string_view(jpeg).substr(0, n))) << n;
    for (size_t n = 0; n <= tiff.size(); ++n)
        EXPECT_TRUE(fuzzing::ReadLikeTheWindow("fuzz.tif", std::string_view(tiff).substr(0, n))) << n;
    EXPECT_TRUE(fuzzing::ReadIptcSection(craft::PhotoshopApp13Body({{2, 25, "a, b"}, {2, 120, "c d"}})));
    EXPECT_TRUE(fuzzing::SkipWriterSections(jpeg));
    for (size_t n = 0; n <= jpeg.size(); n += 5)
        EXPECT_TRUE(fuzzing::RenderLikeTheReportTool(std::string_view(jpeg).substr(0, n))) << n;
    EXPECT_TRUE(fuzzing::RenderLikeTheReportTool(tiff));
}
