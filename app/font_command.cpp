#include "app/font_command.h"

#include "app/arguments.h"
#include "app/command_line.h"
#include "app/convert_job.h"
#include "app/output_plan.h"
#include "export/c_header.h"
#include "export/text.h"
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
    bool help = false;
};

FontArguments parseFontArguments(const std::vector<std::string>& arguments) {
    enum {
        Help,
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
        Hinting
    };
    const std::vector<Option> options{
        {{"h", "help"}},       {{"size"}, true},          {{"chars"}, true},
        {{"header"}, true},    {{"name"}, true},          {{"alpha"}},
        {{"color"}, true},     {{"background"}, true},    {{"preview"}, true},
        {{"text"}, true},      {{"preview-scale"}, true}, {{"face"}, true},
        {{"attribute"}, true}, {{"hinting"}, true}};
    const ParsedArguments parsed(arguments, options, false);
    FontArguments font;
    const auto refuse = [&font](std::string error) {
        font.error = std::move(error);
        return font;
    };
    if (!parsed.error().empty()) {
        return refuse(parsed.error());
    }
    if (parsed.isSet(options[Help])) {
        font.help = true;
        return font;
    }
    // --chars may be given several times; every other value option once.
    for (std::size_t i = 0; i < options.size(); ++i) {
        if (i != Chars && options[i].takesValue && parsed.values(options[i]).size() > 1) {
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
    const auto size = parseNumber(parsed.value(options[Size]));
    if (!size || *size < kMinFontSize || *size > kMaxFontSize) {
        return refuse(fillIn("--size 的值“%1”无效，应为 %2 到 %3 的像素数",
                             {parsed.value(options[Size]), std::to_string(kMinFontSize),
                              std::to_string(kMaxFontSize)}));
    }
    job.pixelSize = *size;
    job.chars = parsed.values(options[Chars]);
    if (job.chars.empty()) {
        return refuse("缺少 --chars（要取模的字符）");
    }
    if (parsed.isSet(options[Face])) {
        const auto face = parseNumber(parsed.value(options[Face]));
        if (!face || *face < 0) {
            return refuse(
                fillIn("--face 的值“%1”无效，应为 0 或更大的整数", {parsed.value(options[Face])}));
        }
        job.face = *face;
    }
    job.alpha = parsed.isSet(options[Alpha]);
    if (job.alpha && parsed.isSet(options[Background])) {
        return refuse("--alpha 的字形只有覆盖度，不能同时给出 --background");
    }
    for (const auto& [option, into] :
         {std::pair{Color, &job.color}, {Background, &job.background}}) {
        if (parsed.isSet(options[option])) {
            const auto color = parseBackground(parsed.value(options[option]));
            if (!color) {
                return refuse(
                    fillIn("--%1 的值“%2”无效，应为 RRGGBB",
                           {options[option].names.back(), parsed.value(options[option])}));
            }
            *into = *color;
        }
    }
    if (parsed.isSet(options[Hinting])) {
        if (auto problem = readChoice(kHintingNames, "--hinting 的值",
                                      parsed.value(options[Hinting]), job.hinting);
            !problem.empty()) {
            return refuse(problem);
        }
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
    if (parsed.isSet(options[Scale])) {
        if (std::string problem = readPreviewScale(parsed.value(options[Scale]), font.previewScale);
            !problem.empty()) {
            return refuse(std::move(problem));
        }
    }
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

// What `font` reads (the font file when one is named, every @FILE of characters) and writes.
OutputPlan fontOutputPlan(const FontArguments& font) {
    OutputPlan plan;
    std::error_code error;
    if (const std::filesystem::path file = pathFromUtf8(font.job.font);
        !font.job.font.empty() && std::filesystem::exists(file, error)) {
        plan.addInput(file);
    }
    for (const std::string& item : font.job.chars) {
        if (item.size() > 1 && item.front() == '@') {
            plan.addInput(pathFromUtf8(std::string_view(item).substr(1)));
        }
    }
    for (const auto& path : {font.headerPath, font.previewPath}) {
        if (path) {
            plan.addOutput(*path);
        }
    }
    return plan;
}

} // namespace

int runFont(const std::vector<std::string>& arguments) {
    const FontArguments font = parseFontArguments(arguments);
    if (!font.error.empty()) {
        printError(withHelpHint(font.error));
        return kExitUsage;
    }
    if (font.help) {
        return printToStandardOutput(helpText());
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
    return 0;
}

} // namespace ravik
