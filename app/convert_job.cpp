#include "convert_job.h"

#include "export/binary_file.h"
#include "export/c_array_text.h"
#include "export/c_header.h"
#include "export/frame_text_reader.h"
#include "platform/frame_set_loader.h"
#include "platform/picture_conversion.h"
#include "platform/picture_loader.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <cstdio>
#include <cstring>
#include <vector>

namespace ravik {
namespace {

// The preview in the format its name asks for; the frames of a set one below the other.
std::optional<QByteArray> previewFile(const QList<FrameBuffer>& frames, const QString& path,
                                      int scale) {
    const auto format = previewFormat(path);
    if (!format) {
        return std::nullopt;
    }
    QImage strip;
    for (qsizetype i = 0; i < frames.size(); ++i) {
        const QImage frame = previewImage(frames[i]).convertToFormat(QImage::Format_RGB32);
        if (strip.isNull()) {
            strip = QImage(frame.width(), frame.height() * int(frames.size()), frame.format());
        }
        for (int y = 0; y < frame.height(); ++y) {
            std::memcpy(strip.scanLine(int(i) * frame.height() + y), frame.constScanLine(y),
                        std::size_t(frame.bytesPerLine()));
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, *format);
    if (!writer.write(scale == 1 ? strip
                                 : strip.scaled(strip.size() * scale, Qt::IgnoreAspectRatio,
                                                Qt::FastTransformation))) {
        return std::nullopt;
    }
    return bytes;
}

} // namespace

bool isStandardOutput(const QString& path) {
    return path == u"-";
}

std::optional<QByteArray> previewFormat(const QString& path) {
    if (isStandardOutput(path)) {
        return QByteArray("png");
    }
    const QByteArray format = QFileInfo(path).suffix().toLower().toLatin1();
    if (format.isEmpty() || !QImageWriter::supportedImageFormats().contains(format)) {
        return std::nullopt;
    }
    return format;
}

QString previewExtensions() {
    QStringList extensions;
    for (const QByteArray& format : QImageWriter::supportedImageFormats()) {
        extensions << u'.' + QString::fromLatin1(format);
    }
    return extensions.join(u"、");
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
    if (allFrames) {
        const LoadedFrameSet set = LoadFrameSet(path, options);
        if (!set.ok()) {
            input.failure =
                QStringLiteral(u"无法打开图片“%1”：%2").arg(nativePath(path), set.failure);
            return input;
        }
        for (const QImage& frame : set.frames) {
            input.frames.append(set.scaled ? convertPicture(*set.scaled, options).frame
                                           : convertPicture(frame, options).frame);
        }
        input.delaysMs = set.delaysMs;
        return input;
    }
    const LoadedPicture loaded = loadForFit(path, options);
    if (!loaded.ok()) {
        input.failure =
            QStringLiteral(u"无法打开图片“%1”：%2").arg(nativePath(path), loaded.failure);
        return input;
    }
    input.frames = {convertPicture(loaded, options).frame};
    input.delaysMs = {0};
    return input;
}

QByteArray cText(const ConvertedInput& input) {
    QByteArray text;
    for (const FrameBuffer& frame : input.frames) {
        text += QByteArray::fromStdString(formatCArrayText(frame));
    }
    return text;
}

OutputFiles outputFiles(const ConvertedInput& input, const OutputRequest& request) {
    OutputFiles out;
    if (request.binPath) {
        QByteArray bytes;
        for (const FrameBuffer& frame : input.frames) {
            bytes += frameBytes(frame);
        }
        out.files.append({*request.binPath, bytes});
    }
    if (request.cTextPath) {
        out.files.append({*request.cTextPath, cText(input)});
    }
    if (request.headerPath) {
        const std::vector<FrameBuffer> frames(input.frames.begin(), input.frames.end());
        const std::vector<int> delays(input.delaysMs.begin(), input.delaysMs.end());
        const std::string header =
            input.frameSet
                ? formatCHeaderFrameSet(request.identifier, request.attribute, frames, delays)
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
