#include "picture_rows.h"

#include "platform/picture_conversion.h"

#include <algorithm>

namespace ravik {

Orientation orientationOf(QImageIOHandler::Transformations transformation) {
    return {transformation.testFlag(QImageIOHandler::TransformationMirror),
            transformation.testFlag(QImageIOHandler::TransformationFlip),
            transformation.testFlag(QImageIOHandler::TransformationRotate90)};
}

PictureRows::PictureRows(const QSize& size, QImage::Format format)
    : size_(size), format_(format), picture_(size, format) {}

namespace {

// The largest picture a scaling fit reads row by row: 2^30 pixels (a 32768 × 32768 picture, far
// more than fits in memory whole) and 262144 on a side, since the scaler keeps a little for each
// row and column. A few bytes of run-length data (a BMP's end of line and end of bitmap) or a
// GIF's canvas can claim any size; within these the work stays within seconds.
constexpr qint64 kMaxScaledPixels = qint64{1} << 30;
constexpr int kMaxScaledSide = 1 << 18;

bool scalable(const QSize& size) {
    return !size.isEmpty() && size.width() <= kMaxScaledSide && size.height() <= kMaxScaledSide &&
           qint64{size.width()} * size.height() <= kMaxScaledPixels;
}

} // namespace

PictureRows::PictureRows(const QSize& size, QImage::Format format, const ConversionOptions& options,
                         Orientation orientation)
    : size_(size), format_(format), background_(options.background) {
    if (!scalable(size)) {
        return; // isNull(): nothing to scale, or too much
    }
    scaler_.emplace(options.fit, size.width(), size.height(), orientation, options.background);
    row_.resize(size_t(size.width()) * size_t(QImage::toPixelFormat(format).bitsPerPixel()) / 8);
    handedOn_.resize(size_t(size.height()), false);
}

Area PictureRows::wantedRows() const {
    if (!scaler_) {
        return {0, 0, width(), height()};
    }
    const Area& source = scaler_->storedSource();
    return {0, source.y, width(), source.height};
}

bool PictureRows::wanted(int y) const {
    const Area rows = wantedRows();
    return y >= rows.y && y < rows.y + rows.height;
}

void PictureRows::clear() {
    if (!scaler_) {
        picture_.fill(Qt::transparent);
    }
    // A scaled row starts out cleared anyway.
}

uchar* PictureRows::scanLine(int y) {
    if (!scaler_) {
        return picture_.scanLine(y);
    }
    if (y != current_) {
        handOn();
        current_ = y;
        std::fill(row_.begin(), row_.end(), uchar(0));
    }
    return row_.data();
}

// Converts the row being written to 8-bit RGBA exactly as a whole picture would be, and adds it.
void PictureRows::handOn() {
    if (current_ < 0 || current_ >= height() || handedOn_[size_t(current_)]) {
        current_ = -1;
        return;
    }
    handedOn_[size_t(current_)] = true;
    if (wanted(current_)) {
        const QImage line(row_.data(), width(), 1, qsizetype(row_.size()), format_);
        const QImage rgba = rgba8(line, background_);
        scaler_->addRow(current_, rgba.constScanLine(0));
    }
    current_ = -1;
}

ScaledPicture PictureRows::scaled() {
    if (!scaler_) {
        return {};
    }
    handOn();
    std::fill(row_.begin(), row_.end(), uchar(0));
    // Rows never written are all zero: wholly transparent where the format has alpha, which
    // the scaler adds without reading a pixel, however wide the picture.
    const bool clear = QImage::toPixelFormat(format_).alphaUsage() == QPixelFormat::UsesAlpha;
    for (int y = 0; y < height(); ++y) {
        if (handedOn_[size_t(y)]) {
            continue;
        }
        if (clear) {
            handedOn_[size_t(y)] = true;
            scaler_->addClearRow(y);
        } else {
            current_ = y;
            handOn();
        }
    }
    return scaler_->result();
}

} // namespace ravik
