#pragma once

// Reading a frame back: a .bin file of exactly one frame, or C text holding the frame's byte
// values (0xHH, decimal or octal, separated by commas and white space), with or without a
// declaration, braces and comments, as this program or a person writes it. Failures say what
// was found, in Simplified Chinese.

#include "codec/frame_buffer.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <string_view>

namespace ravik {

struct FrameReading {
    std::optional<FrameBuffer> frame; // empty on failure
    QString failure;                  // why the frame could not be read; empty on success
};

// The frame in the bytes of a .bin file.
FrameReading readFrameBinary(QByteArrayView bytes);

// The frame in C text. With braces, only the values inside the first initialiser's braces
// count, so `#define NAME_SIZE 9849` or an array size does not; without braces, preprocessor
// lines are skipped and every other value counts.
FrameReading readFrameText(std::string_view text);

// Whether the path names a frame file rather than a picture, by its suffix (.bin, .c, .h, .txt).
bool isFrameFile(const QString& path);

// The frame in the file at path: .bin as binary, the other frame suffixes as C text.
FrameReading readFrameFile(const QString& path);

} // namespace ravik
