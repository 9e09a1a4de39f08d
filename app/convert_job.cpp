#include "convert_job.h"

#include "app/modules.h"
#include "export/binary_file.h"
#include "export/c_array_text.h"
#include "export/c_header.h"
#include "export/frame_text_reader.h"
#include "export/preview_png.h"
#include "export/text.h"
#include "pictures/picture_file.h"

#include <algorithm>
#include <cstdio>
#include <span>

namespace ravik {
namespace {

constexpr std::string_view kPng = "png";

// The preview in the format its name asks for; the frames of a set one below the other. PNG is
// written here; other formats by Qt, in the picture module.
std::optional<std::string> previewFile(const std::vector<FrameBuffer>& frames,
                                       const std::filesystem::path& path, int scale) {
    const auto format = previewFormat(path);
    if (!format) {
        return std::nullopt;
    }
    if (*format == kPng) {
        return previewPng(frames, scale);
    }
    std::string failure;
    const PictureModule* pictures = pictureModule(failure);
    if (!pictures || frames.empty()) {
        return std::nullopt;
    }
    PreviewRows rows(frames, scale);
    return pictures->encode(rows, *format);
}

// A picture read by our own readers, which need no Qt; nothing for a format or variant they
// leave to Qt's readers in the picture module.
std::optional<PictureFrames> convertWithOwnReaders(const std::filesystem::path& file,
                                                   const ConversionOptions& options,
                                                   bool allFrames) {
    const auto leftToQt = [](const PictureFault& fault) {
        return fault.fault == Fault::unrecognised || fault.fault == Fault::unsupported;
    };
    PictureFrames converted;
    if (allFrames) {
        const DecodedFrames set = readPictureFileFrames(file, options);
        if (leftToQt(set.fault)) {
            return std::nullopt;
        }
        if (!set.ok()) {
            converted.failure = faultSentence(set.fault);
            return converted;
        }
        if (set.scaled) {
            converted.frames = {convertPicture(*set.scaled, options).frame};
        } else {
            for (const Picture& frame : set.frames) {
                converted.frames.push_back(convertPicture(frame, options).frame);
            }
        }
        converted.delaysMs = set.delaysMs;
        return converted;
    }
    const DecodedPicture picture = readPictureFileForFit(file, options);
    if (leftToQt(picture.fault)) {
        return std::nullopt;
    }
    if (!picture.ok()) {
        converted.failure = faultSentence(picture.fault);
        return converted;
    }
    converted.frames = {convertPicture(picture, options).frame};
    converted.delaysMs = {0};
    return converted;
}

// The preview formats Qt writes, when the picture module can be loaded.
std::vector<std::string> qtPreviewFormats() {
    std::string failure;
    const PictureModule* pictures = pictureModule(failure);
    return pictures ? pictures->writableFormats() : std::vector<std::string>{};
}

} // namespace

bool isStandardOutput(const std::filesystem::path& path) {
    return path == "-";
}

std::string baseName(const std::filesystem::path& path) {
    const std::u8string stem = path.filename().stem().u8string();
    return {stem.begin(), stem.end()};
}

std::optional<std::string> previewFormat(const std::filesystem::path& path) {
    if (isStandardOutput(path)) {
        return std::string(kPng);
    }
    // PNG is written without Qt; only another format loads the picture module.
    const std::string format = lowerSuffix(path);
    if (format == kPng) {
        return format;
    }
    const std::vector<std::string> written =
        format.empty() ? std::vector<std::string>{} : qtPreviewFormats();
    if (std::ranges::find(written, format) == written.end()) {
        return std::nullopt;
    }
    return format;
}

std::string previewExtensions() {
    std::string extensions = ".png";
    for (const std::string& format : qtPreviewFormats()) {
        if (format != kPng) {
            extensions += "、." + format;
        }
    }
    return extensions;
}

std::string previewFormatProblem(const std::filesystem::path& path) {
    std::string failure;
    if (!pictureModule(failure)) {
        return fillIn("无法写入预览图“%1”：%2", {displayPath(path), failure});
    }
    return fillIn("预览图“%1”的扩展名不是可写入的图片格式，应为 %2 之一",
                  {displayPath(path), previewExtensions()});
}

std::vector<std::filesystem::path> OutputRequest::files() const {
    std::vector<std::filesystem::path> named;
    for (const auto& path : {binPath, cTextPath, headerPath, previewPath}) {
        if (path && !isStandardOutput(*path)) {
            named.push_back(*path);
        }
    }
    return named;
}

std::string overwriteProblem(const std::vector<std::filesystem::path>& inputs,
                             const std::vector<std::filesystem::path>& outputs) {
    if (const auto output = outputOverwritingInput(inputs, outputs)) {
        return fillIn("输出文件“%1”会覆盖输入文件；没有写入任何文件", {displayPath(*output)});
    }
    return {};
}

std::string writeOutputs(std::vector<FileOutput> files) {
    std::optional<FileOutput> piped;
    if (const auto found = std::ranges::find_if(
            files, [](const FileOutput& file) { return isStandardOutput(file.path); });
        found != files.end()) {
        piped = std::move(*found);
        files.erase(found);
    }
    if (const auto failure = writeFilesAtomically(files)) {
        return fillIn("无法写入“%1”：%2", {displayPath(failure->path), failure->reason});
    }
    if (piped) {
        if (const auto reason = writeStandardOutput(piped->data)) {
            return fillIn("无法写入标准输出：%1", {*reason});
        }
    }
    return {};
}

void printError(std::string_view message) {
    const std::string line = "ravik-lcd: " + std::string(message) + "\n";
    std::fputs(line.c_str(), stderr);
}

ConvertedInput convertInput(const std::filesystem::path& path, const ConversionOptions& options,
                            bool allFrames) {
    ConvertedInput input;
    input.frameSet = allFrames;
    if (isFrameFile(path)) {
        FrameReading reading = readFrameFile(path);
        if (!reading.ok()) {
            input.failure = fillIn("无法读取帧数据“%1”：%2", {displayPath(path), reading.failure});
            return input;
        }
        // A frame set read back is written out as a set again, as --all-frames wrote it, with
        // the delays a header gives (0 where the file has none).
        input.frameSet = allFrames || reading.frameSet;
        input.delaysMs = reading.delaysMs.empty() ? std::vector<int>(reading.frames.size(), 0)
                                                  : reading.delaysMs;
        input.frames = std::move(reading.frames);
        return input;
    }
    // Our own readers first; only formats they don't take load the picture module, the one
    // part of convert that needs Qt.
    std::string failure;
    PictureFrames converted;
    if (auto own = convertWithOwnReaders(path, options, allFrames)) {
        converted = std::move(*own);
        failure = converted.failure;
    } else if (const PictureModule* pictures = pictureModule(failure)) {
        converted = pictures->convert(path, options, allFrames);
        failure = converted.failure;
    }
    if (!failure.empty()) {
        input.failure = fillIn("无法打开图片“%1”：%2", {displayPath(path), failure});
        return input;
    }
    input.frames = std::move(converted.frames);
    input.delaysMs = std::move(converted.delaysMs);
    return input;
}

OutputFiles outputFiles(const ConvertedInput& input, const OutputRequest& request) {
    OutputFiles out;
    const std::span<const FrameBuffer> frames(input.frames);
    if (request.binPath) {
        out.files.push_back({*request.binPath, frameBytes(frames)});
    }
    if (request.cTextPath) {
        out.files.push_back({*request.cTextPath, formatCArrayText(frames)});
    }
    if (request.headerPath) {
        std::string header =
            input.frameSet ? formatCHeaderFrameSet(request.identifier, request.attribute, frames,
                                                   input.delaysMs)
                           : formatCHeader(request.identifier, request.attribute, frames.front());
        out.files.push_back({*request.headerPath, std::move(header)});
    }
    if (request.previewPath) {
        auto preview = previewFile(input.frames, *request.previewPath, request.previewScale);
        if (!preview) {
            out.failure = fillIn("无法生成预览图“%1”", {displayPath(*request.previewPath)});
            return out;
        }
        out.files.push_back({*request.previewPath, std::move(*preview)});
    }
    return out;
}

} // namespace ravik
