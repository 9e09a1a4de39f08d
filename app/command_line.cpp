#include "command_line.h"

#include "codec/frame_buffer.h"
#include "export/binary_file.h"
#include "export/c_array_text.h"
#include "export/file_output.h"
#include "platform/picture_loader.h"
#include "platform/picture_surface.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <cstdio>

namespace ravik {
namespace {

// The button-face colour the window shows around a small picture on Windows.
const QColor kDefaultBackground(0xF0, 0xF0, 0xF0);
const QString kStandardOutput = QStringLiteral("-");

void printError(const QString& message) {
    std::fputs(qPrintable(QStringLiteral("ravik-lcd: ") + message + u'\n'), stderr);
}

bool writeStandardOutput(const QByteArray& bytes) {
    return std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout) ==
               std::size_t(bytes.size()) &&
           std::fflush(stdout) == 0;
}

std::optional<QColor> parseBackground(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^#?([0-9A-Fa-f]{6})$"));
    const auto match = pattern.match(text);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    return QColor(QStringLiteral("#") + match.captured(1));
}

QByteArray previewPng(const FrameBuffer& frame) {
    PictureSurface preview(kDefaultBackground);
    drawFrame(frame, preview);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    preview.image().save(&buffer, "PNG");
    return png;
}

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

} // namespace

QString parseErrorText(const QCommandLineParser& parser) {
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty()) {
        return QStringLiteral(u"未知选项“%1”").arg(unknown.constFirst());
    }
    return QStringLiteral(u"选项缺少参数（%1）").arg(parser.errorText());
}

QString helpText() {
    return QStringLiteral(
        u"Ravik液晶显示器取模助手 1.00：把图片左上角 98 × 67 像素转换成 12 位色液晶屏的 9849 "
        u"字节帧数据。\n"
        u"\n"
        u"用法：\n"
        u"  ravik-lcd [图片]\n"
        u"      打开主窗口；给出图片时立即打开它，如同在“打开文件”中选择。\n"
        u"\n"
        u"  ravik-lcd convert 图片 [--bin 文件] [--c-text 文件] [--preview 文件.png] [--background "
        u"RRGGBB]\n"
        u"      不打开窗口、不需要显示器，直接转换：\n"
        u"      --bin 文件          写入 9849 字节的二进制帧文件（无文件头）\n"
        u"      --c-text 文件       写入 C "
        u"语言数组文本，与“取模”放到剪贴板的文本相同；“-”表示标准输出\n"
        u"      --preview 文件.png  写入 98 × 67 的预览图，即液晶屏上的显示效果\n"
        u"      --background 颜色   图片小于 98 × 67 或有透明部分时的底色，RRGGBB 或 #RRGGBB，默认 "
        u"F0F0F0\n"
        u"      不给任何输出选项时，把 C 语言数组文本打印到标准输出。\n"
        u"      所有输出都成功后才一起写入；任何一项失败，都不会创建或改动任何输出文件。\n"
        u"\n"
        u"  ravik-lcd --help      显示本帮助\n"
        u"  ravik-lcd --version   显示版本\n"
        u"\n"
        u"退出码：0 成功；1 图片无法读取或文件无法写入；2 用法错误。\n");
}

int runConvert(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption bin(QStringLiteral("bin"), QString(), QStringLiteral("file"));
    const QCommandLineOption cText(QStringLiteral("c-text"), QString(), QStringLiteral("file"));
    const QCommandLineOption preview(QStringLiteral("preview"), QString(), QStringLiteral("file"));
    const QCommandLineOption background(QStringLiteral("background"), QString(),
                                        QStringLiteral("color"));
    parser.addOptions({help, bin, cText, preview, background});

    if (!parser.parse(QStringList{QStringLiteral("ravik-lcd")} + arguments)) {
        printError(
            QStringLiteral(u"命令行有误：%1（用 --help 查看用法）").arg(parseErrorText(parser)));
        return kExitUsage;
    }
    if (parser.isSet(help)) {
        std::fputs(qPrintable(helpText()), stdout);
        return 0;
    }
    const QStringList pictures = parser.positionalArguments();
    if (pictures.size() != 1) {
        printError(
            pictures.isEmpty()
                ? QStringLiteral(u"缺少要转换的图片（用 --help 查看用法）")
                : QStringLiteral(u"只能转换一张图片，却给出了 %1 个参数").arg(pictures.size()));
        return kExitUsage;
    }
    for (const QCommandLineOption* option : {&bin, &cText, &preview, &background}) {
        if (parser.values(*option).size() > 1) {
            printError(QStringLiteral(u"选项 --%1 只能给一次").arg(option->names().constFirst()));
            return kExitUsage;
        }
    }
    QColor backgroundColor = kDefaultBackground;
    if (parser.isSet(background)) {
        const auto parsed = parseBackground(parser.value(background));
        if (!parsed) {
            printError(QStringLiteral(u"底色“%1”无效，应为 RRGGBB 或 #RRGGBB，例如 F0F0F0")
                           .arg(parser.value(background)));
            return kExitUsage;
        }
        backgroundColor = *parsed;
    }

    const QString picturePath = pictures.constFirst();
    const LoadedPicture loaded = LoadPicture(picturePath, {kFrameWidth, kFrameHeight});
    if (!loaded.ok()) {
        printError(
            QStringLiteral(u"无法打开图片“%1”：%2").arg(native(picturePath), loaded.failure));
        return kExitFailure;
    }
    PictureSurface surface(backgroundColor);
    surface.setPicture(loaded.picture);
    FrameBuffer frame;
    packSurface(surface, frame);

    const QByteArray text = QByteArray::fromStdString(formatCArrayText(frame));
    const bool anyOutput = parser.isSet(bin) || parser.isSet(cText) || parser.isSet(preview);
    const bool textToStandardOutput =
        !anyOutput || (parser.isSet(cText) && parser.value(cText) == kStandardOutput);
    QList<FileOutput> files;
    if (parser.isSet(bin)) {
        files.append({parser.value(bin), frameBytes(frame)});
    }
    if (parser.isSet(cText) && parser.value(cText) != kStandardOutput) {
        files.append({parser.value(cText), text});
    }
    if (parser.isSet(preview)) {
        files.append({parser.value(preview), previewPng(frame)});
    }
    if (const auto failure = writeFilesAtomically(files)) {
        printError(QStringLiteral(u"无法写入“%1”：%2").arg(native(failure->path), failure->reason));
        return kExitFailure;
    }
    if (textToStandardOutput && !writeStandardOutput(text)) {
        printError(QStringLiteral(u"无法写入标准输出"));
        return kExitFailure;
    }
    return 0;
}

} // namespace ravik
