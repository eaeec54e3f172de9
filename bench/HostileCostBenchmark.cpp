// What the crafted hostile files cost: CPU time and peak memory of the release report tool (text
// and JSON) and of the viewer's reading (traces and all lists), each in a child process of its own,
// for files up to 16 MB. The goals: no file of n bytes above 64 n + 16 MB, none over 2 s.
//   HostileCostBenchmark [LARGEST_MB]   (default 16)
#include "HostileFiles.h"
#include "ImgData.h"
#include "PhotoReport.h"
#include "ProcessMemory.h"
#include "ReaderSettings.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace quillmark;

struct TCost {
    double CpuSeconds = 0;
    double PeakMb = 0;
};

double Seconds(const rusage& u) {
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The report tool on the file, its output thrown away.
TCost RunTool(const std::string& path, const char* format) {
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        if (FILE* null = std::freopen("/dev/null", "w", stdout); !null) _exit(3);
        if (format)
            execl(QUILLMARK_REPORT_TOOL, "quillmark-report", format, path.c_str(),
                  static_cast<char*>(nullptr));
        else
            execl(QUILLMARK_REPORT_TOOL, "quillmark-report", path.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    return {Seconds(usage), double(usage.ru_maxrss) / 1024.0};
}

// The viewer's reading of the bytes: traces with detail, and every list with its rows. The child's
// memory is counted from what it held when it began (the bytes are the parent's).
TCost RunViewer(const std::string& name, const std::string& bytes) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return {};
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        rusage before{};
        getrusage(RUSAGE_SELF, &before);
        const long start = bench::ResidentKb();
        ReaderSettings().KeepTraces = true;
        ReaderSettings().TraceDetail = 1;
        {
            TimgData data(255);
            data.ProcessBytes(name, bytes);
            const TPhotoReport report = BuildPhotoReport(data, TReportLists::All);
            if (report.MemoLines.empty()) _exit(4);
        }
        rusage after{};
        getrusage(RUSAGE_SELF, &after);
        const TCost cost{Seconds(after) - Seconds(before), double(bench::PeakResidentKb() - start) / 1024.0};
        if (write(pipeEnds[1], &cost, sizeof cost) != sizeof cost) _exit(5);
        _exit(0);
    }
    close(pipeEnds[1]);
    TCost cost{};
    if (read(pipeEnds[0], &cost, sizeof cost) != sizeof cost) cost = {-1, -1};
    close(pipeEnds[0]);
    waitpid(child, nullptr, 0);
    return cost;
}

} // namespace

int main(int argc, char** argv) {
    const int largestMb = argc > 1 ? std::max(1, std::atoi(argv[1])) : 16;
    std::vector<size_t> sizes{64 << 10, 1 << 20};
    for (int mb = 4; mb <= largestMb; mb *= 4)
        sizes.push_back(size_t(mb) << 20);
    const std::string path = "/tmp/quillmark-hostile-" + std::to_string(getpid());
    double worstPerMb = 0, worstSeconds = 0, worstOver = -1e9;
    std::string worstCpuFile, worstMemFile;
    std::printf("%-32s %10s  %-6s %8s %9s %9s\n", "file", "bytes", "mode", "cpu s", "peak MB", "goal MB");
    for (size_t size : sizes) {
        for (const auto& file : hostile::CraftedFiles(size)) {
            // The JPEG files are the same at every size: measured once.
            if (size != sizes.front() && file.Name.ends_with(".jpg")) continue;
            if (FILE* out = std::fopen(path.c_str(), "wb")) {
                std::fwrite(file.Bytes.data(), 1, file.Bytes.size(), out);
                std::fclose(out);
            }
            const double mb = double(file.Bytes.size()) / (1 << 20);
            const double goal = 64 * mb + 16;
            for (const char* mode : {"text", "json", "viewer"}) {
                const std::string m = mode;
                const TCost cost = m == "viewer" ? RunViewer(file.Name, file.Bytes)
                                                 : RunTool(path, m == "json" ? "--json" : nullptr);
                std::printf("%-32s %10zu  %-6s %8.3f %9.1f %9.1f\n", file.Name.c_str(), file.Bytes.size(),
                            mode, cost.CpuSeconds, cost.PeakMb, goal);
                const double perMb = cost.CpuSeconds / std::max(mb, 1.0 / 16);
                if (perMb > worstPerMb) {
                    worstPerMb = perMb;
                    worstCpuFile = file.Name + " (" + mode + ")";
                }
                worstSeconds = std::max(worstSeconds, cost.CpuSeconds);
                if (cost.PeakMb - goal > worstOver) {
                    worstOver = cost.PeakMb - goal;
                    worstMemFile = file.Name + " " + std::to_string(file.Bytes.size()) + " (" + mode + ")";
                }
            }
        }
    }
    std::remove(path.c_str());
    std::printf("worst CPU per MB of input: %.3f s (%s); longest: %.3f s (goal: under 2 s)\n", worstPerMb,
                worstCpuFile.c_str(), worstSeconds);
    std::printf("closest to the memory goal: %+.1f MB against 64 n + 16 MB (%s)\n", worstOver,
                worstMemFile.c_str());
    return 0;
}
