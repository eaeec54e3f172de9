// Quarter and half turns of a camera-size picture: the view's turns (RotateQuarterTurns, TurnPixels) against
// Qt's own QImage::transformed and QImage::mirrored on the same RGB32 picture, one thread.
//
//   TurnBenchmark [--fresh-pages] [Google Benchmark flags]
//
// Times are wall time with the process's CPU time beside it: the two agree when nothing runs on a second
// thread. Each turn makes a new picture. By default the memory of the last one is kept in the process and
// reused, so the figures are the turn's own work; --fresh-pages hands it back to the system after each turn,
// so every turn also pays for the kernel's fresh pages, as a turn in the viewer does (on a virtual machine
// that can cost more than the turn itself, and is the same for both ways of turning).
#include "PictureTurn.h"

#include <QImage>
#include <QTransform>

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstring>

using namespace quillmark;

namespace {

// A picture whose every pixel differs from its neighbours, so that a misplaced pixel could not go unseen.
QImage Filled(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            row[x] = 0xff000000u | ((uint(y) * 7919u + uint(x) * 104729u) & 0xffffffu);
    }
    return image;
}

// The 12-megapixel picture is 4:3 (4000 x 3000), the 24-megapixel one 3:2 (6000 x 4000).
const QImage& Picture(int megapixels) {
    static const QImage twelve = Filled(4000, 3000);
    static const QImage twentyFour = Filled(6000, 4000);
    return megapixels == 24 ? twentyFour : twelve;
}

void OursTurn(benchmark::State& state) {
    const QImage& picture = Picture(int(state.range(0)));
    const int degrees = int(state.range(1));
    for (auto _ : state)
        benchmark::DoNotOptimize(RotateQuarterTurns(picture, degrees));
}

void QtTurn(benchmark::State& state) {
    const QImage& picture = Picture(int(state.range(0)));
    const QTransform turn = QTransform().rotate(qreal(state.range(1)));
    for (auto _ : state)
        benchmark::DoNotOptimize(picture.transformed(turn));
}

// Mirrored, then turned a quarter right (EXIF orientation 7): with 5, the costliest of the eight.
void OursMirrorTurn(benchmark::State& state) {
    const QImage& picture = Picture(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(TurnPixels(picture, TPixelTurn{true, 1}));
}

void QtMirrorTurn(benchmark::State& state) {
    const QImage& picture = Picture(int(state.range(0)));
    const QTransform turn = QTransform().rotate(90);
    for (auto _ : state)
        benchmark::DoNotOptimize(picture.mirrored(true, false).transformed(turn));
}

void Turns(benchmark::internal::Benchmark* b) {
    b->ArgNames({"MP", "deg"})->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
    for (int megapixels : {24, 12})
        for (int degrees : {90, 180, 270})
            b->Args({megapixels, degrees});
}

void MirrorTurns(benchmark::internal::Benchmark* b) {
    b->ArgNames({"MP"})->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
    b->Arg(24)->Arg(12);
}

} // namespace

BENCHMARK(OursTurn)->Apply(Turns);
BENCHMARK(QtTurn)->Apply(Turns);
BENCHMARK(OursMirrorTurn)->Apply(MirrorTurns);
BENCHMARK(QtMirrorTurn)->Apply(MirrorTurns);

int main(int argc, char** argv) {
    bool freshPages = false;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--fresh-pages") == 0)
            freshPages = true;
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    // Pictures from the heap, never mapped on their own, and freed memory kept there for the next one.
    if (!freshPages && (mallopt(M_MMAP_MAX, 0) == 0 || mallopt(M_TRIM_THRESHOLD, 1 << 30) == 0)) return 1;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
