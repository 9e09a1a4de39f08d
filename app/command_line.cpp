#include "command_line.h"

#include "app/convert_job.h"
#include "app/version.h"
#include "codec/frame_buffer.h"
#include "export/c_header.h"
#include "export/file_output.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>
#include <cstdio>

namespace ravik {
namespace {

QString hexColor(ColorValue color) {
    return QStringLiteral("%1%2%3")
        .arg(redOf(color), 2, 16, QLatin1Char('0'))
        .arg(greenOf(color), 2, 16, QLatin1Char('0'))
        .arg(blueOf(color), 2, 16, QLatin1Char('0'))
        .toUpper();
}

std::optional<ColorValue> parseBackground(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^#?([0-9A-Fa-f]{6})$"));
    const auto match = pattern.match(text);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    const uint rgb = match.captured(1).toUInt(nullptr, 16);
    return RGB(int(rgb >> 16), int(rgb >> 8 & 0xFF), int(rgb & 0xFF));
}

// The names --fit and --dither take, as the user writes them.
template <typename Choice> struct Named {
    const char* name;
    Choice choice;
};
constexpr Named<Fit> kFitNames[] = {{"original", Fit::Original},
                                    {"contain", Fit::Contain},
                                    {"cover", Fit::Cover},
                                    {"stretch", Fit::Stretch}};
constexpr Named<Dither> kDitherNames[] = {{"none", Dither::None},
                                          {"ordered", Dither::Ordered},
                                          {"floyd-steinberg", Dither::FloydSteinberg}};

// Sets `into` to the choice named text (in any case); gives the usage error, naming what is
// chosen and every name it takes, when no choice has that name.
template <typename Choice, std::size_t N>
QString readChoice(const Named<Choice> (&names)[N], const QString& what, const QString& text,
                   Choice& into) {
    QStringList all;
    for (const auto& named : names) {
        if (text.compare(QLatin1String(named.name), Qt::CaseInsensitive) == 0) {
            into = named.choice;
            return {};
        }
        all << QLatin1String(named.name);
    }
    return QStringLiteral(u"%1“%2”无效，应为 %3").arg(what, text, all.join(u'|'));
}

// Why QCommandLineParser refused the arguments, in Chinese and naming the option as the user
// spelt it. It refuses only unknown options and a value option at the very end (anything after
// a value option is taken as its value).
QString usageError(const QCommandLineParser& parser, const QStringList& arguments,
                   const QList<const QCommandLineOption*>& valueOptions) {
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty()) {
        const QString name = unknown.constFirst();
        for (const QString& argument : arguments) {
            const QString spelt = argument.section(u'=', 0, 0);
            const qsizetype dashes = spelt.startsWith(u"--") ? 2 : 1;
            if (spelt.startsWith(u'-') && spelt.mid(dashes) == name) {
                return QStringLiteral(u"未知选项“%1”").arg(spelt);
            }
        }
        return QStringLiteral(u"未知选项“%1”").arg(name);
    }
    if (!arguments.isEmpty()) {
        const QString last = arguments.constLast();
        for (const QCommandLineOption* option : valueOptions) {
            for (const QString& name : option->names()) {
                if (last == QStringLiteral("--") + name || last == QStringLiteral("-") + name) {
                    return QStringLiteral(u"选项“%1”缺少参数").arg(last);
                }
            }
        }
    }
    return QStringLiteral(u"无法理解命令行参数");
}

QString withHelpHint(const QString& error) {
    return QStringLiteral(u"命令行有误：%1（用 --help 查看用法）").arg(error);
}

// Whether the arguments ask for a batch: --out-dir turns the output options into flags.
bool isBatch(const QStringList& arguments) {
    for (const QString& argument : arguments) {
        if (argument == u"--") {
            return false;
        }
        const QString name = argument.section(u'=', 0, 0);
        if (name == u"--out-dir" || name == u"-out-dir") {
            return true;
        }
    }
    return false;
}

// The option given more than once among those that take one value, if any.
std::optional<QString> repeatedOption(const QCommandLineParser& parser,
                                      const QList<const QCommandLineOption*>& valueOptions) {
    for (const QCommandLineOption* option : valueOptions) {
        if (parser.values(*option).size() > 1) {
            return QStringLiteral(u"选项 --%1 只能给一次").arg(option->names().constFirst());
        }
    }
    return std::nullopt;
}

ConvertArguments refused(const QString& error) {
    ConvertArguments answer;
    answer.error = error;
    return answer;
}

// Parses the arguments; the whole answer when they were refused or asked for help.
std::optional<ConvertArguments> earlyAnswer(QCommandLineParser& parser,
                                            const QStringList& arguments,
                                            const QCommandLineOption& help,
                                            const QList<const QCommandLineOption*>& valueOptions) {
    ConvertArguments answer;
    if (!parser.parse(QStringList{QStringLiteral("ravik-lcd")} + arguments)) {
        answer.error = withHelpHint(usageError(parser, arguments, valueOptions));
    } else if (parser.isSet(help)) {
        answer.help = true;
    } else if (const auto repeated = repeatedOption(parser, valueOptions)) {
        answer.error = *repeated;
    } else {
        return std::nullopt;
    }
    return answer;
}

QString backgroundError(const QString& value) {
    return QStringLiteral(u"底色“%1”无效，应为 RRGGBB 或 #RRGGBB，例如 %2")
        .arg(value, hexColor(kDefaultBackground));
}

// --background, --fit and --dither into the conversion options; the Chinese reason when a value
// is not one they take.
QString readConversionOptions(const QCommandLineParser& parser,
                              const QCommandLineOption& background, const QCommandLineOption& fit,
                              const QCommandLineOption& dither, ConversionOptions& conversion) {
    if (parser.isSet(background)) {
        const auto color = parseBackground(parser.value(background));
        if (!color) {
            return backgroundError(parser.value(background));
        }
        conversion.background = *color;
    }
    QString problem;
    if (parser.isSet(fit)) {
        problem =
            readChoice(kFitNames, QStringLiteral(u"缩放方式"), parser.value(fit), conversion.fit);
    }
    if (problem.isEmpty() && parser.isSet(dither)) {
        problem = readChoice(kDitherNames, QStringLiteral(u"抖动方式"), parser.value(dither),
                             conversion.dither);
    }
    return problem;
}

ConvertArguments parseBatchArguments(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption outDir(QStringLiteral("out-dir"), QString(), QStringLiteral("dir"));
    const QCommandLineOption bin(QStringLiteral("bin"), QString());
    const QCommandLineOption cText(QStringLiteral("c-text"), QString());
    const QCommandLineOption header(QStringLiteral("header"), QString());
    const QCommandLineOption preview(QStringLiteral("preview"), QString());
    const QCommandLineOption allFrames(QStringLiteral("all-frames"), QString());
    const QCommandLineOption name(QStringLiteral("name"), QString(), QStringLiteral("ident"));
    const QCommandLineOption attribute(QStringLiteral("attribute"), QString(),
                                       QStringLiteral("text"));
    const QCommandLineOption background(QStringLiteral("background"), QString(),
                                        QStringLiteral("color"));
    const QCommandLineOption jobs(QStringLiteral("jobs"), QString(), QStringLiteral("count"));
    const QCommandLineOption fit(QStringLiteral("fit"), QString(), QStringLiteral("mode"));
    const QCommandLineOption dither(QStringLiteral("dither"), QString(), QStringLiteral("mode"));
    const QList<const QCommandLineOption*> valueOptions{&outDir, &name, &attribute, &background,
                                                        &jobs,   &fit,  &dither};
    parser.addOptions({help, outDir, bin, cText, header, preview, allFrames, name, attribute,
                       background, jobs, fit, dither});

    if (auto answer = earlyAnswer(parser, arguments, help, valueOptions)) {
        return *answer;
    }
    BatchOptions batch;
    batch.inputs = parser.positionalArguments();
    batch.outDir = parser.value(outDir);
    batch.bin = parser.isSet(bin);
    batch.cText = parser.isSet(cText);
    batch.header = parser.isSet(header);
    batch.preview = parser.isSet(preview);
    batch.allFrames = parser.isSet(allFrames);
    batch.attribute = parser.value(attribute);
    if (batch.inputs.isEmpty()) {
        return refused(QStringLiteral(u"缺少要转换的图片（用 --help 查看用法）"));
    }
    if (batch.outDir.isEmpty()) {
        return refused(QStringLiteral(u"--out-dir 需要给出输出文件夹"));
    }
    if (!batch.bin && !batch.cText && !batch.header && !batch.preview) {
        return refused(QStringLiteral(u"批量转换时请至少给出 --bin、--c-text、--header、--preview "
                                      u"中的一项"));
    }
    if (parser.isSet(name)) {
        return refused(QStringLiteral(u"批量转换时数组名取自各个文件名，不能用 --name"));
    }
    if (const QString problem = attributeProblem(batch.attribute); !problem.isEmpty()) {
        return refused(problem);
    }
    if (parser.isSet(jobs)) {
        bool number = false;
        batch.jobs = parser.value(jobs).toInt(&number);
        if (!number || batch.jobs < 1) {
            return refused(QStringLiteral(u"线程数“%1”无效，应为正整数").arg(parser.value(jobs)));
        }
    }
    if (const QString problem =
            readConversionOptions(parser, background, fit, dither, batch.conversion);
        !problem.isEmpty()) {
        return refused(problem);
    }
    ConvertArguments parsed;
    parsed.batch = batch;
    return parsed;
}

} // namespace

