// How long a glyph set takes from the font to the header text: GB2312 level 1 and ASCII (3,850
// glyphs) at 16 px in one call, as coverage (4 bits packed and compressed, 1 bit each glyph the
// smaller form) and as pictures; and how sharp each hinting draws the 3,755 level-1 hanzi at 12
// and 16 px (full_percent: the share of ink pixels, coverage level 1 or more, that are fully on,
// level 15). Run build-release/benchmarks/ravik_fonts_bench; not part of the test suite. Skips
// when fontconfig finds no Chinese font.

#include "export/font_header.h"
#include "fonts/char_set.h"
#include "fonts/font_faults.h"
#include "fonts/glyph_set.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace ravik;
using namespace ravik::fonts;

void glyphSetToHeader(benchmark::State& state, bool alpha, CoverageOptions coverage = {}) {
    const std::vector<std::string> items{"gb2312-1", "ascii"};
    for (auto _ : state) {
        try {
            const FontFile font = findFont({});
            const std::vector<char32_t> set = characterSet(items);
            const RenderedFont rendered = renderGlyphs(font, set, 16);
            const PackedFont packed =
                alpha ? alphaFont(rendered, coverage)
                      : colorFont(rendered, RGB(0xFF, 0xFF, 0xFF), RGB(0, 0, 0));
            const std::string header = formatFontHeader("font16", "", packed);
            benchmark::DoNotOptimize(header.data());
            state.counters["glyphs"] = double(set.size());
            state.counters["header_bytes"] = double(header.size());
        } catch (const FontError& error) {
            state.SkipWithError(error.what());
            return;
        }
    }
}

void BM_Gb2312Level1AndAscii16pxCoverage(benchmark::State& state) {
    glyphSetToHeader(state, true);
}
BENCHMARK(BM_Gb2312Level1AndAscii16pxCoverage)->Unit(benchmark::kMillisecond)->Iterations(5);

// Compressed: each glyph's shortest rows sought over every split.
void BM_Gb2312Level1AndAscii16pxCoverageCompressed(benchmark::State& state) {
    glyphSetToHeader(state, true, {4, GlyphCompression::Rle});
}
BENCHMARK(BM_Gb2312Level1AndAscii16pxCoverageCompressed)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

void BM_Gb2312Level1AndAscii16px1BitSmaller(benchmark::State& state) {
    glyphSetToHeader(state, true, {1, GlyphCompression::Auto});
}
BENCHMARK(BM_Gb2312Level1AndAscii16px1BitSmaller)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_Gb2312Level1AndAscii16pxColour(benchmark::State& state) {
    glyphSetToHeader(state, false);
}
BENCHMARK(BM_Gb2312Level1AndAscii16pxColour)->Unit(benchmark::kMillisecond)->Iterations(5);

// The hanzi of GB2312 level 1 at `size` px in the system's Chinese font, with `hinting`.
void hanziFullCoverage(benchmark::State& state, Hinting hinting, int size) {
    const std::vector<std::string> items{"gb2312-1"};
    for (auto _ : state) {
        try {
            const RenderedFont rendered =
                renderGlyphs(findFont({}), characterSet(items), size, hinting);
            std::size_t ink = 0;
            std::size_t full = 0;
            for (const RenderedGlyph& glyph : rendered.glyphs) {
                for (const std::uint8_t coverage : glyph.coverage) {
                    const int level = coverageLevel(coverage);
                    ink += level > 0 ? 1 : 0;
                    full += level == 15 ? 1 : 0;
                }
            }
            state.counters["ink_pixels"] = double(ink);
            state.counters["full_percent"] =
                100.0 * double(full) / double(std::max<std::size_t>(ink, 1));
        } catch (const FontError& error) {
            state.SkipWithError(error.what());
            return;
        }
    }
}

// Each hinting at 12 and 16 px, one render each: the share is the same every time.
const bool kCoverageRegistered = [] {
    constexpr std::pair<const char*, Hinting> kHintings[] = {
        {"light", Hinting::Light}, {"full", Hinting::Full}, {"auto", Hinting::Auto}};
    for (const int size : {12, 16}) {
        for (const auto& [name, hinting] : kHintings) {
            const std::string label =
                "hanziFullCoverage/" + std::string(name) + "_" + std::to_string(size) + "px";
            benchmark::RegisterBenchmark(label.c_str(), hanziFullCoverage, hinting, size)
                ->Unit(benchmark::kMillisecond)
                ->Iterations(1);
        }
    }
    return true;
}();

} // namespace

BENCHMARK_MAIN();
