#include "picture_conversion.h"

#include <algorithm>

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

// Premultiplied (associated) samples already hold colour times alpha, so over the background a
// channel is sample + bg · (1 − alpha), rounded once; undoing the premultiplication first would
// round twice. Samples keep their top 8 bits first, as straight ones do. The result is opaque
// but where nothing of the picture shows, so those pixels stay the background's own.
QImage composedOver(const QImage& premultiplied, ColorValue background) {
    const QImage deep = premultiplied.convertToFormat(QImage::Format_RGBA64_Premultiplied);
    const int backgroundChannels[3] = {redOf(background), greenOf(background), blueOf(background)};
    QImage rgba(deep.size(), QImage::Format_RGBA8888);
    for (int y = 0; y < deep.height(); ++y) {
        const auto* in = reinterpret_cast<const quint16*>(deep.constScanLine(y));
        uchar* out = rgba.scanLine(y);
        for (int x = 0; x < deep.width(); ++x, in += 4, out += 4) {
            const int alpha = in[3] >> 8;
            for (int c = 0; c < 3; ++c) {
                const int sum = 255 * (in[c] >> 8) + backgroundChannels[c] * (255 - alpha);
                out[c] = uchar(std::min((sum + 127) / 255, 255));
            }
            out[3] = alpha == 0 ? 0 : 0xFF;
        }
    }
    return rgba;
}

} // namespace

QImage rgba8(const QImage& picture, ColorValue background) {
    if (picture.pixelFormat().premultiplied() == QPixelFormat::Premultiplied) {
        return composedOver(picture, background);
    }
    if (hasSixteenBitChannels(picture.format())) {
        return truncatedToRgba8(picture);
    }
    return picture.convertToFormat(QImage::Format_RGBA8888);
}

QImage boxRgba(const QImage& picture, ColorValue background) {
    if (picture.isNull()) {
        return {};
    }
    // Only the part that lands in the box is converted, so a huge picture costs no more than a
    // small one here.
    const QRect visible = picture.rect().intersected(QRect(0, 0, kFrameWidth, kFrameHeight));
    const QImage corner = visible == picture.rect() ? picture : picture.copy(visible);
    return rgba8(corner, background);
}

RgbaView rgbaView(const QImage& rgba) {
    if (rgba.isNull()) {
        return {};
    }
    Q_ASSERT(rgba.format() == QImage::Format_RGBA8888);
    return {rgba.constBits(), rgba.width(), rgba.height(), rgba.bytesPerLine()};
}

ScaledPicture scalePicture(const QImage& picture, const ConversionOptions& options) {
    // The picture is converted to 8-bit RGBA a strip of rows at a time, so a big picture needs no
    // second full-size copy.
    constexpr int kStripRows = 32;
    FitScaler scaler(options.fit, picture.width(), picture.height(), {}, options.background);
    const Area& source = scaler.storedSource();
    const bool direct = picture.format() == QImage::Format_RGBA8888;
    for (int y = source.y; y < source.y + source.height; y += kStripRows) {
        const int rows = std::min(kStripRows, source.y + source.height - y);
        const QImage strip =
            direct ? picture : rgba8(picture.copy(0, y, picture.width(), rows), options.background);
        const int first = direct ? y : 0;
        for (int row = 0; row < rows; ++row) {
            scaler.addRow(y + row, strip.constScanLine(first + row));
        }
    }
    return scaler.result();
}

Conversion convertPicture(const QImage& picture, const ConversionOptions& options) {
    if (options.fit == Fit::Original || picture.isNull()) {
        const QImage rgba = boxRgba(picture, options.background);
        return convertPicture(rgbaView(rgba), options);
    }
    return convertPicture(scalePicture(picture, options), options);
}

QImage qImageOf(const Picture& picture) {
    if (picture.isNull()) {
        return {};
    }
    const QImage::Format format = picture.bitsPerChannel() == 8 ? QImage::Format_RGBA8888
                                  : picture.alpha() == Picture::Alpha::associated
                                      ? QImage::Format_RGBA64_Premultiplied
                                      : QImage::Format_RGBA64;
    QImage image(picture.width(), picture.height(), format);
    if (image.isNull()) {
        return {};
    }
    for (int y = 0; y < picture.height(); ++y) {
        std::copy_n(picture.row(y), picture.bytesPerLine(), image.scanLine(y));
    }
    return image;
}

QString sentenceOf(const PictureFault& fault) {
    return QString::fromStdString(faultSentence(fault));
}

QImage panelImage(const FrameBuffer& frame) {
    return framePixelsImage(panelPixels(frame));
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
