#pragma once

// The Qt side of the conversion: a decoded QImage viewed as the codec's 8-bit straight RGBA, and
// the codec's 98 × 67 colours back as a QImage to show or save.

#include "codec/conversion.h"
#include "pictures/picture.h"

#include <QImage>
#include <QString>

namespace ravik {

// The part of picture the box can show (its top-left 98 × 67 at most) as Format_RGBA8888 with
// straight alpha. 16-bit channels keep their top 8 bits (v >> 8), so the frame gets a sample's
// high four bits whatever its depth; Qt's own conversion would round v / 257 instead. A
// premultiplied picture comes already blended over the background, opaque.
QImage boxRgba(const QImage& picture, ColorValue background);

// The whole picture as boxRgba gives its corner.
QImage rgba8(const QImage& picture, ColorValue background);

// A view of a Format_RGBA8888 image for the codec; the image must outlive it.
RgbaView rgbaView(const QImage& rgba);

// The conversion of a decoded picture (null for an empty box). Fit::Original uses only the
// picture's top-left corner; the other fits scale the whole picture given.
Conversion convertPicture(const QImage& picture, const ConversionOptions& options);

// A decoded picture scaled as options.fit says (not Fit::Original).
ScaledPicture scalePicture(const QImage& picture, const ConversionOptions& options);

// A QImage as a plain picture: premultiplied pixels as associated 16-bit samples, other deep
// ones as 16-bit straight samples, the rest as 8-bit straight RGBA.
Picture pictureOf(const QImage& image);

// A plain picture as a QImage: 8-bit as RGBA8888, 16-bit as RGBA64 (premultiplied for
// associated alpha), so boxRgba and rgba8 give what the plain picture's own rows give.
QImage qImageOf(const Picture& picture);

// A reading fault as the sentence the user reads.
QString sentenceOf(const PictureFault& fault);

// The 98 × 67 colours as an opaque picture.
QImage framePixelsImage(const FramePixels& pixels);

// The frame as the display shows it, decoded as the preview draws it.
QImage previewImage(const FrameBuffer& frame);

// The frame at the panel's brightness (nibble n as n × 17).
QImage panelImage(const FrameBuffer& frame);

} // namespace ravik
