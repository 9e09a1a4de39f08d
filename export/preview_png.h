#pragma once

// The preview picture: the pictures of a set (frames, tiles) as the display shows them (each
// nibble n back as n × 16), one below the other, each pixel drawn as scale × scale pixels. Its
// rows are made one at a time, so a long frame set at a large scale needs no whole picture in
// memory. Written as PNG
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
    // The set must outlive the rows; scale is at least 1.
    PreviewRows(const PictureSet& set, int scale);

    int width() const { return set_.size.width * scale_; }
    int height() const {
        return set_.size.height * scale_ * static_cast<int>(set_.pictures.size());
    }

    // Row y (0 ≤ y < height()) as 8-bit R G B triples; valid until the next call.
    std::span<const std::uint8_t> row(int y);

private:
    const PictureSet& set_;
    int scale_;
    int decodedPicture_ = -1;
    int madeRow_ = -1;
    std::vector<ColorValue> pixels_;
    std::vector<std::uint8_t> row_;
};

// The preview as an 8-bit RGB PNG file's bytes; nothing when it can't be made (no pictures, or
// too large).
std::optional<std::string> previewPng(const PictureSet& set, int scale);

} // namespace ravik
