#pragma once

// Where a reader puts the rows it decodes: into a whole picture (or its corner), or, for a
// scaling fit, straight into the fit's scaler one row at a time, so that no picture the format
// allows is refused for want of a whole-picture buffer.

#include "codec/conversion.h"
#include "pictures/picture.h"

#include <optional>
#include <vector>

namespace ravik {

class RowSink {
public:
    // Rows of a whole picture of `size`, 8 or 16 bits a channel.
    explicit RowSink(const Size& size, int bitsPerChannel = 8,
                     Picture::Alpha alpha = Picture::Alpha::straight);
    // Rows of a stored picture of `size` that a fit scales as `options` say, turned upright by
    // `orientation` once scaled.
    RowSink(const Size& size, const ConversionOptions& options, Orientation orientation = {},
            int bitsPerChannel = 8, Picture::Alpha alpha = Picture::Alpha::straight);

    bool isNull() const { return size_.isEmpty() || (!scaler_ && picture_.isNull()); }
    int width() const { return size_.width; }
    int height() const { return size_.height; }
    bool scaling() const { return scaler_.has_value(); }
    // The stored rows a fit takes (all when not scaling); a reader may skip the others.
    bool wanted(int y) const;
    Area wantedRows() const;

    // Row y to write, RGBA in the depth given, every pixel transparent black until written. When
    // scaling, a row is handed on once another row is asked for, so a reader writes each row in
    // one go (rows may come in any order).
    std::uint8_t* row(int y);
    std::uint16_t* row16(int y) { return reinterpret_cast<std::uint16_t*>(row(y)); }

    // What the rows made: the whole picture, or the scaled one once every row is written (rows
    // never written count as transparent).
    DecodedPicture result();

private:
    void handOn();

    Size size_;
    int bits_;
    Picture::Alpha alpha_;
    Picture picture_;
    std::optional<FitScaler> scaler_;
    ColorValue background_ = kDefaultBackground; // under associated rows
    std::vector<std::uint16_t> row_;             // the row being written, when scaling
    std::vector<std::uint8_t> rgba_;             // it, as the scaler takes it
    int current_ = -1;                           // its number
    std::vector<bool> handedOn_;                 // rows already scaled
};

// One row of `width` pixels of a picture as 8-bit straight RGBA: 8-bit rows as they are,
// 16-bit samples keeping their top 8 bits (v >> 8), so the frame gets a sample's high four bits
// whatever its depth; associated samples blended over `background` as they are at their own depth
// (colour + bg · (1 − alpha), rounded once), opaque but where nothing of the picture shows (alpha
// zero).
void rgba8Row(const std::uint8_t* row, int width, int bitsPerChannel, Picture::Alpha alpha,
              ColorValue background, std::uint8_t* out);

} // namespace ravik
