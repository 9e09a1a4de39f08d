#pragma once

// Loading every frame of an animated picture (GIF, animated WebP, and APNG where the installed
// readers take it), each composed as a viewer shows it at that moment, with how long it stays.

#include "codec/conversion.h"

#include <QImage>
#include <QList>
#include <QString>
#include <optional>

namespace ravik {

struct LoadedFrameSet {
    QList<QImage> frames; // composed, in order; one for a still picture
    QList<int> delaysMs;  // how long a viewer shows each frame (10 ms or less: 100 ms)
    QString failure;      // why loading failed, in Chinese; empty on success
    // A still picture a scaling fit scaled while reading it; its one frame is then null.
    std::optional<ScaledPicture> scaled;
    bool ok() const { return failure.isEmpty(); }
};

// Each reader is used by one thread only, so several pictures can load at once. The original
// size needs only each frame's top-left corner; the other fits get whole frames to scale, or
// for a still picture the picture scaled over options.background.
LoadedFrameSet LoadFrameSet(const QString& path, const ConversionOptions& options = {});

} // namespace ravik
