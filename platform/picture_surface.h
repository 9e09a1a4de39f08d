#pragma once

// The 98 × 67 drawing surface behind a picture box: it shows the colours it is given over a
// background colour, keeps whatever is drawn on it, and answers pixel reads with the colour as
// shown.

#include "codec/conversion.h"

#include <QColor>
#include <QImage>

namespace ravik {

class PictureSurface {
public:
    // Pixel reads outside the surface give this value (-1 as a signed colour).
    static constexpr ColorValue kOutside = 0xFFFFFFFF;

    explicit PictureSurface(const QColor& background);

    // Shows the given colours on every pixel.
    void setPixels(const FramePixels& pixels);
    // Shows only the background again.
    void clear();

    // The colour of pixel (x, y) as shown, 0x00BBGGRR; kOutside for points off the surface.
    ColorValue Point(int x, int y) const;
    // Sets one pixel; points off the surface are ignored.
    void PSet(int x, int y, ColorValue color);

    const QImage& image() const { return image_; }
    QColor background() const { return background_; }

private:
    QColor background_;
    QImage image_;
};

// The frame as the display shows it, drawn onto a surface.
void drawFrame(const FrameBuffer& frame, PictureSurface& surface);

} // namespace ravik
