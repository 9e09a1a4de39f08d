#include "picture_conversion.h"

namespace ravik {
namespace {

bool hasSixteenBitChannels(QImage::Format format) {
    switch (format) {
    case QImage::Format_RGBX64:
    case QImage::Format_RGBA64:
    case QImage::Format_RGBA64_Premultiplied:
    case QImage::Format_Grayscale16:
        return true;
    default:
        return false;
    }
}

// Straight 16-bit RGBA to 8 bits by dropping each sample's low byte.
QImage truncatedToRgba8(const QImage& deep) {
    const QImage straight = deep.convertToFormat(QImage::Format_RGBA64);
    QImage rgba(straight.size(), QImage::Format_RGBA8888);
    for (int y = 0; y < straight.height(); ++y) {
        const auto* in = reinterpret_cast<const quint16*>(straight.constScanLine(y));
        uchar* out = rgba.scanLine(y);
        for (int i = 0; i < straight.width() * 4; ++i) {
            out[i] = uchar(in[i] >> 8);
        }
    }
    return rgba;
}

} // namespace

QImage boxRgba(const QImage& picture) {
    if (picture.isNull()) {
        return {};
    }
    // Only the part that lands in the box is converted, so a huge picture costs no more than a
    // small one here.
    const QRect visible = picture.rect().intersected(QRect(0, 0, kFrameWidth, kFrameHeight));
    const QImage corner = visible == picture.rect() ? picture : picture.copy(visible);
    if (hasSixteenBitChannels(corner.format())) {
        return truncatedToRgba8(corner);
    }
    return corner.convertToFormat(QImage::Format_RGBA8888);
}

RgbaView rgbaView(const QImage& rgba) {
    if (rgba.isNull()) {
        return {};
    }
    Q_ASSERT(rgba.format() == QImage::Format_RGBA8888);
    return {rgba.constBits(), rgba.width(), rgba.height(), rgba.bytesPerLine()};
}

Conversion convertPicture(const QImage& picture, const ConversionOptions& options) {
    const QImage rgba = boxRgba(picture);
    return convertPicture(rgbaView(rgba), options);
}

QImage framePixelsImage(const FramePixels& pixels) {
    QImage image(kFrameWidth, kFrameHeight, QImage::Format_RGB32);
    const ColorValue* in = pixels.data();
    for (int y = 0; y < kFrameHeight; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < kFrameWidth; ++x, ++in) {
            line[x] = qRgb(redOf(*in), greenOf(*in), blueOf(*in));
        }
    }
    return image;
}

QImage previewImage(const FrameBuffer& frame) {
    return framePixelsImage(previewPixels(frame));
}

} // namespace ravik
