#pragma once

// What a picture file holds, read from its headers without decoding it: its size as a viewer
// shows it (after an EXIF quarter turn) and how many frames an animation runs through. The window
// names these when it shows only part of what the file holds.

#include <QSize>
#include <QString>

namespace ravik {

struct PictureOutline {
    QSize size;     // invalid when the readers can't tell
    int frames = 1; // more than one for an animated GIF, WebP or PNG
};

PictureOutline readPictureOutline(const QString& path);

} // namespace ravik