void identifyProgram() {
    QCoreApplication::setApplicationName(QStringLiteral(RAVIK_PRODUCT_NAME));
    QCoreApplication::setApplicationVersion(QStringLiteral(RAVIK_VERSION));
}

QString versionText() {
    return QStringLiteral(RAVIK_PROGRAM_NAME " " RAVIK_VERSION);
}

QString helpText() {
    const QString frame = QStringLiteral("%1 × %2").arg(kFrameWidth).arg(kFrameHeight);
    return QStringLiteral(
               u"Ravik液晶显示器取模助手 %1：把图片（默认取左上角 %2 像素）转换成 12 位色液晶屏的 "
               u"%3 "
               u"字节帧数据。\n"
               u"\n"
               u"用法：\n"
               u"  ravik-lcd [图片或帧文件]\n"
               u"      打开主窗口；给出图片时立即打开它，如同在“打开文件”中选择。"
               u"也可以给出帧文件（.bin，或 .c、.h、.txt 中的 C 语言数组文本）。\n"
               u"\n"
               u"  ravik-lcd convert 图片 [--bin 文件] [--c-text 文件] [--header 文件.h] "
               u"[--preview 文件] [--background RRGGBB] [--all-frames]\n"
               u"                    [--fit 方式] [--dither 方式] [--preview-scale N]\n"
               u"      不打开窗口、不需要显示器，直接转换：\n"
               u"      --bin 文件          写入 %3 字节的二进制帧文件（无文件头）\n"
               u"      --c-text 文件       写入 C 语言数组文本，与“取模”放到剪贴板的文本相同\n"
               u"      --header 文件.h     写入可直接编译的 C 头文件：包含保护、<stdint.h>、"
               u"名称_WIDTH/_HEIGHT/_SIZE 宏和 static const uint8_t 数组\n"
               u"      --name 名称         头文件中的数组名，默认由图片文件名生成\n"
               u"      --attribute 文本    写在数组声明与“=”之间，例如 PROGMEM 或 "
               u"__attribute__((section(\".lcd\")))\n"
               u"      --preview 文件      写入 %2 的预览图，即液晶屏上的显示效果；"
               u"格式由扩展名决定（.png、.jpg、.bmp 等，不能写入的扩展名是用法错误）\n"
               u"      --background 颜色   图片小于 %2 或有透明部分时的底色，RRGGBB 或 "
               u"#RRGGBB，默认 %4\n"
               u"      --all-frames        转换动画（GIF、动画 WebP 等）的每一帧：--bin "
               u"依次写入各帧，"
               u"--header 写入 名称[名称_FRAMES][名称_SIZE] 和每帧时长 名称_DELAYS_MS"
               u"（与浏览器显示的相同：10 毫秒及以下按 100 毫秒）\n"
               u"      图片也可以是帧文件（.bin 或 C 语言数组文本），用来查看或换一种格式保存；"
               u"含多帧的帧文件如同 --all-frames 的输入。\n"
               u"      --fit 方式          图片放进 %2 的方式：original 原始尺寸（默认，取左上角，"
               u"不缩放）、contain 等比缩放（完整显示，居中，其余为底色）、cover 填满裁切（居中裁去"
               u"多余部分）、stretch 拉伸；缩放时按面积取平均\n"
               u"      --dither 方式       每个颜色分量从 8 位变为 4 位的方式：none 无（默认，取高 "
               u"4 位）、ordered 有序抖动（4 × 4）、floyd-steinberg 误差扩散\n"
               u"      --preview-scale N   预览图放大 N 倍（%7 到 %8，默认 1），每个液晶像素画成 "
               u"N × N 个像素；需与 --preview 一起使用\n"
               u"      输出文件名为“-”时写到标准输出（--preview - 写 PNG），每次最多一项；"
               u"输出文件不能是输入文件本身（按设备与 inode 判断，含链接）。\n"
               u"      不给任何输出选项时，把 C 语言数组文本打印到标准输出。\n"
               u"      所有输出都成功后才一起写入；任何一项失败，都不会创建或改动任何输出文件。\n"
               u"      含多种尺寸的图标文件（.ico）使用其中最大的一幅，与看图软件显示的相同。\n"
               u"      没有颜色表的 GIF 按黑白显示：颜色索引 0 为黑色，1 为白色，其余索引为黑色。\n"
               u"\n"
               u"  ravik-lcd convert 图片… --out-dir 文件夹 [--bin] [--c-text] [--header] "
               u"[--preview] [--jobs 线程数]\n"
               u"      批量转换，用上所有 CPU 核心；--fit、--dither、--background、--all-frames "
               u"同样适用：\n"
               u"      --out-dir 文件夹    每张图片写入 文件夹/<文件名>.bin、.txt、.h、.png；"
               u"此时 --bin、--c-text、--header、--preview 不带参数\n"
               u"      --jobs 线程数       同时转换的图片数（默认每个核心 4 "
               u"个）；线程数不影响输出\n"
               u"      "
               u"两个输入文件名相同时不写任何文件；某张图片失败时报告它，其余照常写入，退出码为 "
               u"%5。在终端上，标准错误中显示进度。\n"
               u"\n"
               u"  ravik-lcd --help      显示本帮助\n"
               u"  ravik-lcd --version   显示版本\n"
               u"\n"
               u"退出码：0 成功；%5 图片无法读取或文件无法写入；%6 用法错误。\n")
        .arg(QStringLiteral(RAVIK_VERSION), frame)
        .arg(kFrameSize)
        .arg(hexColor(kDefaultBackground))
        .arg(kExitFailure)
        .arg(kExitUsage)
        .arg(kMinPreviewScale)
        .arg(kMaxPreviewScale);
}

