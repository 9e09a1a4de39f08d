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
    const int backgroundChannels[3] = {redOf(background), greenOf(background), blueOf(background)};
    for (int x = 0; x < width; ++x) {
        const int a = top(4 * x + 3);
        for (int c = 0; c < 3; ++c) {
            const int sum = 255 * top(4 * x + c) + backgroundChannels[c] * (255 - a);
            out[4 * x + c] = std::uint8_t(std::min((sum + 127) / 255, 255));
        }
        out[4 * x + 3] = a == 0 ? 0 : 0xFF;
    }
}

RowSink::RowSink(const Size& size, int bitsPerChannel, Picture::Alpha alpha)
    : size_(size), bits_(bitsPerChannel), alpha_(alpha),
      picture_(size.width, size.height, bitsPerChannel, alpha) {}

RowSink::RowSink(const Size& size, const ConversionOptions& options, Orientation orientation,
                 int bitsPerChannel, Picture::Alpha alpha)
    : size_(size), bits_(bitsPerChannel), alpha_(alpha),
      scaler_(std::in_place, options.fit, size.width, size.height, orientation, options.background),
      background_(options.background),
      row_(size_t(std::max(size.width, 0)) * 4 * size_t(bitsPerChannel) / 16 + 1),
      rgba_(size_t(std::max(size.width, 0)) * 4),
      handedOn_(size_t(std::max(size.height, 0)), false) {}

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
    for (int y = 0; y < height(); ++y) {
        if (!handedOn_[size_t(y)]) {
            current_ = y;
            handOn();
        }
    }
    return {{}, scaler_->result(), {}};
}

} // namespace ravik
