#pragma once

// The preview picture: the frames as the display shows them (each nibble n back as n × 16), one
// below the other, each frame pixel drawn as scale × scale pixels. Its rows are made one at a
// time, so a long frame set at a large scale needs no whole picture in memory. Written as PNG
// with libpng here; other formats are encoded by the picture module from the same rows.

#include "codec/conversion.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ravik {

class PreviewRows {
public:
    // The frames must outlive the rows; scale is at least 1.
    PreviewRows(std::span<const FrameBuffer> frames, int scale);

    int width() const { return kFrameWidth * scale_; }
    int height() const { return kFrameHeight * scale_ * static_cast<int>(frames_.size()); }

    // Row y (0 ≤ y < height()) as 8-bit R G B triples; valid until the next call.
    std::span<const std::uint8_t> row(int y);

private:
    std::span<const FrameBuffer> frames_;
    int scale_;
    int decodedFrame_ = -1;
    int madeRow_ = -1;
    FramePixels pixels_{};
    std::vector<std::uint8_t> row_;
};

// The preview as an 8-bit RGB PNG file's bytes; nothing when it can't be made (no frames, or too
// large).
std::optional<std::string> previewPng(std::span<const FrameBuffer> frames, int scale);

} // namespace ravik
