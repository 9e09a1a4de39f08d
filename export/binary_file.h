#pragma once

// The frame as the display takes it: exactly the 9849 frame bytes, no header.

#include "codec/frame_buffer.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <span>

namespace ravik {

QByteArray frameBytes(const FrameBuffer& frame);

// A frame set as it is stored: every frame's bytes, one frame after another.
QByteArray frameBytes(std::span<const FrameBuffer> frames);

// Writes the frame's bytes to path, replacing it all or nothing; the reason on failure.
std::optional<QString> writeBinaryFile(const QString& path, const FrameBuffer& frame);

} // namespace ravik
