#pragma once

// Loading a picture file with Qt's image readers, as an image viewer shows it (EXIF orientation
// applied), with the reason for a failure in Simplified Chinese.

#include <QImage>
#include <QString>

namespace ravik {

struct LoadedPicture {
    QImage picture;  // null for an empty name, or when loading failed
    QString failure; // why loading failed; empty on success
    bool ok() const { return failure.isEmpty(); }
};

// An empty name gives an empty picture; anything else is the decoded picture or a failure.
LoadedPicture LoadPicture(const QString& path);

// A file dialog filter ("description|patterns|…") offering every picture format the installed
// readers take, then all files.
QString pictureFilter();

} // namespace ravik
