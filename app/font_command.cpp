#include "app/font_command.h"

#include "app/arguments.h"
#include "app/command_line.h"
#include "app/convert_job.h"
#include "app/option_values.h"
#include "app/output_plan.h"
#include "export/c_header.h"
#include "export/text.h"
#include "fonts/char_set.h"
#include "fonts/font_job.h"

#include <stdexcept>

namespace ravik {
namespace {

struct FontArguments {
    fonts::FontJob job;
    std::optional<std::filesystem::path> headerPath;
    std::optional<std::filesystem::path> previewPath;
    std::string previewText;
    int previewScale = 1;
    fonts::TextPreview preview;
    std::string error; // a usage error, in Chinese
};

FontArguments parseFontArguments(const std::vector<std::string>& arguments) {
    enum {
        Size,
        Chars,
        Header,
        Name,
        Alpha,
        Color,
        Background,
        Preview,
        Text,
        Scale,
        Face,
        Attribute,
        Hinting,
        Fallback,
        LineHeight,
        Bpp,
        Compress
    };
    const std::vector<Option> options{{{"size"}, true},
                                      {{"chars"}, true, true},
                                      {{"header"}, true},
                                      {{"name"}, true, true},
                                      {{"alpha"}},
                                      {{"color"}, true},
                                      {{"background"}, true},
                                      {{"preview"}, true},
                                      {{"text"}, true, true},
                                      {{"preview-scale"}, true},
                                      {{"face"}, true},
                                      {{"attribute"}, true, true},
                                      {{"hinting"}, true},
                                      {{"fallback"}, true, true},
                                      {{"line-height"}, true},
                                      {{"bpp"}, true},
                                      {{"compress"}, true}};
    const ParsedArguments parsed(arguments, options, false);
    FontArguments font;
    const auto refuse = [&font](std::string error) {
        font.error = std::move(error);
        return font;
    };
    if (!parsed.error().empty()) {
        return refuse(parsed.error());
    }
    // --chars and --fallback may be given several times; every other value option once.
    for (std::size_t i = 0; i < options.size(); ++i) {
        if (i != Chars && i != Fallback && options[i].takesValue &&
            parsed.values(options[i]).size() > 1) {
            return refuse(fillIn("选项 --%1 只能给一次", {options[i].names.back()}));
        }
    }
    if (parsed.positional().size() > 1) {
        return refuse("只能给出一个字体");
    }
    fonts::FontJob& job = font.job;
    job.font = parsed.positional().empty() ? std::string() : parsed.positional().front();
    if (!parsed.isSet(options[Size])) {
        return refuse("缺少 --size（字号，单位像素）");
    }
    job.chars = parsed.values(options[Chars]);
    if (job.chars.empty()) {
        return refuse("缺少 --chars（要取模的字符）");
    }
    job.alpha = parsed.isSet(options[Alpha]);
    if (job.alpha && parsed.isSet(options[Background])) {
        return refuse("--alpha 的字形只有覆盖度，不能同时给出 --background");
    }
    for (std::string problem :
         {readOption(parsed, options[Size], kFontSizeValue, job.pixelSize),
          readOption(parsed, options[Face], kFaceValue, job.face),
          readOption(parsed, options[Color], kColorValue, job.color),
          readOption(parsed, options[Background], kColorValue, job.background),
          readOption(parsed, options[Hinting], kHintingNames, job.hinting),
          readOption(parsed, options[LineHeight], kLineHeightValue, job.lineHeight),
          readOption(parsed, options[Bpp], kBppValue, job.coverage.bpp),
          readOption(parsed, options[Compress], kGlyphCompressionNames, job.coverage.compression),
          readOption(parsed, options[Scale], kPreviewScaleValue, font.previewScale)}) {
        if (!problem.empty()) {
            return refuse(std::move(problem));
        }
    }
    for (const std::string& fallback : parsed.values(options[Fallback])) {
        job.fallbacks.emplace_back();
        if (auto problem = readValue(kFallbackValue, {"fallback"}, fallback, job.fallbacks.back());
            !problem.empty()) {
            return refuse(std::move(problem));
        }
    }
    if (!job.alpha && (parsed.isSet(options[Bpp]) || parsed.isSet(options[Compress]))) {
        return refuse("--bpp 和 --compress 只用于 --alpha 的字形");
    }
    job.attribute = parsed.value(options[Attribute]);
    if (auto problem = attributeProblem(job.attribute); !problem.empty()) {
        return refuse(problem);
    }
    if (parsed.isSet(options[Header])) {
        font.headerPath = pathFromUtf8(parsed.value(options[Header]));
    }
    if (parsed.isSet(options[Preview])) {
        font.previewPath = pathFromUtf8(parsed.value(options[Preview]));
        if (!parsed.isSet(options[Text])) {
            return refuse("--preview 需要 --text（预览图上的文字）");
        }
    } else if (parsed.isSet(options[Text]) || parsed.isSet(options[Scale])) {
        return refuse("--text 和 --preview-scale 只用于 --preview");
    }
    if (!font.headerPath && !font.previewPath) {
        return refuse("没有指定输出：请给出 --header 文件.h 或 --preview 文件.png");
    }
    if (font.headerPath && font.previewPath && isStandardOutput(*font.headerPath) &&
        isStandardOutput(*font.previewPath)) {
        return refuse("只能有一个输出写到标准输出（-）");
    }
    font.previewText = parsed.value(options[Text]);
    // The array is named after the header unless named; a preview alone needs no name.
    if (parsed.isSet(options[Name])) {
        job.name = parsed.value(options[Name]);
    } else if (font.headerPath && !isStandardOutput(*font.headerPath)) {
        job.name = cIdentifierFor(baseName(*font.headerPath));
    }
    if (auto problem = identifierProblem(job.name); !problem.empty()) {
        return refuse(problem);
    }
    // Coverage glyphs are drawn in any colour at run time; the preview shows them in --color.
    font.preview.color = parsed.isSet(options[Color]) ? job.color : RGB(0xFF, 0xFF, 0xFF);
    font.preview.background = job.alpha ? RGB(0, 0, 0) : job.background;
    return font;
}

// What `font` writes: the header and the preview, either of them to standard output.
constexpr OutputKind kFontOutputs[] = {{"--header", "", true}, {"--preview", "", true}};

// What `font` reads (each font named by its file, the first and the fallbacks, and every @FILE
// of characters) and writes.
OutputPlan fontOutputPlan(const FontArguments& font) {
    OutputPlan plan;
    std::vector<std::string> fontNames{font.job.font};
    for (const fonts::FontName& fallback : font.job.fallbacks) {
        fontNames.push_back(fallback.font);
    }
    for (const std::string& name : fontNames) {
        std::error_code error;
        if (const std::filesystem::path file = pathFromUtf8(name);
            !name.empty() && std::filesystem::exists(file, error)) {
            plan.addInput(file);
        }
    }
    for (const std::string& item : font.job.chars) {
        if (item.size() > 1 && item.front() == '@') {
            plan.addInput(pathFromUtf8(std::string_view(item).substr(1)));
        }
    }
    for (const auto& [path, kind] : {std::pair{font.headerPath, kFontOutputs[0]},
                                     std::pair{font.previewPath, kFontOutputs[1]}}) {
        if (path) {
            plan.addOutput(*path, kind);
        }
    }
    return plan;
}

} // namespace

std::string fontHelp() {
    return fillIn(
        "用法：\n"
        "  ravik-lcd font [字体] --size 像素 --chars 字符集… [--header 文件.h] [--name 名称]\n"
        "                 [--fallback 字体…] [--hinting 方式] [--line-height N]\n"
        "                 [--alpha [--bpp 1|2|4] [--compress none|rle|auto] | --color RRGGBB "
        "--background RRGGBB] [--preview 文件.png "
        "--text 文字 [--preview-scale N]]\n"
        "      把字体中的字符做成抗锯齿字模，写成供 ravik_lcd_text 使用的 C 头文件：\n"
        "      字体                "
        "字体文件（.ttf、.otf、.ttc）或字体名；默认为系统的简体中文无衬线字体\n"
        "      --face N            字体集合（.ttc）中的第几个字体，从 0 算起\n"
        "      --size 像素         字号（em 大小，单位像素，%1 到 %2），用 FreeType 渲染\n"
        "      --hinting 方式      light（默认，轻度微调）、full、auto（FreeType 自动微调，"
        "笔画对齐整像素）或 none\n"
        "      --fallback 字体     字体中没有的字符依次从这些字体中取（可多次给出；字体集合中的"
        "字体写成 文件.ttc:序号），同一字号，对齐到第一个字体的基线\n"
        "      --line-height N     行高（%7 到 %8 像素，默认为字体自带的行高）；基线位置不变\n"
        "      --chars 字符集      可多次给出并合并：直接写字符、@文件（UTF-8 文件中的全部字符）、"
        "ascii、gb2312-1（一级汉字 3755 个）、gb2312（全部 6763 个汉字）、U+4E00-U+4E2F\n"
        "      --header 文件.h     写入字模头文件（“-”为标准输出）\n"
        "      --name 名称         字模在 C 语言中的名称，默认由头文件名生成\n"
        "      --attribute 文本    写在数组声明与“=”之间，例如 PROGMEM\n"
        "      --alpha             每个字形存覆盖度，运行时用任意颜色绘制；否则存为 --color "
        "叠在 --background 上的图片\n"
        "      --bpp 1|2|4         --alpha 的每像素位数（默认 4；1 位时覆盖过半即画）\n"
        "      --compress 方式     --alpha 字形的存法：none（默认，不压缩）、rle（逐行压缩，"
        "运行时直接绘制）、auto（每个字形取较小者）\n"
        "      --color RRGGBB      字的颜色（默认 FFFFFF），--alpha 时只用于预览图；"
        "--background 为底色（默认 000000）\n"
        "      --preview 文件.png  把 --text 的文字按运行时的画法画在屏幕上，写成预览图\n"
        "      --text 文字         预览图上的文字；字模中没有的字符在标准错误中列出，"
        "预览图照运行时的画法留出空位\n"
        "      --preview-scale N   预览图放大 N 倍（%3 到 %4，默认 1）\n"
        "      所有字体中都缺少的字符逐个列出（U+XXXX），此时不写任何文件。\n"
        "\n"
        "退出码：0 成功；%5 字体无法读取、缺少字符或文件无法写入；%6 用法错误。\n",
        {number(kMinFontSize), number(kMaxFontSize), number(kMinPreviewScale),
         number(kMaxPreviewScale), number(kExitFailure), number(kExitUsage), number(kMinLineHeight),
         number(kMaxLineHeight)});
}

int runFont(const std::vector<std::string>& arguments) {
    const FontArguments font = parseFontArguments(arguments);
    if (!font.error.empty()) {
        printError(withHelpHint("font", font.error));
        return kExitUsage;
    }
    const OutputPlan plan = fontOutputPlan(font);
    if (const OutputProblem problem = plan.check(); !problem.ok()) {
        printError(problem.message);
        return problem.exitCode;
    }
    const fonts::FontJobResult made = fonts::runFontJob(font.job);
    if (!made.ok()) {
        printError(made.failure);
        return kExitFailure;
    }
    std::vector<FileOutput> files;
    if (font.headerPath) {
        files.push_back({*font.headerPath, made.header});
    }
    if (font.previewPath) {
        std::optional<std::string> png;
        try {
            png =
                fonts::textPreviewPng(made.font, font.previewText, font.preview, font.previewScale);
        } catch (const std::invalid_argument& problem) {
            printError(problem.what());
            return kExitFailure;
        }
        if (!png) {
            printError("无法生成预览图");
            return kExitFailure;
        }
        files.push_back({*font.previewPath, std::move(*png)});
    }
    if (const OutputProblem problem = plan.write(std::move(files)); !problem.ok()) {
        printError(problem.message);
        return problem.exitCode;
    }
    // The preview is still what the panel will show; the gaps in it are named here.
    if (font.previewPath) {
        if (const std::vector<char32_t> missing =
                fonts::charactersNotInFont(made.font, font.previewText);
            !missing.empty()) {
            printError(fillIn("预览文字中有 %1 个字符不在字模中，运行时在该处空出半个行高：%2",
                              {number(missing.size()), fonts::characterList(missing)}));
        }
    }
    return 0;
}

} // namespace ravik
