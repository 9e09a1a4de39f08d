#pragma once

// An asset as C source for the firmware runtime: the declaration for a header and the definition
// for a .c file, so that a build step can gather many assets into one header and one source file
// (each including "ravik_lcd.h" once) and the data exists once however many files include it.
// Plain C++ with standard types only.

#include "codec/compression.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ravik {

// The stored pictures with what the runtime's ravik_lcd_asset carries beside them.
struct AssetData {
    StoredPictures pictures;
    std::vector<std::uint8_t> mask;      // empty, or one packMask() per picture, one after another
    std::vector<std::uint16_t> delaysMs; // empty, or one per picture (animations)
};

// Why the asset can't be written for the runtime, in Chinese (sides or count past 65535, offsets
// that don't match the data, a mask or delay list of the wrong length); empty when it can.
std::string assetProblem(const AssetData& asset);

// `extern const ravik_lcd_asset NAME;` with a comment on its size and storage, after NAME_WIDTH,
// NAME_HEIGHT, NAME_COUNT, NAME_SIZE (bytes of one unpacked picture) and, with a mask,
// NAME_MASK_SIZE as constants a compiler can size arrays and check assertions with.
std::string formatAssetDeclaration(const std::string& name, const AssetData& asset);

// The arrays NAME_data, NAME_offsets and, where the asset has them, NAME_mask and NAME_delays_ms
// (static, with `attribute`, e.g. PROGMEM or a section, between declarator and initialiser), then
// `const ravik_lcd_asset NAME` pointing at them. Throws std::invalid_argument with the Chinese
// reason when the name, the attribute or the asset (assetProblem) can't be written.
std::string formatAssetDefinition(const std::string& name, const std::string& attribute,
                                  const AssetData& asset);

// The lines a source file whose arrays carry `attribute` needs first: with any attribute,
// <avr/pgmspace.h> under #ifdef __AVR__, so that PROGMEM means something to avr-gcc and other
// compilers never see the header; empty without one.
// Inline: the font header's library writes it too, without linking this one.
inline std::string attributeIncludes(const std::string& attribute) {
    return attribute.empty() ? std::string()
                             : "#ifdef __AVR__\n#include <avr/pgmspace.h>\n#endif\n";
}

} // namespace ravik