WindowArguments parseWindowArguments(const QStringList& arguments) {
    QCommandLineParser parser;
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, QString());
    parser.addOptions({help, version});
    WindowArguments parsed;
    if (!parser.parse(arguments)) {
        parsed.error = usageError(parser, arguments.mid(1), {});
        return parsed;
    }
    const QStringList pictures = parser.positionalArguments();
    if (pictures.size() > 1) {
        parsed.error = QStringLiteral(u"只能打开一张图片");
    }
    parsed.help = parser.isSet(help);
    parsed.version = parser.isSet(version);
    parsed.picture = pictures.value(0);
    return parsed;
}

bool ConvertOptions::textToStandardOutput() const {
    return !binPath && !cTextPath && !previewPath && !headerPath;
}

int printToStandardOutput(const QString& text) {
    if (const auto reason = writeStandardOutput(text.toLocal8Bit())) {
        printError(QStringLiteral(u"无法写入标准输出：%1").arg(*reason));
        return kExitFailure;
    }
    return 0;
}

ConvertArguments parseConvertArguments(const QStringList& arguments) {
    if (isBatch(arguments)) {
        return parseBatchArguments(arguments);
    }
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption bin(QStringLiteral("bin"), QString(), QStringLiteral("file"));
    const QCommandLineOption cText(QStringLiteral("c-text"), QString(), QStringLiteral("file"));
    const QCommandLineOption preview(QStringLiteral("preview"), QString(), QStringLiteral("file"));
    const QCommandLineOption header(QStringLiteral("header"), QString(), QStringLiteral("file"));
    const QCommandLineOption name(QStringLiteral("name"), QString(), QStringLiteral("ident"));
    const QCommandLineOption attribute(QStringLiteral("attribute"), QString(),
                                       QStringLiteral("text"));
    const QCommandLineOption allFrames(QStringLiteral("all-frames"), QString());
    const QCommandLineOption background(QStringLiteral("background"), QString(),
                                        QStringLiteral("color"));
    const QCommandLineOption fit(QStringLiteral("fit"), QString(), QStringLiteral("mode"));
    const QCommandLineOption dither(QStringLiteral("dither"), QString(), QStringLiteral("mode"));
    const QCommandLineOption previewScale(QStringLiteral("preview-scale"), QString(),
                                          QStringLiteral("n"));
    const QList<const QCommandLineOption*> valueOptions{&bin,    &cText,       &preview,    &header,
                                                        &name,   &attribute,   &background, &fit,
                                                        &dither, &previewScale};
    parser.addOptions({help, bin, cText, preview, header, name, attribute, allFrames, background,
                       fit, dither, previewScale});

    if (auto answer = earlyAnswer(parser, arguments, help, valueOptions)) {
        return *answer;
    }
    ConvertArguments parsed;
    const QStringList pictures = parser.positionalArguments();
    if (pictures.isEmpty()) {
        return refused(QStringLiteral(u"缺少要转换的图片（用 --help 查看用法）"));
    }
    if (pictures.size() > 1) {
        return refused(QStringLiteral(u"只能转换一张图片，却给出了 %1 个参数；"
                                      u"一次转换多张图片请用 --out-dir")
                           .arg(pictures.size()));
    }
    ConvertOptions& options = parsed.options;
    options.picture = pictures.constFirst();
    const auto valueOf = [&parser](const QCommandLineOption& option) -> std::optional<QString> {
        return parser.isSet(option) ? std::optional(parser.value(option)) : std::nullopt;
    };
    options.binPath = valueOf(bin);
    options.cTextPath = valueOf(cText);
    options.previewPath = valueOf(preview);
    options.headerPath = valueOf(header);
    options.arrayName = parser.value(name);
    options.attribute = parser.value(attribute);
    options.allFrames = parser.isSet(allFrames);
    QStringList piped; // the outputs sent to standard output, as the user wrote them
    for (const QCommandLineOption* output : {&bin, &cText, &preview, &header}) {
        if (parser.isSet(*output) && isStandardOutput(parser.value(*output))) {
            piped << QStringLiteral("--") + output->names().constFirst();
        }
    }
    if (piped.size() > 1) {
        return refused(QStringLiteral(u"%1 都指定了标准输出（“-”），每次最多一项输出到标准输出")
                           .arg(piped.join(u"、")));
    }
    if (options.previewPath && !previewFormat(*options.previewPath)) {
        return refused(previewFormatProblem(*options.previewPath));
    }
    if (parser.isSet(previewScale) && !options.previewPath) {
        return refused(QStringLiteral(u"--preview-scale 只用于 --preview"));
    }
    if ((parser.isSet(name) || parser.isSet(attribute)) && !options.headerPath) {
        return refused(QStringLiteral(u"--name 与 --attribute 只用于 --header"));
    }
    if (parser.isSet(name)) {
        if (const QString problem = identifierProblem(options.arrayName); !problem.isEmpty()) {
            return refused(problem);
        }
    }
    if (const QString problem = attributeProblem(options.attribute); !problem.isEmpty()) {
        return refused(problem);
    }
    if (const QString problem =
            readConversionOptions(parser, background, fit, dither, options.conversion);
        !problem.isEmpty()) {
        return refused(problem);
    }
    if (parser.isSet(previewScale)) {
        bool number = false;
        const int scale = parser.value(previewScale).toInt(&number);
        if (!number || scale < kMinPreviewScale || scale > kMaxPreviewScale) {
            return refused(QStringLiteral(u"预览放大倍数“%1”无效，应为 %2 到 %3 的整数")
                               .arg(parser.value(previewScale))
                               .arg(kMinPreviewScale)
                               .arg(kMaxPreviewScale));
        }
        options.previewScale = scale;
    }
    return parsed;
}

