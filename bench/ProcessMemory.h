// The benchmark's own memory, as the kernel counts it: resident now, and the highest it has been.
#pragma once

#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

namespace quillmark::bench {

// Resident memory now, in KiB (from /proc/self/statm); 0 when it cannot be read.
inline long ResidentKb() {
    long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// The highest resident memory of the process so far, in KiB.
inline long PeakResidentKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

inline double ResidentMb() {
    return double(ResidentKb()) / 1024.0;
}
inline double PeakMb() {
    return double(PeakResidentKb()) / 1024.0;
}

} // namespace quillmark::bench
