#pragma once

// Writing the frame as the display takes it: exactly the 9849 frame bytes, no header.

#include "codec/frame_buffer.h"

#include <QByteArrayView>
#include <QString>
#include <optional>

namespace ravik {

// Replaces (or creates) the file at path with data, all or nothing: the bytes go to a temporary
// file beside it, which takes the target's place only when every byte is on disk. On failure the
// target is left exactly as it was and the reason is returned in Simplified Chinese.
std::optional<QString> writeFileAtomically(const QString& path, QByteArrayView data);

// The frame's 9849 bytes to path; the reason on failure.
std::optional<QString> writeBinaryFile(const QString& path, const FrameBuffer& frame);

} // namespace ravik
