#include "command_line.h"

#include "app/arguments.h"
#include "app/convert_job.h"
#include "app/version.h"
#include "codec/frame_buffer.h"
#include "export/c_header.h"
#include "export/file_output.h"
#include "export/text.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdio>
#include <span>

namespace ravik {
namespace {

// Whether the arguments ask for a batch: --out-dir turns the output options into flags.
bool isBatch(const std::vector<std::string>& arguments) {
    for (const std::string& argument : arguments) {
        if (argument == "--") {
            return false;
        }
        const std::string name = argument.substr(0, argument.find('='));
        if (name == "--out-dir" || name == "-out-dir") {
            return true;
        }
    }
    return false;
}

ConvertArguments refused(std::string error) {
    ConvertArguments answer;
    answer.error = std::move(error);
    return answer;
}

// The whole answer when the arguments were refused or asked for help.
std::optional<ConvertArguments> earlyAnswer(const ParsedArguments& parsed, const Option& help) {
    if (const std::string error = parsed.error(); !error.empty()) {
        return refused(withHelpHint(error));
    }
    if (parsed.isSet(help)) {
        ConvertArguments answer;
        answer.help = true;
        return answer;
    }
    if (std::string repeated = parsed.repeatedOption(); !repeated.empty()) {
        return refused(std::move(repeated));
    }
    return std::nullopt;
}

// --background, --fit and --dither into the conversion options; the Chinese reason when a value
// is not one they take.
std::string readConversionOptions(const ParsedArguments& parsed, const Option& background,
                                  const Option& fit, const Option& dither,
                                  ConversionOptions& conversion) {
    if (parsed.isSet(background)) {
        const auto color = parseBackground(parsed.value(background));
        if (!color) {
            return backgroundError(parsed.value(background));
        }
        conversion.background = *color;
    }
    std::string problem;
    if (parsed.isSet(fit)) {
        problem = readChoice(kFitNames, "缩放方式", parsed.value(fit), conversion.fit);
    }
    if (problem.empty() && parsed.isSet(dither)) {
        problem = readChoice(kDitherNames, "抖动方式", parsed.value(dither), conversion.dither);
    }
    return problem;
}

// The options that size the output and shape the picture, which single conversions and batches
// both take.
struct ShapingOptions {
    const Option& size;
    const Option& crop;
    const Option& rotate;
    const Option& flip;
    const Option& tiles;
    const Option& mask;
    const Option& key;
};

std::string valueError(std::string_view option, std::string_view value, std::string_view expected) {
    return fillIn("%1 的值“%2”无效，应为 %3", {option, value, expected});
}

// The shaping options into `shaping`, and the output's size into the conversion options; the
// usage error in Chinese, naming the option and its value, or empty.
std::string readShaping(const ParsedArguments& parsed, const ShapingOptions& options,
                        bool allFrames, Shaping& shaping, ConversionOptions& conversion) {
    const std::string sides = "宽x高，宽和高都是 1 到 " + number(kMaxBoxSide) + " 的整数";
    std::optional<Size> size;
    if (parsed.isSet(options.size)) {
        size = parseSize(parsed.value(options.size));
        if (!size) {
            return valueError("--size", parsed.value(options.size), sides + "，例如 98x67");
        }
    }
    if (parsed.isSet(options.crop)) {
        shaping.crop = parseCrop(parsed.value(options.crop));
        if (!shaping.crop) {
            return valueError(
                "--crop", parsed.value(options.crop),
                "X,Y,宽,高（X、Y 为不小于 0 的整数，宽、高为正整数），例如 0,0,16,16");
        }
    }
    if (parsed.isSet(options.rotate)) {
        const std::string given = parsed.value(options.rotate);
        const auto rotation = parseRotation(given);
        if (!rotation) {
            return valueError("--rotate", given, "0|90|180|270（顺时针的度数）");
        }
        shaping.rotation = *rotation;
    }
    if (parsed.isSet(options.flip)) {
        if (std::string problem =
                readChoice(kFlipNames, "--flip 的值", parsed.value(options.flip), shaping.flip);
            !problem.empty()) {
            return problem;
        }
    }
    if (parsed.isSet(options.tiles)) {
        if (allFrames) {
            return "--tiles 不能与 --all-frames 一起使用：动画的每一帧不能再切成图块";
        }
        shaping.tiles = parseSize(parsed.value(options.tiles));
        if (!shaping.tiles) {
            return valueError("--tiles", parsed.value(options.tiles), sides + "，例如 16x16");
        }
    }
    if (parsed.isSet(options.key)) {
        shaping.key = parseBackground(parsed.value(options.key));
        if (!shaping.key) {
            return valueError("--key", parsed.value(options.key), "RRGGBB 或 #RRGGBB，例如 FF00FF");
        }
    }
    shaping.mask = shaping.mask || parsed.isSet(options.mask);
    conversion.size = size ? BoxSize{size->width, size->height} : defaultOutputSize(shaping);
    return {};
}

std::vector<std::filesystem::path> pathsOf(const std::vector<std::string>& arguments) {
    std::vector<std::filesystem::path> paths;
    for (const std::string& argument : arguments) {
        paths.push_back(pathFromUtf8(argument));
    }
    return paths;
}

ConvertArguments parseBatchArguments(const std::vector<std::string>& arguments) {
    // In the order a repeated option is reported.
    enum {
        Help,
        OutDir,
        Name,
        Attribute,
        Background,
        Jobs,
        Fit,
        Dither,
        Bin,
        CText,
        Header,
        Preview,
        AllFrames,
        SizeOption,
        Crop,
        Rotate,
        FlipOption,
        Tiles,
        Key,
        Mask,
        MaskBin
    };
    const std::vector<Option> options{{{"h", "help"}},
                                      {{"out-dir"}, true},
                                      {{"name"}, true},
                                      {{"attribute"}, true},
                                      {{"background"}, true},
                                      {{"jobs"}, true},
                                      {{"fit"}, true},
                                      {{"dither"}, true},
                                      {{"bin"}},
                                      {{"c-text"}},
                                      {{"header"}},
                                      {{"preview"}},
                                      {{"all-frames"}},
                                      {{"size"}, true},
                                      {{"crop"}, true},
                                      {{"rotate"}, true},
                                      {{"flip"}, true},
                                      {{"tiles"}, true},
                                      {{"key"}, true},
                                      {{"mask"}},
                                      {{"mask-bin"}}};
    const ParsedArguments parsed(arguments, options, false);
    if (auto answer = earlyAnswer(parsed, options[Help])) {
        return *answer;
    }
    BatchOptions batch;
    batch.inputs = pathsOf(parsed.positional());
    batch.outDir = pathFromUtf8(parsed.value(options[OutDir]));
    batch.bin = parsed.isSet(options[Bin]);
    batch.cText = parsed.isSet(options[CText]);
    batch.header = parsed.isSet(options[Header]);
    batch.preview = parsed.isSet(options[Preview]);
    batch.allFrames = parsed.isSet(options[AllFrames]);
    batch.maskBin = parsed.isSet(options[MaskBin]);
    batch.shaping.mask = batch.maskBin;
    batch.attribute = parsed.value(options[Attribute]);
    if (batch.inputs.empty()) {
        return refused("缺少要转换的图片（用 --help 查看用法）");
    }
    if (batch.outDir.empty()) {
        return refused("--out-dir 需要给出输出文件夹");
    }
    if (!batch.bin && !batch.cText && !batch.header && !batch.preview && !batch.maskBin) {
        return refused(
            "批量转换时请至少给出 --bin、--c-text、--header、--preview、--mask-bin 中的一项");
    }
    if (parsed.isSet(options[Name])) {
        return refused("批量转换时数组名取自各个文件名，不能用 --name");
    }
    if (std::string problem = attributeProblem(batch.attribute); !problem.empty()) {
        return refused(std::move(problem));
    }
    if (parsed.isSet(options[Jobs])) {
        const auto jobs = parseNumber(parsed.value(options[Jobs]));
        if (!jobs || *jobs < 1) {
            return refused(fillIn("线程数“%1”无效，应为正整数", {parsed.value(options[Jobs])}));
        }
        batch.jobs = *jobs;
    }
    if (std::string problem = readConversionOptions(parsed, options[Background], options[Fit],
                                                    options[Dither], batch.conversion);
        !problem.empty()) {
        return refused(std::move(problem));
    }
    const ShapingOptions shaping{options[SizeOption], options[Crop],  options[Rotate],
                                 options[FlipOption], options[Tiles], options[Mask],
                                 options[Key]};
    if (std::string problem =
            readShaping(parsed, shaping, batch.allFrames, batch.shaping, batch.conversion);
        !problem.empty()) {
        return refused(std::move(problem));
    }
    if (batch.shaping.mask && !batch.header && !batch.maskBin) {
        return refused("--mask 只用于 --header 或 --mask-bin");
    }
    ConvertArguments answer;
    answer.batch = batch;
    return answer;
}

} // namespace

std::string versionText() {
    return RAVIK_PROGRAM_NAME " " RAVIK_VERSION;
}

std::string helpText() {
    const std::string frame = number(kFrameWidth) + " × " + number(kFrameHeight);
    return fillIn(
        "Ravik液晶显示器取模助手 %1：把图片（默认取左上角 %2 像素）转换成 12 位色液晶屏的 "
        "%3 "
        "字节帧数据。\n"
        "\n"
        "用法：\n"
        "  ravik-lcd [图片或帧文件]\n"
        "      打开主窗口；给出图片时立即打开它，如同在“打开文件”中选择。"
        "也可以给出帧文件（.bin，或 .c、.h、.txt 中的 C 语言数组文本）。\n"
        "\n"
        "  ravik-lcd convert 图片 [--bin 文件] [--c-text 文件] [--header 文件.h] "
        "[--preview 文件] [--background RRGGBB] [--all-frames]\n"
        "                    [--fit 方式] [--dither 方式] [--preview-scale N] [--size 宽x高]\n"
        "                    [--crop X,Y,宽,高] [--rotate 角度] [--flip 方式] [--tiles 宽x高]\n"
        "                    [--mask] [--mask-bin 文件] [--key RRGGBB]\n"
        "      不打开窗口、不需要显示器，直接转换：\n"
        "      --bin 文件          写入 %3 字节的二进制帧文件（无文件头）\n"
        "      --c-text 文件       写入 C 语言数组文本，与“取模”放到剪贴板的文本相同\n"
        "      --header 文件.h     写入可直接编译的 C 头文件：包含保护、<stdint.h>、"
        "名称_WIDTH/_HEIGHT/_SIZE 宏和 static const uint8_t 数组\n"
        "      --name 名称         头文件中的数组名，默认由图片文件名生成\n"
        "      --attribute 文本    写在数组声明与“=”之间，例如 PROGMEM 或 "
        "__attribute__((section(\".lcd\")))\n"
        "      --preview 文件      写入 %2 的预览图，即液晶屏上的显示效果；"
        "格式由扩展名决定（.png、.jpg、.bmp 等，不能写入的扩展名是用法错误）\n"
        "      --background 颜色   图片小于 %2 或有透明部分时的底色，RRGGBB 或 "
        "#RRGGBB，默认 %4\n"
        "      --all-frames        转换动画（GIF、动画 WebP 等）的每一帧：--bin "
        "依次写入各帧，"
        "--header 写入 名称[名称_FRAMES][名称_SIZE] 和每帧时长 名称_DELAYS_MS"
        "（与浏览器显示的相同：10 毫秒及以下按 100 毫秒）\n"
        "      图片也可以是帧文件（.bin 或 C 语言数组文本），用来查看或换一种格式保存；"
        "含多帧的帧文件如同 --all-frames 的输入。\n"
        "      --fit 方式          图片放进 %2 的方式：original 原始尺寸（默认，取左上角，"
        "不缩放）、contain 等比缩放（完整显示，居中，其余为底色）、cover 填满裁切（居中裁去"
        "多余部分）、stretch 拉伸；缩放时按面积取平均\n"
        "      --dither 方式       每个颜色分量从 8 位变为 4 位的方式：none 无（默认，取高 "
        "4 位）、ordered 有序抖动（4 × 4）、floyd-steinberg 误差扩散\n"
        "      --preview-scale N   预览图放大 N 倍（%7 到 %8，默认 1），每个液晶像素画成 "
        "N × N 个像素；需与 --preview 一起使用\n"
        "      --size 宽x高        输出图片的尺寸（各 1 到 %9），代替 %2；缩放、抖动、底色、"
        "预览图、C 文本、--bin 和 --header 都按这个尺寸；默认为图块的尺寸（--tiles）、"
        "裁剪区域旋转后的尺寸（--crop），否则为 %2\n"
        "      --crop X,Y,宽,高    先从（按正确方向显示的）图片中取出这个矩形；"
        "矩形不完全在图片内时报错（退出码 %5），不写任何文件\n"
        "      --rotate 角度       裁剪之后顺时针旋转 0|90|180|270 度，用于转着安装的屏\n"
        "      --flip 方式         旋转之后翻转：none 不翻转（默认）、horizontal 左右翻转、"
        "vertical 上下翻转\n"
        "      --tiles 宽x高       把（裁剪、旋转后的）图片从左到右、从上到下切成整块的图块，"
        "每块单独转换；--bin 依次写入各块，--header 写入 名称[名称_COUNT][名称_SIZE]；"
        "有余下的边时在标准错误中说明块数和余边；不能与 --all-frames 同用\n"
        "      --mask              在头文件中加入透明遮罩 名称_MASK 和 名称_MASK_SIZE："
        "每像素 1 位，每行补足整字节，最左的像素在最高位，1 = 绘制（alpha ≥ 128）；"
        "像素数据不变，仍是叠在底色上的图片\n"
        "      --mask-bin 文件     把遮罩的字节写入文件（隐含 --mask，图块依次写入）\n"
        "      --key RRGGBB        把恰为这个颜色的像素当作透明，用于没有 alpha 的图片\n"
        "      输出文件名为“-”时写到标准输出（--preview - 写 PNG），每次最多一项；"
        "输出文件不能是输入文件本身（按设备与 inode 判断，含链接）。\n"
        "      不给任何输出选项时，把 C 语言数组文本打印到标准输出。\n"
        "      所有输出都成功后才一起写入；任何一项失败，都不会创建或改动任何输出文件。\n"
        "      含多种尺寸的图标文件（.ico）使用其中最大的一幅，与看图软件显示的相同。\n"
        "      没有颜色表的 GIF 按黑白显示：颜色索引 0 为黑色，1 为白色，其余索引为黑色。\n"
        "\n"
        "  ravik-lcd convert 图片… --out-dir 文件夹 [--bin] [--c-text] [--header] "
        "[--preview] [--mask-bin] [--jobs 线程数]\n"
        "      批量转换，用上所有 CPU 核心；--fit、--dither、--background、--all-frames、"
        "--size、--crop、--rotate、--flip、--tiles、--mask、--key 同样适用：\n"
        "      --out-dir 文件夹    每张图片写入 文件夹/<文件名>.bin、.txt、.h、.png、.mask；"
        "此时 --bin、--c-text、--header、--preview、--mask-bin 不带参数\n"
        "      --jobs 线程数       同时转换的图片数（默认每个核心 4 "
        "个）；线程数不影响输出\n"
        "      "
        "两个输入文件名相同时不写任何文件；某张图片失败时报告它，其余照常写入，退出码为 "
        "%5。在终端上，标准错误中显示进度。\n"
        "\n"
        "  ravik-lcd runtime 文件夹\n"
        "      把固件用的 C99 绘图例程 ravik_lcd.h 和 ravik_lcd.c 写入文件夹（不存在时创建），"
        "全部成功才写入；ravik_lcd_draw 把本程序生成的任意尺寸图片（可带遮罩）画进帧的任意位置。\n"
        "\n"
        "  ravik-lcd font [字体] --size 像素 --chars 字符集… [--header 文件.h] [--name 名称]\n"
        "                 [--alpha | --color RRGGBB --background RRGGBB] [--preview 文件.png "
        "--text 文字 [--preview-scale N]]\n"
        "      把字体中的字符做成抗锯齿字模，写成供 ravik_lcd_text 使用的 C 头文件：\n"
        "      字体                "
        "字体文件（.ttf、.otf、.ttc）或字体名；默认为系统的简体中文无衬线字体\n"
        "      --face N            字体集合（.ttc）中的第几个字体，从 0 算起\n"
        "      --size 像素         字号（em 大小，单位像素），用 FreeType 渲染\n"
        "      --hinting 方式      light（默认，轻度微调）、full 或 none\n"
        "      --chars 字符集      可多次给出并合并：直接写字符、@文件（UTF-8 文件中的全部字符）、"
        "ascii、gb2312-1（一级汉字 3755 个）、gb2312（全部 6763 个汉字）、U+4E00-U+4E2F\n"
        "      --alpha             每个字形存 4 位覆盖度，运行时用任意颜色绘制；否则存为 --color "
        "叠在 "
        "--background 上的图片\n"
        "      --color RRGGBB      字的颜色（默认 FFFFFF），--alpha 时只用于预览图；"
        "--background 为底色（默认 000000）\n"
        "      --preview 文件.png  把 --text 的文字按运行时的画法画在屏幕上，写成预览图\n"
        "      --text 文字         预览图上的文字\n"
        "      字体中缺少的字符逐个列出（U+XXXX），此时不写任何文件。\n"
        "\n"
        "  ravik-lcd build 清单.toml --out-dir 文件夹 [--depfile 文件]\n"
        "      按素材清单（TOML）一次做出固件的全部素材：[[frame]]（%2 的帧）、[[sprite]]"
        "（任意尺寸，可切块、带遮罩）、[[animation]]（动画的每一帧，可 delta）、[[font]]（字模），"
        "选项与 convert、font 同名；compress = \"rle\" 压缩。写入 文件夹/名称.h（声明）与 "
        "文件夹/名称.c（定义），配合 ravik-lcd runtime 写出的例程使用。\n"
        "      给出 --depfile 文件 时另写 Make 格式的依赖文件（清单、图片、字体与字符文件）。"
        "清单中的路径相对于清单所在的文件夹；内容不变的文件不会重写。清单有误为用法错误，"
        "图片缺失或超出 budget 为错误，两者都不写入任何文件。\n"
        "\n"
        "  ravik-lcd --help      显示本帮助\n"
        "  ravik-lcd --version   显示版本\n"
        "\n"
        "退出码：0 成功；%5 图片无法读取或文件无法写入；%6 用法错误。\n",
        {RAVIK_VERSION, frame, number(kFrameSize), hexColor(kDefaultBackground),
         number(kExitFailure), number(kExitUsage), number(kMinPreviewScale),
         number(kMaxPreviewScale), number(kMaxBoxSide)});
}

WindowArguments parseWindowArguments(const std::vector<std::string>& arguments) {
    enum { Help, Version };
    const std::vector<Option> options{{{"h", "help"}}, {{"v", "version"}}};
    const ParsedArguments parsed(arguments, options, true);
    WindowArguments answer;
    answer.error = parsed.error();
    if (!answer.error.empty()) {
        return answer;
    }
    if (parsed.positional().size() > 1) {
        answer.error = "只能打开一张图片";
    }
    answer.help = parsed.isSet(options[Help]);
    answer.version = parsed.isSet(options[Version]);
    answer.picture = parsed.positional().empty() ? std::string() : parsed.positional().front();
    return answer;
}

std::string readPreviewScale(std::string_view given, int& scale) {
    const auto value = parseNumber(given);
    if (!value || *value < kMinPreviewScale || *value > kMaxPreviewScale) {
        return fillIn("预览放大倍数“%1”无效，应为 %2 到 %3 的整数",
                      {given, number(kMinPreviewScale), number(kMaxPreviewScale)});
    }
    scale = *value;
    return {};
}

bool ConvertOptions::textToStandardOutput() const {
    return !binPath && !cTextPath && !previewPath && !headerPath && !maskPath;
}

int printToStandardOutput(std::string_view text) {
    if (const auto reason = writeStandardOutput(text)) {
        printError(fillIn("无法写入标准输出：%1", {*reason}));
        return kExitFailure;
    }
    return 0;
}

ConvertArguments parseConvertArguments(const std::vector<std::string>& arguments) {
    if (isBatch(arguments)) {
        return parseBatchArguments(arguments);
    }
    // In the order a repeated option is reported.
    enum {
        Help,
        Bin,
        CText,
        Preview,
        Header,
        Name,
        Attribute,
        Background,
        Fit,
        Dither,
        PreviewScale,
        AllFrames,
        SizeOption,
        Crop,
        Rotate,
        FlipOption,
        Tiles,
        Key,
        Mask,
        MaskBin
    };
    const std::vector<Option> options{{{"h", "help"}},
                                      {{"bin"}, true},
                                      {{"c-text"}, true},
                                      {{"preview"}, true},
                                      {{"header"}, true},
                                      {{"name"}, true},
                                      {{"attribute"}, true},
                                      {{"background"}, true},
                                      {{"fit"}, true},
                                      {{"dither"}, true},
                                      {{"preview-scale"}, true},
                                      {{"all-frames"}},
                                      {{"size"}, true},
                                      {{"crop"}, true},
                                      {{"rotate"}, true},
                                      {{"flip"}, true},
                                      {{"tiles"}, true},
                                      {{"key"}, true},
                                      {{"mask"}},
                                      {{"mask-bin"}, true}};
    const ParsedArguments parsed(arguments, options, false);
    if (auto answer = earlyAnswer(parsed, options[Help])) {
        return *answer;
    }
    const std::vector<std::string>& pictures = parsed.positional();
    if (pictures.empty()) {
        return refused("缺少要转换的图片（用 --help 查看用法）");
    }
    if (pictures.size() > 1) {
        return refused(
            fillIn("只能转换一张图片，却给出了 %1 个参数；一次转换多张图片请用 --out-dir",
                   {number(pictures.size())}));
    }
    ConvertArguments answer;
    ConvertOptions& convert = answer.options;
    convert.picture = pathFromUtf8(pictures.front());
    const auto pathOf = [&parsed](const Option& option) -> std::optional<std::filesystem::path> {
        return parsed.isSet(option) ? std::optional(pathFromUtf8(parsed.value(option)))
                                    : std::nullopt;
    };
    convert.binPath = pathOf(options[Bin]);
    convert.cTextPath = pathOf(options[CText]);
    convert.previewPath = pathOf(options[Preview]);
    convert.headerPath = pathOf(options[Header]);
    convert.maskPath = pathOf(options[MaskBin]);
    convert.shaping.mask = convert.maskPath.has_value();
    convert.arrayName = parsed.value(options[Name]);
    convert.attribute = parsed.value(options[Attribute]);
    convert.allFrames = parsed.isSet(options[AllFrames]);
    std::vector<std::string> piped; // the outputs sent to standard output, as the user wrote them
    for (const int output : {Bin, CText, Preview, Header, MaskBin}) {
        const Option& option = options[std::size_t(output)];
        if (parsed.isSet(option) && isStandardOutput(pathFromUtf8(parsed.value(option)))) {
            piped.push_back("--" + std::string(option.names.back()));
        }
    }
    if (piped.size() > 1) {
        std::string named;
        for (const std::string& output : piped) {
            named += (named.empty() ? "" : "、") + output;
        }
        return refused(fillIn("%1 都指定了标准输出（“-”），每次最多一项输出到标准输出", {named}));
    }
    if (convert.previewPath && !previewFormat(*convert.previewPath)) {
        return refused(previewFormatProblem(*convert.previewPath));
    }
    if (parsed.isSet(options[PreviewScale]) && !convert.previewPath) {
        return refused("--preview-scale 只用于 --preview");
    }
    if ((parsed.isSet(options[Name]) || parsed.isSet(options[Attribute])) && !convert.headerPath) {
        return refused("--name 与 --attribute 只用于 --header");
    }
    if (parsed.isSet(options[Name])) {
        if (std::string problem = identifierProblem(convert.arrayName); !problem.empty()) {
            return refused(std::move(problem));
        }
    }
    if (std::string problem = attributeProblem(convert.attribute); !problem.empty()) {
        return refused(std::move(problem));
    }
    if (std::string problem = readConversionOptions(parsed, options[Background], options[Fit],
                                                    options[Dither], convert.conversion);
        !problem.empty()) {
        return refused(std::move(problem));
    }
    if (parsed.isSet(options[PreviewScale])) {
        if (std::string problem =
                readPreviewScale(parsed.value(options[PreviewScale]), convert.previewScale);
            !problem.empty()) {
            return refused(std::move(problem));
        }
    }
    const ShapingOptions shaping{options[SizeOption], options[Crop],  options[Rotate],
                                 options[FlipOption], options[Tiles], options[Mask],
                                 options[Key]};
    if (std::string problem =
            readShaping(parsed, shaping, convert.allFrames, convert.shaping, convert.conversion);
        !problem.empty()) {
        return refused(std::move(problem));
    }
    if (convert.shaping.mask && !convert.headerPath && !convert.maskPath) {
        return refused("--mask 只用于 --header 或 --mask-bin");
    }
    return answer;
}

int convert(const ConvertOptions& options) {
    OutputRequest request;
    request.binPath = options.binPath;
    request.cTextPath = options.textToStandardOutput() ? std::optional(std::filesystem::path("-"))
                                                       : options.cTextPath;
    request.headerPath = options.headerPath;
    request.previewPath = options.previewPath;
    request.maskPath = options.maskPath;
    request.previewScale = options.previewScale;
    request.identifier =
        options.arrayName.empty() ? cIdentifierFor(baseName(options.picture)) : options.arrayName;
    request.attribute = options.attribute;
    const OutputPlan plan = outputPlan({options.picture}, request);
    if (const OutputProblem problem = plan.check(); !problem.ok()) {
        printError(problem.message);
        return problem.exitCode;
    }
    const ConvertedInput input =
        convertInput(options.picture, options.conversion, options.allFrames, options.shaping);
    if (!input.failure.empty()) {
        printError(input.failure);
        return kExitFailure;
    }
    if (!input.notice.empty()) {
        printError(input.notice);
    }
    const OutputFiles out = outputFiles(input, request);
    if (!out.failure.empty()) {
        printError(out.failure);
        return kExitFailure;
    }
    if (const OutputProblem problem = plan.write(out.files); !problem.ok()) {
        printError(problem.message);
        return problem.exitCode;
    }
    return 0;
}

int runConvert(const std::vector<std::string>& arguments) {
    const ConvertArguments parsed = parseConvertArguments(arguments);
    if (!parsed.error.empty()) {
        printError(parsed.error);
        return kExitUsage;
    }
    if (parsed.help) {
        return printToStandardOutput(helpText());
    }
    return parsed.batch ? convertBatch(*parsed.batch) : convert(parsed.options);
}

} // namespace ravik
