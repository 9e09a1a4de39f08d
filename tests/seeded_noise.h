#pragma once

// A picture of random colours, the same for the same seed: for tests that compose pictures.

#include "codec/frame_buffer.h"

#include <cstddef>
#include <random>
#include <vector>

namespace ravik::testing {

inline std::vector<ColorValue> seededNoise(int width, int height, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<ColorValue> pixels(static_cast<std::size_t>(width) *
                                   static_cast<std::size_t>(height));
    for (ColorValue& pixel : pixels) {
        pixel = random() & 0xFFFFFF;
    }
    return pixels;
}

} // namespace ravik::testing
