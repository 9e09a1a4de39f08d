#include "row_sink.h"

#include <algorithm>
#include <cstring>

namespace ravik {

void rgba8Row(const std::uint8_t* row, int width, int bitsPerChannel, Picture::Alpha alpha,
              ColorValue background, std::uint8_t* out) {
    if (bitsPerChannel == 8 && alpha == Picture::Alpha::straight) {
        std::memcpy(out, row, size_t(width) * 4);
        return;
    }
    const auto* in = reinterpret_cast<const std::uint16_t*>(row);
    const auto top = [&](int i) -> int {
        return bitsPerChannel == 16 ? in[i] >> 8 : row[i];
    };
    if (alpha == Picture::Alpha::straight) {
        for (int i = 0; i < width * 4; ++i) {
            out[i] = std::uint8_t(top(i));
        }
        return;
    }
    // Associated samples are blended at their own depth and rounded once: through 8 bits first,
    // a 16-bit sample and its alpha would each be rounded before the blend.
    const int backgroundChannels[3] = {redOf(background), greenOf(background), blueOf(background)};
    const int full = bitsPerChannel == 16 ? 65535 : 255;
    const auto sample = [&](int i) -> int {
        return bitsPerChannel == 16 ? in[i] : row[i];
    };
    for (int x = 0; x < width; ++x) {
        const int a = sample(4 * x + 3);
        for (int c = 0; c < 3; ++c) {
            // 255 · 65535 · 2 still fits an int.
            const int sum = 255 * sample(4 * x + c) + backgroundChannels[c] * (full - a);
            out[4 * x + c] = std::uint8_t(std::min((sum + full / 2) / full, 255));
        }
        out[4 * x + 3] = a == 0 ? 0 : 0xFF;
    }
}

RowSink::RowSink(const Size& size, int bitsPerChannel, Picture::Alpha alpha)
    : size_(size), bits_(bitsPerChannel), alpha_(alpha),
      picture_(size.width, size.height, bitsPerChannel, alpha) {}

namespace {

// Scaling reads no more than a band of rows, but still adds every source pixel once, and keeps
// sums per target column for each source row and column. A few bytes of run-length data (a BMP's
// end of line and end of bitmap) or a GIF's canvas can claim any size; within these the work
// stays within seconds.
constexpr std::int64_t kMaxScaledPixels = std::int64_t{1} << 30;
constexpr int kMaxScaledSide = 1 << 18;

bool scalable(const Size& size) {
    return !size.isEmpty() && size.width <= kMaxScaledSide && size.height <= kMaxScaledSide &&
           std::int64_t{size.width} * size.height <= kMaxScaledPixels;
}

} // namespace

RowSink::RowSink(const Size& size, const ConversionOptions& options, Orientation orientation,
                 int bitsPerChannel, Picture::Alpha alpha)
    : size_(size), bits_(bitsPerChannel), alpha_(alpha), background_(options.background) {
    if (!scalable(size)) {
        return; // isNull(): nothing to scale, or too much
    }
    scaler_.emplace(options.fit, size.width, size.height, orientation, options.background,
                    options.size);
    row_.resize(size_t(size.width) * 4 * size_t(bitsPerChannel) / 16 + 1);
    rgba_.resize(size_t(size.width) * 4);
    handedOn_.resize(size_t(size.height), false);
}

Area RowSink::wantedRows() const {
    if (!scaler_) {
        return {0, 0, width(), height()};
    }
    const Area& source = scaler_->storedSource();
    return {0, source.y, width(), source.height};
}

bool RowSink::wanted(int y) const {
    const Area rows = wantedRows();
    return y >= rows.y && y < rows.y + rows.height;
}

std::uint8_t* RowSink::row(int y) {
    if (!scaler_) {
        return picture_.row(y);
    }
    if (y != current_) {
        handOn();
        current_ = y;
        std::fill(row_.begin(), row_.end(), std::uint16_t(0));
    }
    return reinterpret_cast<std::uint8_t*>(row_.data());
}

void RowSink::handOn() {
    if (current_ < 0 || current_ >= height() || handedOn_[size_t(current_)]) {
        current_ = -1;
        return;
    }
    handedOn_[size_t(current_)] = true;
    if (wanted(current_)) {
        rgba8Row(reinterpret_cast<const std::uint8_t*>(row_.data()), width(), bits_, alpha_,
                 background_, rgba_.data());
        scaler_->addRow(current_, rgba_.data());
    }
    current_ = -1;
}

DecodedPicture RowSink::result() {
    if (!scaler_) {
        return {picture_, std::nullopt, {}};
    }
    handOn();
    std::fill(row_.begin(), row_.end(), std::uint16_t(0));
    // Rows never written are all zero, wholly transparent, which the scaler adds without reading
    // a pixel, however wide the picture.
    for (int y = 0; y < height(); ++y) {
        if (!handedOn_[size_t(y)]) {
            handedOn_[size_t(y)] = true;
            scaler_->addClearRow(y);
        }
    }
    return {{}, scaler_->result(), {}};
}

} // namespace ravik
