#pragma once

// Where our own readers put the rows they decode: into a whole picture (or its corner), or, for
// a scaling fit, straight into the fit's scaler one row at a time, so that no picture the
// format allows is refused for want of a whole-picture buffer.

#include "codec/conversion.h"

#include <QImage>
#include <QImageIOHandler>
#include <optional>
#include <vector>

namespace ravik {

// The orientation of the codec for Qt's transformation flags.
Orientation orientationOf(QImageIOHandler::Transformations transformation);

class PictureRows {
public:
    // Rows of a whole picture of `size` in `format`.
    PictureRows(const QSize& size, QImage::Format format);
    // Rows of a stored picture of `size` in `format` that a fit scales as `options` say, turned
    // upright by `orientation` once scaled; null beyond 2^30 pixels or 262144 on a side.
    PictureRows(const QSize& size, QImage::Format format, const ConversionOptions& options,
                Orientation orientation = {});

    bool isNull() const { return size_.isEmpty() || (!scaler_ && picture_.isNull()); }
    int width() const { return size_.width(); }
    int height() const { return size_.height(); }
    bool scaling() const { return scaler_.has_value(); }
    // The stored rows a fit takes (all when not scaling); a reader may skip the others.
    bool wanted(int y) const;
    Area wantedRows() const;

    // Every pixel transparent black until written.
    void clear();
    // Row y to write, in the format given. When scaling, a row is handed on once another row
    // is asked for, so a reader writes each row in one go (rows may come in any order).
    uchar* scanLine(int y);

    // The whole picture, when not scaling.
    QImage picture() const { return picture_; }
    // The scaled picture, once every row is written; rows never written count as transparent.
    ScaledPicture scaled();

private:
    void handOn();

    QSize size_;
    QImage::Format format_;
    QImage picture_;
    std::optional<FitScaler> scaler_;
    ColorValue background_ = kDefaultBackground; // under premultiplied rows
    std::vector<uchar> row_;     // the row being written, when scaling
    int current_ = -1;           // its number
    std::vector<bool> handedOn_; // rows already scaled
};

} // namespace ravik
