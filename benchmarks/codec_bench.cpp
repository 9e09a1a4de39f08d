// How long the per-picture work takes: packing, decoding, the C text and the .bin file.
// Run with tools/bench.sh or build/benchmarks/ravik_bench; not part of the test suite.

#include "codec/frame_buffer.h"
#include "export/binary_file.h"
#include "export/c_array_text.h"

#include <QTemporaryDir>
#include <array>
#include <benchmark/benchmark.h>
#include <random>

namespace {

using namespace ravik;

std::array<ColorValue, kPixelCount> noisePixels() {
    std::mt19937 random(1);
    std::array<ColorValue, kPixelCount> pixels{};
    for (ColorValue& pixel : pixels) {
        pixel = random() & 0xFFFFFF;
    }
    return pixels;
}

FrameBuffer noiseFrame() {
    FrameBuffer frame;
    packPixels(noisePixels(), frame);
    return frame;
}

void BM_PackPixels(benchmark::State& state) {
    const auto pixels = noisePixels();
    FrameBuffer frame;
    for (auto _ : state) {
        packPixels(pixels, frame);
        benchmark::DoNotOptimize(frame);
    }
}
BENCHMARK(BM_PackPixels);

void BM_DecodePixels(benchmark::State& state) {
    const FrameBuffer frame = noiseFrame();
    std::array<ColorValue, kPixelCount> pixels{};
    for (auto _ : state) {
        decodePixels(frame, pixels);
        benchmark::DoNotOptimize(pixels);
    }
}
BENCHMARK(BM_DecodePixels);

void BM_FormatCArrayText(benchmark::State& state) {
    const FrameBuffer frame = noiseFrame();
    for (auto _ : state) {
        std::string text = formatCArrayText(frame);
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_FormatCArrayText);

void BM_WriteBinaryFile(benchmark::State& state) {
    const FrameBuffer frame = noiseFrame();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("frame.bin"));
    for (auto _ : state) {
        benchmark::DoNotOptimize(writeBinaryFile(path.toStdString(), frame));
    }
}
BENCHMARK(BM_WriteBinaryFile);

} // namespace

BENCHMARK_MAIN();