int convert(const ConvertOptions& options) {
    OutputRequest request;
    request.binPath = options.binPath;
    request.cTextPath =
        options.textToStandardOutput() ? std::optional(QStringLiteral("-")) : options.cTextPath;
    request.headerPath = options.headerPath;
    request.previewPath = options.previewPath;
    request.previewScale = options.previewScale;
    request.identifier = options.arrayName.isEmpty()
                             ? cIdentifierFor(QFileInfo(options.picture).completeBaseName())
                             : options.arrayName.toStdString();
    request.attribute = options.attribute.toStdString();
    if (const QString problem = overwriteProblem({options.picture}, request.files());
        !problem.isEmpty()) {
        printError(problem);
        return kExitUsage;
    }
    const ConvertedInput input =
        convertInput(options.picture, options.conversion, options.allFrames);
    if (!input.failure.isEmpty()) {
        printError(input.failure);
        return kExitFailure;
    }
    const OutputFiles out = outputFiles(input, request);
    if (!out.failure.isEmpty()) {
        printError(out.failure);
        return kExitFailure;
    }
    if (const QString failure = writeOutputs(out.files); !failure.isEmpty()) {
        printError(failure);
        return kExitFailure;
    }
    return 0;
}

int runConvert(const QStringList& arguments) {
    const ConvertArguments parsed = parseConvertArguments(arguments);
    if (!parsed.error.isEmpty()) {
        printError(parsed.error);
        return kExitUsage;
    }
    if (parsed.help) {
        return printToStandardOutput(helpText());
    }
    return parsed.batch ? convertBatch(*parsed.batch) : convert(parsed.options);
}

} // namespace ravik
