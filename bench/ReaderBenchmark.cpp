// The reader's cost per photo, against the cost of the reads it cannot avoid.
//
//   ReaderBenchmark [--samples DIR] [--corpus DIR] [--summary FILE] [Google Benchmark flags]
//
// For each camera sample and for the small-file corpus (quillmark-bench-corpus OUTDIR, then
// --corpus OUTDIR/small), three measures per file:
//   Floor       open the file, read its header sections (up to the SOS marker; a TIFF file's first block
//               as the reader takes it), close it: the least any metadata reader has to do;
//   Reader      ProcessBytes + BuildPhotoReport over the file's bytes already in memory: the reader alone;
//   ReaderFile  ProcessFile + BuildPhotoReport: the reader with its own reads, as the report tool runs it.
// After the runs, a table gives each measure per file and the ratios Reader/Floor and ReaderFile/Floor,
// all measured side by side in this one run. --summary also writes that table to FILE. The table counts
// the thread's CPU time (user and system, so the floor's reads count in full): on a shared machine it
// moves far less than wall time, and with the files in the page cache nothing here waits for a disk.
#include "ImgData.h"
#include "PhotoReport.h"
#include "ReaderSettings.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace quillmark;

namespace {

struct PhotoFile {
    std::string Path;
    std::string Bytes;
};

struct Group {
    std::string Name; // a sample's file name, or "small-corpus"
    std::vector<PhotoFile> Files;
};

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool IsTiffName(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == ".tif" || ext == ".tiff" || ext == ".nef";
}

// Reads until `buffer` holds at least `need` bytes (fewer at the end of the file), in whole pages.
bool Fill(int fd, std::string& buffer, size_t& have, size_t need) {
    while (have < need) {
        const size_t want = (need - have + 4095) / 4096 * 4096;
        if (buffer.size() < have + want) buffer.resize(have + want);
        const ssize_t n = ::read(fd, buffer.data() + have, want);
        if (n <= 0) return false;
        have += static_cast<size_t>(n);
    }
    return true;
}

// The floor: open, read the header sections, close. Returns the bytes read, so that nothing is skipped.
size_t ReadHeaderSections(const std::string& path, std::string& buffer) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    size_t have = 0;
    if (IsTiffName(path)) {
        // The reader takes the 8-byte header and then a block of a fixed size.
        Fill(fd, buffer, have, 8 + static_cast<size_t>(std::max(ReaderSettings().TiffReadSize, 0)));
    } else {
        size_t p = 2; // after SOI
        while (Fill(fd, buffer, have, p + 4)) {
            const auto marker = static_cast<unsigned char>(buffer[p + 1]);
            const size_t length =
                static_cast<unsigned char>(buffer[p + 2]) * 256u + static_cast<unsigned char>(buffer[p + 3]);
            p += 2 + length;
            if (marker == 0xDA || marker == 0xD9 || length < 2) {
                Fill(fd, buffer, have, p);
                break;
            }
        }
    }
    ::close(fd);
    return have;
}

void Floor(benchmark::State& state, const Group* group) {
    std::string buffer;
    size_t bytes = 0;
    for (auto _ : state)
        for (const PhotoFile& f : group->Files)
            bytes += ReadHeaderSections(f.Path, buffer);
    benchmark::DoNotOptimize(bytes);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(group->Files.size()));
}

void Reader(benchmark::State& state, const Group* group) {
    TimgData data(255);
    size_t lines = 0;
    for (auto _ : state) {
        for (const PhotoFile& f : group->Files) {
            data.ProcessBytes(f.Path, f.Bytes);
            lines += BuildPhotoReport(data).MemoLines.size();
        }
    }
    benchmark::DoNotOptimize(lines);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(group->Files.size()));
}

void ReaderFile(benchmark::State& state, const Group* group) {
    TimgData data(255);
    size_t lines = 0;
    for (auto _ : state) {
        for (const PhotoFile& f : group->Files) {
            data.ProcessFile(f.Path);
            lines += BuildPhotoReport(data).MemoLines.size();
        }
    }
    benchmark::DoNotOptimize(lines);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(group->Files.size()));
}

// Keeps the CPU time per file of every run while the console reporter prints as usual. With repetitions the
// median wins over the single runs.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    // Colours only on a terminal: a reporter made here does not follow --benchmark_color.
    SummaryReporter() : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

    std::map<std::string, double> MicrosPerFile; // "Floor/NAME" -> microseconds per file
    std::map<std::string, size_t> FilesPerIteration;

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type == Run::RT_Aggregate && !median) continue;
            const std::string name = run.run_name.function_name;
            if (median)
                Medians.insert(name);
            else if (Medians.count(name))
                continue;
            const auto files = FilesPerIteration.find(name);
            const double perIteration =
                run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) * 1e6;
            MicrosPerFile[name] =
                perIteration / static_cast<double>(files == FilesPerIteration.end() ? 1 : files->second);
        }
        ConsoleReporter::ReportRuns(runs);
    }

