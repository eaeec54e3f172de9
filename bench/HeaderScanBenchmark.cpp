// The thumbnail strip's header scan against the whole metadata reader on the same JPEG files: would the
// strip lose much by asking the reader for a photo's size, EXIF thumbnail and orientation?
//
//   HeaderScanBenchmark [--folder DIR]... [Google Benchmark flags]
//
// Each folder's .jpg files (default: the camera samples; the strip's corpus is
// /tmp/quillmark-bench-corpus/12mp, made by quillmark-bench-corpus) are read from the page cache as the strip
// reads them: Scan runs ScanJpegHeader over pread, Reader runs TimgData::ProcessFile and looks up the
// thumbnail directory. Files per second (items_per_second) give the time per file; compare the Reader's with
// the strip's time per photo (StripBenchmark) to see whether the reader costs less than a fifth of it.
#include "ImgData.h"
#include "JpegHeader.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace quillmark;

namespace {

std::vector<std::string> JpegFiles(const std::string& folder) {
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::string ext = entry.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
        if (entry.is_regular_file() && ext == ".jpg") files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

void Scan(benchmark::State& state, const std::vector<std::string>* files) {
    size_t thumbnails = 0;
    for (auto _ : state) {
        for (const std::string& path : *files) {
            const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            const TJpegHeaderFacts facts =
                ScanJpegHeader([fd](uint64_t offset, char* into, size_t n) -> size_t {
                    const ssize_t got = ::pread(fd, into, n, static_cast<off_t>(offset));
                    return got > 0 ? static_cast<size_t>(got) : 0;
                });
            ::close(fd);
            thumbnails += !facts.Thumbnail.empty();
            benchmark::DoNotOptimize(facts);
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * files->size()));
    state.counters["thumbnails"] = static_cast<double>(thumbnails) / static_cast<double>(state.iterations());
}

void Reader(benchmark::State& state, const std::vector<std::string>* files) {
    size_t thumbnails = 0;
    for (auto _ : state) {
        for (const std::string& path : *files) {
            TimgData data;
            data.ProcessFile(path);
            // What the strip needs besides the frame size: the thumbnail directory's offset and length.
            if (data.HasThumbnail() && data.ExifReader->ReadThumbnailDirectory()) ++thumbnails;
            benchmark::DoNotOptimize(data.FrameWidth);
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * files->size()));
    state.counters["thumbnails"] = static_cast<double>(thumbnails) / static_cast<double>(state.iterations());
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> folders;
    std::vector<char*> rest{argv[0]};
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--folder" && i + 1 < argc)
            folders.push_back(argv[++i]);
        else
            rest.push_back(argv[i]);
    }
    if (folders.empty()) folders.push_back(QUILLMARK_SAMPLES_DIR);
    std::vector<std::vector<std::string>> files;
    for (const std::string& folder : folders)
        files.push_back(JpegFiles(folder));
    for (size_t i = 0; i < folders.size(); ++i) {
        const std::string name = fs::path(folders[i]).filename().string();
        benchmark::RegisterBenchmark(("Scan/" + name).c_str(), Scan, &files[i])
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("Reader/" + name).c_str(), Reader, &files[i])
            ->Unit(benchmark::kMillisecond);
    }
    int count = static_cast<int>(rest.size());
    benchmark::Initialize(&count, rest.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
