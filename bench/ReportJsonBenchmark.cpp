// The report tool's JSON against its text report over the same files, in one process: each pass
// reads every file and renders it as the tool prints it (text, or one JSON line dumped). Passes
// alternate between the two so that both see the same cache and machine load; the fastest pass of
// each counts. The JSON should cost at most 1.5 times the text.
//   ReportJsonBenchmark [PASSES] FILE|FOLDER...
#include "PhotoReportText.h"
#include "ReaderSettings.h"
#include "ReportInputs.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace quillmark;

int main(int argc, char** argv) {
    int passes = 5;
    int first = 1;
    if (argc > 1 && std::atoi(argv[1]) > 0) {
        passes = std::atoi(argv[1]);
        first = 2;
    }
    std::vector<TReportArgument> args;
    for (int i = first; i < argc; ++i)
        args.push_back({argv[i], false});
    if (args.empty()) {
        std::fprintf(stderr, "Usage: ReportJsonBenchmark [PASSES] FILE|FOLDER...\n");
        return 2;
    }
    ReaderSettings().KeepTraces = false;
    KeepMemoryBetweenFiles(); // as the tool does
    std::vector<std::string> files;
    TReportInputs inputs(std::move(args), true);
    while (auto input = inputs.Next())
        files.push_back(input->Path);

    size_t bytes[2] = {0, 0};
    double best[2] = {1e99, 1e99};
    for (int pass = 0; pass < 2 * passes; ++pass) {
        const int mode = pass % 2;
        const auto start = std::chrono::steady_clock::now();
        size_t out = 0;
        for (const auto& f : files) {
            TFileReport r = ReportFile(f, mode ? TReportParts::Json : TReportParts::Text);
            out += mode == 0 ? r.Text.size() : r.Json.size() + 1;
        }
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        best[mode] = std::min(best[mode], s);
        bytes[mode] = out;
    }
    std::printf("%zu files, best of %d passes\n", files.size(), passes);
    std::printf("text: %.3f s (%.1f us/file, %zu bytes)\n", best[0], 1e6 * best[0] / files.size(), bytes[0]);
    std::printf("json: %.3f s (%.1f us/file, %zu bytes)\n", best[1], 1e6 * best[1] / files.size(), bytes[1]);
    std::printf("json / text: %.2f (target at most 1.50)\n", best[1] / best[0]);
    return 0;
}
