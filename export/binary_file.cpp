#include "binary_file.h"

#include "export/file_output.h"

namespace ravik {

std::string frameBytes(const FrameBuffer& frame) {
    const auto bytes = frame.frame();
    return std::string(bytes.begin(), bytes.end());
}

std::string frameBytes(std::span<const FrameBuffer> frames) {
    std::string bytes;
    bytes.reserve(frames.size() * std::size_t(kFrameSize));
    for (const FrameBuffer& frame : frames) {
        const auto frameData = frame.frame();
        bytes.append(frameData.begin(), frameData.end());
    }
    return bytes;
}

namespace {

std::string joined(const std::vector<std::vector<std::uint8_t>>& arrays) {
    std::string bytes;
    for (const auto& array : arrays) {
        bytes.append(array.begin(), array.end());
    }
    return bytes;
}

} // namespace

std::string pictureBytes(const PictureSet& set) {
    return joined(set.pictures);
}

std::string maskBytes(const PictureSet& set) {
    return joined(set.masks);
}

std::optional<std::string> writeBinaryFile(const std::filesystem::path& path,
                                           const FrameBuffer& frame) {
    return writeFileAtomically(path, frameBytes(frame));
}

} // namespace ravik
