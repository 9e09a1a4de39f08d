// `ravik-lcd convert`: its arguments, its help, a single conversion and batches. A batch converts
// many inputs at once on every core, each written to the output folder under its own base name.
// Each input's files are written all or nothing, independently of the others, so the output is
// the same whatever the number of threads or the order they finish in.

#include "convert_command.h"

#include "app/arguments.h"
#include "app/command_line.h"
#include "app/convert_job.h"
#include "codec/frame_buffer.h"
#include "export/c_header.h"
#include "export/file_output.h"
#include "export/text.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

#ifdef _WIN32
#include <io.h>
#define RAVIK_ISATTY _isatty
#define RAVIK_FILENO _fileno
#else
#include <unistd.h>
#define RAVIK_ISATTY isatty
#define RAVIK_FILENO fileno
#endif

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

// The whole answer when the arguments were refused.
std::optional<ConvertArguments> earlyAnswer(const ParsedArguments& parsed) {
    if (const std::string error = parsed.error(); !error.empty()) {
        return refused(withHelpHint("convert", error));
    }
    if (std::string repeated = parsed.repeatedOption(); !repeated.empty()) {
        return refused(std::move(repeated));
    }
    return std::nullopt;
}

// The options that convert, size and shape the picture, which single conversions and batches
// both take: the first rows of either's table, each mode's own options after them.
enum PictureOption {
    Background,
    Fit,
    Dither,
    AllFrames,
    SizeOption,
    Crop,
    Rotate,
    FlipOption,
    Tiles,
    Key,
    Mask,
    kPictureOptionCount
};

// The picture options followed by a mode's own, in the order a repeated option is reported.
std::vector<Option> withPictureOptions(std::initializer_list<Option> own) {
    std::vector<Option> options{{{"background"}, true}, {{"fit"}, true},  {{"dither"}, true},
                                {{"all-frames"}},       {{"size"}, true}, {{"crop"}, true},
                                {{"rotate"}, true},     {{"flip"}, true}, {{"tiles"}, true},
                                {{"key"}, true},        {{"mask"}}};
    options.insert(options.end(), own);
    return options;
}

