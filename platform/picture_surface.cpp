#include "picture_surface.h"

#include "platform/picture_conversion.h"

namespace ravik {
namespace {

ColorValue toColorValue(QRgb rgb) {
    return RGB(qRed(rgb), qGreen(rgb), qBlue(rgb));
}

} // namespace

PictureSurface::PictureSurface(const QColor& background)
    : background_(background), image_(kFrameWidth, kFrameHeight, QImage::Format_RGB32) {
    image_.fill(background_);
}

void PictureSurface::setPixels(const FramePixels& pixels) {
    image_ = framePixelsImage(pixels);
}

void PictureSurface::clear() {
    image_.fill(background_);
}

ColorValue PictureSurface::Point(int x, int y) const {
    if (!image_.valid(x, y)) {
        return kOutside;
    }
    return toColorValue(image_.pixel(x, y));
}

void PictureSurface::PSet(int x, int y, ColorValue color) {
    if (image_.valid(x, y)) {
        image_.setPixel(x, y, qRgb(redOf(color), greenOf(color), blueOf(color)));
    }
}

void drawFrame(const FrameBuffer& frame, PictureSurface& surface) {
    surface.setPixels(previewPixels(frame));
}

} // namespace ravik
