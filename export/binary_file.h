#pragma once

// The frame as the display takes it: exactly the 9849 frame bytes, no header.

#include "codec/frame_buffer.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace ravik {

QByteArray frameBytes(const FrameBuffer& frame);

// Writes the frame's bytes to path, replacing it all or nothing; the reason on failure.
std::optional<QString> writeBinaryFile(const QString& path, const FrameBuffer& frame);

} // namespace ravik