// The picture options into the conversion options and `shaping`, the output's size included;
// the usage error in Chinese, naming the option and its value, or empty. `maskWritten`: an
// output that carries a mask (--header, --mask-bin) is asked for; `previewWritten`: a preview,
// which then shows what a mask (--mask, --mask-bin, --key) leaves out.
std::string readPictureOptions(const ParsedArguments& parsed, const std::vector<Option>& options,
                               bool allFrames, bool maskWritten, bool previewWritten,
                               ConversionOptions& conversion, Shaping& shaping) {
    if (allFrames && parsed.isSet(options[Tiles])) {
        return "--tiles 不能与 --all-frames 一起使用：动画的每一帧不能再切成图块";
    }
    std::optional<Size> size;
    for (std::string problem :
         {readOption(parsed, options[Background], kColorValue, conversion.background),
          readOption(parsed, options[Fit], kFitNames, conversion.fit),
          readOption(parsed, options[Dither], kDitherNames, conversion.dither),
          readOption(parsed, options[SizeOption], kOutputSize, size),
          readOption(parsed, options[Crop], kCropValue, shaping.crop),
          readOption(parsed, options[Rotate], kTurnValue, shaping.rotation),
          readOption(parsed, options[FlipOption], kFlipNames, shaping.flip),
          readOption(parsed, options[Tiles], kTileSize, shaping.tiles),
          readOption(parsed, options[Key], kColorValue, shaping.key)}) {
        if (!problem.empty()) {
            return problem;
        }
    }
    const bool maskAsked = shaping.mask || parsed.isSet(options[Mask]);
    if (maskAsked && !maskWritten && !previewWritten) {
        return "--mask 只用于 --header、--mask-bin 或 --preview";
    }
    shaping.mask = maskAsked && maskWritten;
    shaping.previewMask = previewWritten && (maskAsked || shaping.key);
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
    enum {
        OutDir = kPictureOptionCount,
        Name,
        Attribute,
        Jobs,
        Bin,
        CText,
        Header,
        Preview,
        MaskBin
    };
    const std::vector<Option> options = withPictureOptions({{{"out-dir"}, true},
                                                            {{"name"}, true, true},
                                                            {{"attribute"}, true, true},
                                                            {{"jobs"}, true},
                                                            {{"bin"}},
                                                            {{"c-text"}},
                                                            {{"header"}},
                                                            {{"preview"}},
                                                            {{"mask-bin"}}});
    const ParsedArguments parsed(arguments, options, false);
    if (auto answer = earlyAnswer(parsed)) {
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
        return refused(withHelpHint("convert", "缺少要转换的图片"));
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
    if (std::string problem = readOption(parsed, options[Jobs], kJobsValue, batch.jobs);
        !problem.empty()) {
        return refused(std::move(problem));
    }
    if (std::string problem =
            readPictureOptions(parsed, options, batch.allFrames, batch.header || batch.maskBin,
                               batch.preview, batch.conversion, batch.shaping);
        !problem.empty()) {
        return refused(std::move(problem));
    }
    ConvertArguments answer;
    answer.batch = batch;
    return answer;
}

struct BatchItem {
    std::filesystem::path input;
    OutputRequest request;
};

// Each input's outputs, or the reason the batch can't start: two inputs that would write the
// same files, or an output that would overwrite an input.
struct BatchPlan {
    std::vector<BatchItem> items;
    std::string error;
    int exitCode = kExitUsage;
};

// The suffix a batch gives the output the request keeps in `path`.
std::string_view batchSuffix(std::optional<std::filesystem::path> OutputRequest::*path) {
    for (const ConvertOutput& output : convertOutputs()) {
        if (output.path == path) {
            return output.kind.batchSuffix;
        }
    }
    return {};
}

BatchPlan planBatch(const BatchOptions& batch) {
    BatchPlan plan;
    std::map<std::string, std::filesystem::path> inputByBase; // folded base name → input
    std::map<std::string, std::filesystem::path> inputByName; // header's array name → input
    for (const std::filesystem::path& input : batch.inputs) {
        const std::string base = baseName(input);
        // Case is folded: on Windows and macOS "Logo" and "logo" are the same file.
        const std::string key = asciiLower(base);
        if (const auto earlier = inputByBase.find(key); earlier != inputByBase.end()) {
            plan.error =
                fillIn("“%1”与“%2”的基本名相同（%3），输出文件会互相覆盖；没有写入任何文件",
                       {displayPath(earlier->second), displayPath(input), base});
            return plan;
        }
        inputByBase.emplace(key, input);
        BatchItem item{input, {}};
        for (const auto& [wanted, path] : {std::pair{batch.bin, &OutputRequest::binPath},
                                           {batch.cText, &OutputRequest::cTextPath},
                                           {batch.header, &OutputRequest::headerPath},
                                           {batch.preview, &OutputRequest::previewPath},
                                           {batch.maskBin, &OutputRequest::maskPath}}) {
            if (wanted) {
                item.request.*path =
                    batch.outDir / pathFromUtf8(base + std::string(batchSuffix(path)));
            }
        }
        item.request.identifier = cIdentifierFor(base);
        // Two headers defining one array (and one include guard) can't be included together.
        const auto [named, fresh] = inputByName.emplace(item.request.identifier, input);
        if (batch.header && !fresh) {
            plan.error =
                fillIn("“%1”与“%2”生成的头文件使用同一个 C 名称“%3”，不能一起包含；"
                       "没有写入任何文件",
                       {displayPath(named->second), displayPath(input), item.request.identifier});
            return plan;
        }
        item.request.attribute = batch.attribute;
        plan.items.push_back(std::move(item));
    }
    // Every input's outputs checked at once, against every input and each other.
    OutputPlan outputs;
    outputs.addInputs(batch.inputs);
    outputs.setFolder(batch.outDir);
    for (const BatchItem& item : plan.items) {
        for (const ConvertOutput& output : convertOutputs()) {
            if (const auto& file = item.request.*output.path) {
                outputs.addOutput(*file, output.kind);
            }
        }
    }
    if (const OutputProblem problem = outputs.check(); !problem.ok()) {
        plan.error = problem.message;
        plan.exitCode = problem.exitCode;
    }
    return plan;
}

// "[done/total] current file" on one terminal line, rewritten as inputs finish.
class Progress {
public:
    explicit Progress(std::size_t total)
        : total_(total), shown_(RAVIK_ISATTY(RAVIK_FILENO(stderr)) != 0) {}
    void finished(const std::filesystem::path& input) {
        if (!shown_) {
            return;
        }
        const std::lock_guard lock(mutex_);
        ++done_;
        const std::string line =
            fillIn("\r\x1b[K[%1/%2] %3", {number(done_), number(total_), displayPath(input)});
        std::fputs(line.c_str(), stderr);
        std::fflush(stderr);
    }
    void end() {
        if (shown_ && done_ > 0) {
            std::fputs("\n", stderr);
        }
    }

private:
    std::mutex mutex_;
    std::size_t total_;
    std::size_t done_ = 0;
    bool shown_;
};

// Converts and writes one input; the failure, empty on success.
std::string runItem(const BatchItem& item, const BatchOptions& batch) {
    const ConvertedInput input =
        convertInput(item.input, batch.conversion, batch.allFrames, batch.shaping);
    if (!input.failure.empty()) {
        return input.failure;
    }
    if (!input.notice.empty()) {
        printError(input.notice);
    }
    OutputFiles out = outputFiles(input, item.request);
    if (!out.failure.empty()) {
        return out.failure;
    }
    return outputPlan({item.input}, item.request).write(std::move(out.files)).message;
}

// Each input spends much of its time waiting for its files to reach the disk, so by default
// a few threads per core keep every core busy.
std::size_t threadCount(const BatchOptions& batch, std::size_t items) {
    constexpr unsigned kThreadsPerCore = 4;
    const std::size_t wanted =
        batch.jobs > 0 ? std::size_t(batch.jobs)
                       : kThreadsPerCore * std::max(1u, std::thread::hardware_concurrency());
    return std::clamp<std::size_t>(wanted, 1, std::max<std::size_t>(items, 1));
}

} // namespace

