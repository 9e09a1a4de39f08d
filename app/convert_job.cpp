#include "convert_job.h"

#include "app/modules.h"
#include "export/binary_file.h"
#include "export/c_array_text.h"
#include "export/c_header.h"
#include "export/frame_text_reader.h"
#include "export/preview_png.h"
#include "pictures/picture_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <span>
#include <vector>

namespace ravik {
namespace {

const QByteArray kPng = QByteArrayLiteral("png");

// The preview in the format its name asks for; the frames of a set one below the other. PNG is
// written here; other formats by Qt, in the picture module.
std::optional<QByteArray> previewFile(const QList<FrameBuffer>& frames, const QString& path,
                                      int scale) {
    const auto format = previewFormat(path);
    if (!format) {
        return std::nullopt;
    }
    const std::span<const FrameBuffer> set(frames.constData(), std::size_t(frames.size()));
    if (*format == kPng) {
        return previewPng(set, scale);
    }
    QString failure;
    const PictureModule* pictures = pictureModule(failure);
    if (!pictures || set.empty()) {
        return std::nullopt;
    }
    PreviewRows rows(set, scale);
    return pictures->encode(rows, *format);
}

// A picture read by our own readers, which need no Qt Gui; nothing for a format or variant they
// leave to Qt's readers in the picture module.
std::optional<PictureFrames>
convertWithOwnReaders(const QString& path, const ConversionOptions& options, bool allFrames) {
    const auto leftToQt = [](const PictureFault& fault) {
        return fault.fault == Fault::unrecognised || fault.fault == Fault::unsupported;
    };
    const std::filesystem::path file(QFile::encodeName(path).toStdString());
    PictureFrames converted;
    if (allFrames) {
        const DecodedFrames set = readPictureFileFrames(file, options);
        if (leftToQt(set.fault)) {
            return std::nullopt;
        }
        if (!set.ok()) {
            converted.failure = QString::fromStdString(faultSentence(set.fault));
            return converted;
        }
        if (set.scaled) {
            converted.frames = {convertPicture(*set.scaled, options).frame};
        } else {
            for (const Picture& frame : set.frames) {
                converted.frames.append(convertPicture(frame, options).frame);
            }
        }
        converted.delaysMs = QList<int>(set.delaysMs.begin(), set.delaysMs.end());
        return converted;
    }
    const DecodedPicture picture = readPictureFileForFit(file, options);
    if (leftToQt(picture.fault)) {
        return std::nullopt;
    }
    if (!picture.ok()) {
        converted.failure = QString::fromStdString(faultSentence(picture.fault));
        return converted;
    }
    converted.frames = {convertPicture(picture, options).frame};
    converted.delaysMs = {0};
    return converted;
}

// The preview formats Qt writes, when the picture module can be loaded.
QList<QByteArray> qtPreviewFormats() {
    QString failure;
    const PictureModule* pictures = pictureModule(failure);
    return pictures ? pictures->writableFormats() : QList<QByteArray>{};
}

} // namespace

bool isStandardOutput(const QString& path) {
    return path == u"-";
}

std::optional<QByteArray> previewFormat(const QString& path) {
    if (isStandardOutput(path)) {
        return kPng;
    }
    // PNG is written without Qt Gui; only another format loads the picture module.
    const QByteArray format = QFileInfo(path).suffix().toLower().toLatin1();
    if (format == kPng) {
        return kPng;
    }
    if (format.isEmpty() || !qtPreviewFormats().contains(format)) {
        return std::nullopt;
    }
    return format;
}

QString previewExtensions() {
    QStringList extensions{QStringLiteral(".png")};
    for (const QByteArray& format : qtPreviewFormats()) {
        if (format != kPng) {
            extensions << u'.' + QString::fromLatin1(format);
        }
    }
    return extensions.join(u"、");
}

QString previewFormatProblem(const QString& path) {
    QString failure;
    if (!pictureModule(failure)) {
        return QStringLiteral(u"无法写入预览图“%1”：%2").arg(nativePath(path), failure);
    }
    return QStringLiteral(u"预览图“%1”的扩展名不是可写入的图片格式，应为 %2 之一")
        .arg(path, previewExtensions());
}

QStringList OutputRequest::files() const {
    QStringList named;
    for (const auto& path : {binPath, cTextPath, headerPath, previewPath}) {
        if (path && !isStandardOutput(*path)) {
            named << *path;
        }
    }
    return named;
}

QString overwriteProblem(const QStringList& inputs, const QStringList& outputs) {
    if (const auto output = outputOverwritingInput(inputs, outputs)) {
        return QStringLiteral(u"输出文件“%1”会覆盖输入文件；没有写入任何文件")
            .arg(nativePath(*output));
    }
    return {};
}

QString writeOutputs(const QList<FileOutput>& files) {
    QList<FileOutput> onDisk;
    std::optional<QByteArray> piped;
    for (const FileOutput& file : files) {
        if (isStandardOutput(file.path)) {
            piped = file.data;
        } else {
            onDisk.append(file);
        }
    }
    if (const auto failure = writeFilesAtomically(onDisk)) {
        return QStringLiteral(u"无法写入“%1”：%2").arg(nativePath(failure->path), failure->reason);
    }
    if (piped) {
        if (const auto reason = writeStandardOutput(*piped)) {
            return QStringLiteral(u"无法写入标准输出：%1").arg(*reason);
        }
    }
    return {};
}

QString nativePath(const QString& path) {
    return QDir::toNativeSeparators(path);
}

void printError(const QString& message) {
    std::fputs(qPrintable(QStringLiteral("ravik-lcd: ") + message + u'\n'), stderr);
}

ConvertedInput convertInput(const QString& path, const ConversionOptions& options, bool allFrames) {
    ConvertedInput input;
    input.frameSet = allFrames;
    if (isFrameFile(path)) {
        const FrameReading reading = readFrameFile(path);
        if (!reading.ok()) {
            input.failure =
                QStringLiteral(u"无法读取帧数据“%1”：%2").arg(nativePath(path), reading.failure);
            return input;
        }
        // A frame set read back is written out as a set again, as --all-frames wrote it, with
        // the delays a header gives (0 where the file has none).
        input.frameSet = allFrames || reading.frameSet;
        input.frames = reading.frames;
        input.delaysMs =
            reading.delaysMs.isEmpty() ? QList<int>(reading.frames.size(), 0) : reading.delaysMs;
        return input;
    }
    // Our own readers first; only formats they don't take load the picture module, the one
    // part of convert that needs Qt Gui.
    QString failure;
    PictureFrames converted;
    if (auto own = convertWithOwnReaders(path, options, allFrames)) {
        converted = *own;
        failure = converted.failure;
    } else if (const PictureModule* pictures = pictureModule(failure)) {
        converted = pictures->convert(path, options, allFrames);
        failure = converted.failure;
    }
    if (!failure.isEmpty()) {
        input.failure = QStringLiteral(u"无法打开图片“%1”：%2").arg(nativePath(path), failure);
        return input;
    }
    input.frames = converted.frames;
    input.delaysMs = converted.delaysMs;
    return input;
}

OutputFiles outputFiles(const ConvertedInput& input, const OutputRequest& request) {
    OutputFiles out;
    const std::span<const FrameBuffer> frames(input.frames.constData(),
                                              static_cast<std::size_t>(input.frames.size()));
    if (request.binPath) {
        out.files.append({*request.binPath, frameBytes(frames)});
    }
    if (request.cTextPath) {
        out.files.append({*request.cTextPath, QByteArray::fromStdString(formatCArrayText(frames))});
    }
    if (request.headerPath) {
        const std::vector<FrameBuffer> set(frames.begin(), frames.end());
        const std::vector<int> delays(input.delaysMs.begin(), input.delaysMs.end());
        const std::string header =
            input.frameSet
                ? formatCHeaderFrameSet(request.identifier, request.attribute, set, delays)
                : formatCHeader(request.identifier, request.attribute, frames.front());
        out.files.append({*request.headerPath, QByteArray::fromStdString(header)});
    }
    if (request.previewPath) {
        const auto preview = previewFile(input.frames, *request.previewPath, request.previewScale);
        if (!preview) {
            out.failure =
                QStringLiteral(u"无法生成预览图“%1”").arg(nativePath(*request.previewPath));
            return out;
        }
        out.files.append({*request.previewPath, *preview});
    }
    return out;
}

} // namespace ravik