private:
    std::set<std::string> Medians;
};

std::string SummaryTable(const SummaryReporter& r, const std::vector<Group>& groups) {
    std::string out;
    char line[256];
    std::snprintf(line, sizeof line, "%-28s %6s %11s %11s %11s %12s %14s\n", "files", "count", "floor us",
                  "reader us", "file us", "reader/floor", "file/floor");
    out += line;
    for (const Group& g : groups) {
        const auto at = [&](const char* kind) {
            const auto it = r.MicrosPerFile.find(std::string(kind) + "/" + g.Name);
            return it == r.MicrosPerFile.end() ? 0.0 : it->second;
        };
        const double floor = at("Floor"), reader = at("Reader"), file = at("ReaderFile");
        if (floor <= 0 && reader <= 0 && file <= 0) continue; // filtered out
        std::snprintf(line, sizeof line, "%-28s %6zu %11.2f %11.2f %11.2f %12.2f %14.2f\n", g.Name.c_str(),
                      g.Files.size(), floor, reader, file, floor > 0 ? reader / floor : 0.0,
                      floor > 0 ? file / floor : 0.0);
        out += line;
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    std::string samplesDir = QUILLMARK_SAMPLES_DIR;
    std::string corpusDir;
    std::string summaryFile;
    // Our own options are taken out before Google Benchmark reads the rest.
    std::vector<char*> rest{argv[0]};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--samples" && i + 1 < argc) {
            samplesDir = argv[++i];
        } else if (arg == "--corpus" && i + 1 < argc) {
            corpusDir = argv[++i];
        } else if (arg == "--summary" && i + 1 < argc) {
            summaryFile = argv[++i];
        } else {
            rest.push_back(argv[i]);
        }
    }

    std::vector<Group> groups;
    std::vector<std::string> samplePaths;
    for (const auto& entry : fs::directory_iterator(samplesDir)) {
        const std::string ext = entry.path().extension().string();
        if (entry.is_regular_file() && (ext == ".jpg" || IsTiffName(entry.path().string())))
            samplePaths.push_back(entry.path().string());
    }
    std::sort(samplePaths.begin(), samplePaths.end());
    for (const std::string& path : samplePaths)
        groups.push_back({fs::path(path).filename().string(), {{path, ReadWholeFile(path)}}});
    if (!corpusDir.empty()) {
        Group corpus{"small-corpus", {}};
        std::vector<std::string> paths;
        for (const auto& entry : fs::directory_iterator(corpusDir))
            if (entry.is_regular_file() && entry.path().extension() == ".jpg")
                paths.push_back(entry.path().string());
        std::sort(paths.begin(), paths.end());
        for (const std::string& path : paths)
            corpus.Files.push_back({path, ReadWholeFile(path)});
        if (corpus.Files.empty()) {
            std::fprintf(stderr, "ReaderBenchmark: no .jpg files in %s\n", corpusDir.c_str());
            return 1;
        }
        groups.push_back(std::move(corpus));
    }
    if (groups.empty()) {
        std::fprintf(stderr, "ReaderBenchmark: no samples in %s\n", samplesDir.c_str());
        return 1;
    }

    // One read of everything first: the reader builds its tables on first use, which no run should pay.
    for (const Group& g : groups) {
        for (const PhotoFile& f : g.Files) {
            TimgData data(255);
            data.ProcessBytes(f.Path, f.Bytes);
            BuildPhotoReport(data);
        }
    }

    SummaryReporter reporter;
    for (const Group& g : groups) {
        for (const auto& [kind, fn] : {std::pair{"Floor", &Floor}, std::pair{"Reader", &Reader},
                                       std::pair{"ReaderFile", &ReaderFile}}) {
            const std::string name = std::string(kind) + "/" + g.Name;
            reporter.FilesPerIteration[name] = g.Files.size();
            benchmark::RegisterBenchmark(name.c_str(), fn, &g)->Unit(benchmark::kMicrosecond);
        }
    }

    int restCount = static_cast<int>(rest.size());
    benchmark::Initialize(&restCount, rest.data());
    if (benchmark::ReportUnrecognizedArguments(restCount, rest.data())) return 2;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const std::string table = SummaryTable(reporter, groups);
    std::printf("\nPer file, CPU time, measured side by side in this run:\n%s", table.c_str());
    if (!summaryFile.empty()) std::ofstream(summaryFile) << table;
    return 0;
}
