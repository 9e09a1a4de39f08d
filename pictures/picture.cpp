#include "picture.h"

#include <algorithm>
#include <new>

namespace ravik {

Picture::Picture(int width, int height, int bitsPerChannel, Alpha alpha)
    : bits_(bitsPerChannel), alpha_(alpha) {
    if (width <= 0 || height <= 0) {
        return;
    }
    // Pictures beyond what a size_t index can reach are refused rather than wrapped.
    const std::uint64_t bytes = std::uint64_t(width) * std::uint64_t(height) * (bits_ / 2);
    if (bytes / std::uint64_t(height) / (bits_ / 2) != std::uint64_t(width) ||
        bytes > std::uint64_t(PTRDIFF_MAX) / 2) {
        return;
    }
    try {
        bytes_.assign(size_t(bytes), 0);
    } catch (const std::bad_alloc&) {
        return;
    }
    width_ = width;
    height_ = height;
}

Picture Picture::copy(const Rect& area) const {
    Picture part(area.width, area.height, bits_, alpha_);
    for (int y = 0; y < part.height(); ++y) {
        std::copy_n(row(area.y + y) + std::ptrdiff_t{area.x} * bytesPerPixel(), part.bytesPerLine(),
                    part.row(y));
    }
    return part;
}

std::string faultSentence(const PictureFault& fault) {
    switch (fault.fault) {
    case Fault::none:
        return {};
    case Fault::notFound:
        return "文件不存在";
    case Fault::folder:
        return "是文件夹，不是图片文件";
    case Fault::notRegularFile:
        return "不是普通文件（而是管道、设备等），不能作为图片读取";
    case Fault::noPermission:
        return "没有读取权限";
    case Fault::empty:
        return "文件是空的";
    case Fault::unreadable:
        return "无法读取文件";
    case Fault::unrecognised:
        return "不是可识别的图片格式";
    case Fault::corrupt:
        return "图片数据无效或已损坏";
    case Fault::incomplete:
        return "图片数据不完整，文件可能只下载或复制了一部分";
    case Fault::tooLarge:
        if (!fault.size.isEmpty()) {
            return "图片太大：" + std::to_string(fault.size.width) + " × " +
                   std::to_string(fault.size.height) + " 像素，超出了可以解码的大小";
        }
        return "图片太大，超出了可以解码的大小";
    case Fault::animationTooLarge:
        return "动画太大：" + std::to_string(fault.frames) + " 帧 " +
               std::to_string(fault.size.width) + " × " + std::to_string(fault.size.height) +
               " 像素，超出了可以解码的大小";
    case Fault::undecodable:
        return "无法解码图片，文件可能已损坏";
    case Fault::unsupported:
        return "不支持这种图片的存储方式";
    }
    return "图片数据无效或已损坏";
}

bool exceedsLimit(const Size& size, std::int64_t bytesPerPixel, std::int64_t limitBytes) {
    return limitBytes > 0 && std::int64_t{size.width} * size.height * bytesPerPixel > limitBytes;
}

} // namespace ravik
