// What reading a crafted file really allocates: every operator new of this executable is counted
// (current and highest bytes), so the tests check the heap itself, not the reader's own bookkeeping.
#include "HostileFiles.h"
#include "ImgData.h"
#include "PhotoReport.h"
#include "PhotoReportText.h"
#include "ReaderSettings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <malloc.h>
#include <new>

namespace {

std::atomic<int64_t> gHeld{0};
std::atomic<int64_t> gPeak{0};

void* Counted(size_t size, size_t align = 0) {
    void* p = align > alignof(std::max_align_t)
                  ? std::aligned_alloc(align, (size + align - 1) / align * align)
                  : std::malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    const int64_t held = gHeld += static_cast<int64_t>(malloc_usable_size(p));
    int64_t peak = gPeak.load();
    while (held > peak && !gPeak.compare_exchange_weak(peak, held)) {
    }
    return p;
}

void Uncounted(void* p) {
    if (!p) return;
    gHeld -= static_cast<int64_t>(malloc_usable_size(p));
    std::free(p);
}

} // namespace

void* operator new(size_t size) {
    return Counted(size);
}
void* operator new[](size_t size) {
    return Counted(size);
}
// The standard library asks for some buffers without exceptions (std::stable_sort's temporary buffer)
// and frees them with the ordinary delete below: they must come from here too.
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    try {
        return Counted(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    try {
        return Counted(size);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    Uncounted(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    Uncounted(p);
}
void* operator new(size_t size, std::align_val_t align) {
    return Counted(size, static_cast<size_t>(align));
}
void* operator new[](size_t size, std::align_val_t align) {
    return Counted(size, static_cast<size_t>(align));
}
void operator delete(void* p) noexcept {
    Uncounted(p);
}
void operator delete[](void* p) noexcept {
    Uncounted(p);
}
void operator delete(void* p, size_t) noexcept {
    Uncounted(p);
}
void operator delete[](void* p, size_t) noexcept {
    Uncounted(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    Uncounted(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    Uncounted(p);
}
void operator delete(void* p, size_t, std::align_val_t) noexcept {
    Uncounted(p);
}
void operator delete[](void* p, size_t, std::align_val_t) noexcept {
    Uncounted(p);
}

namespace quillmark {
namespace {

// The highest heap, above what was held before, that `work` reaches.
template <class Work> int64_t PeakOf(Work&& work) {
    const int64_t before = gHeld.load();
    gPeak = before;
    work();
    return gPeak.load() - before;
}

constexpr int64_t kMb = 1 << 20;

// The goal for a file of n bytes: 64 n and a few megabytes.
int64_t Allowed(size_t n) {
    return 64 * static_cast<int64_t>(n) + 16 * kMb;
}

struct TCase {
    const char* What;
    TReportParts Parts; // Both: the viewer's reading, traces and all three lists
};

TEST(ReadBudget, CraftedFilesCostAtMost64TimesTheirSize) {
    const auto files = hostile::CraftedFiles(512 * 1024);
    for (const TCase& c : {TCase{"text", TReportParts::Text}, TCase{"json", TReportParts::Json},
                           TCase{"viewer", TReportParts::Both}}) {
        for (const auto& file : files) {
            const bool viewer = c.Parts == TReportParts::Both;
            ReaderSettings().KeepTraces = viewer;
            ReaderSettings().TraceDetail = viewer ? 1 : 0;
            int64_t held = 0, limit = 0;
            const int64_t start = gHeld.load();
            const int64_t peak = PeakOf([&] {
                TimgData data(255);
                const bool ok = data.ProcessBytes(file.Name, file.Bytes);
                limit = data.Budget.LimitBytes();
                held = gHeld.load() - start;
                if (viewer) {
                    const TPhotoReport report = BuildPhotoReport(data, TReportLists::All);
                    EXPECT_FALSE(report.MemoLines.empty());
                } else {
                    const TFileReport report = RenderReport(data, ok, c.Parts);
                    EXPECT_FALSE((c.Parts == TReportParts::Text ? report.Text : report.Json).empty());
                }
            });
            EXPECT_LE(peak, Allowed(file.Bytes.size())) << c.What << " " << file.Name;
            // What the readers hold once read is what the budget allows, beside the bytes read (a
            // TIFF's block is kept by its section, the container and the directory walk).
            EXPECT_LE(held, 2 * limit + 3 * static_cast<int64_t>(file.Bytes.size()) + kMb)
                << c.What << " " << file.Name;
            std::printf("%-6s %-32s %9zu bytes: peak %7.1f MB (allowed %6.1f MB)\n", c.What,
                        file.Name.c_str(), file.Bytes.size(), double(peak) / kMb,
                        double(Allowed(file.Bytes.size())) / kMb);
        }
    }
    ReaderSettings().KeepTraces = true;
    ReaderSettings().TraceDetail = 0;
}

} // namespace
} // namespace quillmark
