#include "c_array_text.h"

namespace ravik {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void appendByte(std::string& text, std::uint8_t value) {
    const char item[kCharsPerByte] = {'0', 'x', kHexDigits[value >> 4], kHexDigits[value & 0x0F],
                                      ','};
    text.append(item, kCharsPerByte);
}

} // namespace

std::string hex2(std::uint8_t value) {
    std::string text;
    appendByte(text, value);
    text.pop_back();
    return text;
}

void appendCArrayLines(std::string& text, std::span<const std::uint8_t> bytes,
                       std::string_view indent, std::string_view lineEnd) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i % kBytesPerLine == 0) {
            text.append(indent);
        }
        appendByte(text, bytes[i]);
        if ((i + 1) % kBytesPerLine == 0 || i + 1 == bytes.size()) {
            text.append(lineEnd);
        }
    }
}

std::string formatCArrayText(const FrameBuffer& frame) {
    std::string text;
    text.reserve(kCArrayTextLength);
    appendCArrayLines(text, frame.frame(), {}, "\r\n");
    return text;
}

std::string formatCArrayText(std::span<const FrameBuffer> frames) {
    std::string text;
    text.reserve(frames.size() * kCArrayTextLength);
    for (const FrameBuffer& frame : frames) {
        text += formatCArrayText(frame);
    }
    return text;
}

std::string formatCArrayText(const PictureSet& set) {
    std::string text;
    for (const auto& picture : set.pictures) {
        appendCArrayLines(text, picture, {}, "\r\n");
    }
    return text;
}

} // namespace ravik
