// Small helpers shared by the reader's tests: reading crafted bytes through the container, the
// camera samples in tests/data/cameras, and temporary files.
#pragma once

#include "ExifBuilder.h"
#include "ImgData.h"
#include "TagEntry.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <sstream>
#include <string>
#include <unistd.h>

namespace quillmark::testing {

// The path of a camera photo in the samples folder. A missing photo fails the test that asked for it, by
// name, rather than leaving it to fail later on an empty file.
inline std::string SamplePath(const std::string& name) {
    const std::string path = std::string(QUILLMARK_SAMPLES_DIR) + "/" + name;
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        ADD_FAILURE() << "missing test data file " << path << " (QUILLMARK_SAMPLES_DIR)";
    return path;
}

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// A JPEG holding one EXIF block (and a scan so the section walk ends as on a camera file).
inline std::string JpegWithExif(const craft::TiffBlock& tiff) {
    return craft::JpegFile().Soi().Exif(tiff).ScanAndEnd().Bytes();
}

// The first entry of a list with that tag, if any.
inline std::optional<TTagEntry> FindEntry(const TImageInfo& reader, uint16_t tag, int32_t listId = 0) {
    for (const auto& e : reader.Entries)
        if (e.Tag == tag && e.ListId == listId) return e;
    return std::nullopt;
}

// A folder under the system's temporary folder, removed with its content at the end of a test.
class TempDir {
public:
    TempDir() {
        Path = std::filesystem::temp_directory_path() /
               ("quillmark-test-" + std::to_string(::getpid()) + "-" + std::to_string(Counter()++));
        std::filesystem::create_directories(Path);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(Path, ec);
    }
    std::string File(const std::string& name, const std::string& bytes) const {
        const auto p = (Path / name).string();
        craft::WriteFile(p, bytes);
        return p;
    }
    std::filesystem::path Path;

private:
    static int& Counter() {
        static int c = 0;
        return c;
    }
};

} // namespace quillmark::testing
