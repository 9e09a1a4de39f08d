#pragma once

// Loading a picture file with Qt's image readers, as an image viewer shows it (EXIF orientation
// applied), with the reason for a failure in Simplified Chinese. Where only the top-left corner
// is needed, PNG and JPEG pictures are decoded only as far as that corner reaches.

#include "codec/conversion.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace ravik {

struct LoadedPicture {
    QImage picture;  // null for an empty name, or when loading failed
    QString failure; // why loading failed; empty on success
    bool ok() const { return failure.isEmpty(); }
};

// An empty name gives an empty picture; anything else is the decoded picture or a failure. With
// a valid `corner`, the picture may be cut to its top-left corner of that size (as shown, after
// any EXIF rotation): enough for anything that shows it from the top-left in a box that size.
LoadedPicture LoadPicture(const QString& path, const QSize& corner = QSize());

// The same for picture bytes already in memory. The format is told from the content; `formatHint`
// (a file suffix such as "tga") helps with formats that carry no signature.
LoadedPicture decodePicture(const QByteArray& data, const QSize& corner = QSize(),
                            const QByteArray& formatHint = QByteArray());

// What a conversion with `fit` needs of a picture: its top-left corner for Fit::Original (as
// LoadPicture with the box's size), otherwise the whole picture. A JPEG is then decoded reduced
// by its decoder (to 1/2, 1/4 or 1/8) as far as the fit still gets at least one picture pixel
// for each box pixel; the conversion averages the rest.
LoadedPicture loadForFit(const QString& path, Fit fit);
LoadedPicture decodeForFit(const QByteArray& data, Fit fit,
                           const QByteArray& formatHint = QByteArray());

// A file dialog filter ("description|patterns|…") offering every picture format the installed
// readers take, then all files.
QString pictureFilter();

} // namespace ravik
