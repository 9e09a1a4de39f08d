#include "command_line.h"

#include "app/version.h"
#include "codec/frame_buffer.h"
#include "export/binary_file.h"
#include "export/c_array_text.h"
#include "export/file_output.h"
#include "platform/picture_conversion.h"
#include "platform/picture_loader.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QRegularExpression>
#include <cstdio>

namespace ravik {
namespace {

const QString kStandardOutput = QStringLiteral("-");

void printError(const QString& message) {
    std::fputs(qPrintable(QStringLiteral("ravik-lcd: ") + message + u'\n'), stderr);
}

bool writeStandardOutput(const QByteArray& bytes) {
    return std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout) ==
               std::size_t(bytes.size()) &&
           std::fflush(stdout) == 0;
}

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

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

// The preview picture in the format its name's extension asks for (PNG when it names none the
// writers know).
std::optional<QByteArray> previewFile(const FrameBuffer& frame, const QString& path, int scale) {
    QByteArray format = QFileInfo(path).suffix().toLower().toLatin1();
    if (format.isEmpty() || !QImageWriter::supportedImageFormats().contains(format)) {
        format = "png";
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    const QImage preview = previewImage(frame);
    if (!writer.write(scale == 1 ? preview
                                 : preview.scaled(preview.size() * scale, Qt::IgnoreAspectRatio,
                                                  Qt::FastTransformation))) {
        return std::nullopt;
    }
    return bytes;
}

} // namespace

QString versionText() {
    return QStringLiteral(RAVIK_PRODUCT_NAME " " RAVIK_VERSION);
}

QString helpText() {
    const QString frame = QStringLiteral("%1 × %2").arg(kFrameWidth).arg(kFrameHeight);
    return QStringLiteral(
               u"Ravik液晶显示器取模助手 %1：把图片（默认取左上角 %2 像素）转换成 12 位色液晶屏的 "
               u"%3 "
               u"字节帧数据。\n"
               u"\n"
               u"用法：\n"
               u"  ravik-lcd [图片]\n"
               u"      打开主窗口；给出图片时立即打开它，如同在“打开文件”中选择。\n"
               u"\n"
               u"  ravik-lcd convert 图片 [--bin 文件] [--c-text 文件] [--preview 文件] "
               u"[--background RRGGBB]\n"
               u"                    [--fit 方式] [--dither 方式] [--preview-scale N]\n"
               u"      不打开窗口、不需要显示器，直接转换：\n"
               u"      --bin 文件          写入 %3 字节的二进制帧文件（无文件头）\n"
               u"      --c-text 文件       写入 C 语言数组文本，与“取模”放到剪贴板的文本相同；"
               u"“-”表示标准输出\n"
               u"      --preview 文件      写入 %2 的预览图，即液晶屏上的显示效果；"
               u"格式由扩展名决定（.png、.jpg、.bmp 等）\n"
               u"      --background 颜色   图片小于 %2 或有透明部分时的底色，RRGGBB 或 "
               u"#RRGGBB，默认 %4\n"
               u"      --fit 方式          图片放进 %2 的方式：original 原始尺寸（默认，取左上角，"
               u"不缩放）、contain 等比缩放（完整显示，居中，其余为底色）、cover 填满裁切（居中裁去"
               u"多余部分）、stretch 拉伸；缩放时按面积取平均\n"
               u"      --dither 方式       每个颜色分量从 8 位变为 4 位的方式：none 无（默认，取高 "
               u"4 位）、ordered 有序抖动（4 × 4）、floyd-steinberg 误差扩散\n"
               u"      --preview-scale N   预览图放大 N 倍（%7 到 %8，默认 1），每个液晶像素画成 "
               u"N × N 个像素\n"
               u"      不给任何输出选项时，把 C 语言数组文本打印到标准输出。\n"
               u"      所有输出都成功后才一起写入；任何一项失败，都不会创建或改动任何输出文件。\n"
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
    return (!binPath && !cTextPath && !previewPath) || cTextPath == kStandardOutput;
}

ConvertArguments parseConvertArguments(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption bin(QStringLiteral("bin"), QString(), QStringLiteral("file"));
    const QCommandLineOption cText(QStringLiteral("c-text"), QString(), QStringLiteral("file"));
    const QCommandLineOption preview(QStringLiteral("preview"), QString(), QStringLiteral("file"));
    const QCommandLineOption background(QStringLiteral("background"), QString(),
                                        QStringLiteral("color"));
    const QCommandLineOption fit(QStringLiteral("fit"), QString(), QStringLiteral("mode"));
    const QCommandLineOption dither(QStringLiteral("dither"), QString(), QStringLiteral("mode"));
    const QCommandLineOption previewScale(QStringLiteral("preview-scale"), QString(),
                                          QStringLiteral("n"));
    const QList<const QCommandLineOption*> valueOptions{&bin, &cText,  &preview,     &background,
                                                        &fit, &dither, &previewScale};
    parser.addOptions({help, bin, cText, preview, background, fit, dither, previewScale});

    ConvertArguments parsed;
    const auto fail = [&parsed](const QString& error) {
        parsed.error = error;
        return parsed;
    };
    if (!parser.parse(QStringList{QStringLiteral("ravik-lcd")} + arguments)) {
        return fail(withHelpHint(usageError(parser, arguments, valueOptions)));
    }
    if (parser.isSet(help)) {
        parsed.help = true;
        return parsed;
    }
    const QStringList pictures = parser.positionalArguments();
    if (pictures.isEmpty()) {
        return fail(QStringLiteral(u"缺少要转换的图片（用 --help 查看用法）"));
    }
    if (pictures.size() > 1) {
        return fail(QStringLiteral(u"只能转换一张图片，却给出了 %1 个参数").arg(pictures.size()));
    }
    for (const QCommandLineOption* option : valueOptions) {
        if (parser.values(*option).size() > 1) {
            return fail(QStringLiteral(u"选项 --%1 只能给一次").arg(option->names().constFirst()));
        }
    }
    ConvertOptions& options = parsed.options;
    options.picture = pictures.constFirst();
    const auto valueOf = [&parser](const QCommandLineOption& option) -> std::optional<QString> {
        return parser.isSet(option) ? std::optional(parser.value(option)) : std::nullopt;
    };
    options.binPath = valueOf(bin);
    options.cTextPath = valueOf(cText);
    options.previewPath = valueOf(preview);
    if (parser.isSet(background)) {
        const auto color = parseBackground(parser.value(background));
        if (!color) {
            return fail(QStringLiteral(u"底色“%1”无效，应为 RRGGBB 或 #RRGGBB，例如 %2")
                            .arg(parser.value(background), hexColor(kDefaultBackground)));
        }
        options.conversion.background = *color;
    }
    QString choiceError;
    if (parser.isSet(fit)) {
        choiceError = readChoice(kFitNames, QStringLiteral(u"缩放方式"), parser.value(fit),
                                 options.conversion.fit);
    }
    if (choiceError.isEmpty() && parser.isSet(dither)) {
        choiceError = readChoice(kDitherNames, QStringLiteral(u"抖动方式"), parser.value(dither),
                                 options.conversion.dither);
    }
    if (!choiceError.isEmpty()) {
        return fail(choiceError);
    }
    if (parser.isSet(previewScale)) {
        bool number = false;
        const int scale = parser.value(previewScale).toInt(&number);
        if (!number || scale < kMinPreviewScale || scale > kMaxPreviewScale) {
            return fail(QStringLiteral(u"预览放大倍数“%1”无效，应为 %2 到 %3 的整数")
                            .arg(parser.value(previewScale))
                            .arg(kMinPreviewScale)
                            .arg(kMaxPreviewScale));
        }
        options.previewScale = scale;
    }
    return parsed;
}

int convert(const ConvertOptions& options) {
    const LoadedPicture loaded = loadForFit(options.picture, options.conversion.fit);
    if (!loaded.ok()) {
        printError(
            QStringLiteral(u"无法打开图片“%1”：%2").arg(native(options.picture), loaded.failure));
        return kExitFailure;
    }
    const FrameBuffer frame = convertPicture(loaded.picture, options.conversion).frame;

    const QByteArray text = QByteArray::fromStdString(formatCArrayText(frame));
    QList<FileOutput> files;
    if (options.binPath) {
        files.append({*options.binPath, frameBytes(frame)});
    }
    if (options.cTextPath && *options.cTextPath != kStandardOutput) {
        files.append({*options.cTextPath, text});
    }
    if (options.previewPath) {
        const auto preview = previewFile(frame, *options.previewPath, options.previewScale);
        if (!preview) {
            printError(QStringLiteral(u"无法生成预览图“%1”").arg(native(*options.previewPath)));
            return kExitFailure;
        }
        files.append({*options.previewPath, *preview});
    }
    if (const auto failure = writeFilesAtomically(files)) {
        printError(QStringLiteral(u"无法写入“%1”：%2").arg(native(failure->path), failure->reason));
        return kExitFailure;
    }
    if (options.textToStandardOutput() && !writeStandardOutput(text)) {
        printError(QStringLiteral(u"无法写入标准输出"));
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
        std::fputs(qPrintable(helpText()), stdout);
        return 0;
    }
    return convert(parsed.options);
}

} // namespace ravik
