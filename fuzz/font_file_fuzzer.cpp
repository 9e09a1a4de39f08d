// Font files through FreeType: the rest of the input as a font file's bytes, its glyphs rendered
// as `font` renders them, at the size, hinting, face and characters the first byte picks, then
// packed both ways and drawn by the runtime. A font is rendered or refused with a FontError,
// nothing else; a rendered glyph holds exactly its width × height coverages, and the packed
// fonts either fit the runtime's fields or say why.

#include "fonts/font_faults.h"
#include "fonts/glyph_set.h"
#include "fonts/text_preview.h"
#include "fuzz_input.h"

#include <array>
#include <stdexcept>
#include <vector>

namespace {

using namespace ravik;

// The characters asked for: the selector's top two bits pick ASCII letters, digits and
// punctuation, a few hanzi, or one letter.
std::vector<char32_t> charactersFrom(std::uint8_t selector) {
    switch (selector >> 6) {
    case 0:
        return {U'A', U'g', U'1', U'.'};
    case 1:
        return {U'永', U'中', U'文'};
    case 2: {
        std::vector<char32_t> ascii;
        for (char32_t c = 0x20; c <= 0x7E; ++c) {
            ascii.push_back(c);
        }
        return ascii;
    }
    default:
        return {U'A'};
    }
}

void checkPacked(const PackedFont& font, const std::vector<char32_t>& characters) {
    const bool fits = packedFontProblem(font).empty();
    try {
        const FrameBuffer frame = fonts::previewFrame(font, "Ag1.\n永中文");
        fuzz::require(fits);
        fuzz::checkFrame(frame);
    } catch (const std::invalid_argument&) {
        fuzz::require(!fits);
    }
    fuzz::require(font.glyphs.size() == characters.size());
    for (const FontGlyph& glyph : font.glyphs) {
        fuzz::require(glyph.offset <= font.bitmaps.size());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static constexpr std::array kHintings{fonts::Hinting::Light, fonts::Hinting::Full,
                                          fonts::Hinting::None, fonts::Hinting::Light};
    const auto [selector, bytes] = fuzz::splitSelector({data, size});
    const int pixelSize = 1 + (selector & 0x0F) * 3; // 1 to 46
    const fonts::Hinting hinting = kHintings[(selector >> 4) & 3];
    const std::vector<char32_t> characters = charactersFrom(selector);
    const fonts::FontFile file{fuzz::scratchFile(bytes, QStringLiteral("ttf")).toStdString(), 0};
    try {
        const fonts::RenderedFont rendered =
            fonts::renderGlyphs(file, characters, pixelSize, hinting);
        fuzz::require(rendered.glyphs.size() == characters.size());
        for (const fonts::RenderedGlyph& glyph : rendered.glyphs) {
            fuzz::require(glyph.width >= 0 && glyph.height >= 0 &&
                          glyph.coverage.size() == std::size_t(glyph.width) * glyph.height);
        }
        checkPacked(fonts::alphaFont(rendered), characters);
        checkPacked(fonts::colorFont(rendered, RGB(0xFF, 0x80, 0), RGB(0, 0, 0x40)), characters);
    } catch (const fonts::FontError&) {
    }
    return 0;
}
