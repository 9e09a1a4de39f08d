#include "picture_surface.h"

#include <QPainter>
#include <array>

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

void PictureSurface::setPicture(const QImage& picture) {
    image_.fill(background_);
    if (picture.isNull()) {
        return;
    }
    // Painting (rather than converting the format) blends partly transparent pixels over the
    // background. Only the part that lands on the surface is converted, so a huge picture costs
    // no more than a small one here.
    const QRect visible = picture.rect().intersected(image_.rect());
    QPainter painter(&image_);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(QPoint(0, 0), picture.copy(visible));
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

void PictureSurface::readPixels(std::span<ColorValue, kPixelCount> pixels) const {
    ColorValue* out = pixels.data();
    for (int y = 0; y < kFrameHeight; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image_.constScanLine(y));
        for (int x = 0; x < kFrameWidth; ++x) {
            *out++ = toColorValue(line[x]);
        }
    }
}

void packSurface(const PictureSurface& surface, FrameBuffer& frame) {
    std::array<ColorValue, kPixelCount> pixels{};
    surface.readPixels(pixels);
    packPixels(pixels, frame);
}

void drawFrame(const FrameBuffer& frame, PictureSurface& surface) {
    for (int y = 0; y < kFrameHeight; ++y) {
        for (int x = 0; x < kFrameWidth; ++x) {
            surface.PSet(x, y, decodePixel(frame, x, y));
        }
    }
}

} // namespace ravik
