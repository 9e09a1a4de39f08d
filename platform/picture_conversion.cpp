#include "picture_conversion.h"

#include "pictures/row_sink.h"

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

} // namespace

Picture pictureOf(const QImage& image) {
    // Premultiplied pixels stay associated (blended as they are); deeper samples keep 16 bits.
    const bool associated = image.pixelFormat().premultiplied() == QPixelFormat::Premultiplied;
    const bool deep = associated || hasSixteenBitChannels(image.format());
    const QImage rows = image.convertToFormat(associated ? QImage::Format_RGBA64_Premultiplied
                                              : deep     ? QImage::Format_RGBA64
                                                         : QImage::Format_RGBA8888);
    Picture picture(rows.width(), rows.height(), deep ? 16 : 8,
                    associated ? Picture::Alpha::associated : Picture::Alpha::straight);
    for (int y = 0; y < picture.height(); ++y) {
        std::copy_n(rows.constScanLine(y), picture.bytesPerLine(), picture.row(y));
    }
    return picture;
}

QImage rgba8(const QImage& picture, ColorValue background) {
    if (picture.format() == QImage::Format_RGBA8888) {
        return picture;
    }
    const Picture plain = pictureOf(picture);
    QImage rgba(plain.width(), plain.height(), QImage::Format_RGBA8888);
    for (int y = 0; y < plain.height(); ++y) {
        rgba8Row(plain.row(y), plain.width(), plain.bitsPerChannel(), plain.alpha(), background,
                 rgba.scanLine(y));
    }
    return rgba;
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
    FitScaler scaler(options.fit, picture.width(), picture.height(), {}, options.background,
                     options.size);
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
