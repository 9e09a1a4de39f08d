#pragma once

// The preview picture: the pictures of a set (frames, tiles) as the display shows them (each
// nibble n back as n × 16), one below the other, each pixel drawn as scale × scale pixels. Its
// rows are made one at a time, so a long frame set at a large scale needs no whole picture in
// memory. Given masks (one a picture), the pixels a mask leaves out show a grey checkerboard of
// 4 × 4-pixel squares instead, so what the firmware will not draw can be seen. Written as PNG
// with libpng here; other formats are encoded by the picture module from the same rows.

#include "codec/conversion.h"
#include "export/picture_set.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ravik {

class PreviewRows {
public:
    // The set and the masks must outlive the rows; scale is at least 1; masks are none or
    // maskSize(set.size) bytes for each picture.
    PreviewRows(const PictureSet& set, int scale,
                std::span<const std::vector<std::uint8_t>> masks = {});

    int width() const { return set_.size.width * scale_; }
    int height() const {
        return set_.size.height * scale_ * static_cast<int>(set_.pictures.size());
    }

    // Row y (0 ≤ y < height()) as 8-bit R G B triples; valid until the next call.
    std::span<const std::uint8_t> row(int y);

private:
    const PictureSet& set_;
    int scale_;
    std::span<const std::vector<std::uint8_t>> masks_;
    int decodedPicture_ = -1;
    int madeRow_ = -1;
    std::vector<ColorValue> pixels_;
    std::vector<std::uint8_t> row_;
};

// The preview as an 8-bit RGB PNG file's bytes; nothing when it can't be made (no pictures, or
// too large).
std::optional<std::string> previewPng(const PictureSet& set, int scale,
                                      std::span<const std::vector<std::uint8_t>> masks = {});

// The checkerboard's two greys, each a colour the panel can show.
inline constexpr ColorValue kCheckerLight = RGB(0xC0, 0xC0, 0xC0);
inline constexpr ColorValue kCheckerDark = RGB(0x80, 0x80, 0x80);

} // namespace ravik
