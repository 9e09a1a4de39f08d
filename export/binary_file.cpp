#include "binary_file.h"

#include "export/file_output.h"

namespace ravik {

QByteArray frameBytes(const FrameBuffer& frame) {
    const auto bytes = frame.frame();
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

QByteArray frameBytes(std::span<const FrameBuffer> frames) {
    QByteArray bytes;
    bytes.reserve(static_cast<qsizetype>(frames.size()) * kFrameSize);
    for (const FrameBuffer& frame : frames) {
        bytes += frameBytes(frame);
    }
    return bytes;
}

std::optional<QString> writeBinaryFile(const QString& path, const FrameBuffer& frame) {
    return writeFileAtomically(path, frameBytes(frame));
}

} // namespace ravik
