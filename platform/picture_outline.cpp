#include "picture_outline.h"

#include <QImageReader>

namespace ravik {

PictureOutline readPictureOutline(const QString& path) {
    QImageReader reader(path);
    reader.setAutoTransform(true);
    PictureOutline outline;
    outline.size = reader.size();
    if (reader.transformation() & QImageIOHandler::TransformationRotate90) {
        outline.size.transpose();
    }
    // Some readers count the frames only by reading through the file, so only animations ask.
    if (reader.supportsAnimation()) {
        outline.frames = qMax(1, reader.imageCount());
    }
    return outline;
}

} // namespace ravik