std::string convertHelp() {
    const std::string frame = number(kFrameWidth) + " × " + number(kFrameHeight);
    return fillIn(
        "用法：\n"
        "  ravik-lcd convert 图片 [--bin 文件] [--c-text 文件] [--header 文件.h] "
        "[--preview 文件] [--background RRGGBB] [--all-frames]\n"
        "                    [--fit 方式] [--dither 方式] [--preview-scale N] [--size 宽x高]\n"
        "                    [--crop X,Y,宽,高] [--rotate 角度] [--flip 方式] [--tiles 宽x高]\n"
        "                    [--mask] [--mask-bin 文件] [--key RRGGBB]\n"
        "      不打开窗口、不需要显示器，直接转换：\n"
        "      --bin 文件          写入 %2 字节的二进制帧文件（无文件头）\n"
        "      --c-text 文件       写入 C 语言数组文本，与“取模”放到剪贴板的文本相同\n"
        "      --header 文件.h     写入可直接编译的 C 头文件：包含保护、<stdint.h>、"
        "名称_WIDTH/_HEIGHT/_SIZE 宏和 static const uint8_t 数组\n"
        "      --name 名称         头文件中的数组名，默认由图片文件名生成\n"
        "      --attribute 文本    写在数组声明与“=”之间，例如 PROGMEM 或 "
        "__attribute__((section(\".lcd\")))\n"
        "      --preview 文件      写入 %1 的预览图，即液晶屏上的显示效果；"
        "格式由扩展名决定（.png、.jpg、.bmp 等，不能写入的扩展名是用法错误）\n"
        "      --background 颜色   图片小于 %1 或有透明部分时的底色，RRGGBB 或 "
        "#RRGGBB，默认 %3\n"
        "      --all-frames        转换动画（GIF、动画 WebP 等）的每一帧：--bin "
        "依次写入各帧，"
        "--header 写入 名称[名称_FRAMES][名称_SIZE] 和每帧时长 名称_DELAYS_MS"
        "（与浏览器显示的相同：10 毫秒及以下按 100 毫秒）\n"
        "      图片也可以是帧文件（.bin 或 C 语言数组文本），用来查看或换一种格式保存；"
        "含多帧的帧文件如同 --all-frames 的输入。帧文件可以 --crop、--rotate、--flip："
        "像素原样取出，不缩放、不抖动，例如重现放大窗口中的选区。\n"
        "      --fit 方式          图片放进 %1 的方式：original 原始尺寸（默认，取左上角，"
        "不缩放）、contain 等比缩放（完整显示，居中，其余为底色）、cover 填满裁切（居中裁去"
        "多余部分）、stretch 拉伸；缩放时按面积取平均\n"
        "      --dither 方式       每个颜色分量从 8 位变为 4 位的方式：none 无（默认，取高 "
        "4 位）、ordered 有序抖动（4 × 4）、floyd-steinberg 误差扩散\n"
        "      --preview-scale N   预览图放大 N 倍（%6 到 %7，默认 1），每个液晶像素画成 "
        "N × N 个像素；需与 --preview 一起使用\n"
        "      --size 宽x高        输出图片的尺寸（各 1 到 %8），代替 %1；缩放、抖动、底色、"
        "预览图、C 文本、--bin 和 --header 都按这个尺寸；默认为图块的尺寸（--tiles）、"
        "裁剪区域旋转后的尺寸（--crop），否则为 %1\n"
        "      --crop X,Y,宽,高    先从（按正确方向显示的）图片中取出这个矩形；"
        "矩形不完全在图片内时报错（退出码 %4），不写任何文件\n"
        "      --rotate 角度       裁剪之后顺时针旋转 0|90|180|270 度，用于转着安装的屏\n"
        "      --flip 方式         旋转之后翻转：none 不翻转（默认）、horizontal 左右翻转、"
        "vertical 上下翻转\n"
        "      --tiles 宽x高       把（裁剪、旋转后的）图片从左到右、从上到下切成整块的图块，"
        "每块单独转换；--bin 依次写入各块，--header 写入 名称[名称_COUNT][名称_SIZE]；"
        "有余下的边时在标准错误中说明块数和余边；不能与 --all-frames 同用\n"
        "      --mask              在头文件中加入透明遮罩 名称_MASK 和 名称_MASK_SIZE："
        "每像素 1 位，每行补足整字节，最左的像素在最高位，1 = 绘制（alpha ≥ 128）；"
        "像素数据不变，仍是叠在底色上的图片；与 --preview 一起时，预览图中遮罩去掉的像素"
        "显示为灰色棋盘格（--key 也是如此）\n"
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
        "%4。在终端上，标准错误中显示进度。\n"
        "\n"
        "退出码：0 成功；%4 图片无法读取或文件无法写入；%5 用法错误。\n",
        {frame, number(kFrameSize), hexColor(kDefaultBackground), number(kExitFailure),
         number(kExitUsage), number(kMinPreviewScale), number(kMaxPreviewScale),
         number(kMaxBoxSide)});
}

