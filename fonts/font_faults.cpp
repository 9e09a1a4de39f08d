#include "fonts/font_faults.h"

namespace ravik::fonts {

std::string faultMessage(FontFault fault, const std::string& detail) {
    switch (fault) {
    case FontFault::FontNotFound:
        return "找不到字体：" + detail + "。请给出 .ttf、.otf 或 .ttc 文件，或已安装的字体名称。";
    case FontFault::NotAFont:
        return "无法作为字体读取：" + detail + "。";
    case FontFault::FaceOutOfRange:
        return "字体集中没有这个字面：" + detail + "。";
    case FontFault::SizeUnavailable:
        return "字体不能以这个字号绘制：" + detail + "。";
    case FontFault::UnsupportedGlyph:
        return "字形不是灰度或单色图像（例如彩色表情），无法取模：" + detail + "。";
    case FontFault::MissingCharacters:
        return "字体中没有这些字符：" + detail + "。";
    case FontFault::BadCharacterSet:
        return "字符集无效：" + detail + "。";
    case FontFault::CharacterFileError:
        return "无法读取字符文件：" + detail + "。";
    case FontFault::InvalidUtf8:
        return "不是有效的 UTF-8 文本：" + detail + "。";
    }
    return detail;
}

} // namespace ravik::fonts
