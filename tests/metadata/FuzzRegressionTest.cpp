// Every input that ever made a fuzz target fail, run again through exactly what that target does
// with an input (fuzz/FuzzBodies.h). The inputs are files in tests/data/fuzz-regressions/<target>/,
// named after what they found; scripts/fuzz leaves a new finding in build-fuzz/findings/, from where
// it is copied there together with its fix. Under the sanitizer build (scripts/test) a read outside
// a buffer or an overflow fails these tests as it failed the fuzzer.
#include "../../fuzz/FuzzBodies.h"
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
        {"fuzz_maker_notes", fuzzing::ReadMakerNote},
        {"fuzz_iptc", fuzzing::ReadIptcSection},
        {"fuzz_writer_skip", fuzzing::SkipWriterSections},
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
