#include "c_header.h"

#include "export/c_array_text.h"
#include "export/picture_set.h"
#include "export/text.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <iterator>
#include <string_view>

namespace ravik {
namespace {

// The guard, the include, the size macros every header starts with, and the mask's size.
std::string prologue(const std::string& id, const PictureSet& set) {
    const std::string guard = headerGuard(id);
    const std::string what = set.kind == PictureSet::Kind::tiles ? "tiles"
                             : set.size == kFrameBox             ? "frame"
                                                                 : "picture";
    std::string text = "/* " + id + ": " + std::to_string(set.size.width) + " x " +
                       std::to_string(set.size.height) + " LCD " + what +
                       ", 12-bit colour (4-4-4), two pixels in three bytes, row by row. */\n"
                       "#ifndef " +
                       guard + "\n#define " + guard + "\n\n#include <stdint.h>\n\n#define " + id +
                       "_WIDTH " + std::to_string(set.size.width) + "\n#define " + id + "_HEIGHT " +
                       std::to_string(set.size.height) + "\n#define " + id + "_SIZE " +
                       std::to_string(packedSize(set.size.width, set.size.height)) + "\n";
    if (set.hasMasks()) {
        text += "#define " + id + "_MASK_SIZE " +
                std::to_string(maskSize(set.size.width, set.size.height)) + "\n";
    }
    return text;
}

std::string epilogue(const std::string& id) {
    return "\n#endif /* " + headerGuard(id) + " */\n";
}

std::string withAttribute(const std::string& attribute) {
    return attribute.empty() ? std::string() : " " + attribute;
}

// `static const uint8_t NAME[COUNT][SIZE] ATTRIBUTE = { … };` for several arrays, or
// `NAME[SIZE]` for one, with the bytes sixteen to a line.
std::string arrayDefinition(const std::string& name, const std::string& count,
                            const std::string& size, const std::string& attribute,
                            std::span<const std::vector<std::uint8_t>> arrays) {
    std::string text = "static const uint8_t " + name + (count.empty() ? "" : "[" + count + "]") +
                       "[" + size + "]" + withAttribute(attribute) + " = {\n";
    for (const auto& bytes : arrays) {
        if (count.empty()) {
            appendCArrayLines(text, bytes, "    ", "\n");
        } else {
            text += "    {\n";
            appendCArrayLines(text, bytes, "        ", "\n");
            text += "    },\n";
        }
    }
    return text + "};\n";
}

} // namespace

std::string formatCHeader(const std::string& identifier, const std::string& attribute,
                          const PictureSet& set) {
    const std::string& id = identifier;
    std::string text = prologue(id, set);
    std::string count;
    if (set.kind == PictureSet::Kind::tiles) {
        count = id + "_COUNT";
    } else if (set.kind == PictureSet::Kind::frames) {
        count = id + "_FRAMES";
    }
    if (!count.empty()) {
        text += "#define " + count + " " + std::to_string(set.pictures.size()) + "\n";
    }
    const std::size_t shown =
        count.empty() ? std::min<std::size_t>(set.pictures.size(), 1) : set.pictures.size();
    text += "\n" + arrayDefinition(id, count, id + "_SIZE", attribute,
                                   std::span(set.pictures).first(shown));
    if (set.hasMasks()) {
        text +=
            "\n/* Which pixels are drawn: one bit a pixel, 1 = drawn, the leftmost pixel in the "
            "top bit,\n   each row padded to whole bytes. */\n";
        text += arrayDefinition(id + "_MASK", count, id + "_MASK_SIZE", attribute,
                                std::span(set.masks).first(std::min(shown, set.masks.size())));
    }
    if (set.kind == PictureSet::Kind::frames) {
        text += "\n/* How long each frame is shown, in milliseconds. */\n";
        text += "static const uint16_t " + id + "_DELAYS_MS[" + count + "] = {";
        for (std::size_t i = 0; i < set.delaysMs.size(); ++i) {
            text += (i % kBytesPerLine == 0 ? "\n    " : " ") +
                    std::to_string(std::clamp(set.delaysMs[i], 0, int(UINT16_MAX))) + ",";
        }
        text += "\n};\n";
    }
    return text + epilogue(id);
}

std::string formatCHeader(const std::string& identifier, const std::string& attribute,
                          const FrameBuffer& frame) {
    return formatCHeader(identifier, attribute,
                         frameSet(std::span(&frame, 1), PictureSet::Kind::single));
}

std::string formatCHeaderFrameSet(const std::string& identifier, const std::string& attribute,
                                  std::span<const FrameBuffer> frames,
                                  std::span<const int> delaysMs) {
    PictureSet set = frameSet(frames, PictureSet::Kind::frames);
    set.delaysMs.assign(delaysMs.begin(), delaysMs.end());
    return formatCHeader(identifier, attribute, set);
}

} // namespace ravik
