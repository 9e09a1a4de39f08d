#include "convert_job.h"

#include "app/modules.h"
#include "codec/packed_picture.h"
#include "export/binary_file.h"
#include "export/c_array_text.h"
#include "export/c_header.h"
#include "export/frame_text_reader.h"
#include "export/preview_png.h"
#include "export/text.h"
#include "pictures/picture_file.h"
#include "pictures/pictures.h"

#include <algorithm>
#include <cstdio>
#include <span>

namespace ravik {
namespace {

constexpr std::string_view kPng = "png";

// The most tiles or frames one output holds: the headers and the runtime count them in 16 bits.
constexpr std::size_t kMaxPictureCount = 65535;

// The preview in the format its name asks for; the pictures of a set one below the other. PNG
// is written here; other formats by Qt, in the picture module.
std::optional<std::string> previewFile(const ConvertedInput& input,
                                       const std::filesystem::path& path, int scale) {
    const PictureSet& set = input.pictures;
    const auto format = previewFormat(path);
    if (!format) {
        return std::nullopt;
    }
    if (*format == kPng) {
        return previewPng(set, scale, input.previewMasks);
    }
    std::string failure;
    const PictureModule* pictures = pictureModule(failure);
    if (!pictures || set.pictures.empty()) {
        return std::nullopt;
    }
    PreviewRows rows(set, scale, input.previewMasks);
    return pictures->encode(rows, *format);
}

bool leftToQt(const PictureFault& fault) {
    return fault.fault == Fault::unrecognised || fault.fault == Fault::unsupported;
}

// A picture read by our own readers, which need no Qt, and converted at options.size; nothing
// for a format or variant they leave to Qt's readers in the picture module.
std::optional<PictureFrames> convertWithOwnReaders(const std::filesystem::path& file,
                                                   const ConversionOptions& options,
                                                   bool allFrames) {
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
            converted.pictures = {convertPacked(*set.scaled, options).packed};
        } else {
            for (const Picture& frame : set.frames) {
                converted.pictures.push_back(convertPacked(frame, options).packed);
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
    converted.pictures = {convertPacked(picture, options).packed};
    converted.delaysMs = {0};
    return converted;
}

// A picture read whole by our own readers (every frame with allFrames); nothing for a format
// they leave to Qt's readers.
std::optional<WholePictures> readWithOwnReaders(const std::filesystem::path& file, bool allFrames) {
    WholePictures read;
    if (allFrames) {
        // A scaling fit reads whole frames; a still picture comes back scaled and is read again.
        const DecodedFrames set = readPictureFileFrames(file, {.fit = Fit::Stretch});
        if (leftToQt(set.fault)) {
            return std::nullopt;
        }
        if (!set.ok()) {
            read.failure = faultSentence(set.fault);
            return read;
        }
        if (!set.scaled) {
            read.frames = set.frames;
            read.delaysMs = set.delaysMs;
            return read;
        }
    }
    DecodedPicture picture = readPictureFile(file);
    if (leftToQt(picture.fault)) {
        return std::nullopt;
    }
    if (!picture.ok()) {
        read.failure = faultSentence(picture.fault);
        return read;
    }
    read.frames = {std::move(picture.picture)};
    read.delaysMs = {0};
    return read;
}

std::string sizeText(const Size& size) {
    return number(size.width) + " × " + number(size.height);
}

// Cuts, turns, keys and tiles one frame, then converts each piece (and its mask) into `into`;
// the failure in Chinese, or empty.
std::string shapeAndConvert(Picture picture, const std::filesystem::path& path,
                            const ConversionOptions& options, const Shaping& shaping,
                            ConvertedInput& into) {
    if (shaping.crop) {
        const Rect& area = *shaping.crop;
        if (!liesInside(area, picture.size())) {
            return fillIn("裁剪区域 %1,%2,%3,%4 不在图片“%5”之内：图片为 %6 像素",
                          {number(area.x), number(area.y), number(area.width), number(area.height),
                           displayPath(path), sizeText(picture.size())});
        }
        picture = crop(picture, area);
    }
    if (shaping.rotation != Rotation::none || shaping.flip != Flip::none) {
        picture = turned(picture, shaping.rotation, shaping.flip);
    }
    if (shaping.key) {
        applyKey(picture, *shaping.key);
    }
    ConversionOptions sized = options;
    if (shaping.ownSize && !shaping.tiles) {
        sized.size = {picture.width(), picture.height()};
        if (!isValidBoxSize(sized.size)) {
            return fillIn("图片“%1”为 %2 像素，每边最多 %3 像素：请给出输出尺寸",
                          {displayPath(path), sizeText(picture.size()), number(kMaxBoxSide)});
        }
        if (!into.pictures.pictures.empty() && !(into.pictures.size == sized.size)) {
            return fillIn("“%1”的各帧尺寸不同：请给出输出尺寸", {displayPath(path)});
        }
        into.pictures.size = sized.size;
    }
    std::vector<Picture> pieces;
    if (shaping.tiles) {
        const TileGrid grid = tileGrid(picture.size(), *shaping.tiles);
        if (grid.count() == 0) {
            return fillIn("图块 %1 比要切的图片“%2”（%3 像素）还大",
                          {sizeText(*shaping.tiles), displayPath(path), sizeText(picture.size())});
        }
        if (into.pictures.pictures.size() + grid.count() > kMaxPictureCount) {
            return fillIn("“%1”会切成 %2 块 %3 的图块，超过了 %4 块的上限（图块数以 16 位保存）："
                          "请用更大的图块或先裁剪",
                          {displayPath(path), number(grid.count()), sizeText(*shaping.tiles),
                           number(kMaxPictureCount)});
        }
        if (grid.margin.width > 0 || grid.margin.height > 0) {
            into.notice = fillIn("“%1”切成 %2 块 %3 的图块（%4 列 × %5 行），右边余下 %6 "
                                 "像素、下边余下 %7 像素未用",
                                 {displayPath(path), number(grid.count()), sizeText(grid.tile),
                                  number(grid.columns), number(grid.rows),
                                  number(grid.margin.width), number(grid.margin.height)});
        }
        pieces = cutTiles(picture, *shaping.tiles);
    } else {
        pieces.push_back(std::move(picture));
    }
    for (const Picture& piece : pieces) {
        into.pictures.pictures.push_back(convertPacked(piece, sized).packed);
        if (shaping.mask || shaping.previewMask) {
            std::vector<std::uint8_t> mask = pictureMask(piece, sized);
            if (shaping.previewMask) {
                into.previewMasks.push_back(mask);
            }
            if (shaping.mask) {
                into.pictures.masks.push_back(std::move(mask));
            }
        }
    }
    return {};
}

// Why an animation can't be converted, found before any frame is decoded: more frames than the
// 16-bit count holds, or more bytes at the output's size than the stored offsets (32 bits)
// address. Empty when neither, or when the format can't count its frames cheaply.
std::string frameSetProblem(const std::filesystem::path& path, const ConversionOptions& options,
                            const Shaping& shaping) {
    const std::optional<int> count = countPictureFileFrames(path);
    if (!count) {
        return {};
    }
    if (std::size_t(*count) > kMaxPictureCount) {
        return fillIn("“%1”有 %2 帧，超过了 %3 帧的上限（帧数以 16 位保存）",
                      {displayPath(path), number(*count), number(kMaxPictureCount)});
    }
    constexpr std::uint64_t kMaxStoredBytes = std::uint64_t{1} << 32;
    const std::uint64_t bytes =
        std::uint64_t(*count) * packedSize(options.size.width, options.size.height);
    if (!shaping.ownSize && !shaping.tiles && bytes > kMaxStoredBytes) {
        return fillIn("“%1”的 %2 帧在 %3 × %4 像素时共 %5 字节，超过了 4 GiB 的上限：请减小尺寸",
                      {displayPath(path), number(*count), number(options.size.width),
                       number(options.size.height), number(bytes)});
    }
    return {};
}

// The frame as a picture: each nibble n as n × 16, opaque, so that converting it with neither
// scaling nor dither gives its nibbles back unchanged.
Picture framePicture(const FrameBuffer& frame) {
    const FramePixels pixels = previewPixels(frame);
    Picture picture(kFrameWidth, kFrameHeight);
    for (int y = 0; y < kFrameHeight; ++y) {
        std::uint8_t* out = picture.row(y);
        for (int x = 0; x < kFrameWidth; ++x) {
            const ColorValue color = pixels[std::size_t(y) * kFrameWidth + std::size_t(x)];
            *out++ = std::uint8_t(redOf(color));
            *out++ = std::uint8_t(greenOf(color));
            *out++ = std::uint8_t(blueOf(color));
            *out++ = 0xFF;
        }
    }
    return picture;
}

// The size a picture of `size` has after the shaping's crop and turn.
BoxSize shapedSize(BoxSize size, const Shaping& shaping) {
    if (shaping.crop) {
        size = {shaping.crop->width, shaping.crop->height};
    }
    const bool quarterTurn =
        shaping.rotation == Rotation::quarter || shaping.rotation == Rotation::threeQuarters;
    return quarterTurn ? BoxSize{size.height, size.width} : size;
}

// A frame file read back. Its pixels are the panel's already, so only what takes them as they
// are applies: a crop, a turn and a flip (a zoom-window selection is such a crop). Scaling,
// keying, masking or tiling would change or lose pixels, and is refused.
ConvertedInput frameFileInput(const std::filesystem::path& path, const ConversionOptions& options,
                              bool allFrames, const Shaping& shaping) {
    ConvertedInput input;
    const BoxSize exactSize = shapedSize(kFrameBox, shaping);
    if (shaping.key || shaping.tiles || shaping.mask || shaping.previewMask ||
        (options.size != exactSize && options.size != defaultOutputSize(shaping))) {
        input.failure = fillIn("“%1”是帧数据文件，只能原样裁剪、旋转或翻转，不能改变尺寸、"
                               "切块、生成遮罩或设置透明色",
                               {displayPath(path)});
        return input;
    }
    FrameReading reading = readFrameFile(path);
    if (!reading.ok()) {
        input.failure = fillIn("无法读取帧数据“%1”：%2", {displayPath(path), reading.failure});
        return input;
    }
    // A frame set read back is written out as a set again, as --all-frames wrote it, with the
    // delays a header gives (0 where the file has none).
    input.frameSet = allFrames || reading.frameSet;
    const PictureSet::Kind kind =
        input.frameSet ? PictureSet::Kind::frames : PictureSet::Kind::single;
    if (exactSize == kFrameBox && !shaping.crop && shaping.flip == Flip::none &&
        shaping.rotation == Rotation::none) {
        input.pictures = frameSet(reading.frames, kind);
    } else {
        input.pictures.kind = kind;
        input.pictures.size = exactSize;
        ConversionOptions exact;
        exact.size = exactSize;
        for (const FrameBuffer& frame : reading.frames) {
            input.failure = shapeAndConvert(framePicture(frame), path, exact, shaping, input);
            if (!input.failure.empty()) {
                return input;
            }
        }
    }
    input.pictures.delaysMs =
        reading.delaysMs.empty() ? std::vector<int>(reading.frames.size(), 0) : reading.delaysMs;
    return input;
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

namespace {

// The bytes of one output for the converted pictures; nothing when they can't be made.
using OutputWriter = std::optional<std::string> (*)(const ConvertedInput&, const OutputRequest&,
                                                    const std::filesystem::path&);

struct ConvertOutputRow {
    ConvertOutput output;
    std::string_view noun; // for the message when it can't be made
    OutputWriter writer;
};

const ConvertOutputRow kConvertOutputs[] = {
    {{{"--bin", ".bin", true}, &OutputRequest::binPath},
     "二进制文件",
     [](const ConvertedInput& input, const OutputRequest&, const std::filesystem::path&) {
         return std::optional(pictureBytes(input.pictures));
     }},
    {{{"--c-text", ".txt", true}, &OutputRequest::cTextPath},
     "C 文本",
     [](const ConvertedInput& input, const OutputRequest&, const std::filesystem::path&) {
         return std::optional(formatCArrayText(input.pictures));
     }},
    {{{"--header", ".h", true}, &OutputRequest::headerPath},
     "头文件",
     [](const ConvertedInput& input, const OutputRequest& request, const std::filesystem::path&) {
         return std::optional(formatCHeader(request.identifier, request.attribute, input.pictures));
     }},
    {{{"--mask-bin", ".mask", true}, &OutputRequest::maskPath},
     "遮罩文件",
     [](const ConvertedInput& input, const OutputRequest&, const std::filesystem::path&) {
         return std::optional(maskBytes(input.pictures));
     }},
    {{{"--preview", ".png", true}, &OutputRequest::previewPath},
     "预览图",
     [](const ConvertedInput& input, const OutputRequest& request,
        const std::filesystem::path& path) {
         return previewFile(input, path, request.previewScale);
     }},
};

} // namespace

std::span<const ConvertOutput> convertOutputs() {
    static const std::vector<ConvertOutput> outputs = [] {
        std::vector<ConvertOutput> rows;
        for (const ConvertOutputRow& row : kConvertOutputs) {
            rows.push_back(row.output);
        }
        return rows;
    }();
    return outputs;
}

OutputPlan outputPlan(const std::vector<std::filesystem::path>& inputs,
                      const OutputRequest& request) {
    OutputPlan plan;
    plan.addInputs(inputs);
    for (const ConvertOutputRow& row : kConvertOutputs) {
        if (const auto& path = request.*row.output.path) {
            plan.addOutput(*path, row.output.kind);
        }
    }
    return plan;
}

void printError(std::string_view message) {
    const std::string line = "ravik-lcd: " + std::string(message) + "\n";
    std::fputs(line.c_str(), stderr);
}

BoxSize defaultOutputSize(const Shaping& shaping) {
    if (shaping.tiles) {
        return {shaping.tiles->width, shaping.tiles->height};
    }
    return shaping.crop ? shapedSize(kFrameBox, shaping) : kFrameBox;
}

ConvertedInput convertInput(const std::filesystem::path& path, const ConversionOptions& options,
                            bool allFrames, const Shaping& shaping) {
    if (isFrameFile(path)) {
        return frameFileInput(path, options, allFrames, shaping);
    }
    ConvertedInput input;
    input.frameSet = allFrames;
    input.pictures.size = options.size;
    input.pictures.kind = shaping.tiles ? PictureSet::Kind::tiles
                          : allFrames   ? PictureSet::Kind::frames
                                        : PictureSet::Kind::single;
    if (allFrames) {
        input.failure = frameSetProblem(path, options, shaping);
        if (!input.failure.empty()) {
            return input;
        }
    }
    // Our own readers first; only formats they don't take load the picture module, the one
    // part of convert that needs Qt.
    std::string failure;
    if (shaping.needsWholePicture()) {
        WholePictures read;
        if (auto own = readWithOwnReaders(path, allFrames)) {
            read = std::move(*own);
        } else if (const PictureModule* pictures = pictureModule(failure)) {
            read = pictures->read(path, allFrames);
        }
        if (failure.empty()) {
            failure = read.failure;
        }
        if (!failure.empty()) {
            input.failure = fillIn("无法打开图片“%1”：%2", {displayPath(path), failure});
            return input;
        }
        if (read.frames.size() > kMaxPictureCount) {
            input.failure =
                fillIn("“%1”有 %2 帧，超过了 %3 帧的上限（帧数以 16 位保存）",
                       {displayPath(path), number(read.frames.size()), number(kMaxPictureCount)});
            return input;
        }
        for (Picture& frame : read.frames) {
            input.failure = shapeAndConvert(std::move(frame), path, options, shaping, input);
            if (!input.failure.empty()) {
                return input;
            }
        }
        input.pictures.delaysMs = std::move(read.delaysMs);
        return input;
    }
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
    if (converted.pictures.size() > kMaxPictureCount) {
        input.failure = fillIn(
            "“%1”有 %2 帧，超过了 %3 帧的上限（帧数以 16 位保存）",
            {displayPath(path), number(converted.pictures.size()), number(kMaxPictureCount)});
        return input;
    }
    input.pictures.pictures = std::move(converted.pictures);
    input.pictures.delaysMs = std::move(converted.delaysMs);
    return input;
}

OutputFiles outputFiles(const ConvertedInput& input, const OutputRequest& request) {
    OutputFiles out;
    for (const ConvertOutputRow& row : kConvertOutputs) {
        const auto& path = request.*row.output.path;
        if (!path) {
            continue;
        }
        auto bytes = row.writer(input, request, *path);
        if (!bytes) {
            out.failure = fillIn("无法生成%1“%2”", {row.noun, displayPath(*path)});
            return out;
        }
        out.files.push_back({*path, std::move(*bytes)});
    }
    return out;
}

} // namespace ravik
