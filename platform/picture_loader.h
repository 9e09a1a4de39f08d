#pragma once

// Loading a picture file with Qt's image readers, as an image viewer shows it (EXIF orientation
// applied), with the reason for a failure in Simplified Chinese. Where only the top-left corner
// is needed, PNG and JPEG pictures are decoded only as far as that corner reaches.

#include "codec/conversion.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <optional>

namespace ravik {

struct LoadedPicture {
    QImage picture;  // null for an empty name, or when loading failed
    QString failure; // why loading failed; empty on success
    // For a scaling fit, the picture scaled while it was read, instead of `picture`.
    std::optional<ScaledPicture> scaled;
    bool ok() const { return failure.isEmpty(); }
    bool isNull() const { return picture.isNull() && !scaled; }
};

// An empty name gives an empty picture; anything else is the decoded picture or a failure. With
// a valid `corner`, the picture may be cut to its top-left corner of that size (as shown, after
// any EXIF rotation): enough for anything that shows it from the top-left in a box that size.
LoadedPicture LoadPicture(const QString& path, const QSize& corner = QSize());

// The same for picture bytes already in memory. The format is told from the content; `formatHint`
// (a file suffix such as "tga") helps with formats that carry no signature.
LoadedPicture decodePicture(const QByteArray& data, const QSize& corner = QSize(),
                            const QByteArray& formatHint = QByteArray());

// What a conversion with options.fit needs of a picture: its top-left corner for Fit::Original
// (as LoadPicture with the box's size); for the scaling fits the picture scaled over
// options.background, in `scaled`. PNG (not interlaced), GIF, BMP, TGA and TIFF are scaled row
// by row as they are decoded, so any size up to 2^30 pixels and 262144 on a side is taken
// (larger ones are refused as too large, since a few bytes of some formats can claim them
// and scaling them would take minutes); a JPEG is decoded
// reduced by its decoder (to 1/2, 1/4 or 1/8) as far as the fit still gets at least one
// picture pixel for each box pixel, then averaged; other pictures are decoded whole first.
LoadedPicture loadForFit(const QString& path, const ConversionOptions& options);
LoadedPicture decodeForFit(const QByteArray& data, const ConversionOptions& options,
                           const QByteArray& formatHint = QByteArray());

// A JPEG decoded whole but reduced as loadForFit does for a scaling fit, before averaging.
LoadedPicture decodeReducedJpeg(const QByteArray& data, Fit fit);

// The conversion of what loadForFit gave, with the same options (the dither may differ, and
// the background too where the picture is opaque).
Conversion convertPicture(const LoadedPicture& loaded, const ConversionOptions& options);

// A file dialog filter ("description|patterns|…") offering every picture format the installed
// readers take, then all files.
QString pictureFilter();

} // namespace ravik