bool ConvertOptions::textToStandardOutput() const {
    return !binPath && !cTextPath && !previewPath && !headerPath && !maskPath;
}

ConvertArguments parseConvertArguments(const std::vector<std::string>& arguments) {
    if (isBatch(arguments)) {
        return parseBatchArguments(arguments);
    }
    enum {
        Bin = kPictureOptionCount,
        CText,
        Preview,
        Header,
        Name,
        Attribute,
        PreviewScale,
        MaskBin
    };
    const std::vector<Option> options = withPictureOptions({{{"bin"}, true},
                                                            {{"c-text"}, true},
                                                            {{"preview"}, true},
                                                            {{"header"}, true},
                                                            {{"name"}, true, true},
                                                            {{"attribute"}, true, true},
                                                            {{"preview-scale"}, true},
                                                            {{"mask-bin"}, true}});
    const ParsedArguments parsed(arguments, options, false);
    if (auto answer = earlyAnswer(parsed)) {
        return *answer;
    }
    const std::vector<std::string>& pictures = parsed.positional();
    if (pictures.empty()) {
        return refused(withHelpHint("convert", "缺少要转换的图片"));
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
    if (std::string problem =
            readOption(parsed, options[PreviewScale], kPreviewScaleValue, convert.previewScale);
        !problem.empty()) {
        return refused(std::move(problem));
    }
    if (std::string problem = readPictureOptions(
            parsed, options, convert.allFrames, convert.headerPath || convert.maskPath,
            convert.previewPath.has_value(), convert.conversion, convert.shaping);
        !problem.empty()) {
        return refused(std::move(problem));
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
    return parsed.batch ? convertBatch(*parsed.batch) : convert(parsed.options);
}

int convertBatch(const BatchOptions& batch) {
    const BatchPlan plan = planBatch(batch);
    if (!plan.error.empty()) {
        printError(plan.error);
        return plan.exitCode;
    }
    // Made only once every check has passed.
    if (const auto reason = makeFolder(batch.outDir)) {
        printError(fillIn("无法创建输出文件夹“%1”：%2", {displayPath(batch.outDir), *reason}));
        return kExitFailure;
    }
    Progress progress(plan.items.size());
    std::vector<std::string> failures(plan.items.size());
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i = next++; i < plan.items.size(); i = next++) {
            failures[i] = runItem(plan.items[i], batch);
            progress.finished(plan.items[i].input);
        }
    };
    {
        std::vector<std::jthread> threads;
        for (std::size_t t = 1; t < threadCount(batch, plan.items.size()); ++t) {
            threads.emplace_back(work);
        }
        work(); // this thread takes a share too
    }
    progress.end();
    // Reported in the inputs' order, whichever thread finished first.
    std::size_t failed = 0;
    for (const std::string& failure : failures) {
        if (!failure.empty()) {
            printError(failure);
            ++failed;
        }
    }
    if (failed > 0) {
        printError(fillIn(
            "共 %1 个输入，%2 个已转换，%3 个失败",
            {number(plan.items.size()), number(plan.items.size() - failed), number(failed)}));
        return kExitFailure;
    }
    return 0;
}

} // namespace ravik
