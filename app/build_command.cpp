#include "build_command.h"

#include "app/command_line.h"
#include "app/convert_job.h"
#include "codec/packed_picture.h"
#include "export/input_file.h"
#include "export/text.h"
#include "pictures/picture_file.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <set>

namespace ravik {
namespace {

// A regular file's bytes; nothing for a file that is missing, unreadable or not a regular file
// (a pipe would block, a device might never end).
std::optional<std::string> readWholeFile(const std::filesystem::path& path) {
    InputReading reading = readInputFile(path);
    if (!reading.ok()) {
        return std::nullopt;
    }
    return std::move(reading.bytes);
}

std::string assetWhere(const Asset& asset) {
    return fillIn("素材“%1”（第 %2 行）", {shownText(assetName(asset)), number(assetLine(asset))});
}

// The stored pictures of a picture asset, or the Chinese reason they can't be made.
std::variant<BuiltAsset, std::string> buildPicture(const PictureAsset& asset) {
    if (std::string problem = inputFileProblem(asset.picture); !problem.empty()) {
        return fillIn("%1的图片%2", {assetWhere(asset), problem});
    }
    const bool allFrames = asset.kind == PictureAsset::Kind::animation;
    const ConvertedInput input =
        convertInput(asset.picture, asset.conversion, allFrames, asset.shaping);
    if (!input.failure.empty()) {
        return fillIn("%1：%2", {assetWhere(asset), input.failure});
    }
    const PictureSet& set = input.pictures;
    AssetData data;
    try {
        data.pictures = storePictures(set.pictures, set.size.width, set.size.height,
                                      asset.compression, asset.delta);
    } catch (const std::exception&) {
        return fillIn("%1：图片无法存储（图片过大或没有图片）", {assetWhere(asset)});
    }
    for (const auto& mask : set.masks) {
        data.mask.insert(data.mask.end(), mask.begin(), mask.end());
    }
    if (allFrames) {
        for (const int delay : set.delaysMs) {
            data.delaysMs.push_back(std::uint16_t(std::clamp(delay, 0, int(UINT16_MAX))));
        }
    }
    if (std::string problem = assetProblem(data); !problem.empty()) {
        return fillIn("%1：%2", {assetWhere(asset), problem});
    }
    return BuiltAsset{asset.name, asset.attribute, std::move(data)};
}

std::variant<BuiltAsset, std::string> buildFont(const FontAsset& asset) {
    for (const std::filesystem::path& file : asset.files) {
        if (std::string problem = inputFileProblem(file); !problem.empty()) {
            return fillIn("%1的文件%2", {assetWhere(asset), problem});
        }
    }
    fonts::FontJobResult result = fonts::runFontJob(asset.job);
    if (!result.ok()) {
        return fillIn("%1：%2", {assetWhere(asset), result.failure});
    }
    if (std::string problem = packedFontProblem(result.font); !problem.empty()) {
        return fillIn("%1：%2", {assetWhere(asset), problem});
    }
    return BuiltAsset{asset.job.name, asset.job.attribute, std::move(result.font)};
}

// The flash an asset is sure to take, known before any picture is decoded: the raw pictures of a
// frame, of a sprite of a given size, or of an animation of a given size whose frames its file
// counts cheaply, with their offsets, masks and delays. Nothing for the rest (compressed data,
// tiles, pictures at their own size, fonts).
std::uint64_t knownFlashBytes(const Asset& asset) {
    const auto* picture = std::get_if<PictureAsset>(&asset);
    if (!picture || picture->compression != Compression::Raw || picture->shaping.tiles ||
        picture->shaping.ownSize) {
        return 0;
    }
    std::uint64_t count = 1;
    const bool animation = picture->kind == PictureAsset::Kind::animation;
    if (animation) {
        const std::optional<int> frames = inputFileProblem(picture->picture).empty()
                                              ? countPictureFileFrames(picture->picture)
                                              : std::nullopt;
        if (!frames) {
            return 0;
        }
        count = std::uint64_t(*frames);
    }
    const BoxSize& size = picture->conversion.size;
    // Frames stored as changes to the one before may take less than a picture each: only the
    // first is sure to be whole.
    const std::uint64_t wholePictures = picture->delta ? 1 : count;
    return wholePictures * packedSize(size.width, size.height) +
           count * ((picture->shaping.mask ? maskSize(size.width, size.height) : 0) +
                    (animation ? sizeof(std::uint16_t) : 0)) +
           (count + 1) * sizeof(std::uint32_t);
}

std::string bytesText(std::uint64_t bytes) {
    return number(bytes) + " 字节";
}

std::string budgetReport(const std::vector<BuiltAsset>& assets, std::uint64_t budget,
                         std::uint64_t total) {
    std::vector<const BuiltAsset*> largest;
    for (const BuiltAsset& asset : assets) {
        largest.push_back(&asset);
    }
    // Largest first; equal sizes by name, so the list is the same every time.
    std::ranges::stable_sort(largest, [](const BuiltAsset* a, const BuiltAsset* b) {
        return a->flashBytes() != b->flashBytes() ? a->flashBytes() > b->flashBytes()
                                                  : a->name < b->name;
    });
    std::string text =
        fillIn("素材共占 %1，超出预算 %2（超出 %3），未写入任何文件。各素材从大到小：",
               {bytesText(total), bytesText(budget), bytesText(total - budget)});
    for (const BuiltAsset* asset : largest) {
        text += "\n  " + shownText(asset->name) + "  " + bytesText(asset->flashBytes());
    }
    return text;
}

// Make reads a space, '#' and '$' in a rule's names only escaped.
std::string makeEscaped(const std::filesystem::path& path) {
    std::string escaped;
    for (const char c : path.generic_string()) {
        if (c == ' ' || c == '#') {
            escaped += '\\';
        } else if (c == '$') {
            escaped += '$';
        }
        escaped += c;
    }
    return escaped;
}

BuildOutcome failed(int exitCode, std::string message) {
    return {exitCode, std::move(message), {}};
}

} // namespace

std::string makeDepfile(const std::vector<std::filesystem::path>& targets,
                        const std::vector<std::filesystem::path>& prerequisites) {
    std::string text;
    for (const std::filesystem::path& target : targets) {
        text += (text.empty() ? "" : " ") + makeEscaped(target);
    }
    text += ":";
    for (const std::filesystem::path& prerequisite : prerequisites) {
        text += " \\\n  " + makeEscaped(prerequisite);
    }
    return text + "\n";
}

std::optional<std::string> fingerprintLine(const Manifest& manifest,
                                           std::string_view manifestText) {
    // FNV-1a, 64 bits: to notice a change, not to resist one made on purpose.
    std::uint64_t hash = 0xCBF29CE484222325ULL;
    const auto add = [&hash](std::string_view bytes) {
        for (const char c : bytes) {
            hash = (hash ^ std::uint8_t(c)) * 0x100000001B3ULL;
        }
        const std::string length = "|" + std::to_string(bytes.size()) + "|";
        for (const char c : length) {
            hash = (hash ^ std::uint8_t(c)) * 0x100000001B3ULL;
        }
    };
    add(versionText());
    add(manifestText);
    const std::vector<std::filesystem::path> inputs = manifestInputs(manifest);
    for (auto input = std::next(inputs.begin()); input != inputs.end(); ++input) {
        const std::optional<std::string> bytes = readWholeFile(*input);
        if (!bytes) {
            return std::nullopt;
        }
        add(input->generic_string());
        add(*bytes);
    }
    char text[64];
    std::snprintf(text, sizeof text, "/* inputs %016llx */\n",
                  static_cast<unsigned long long>(hash));
    return text;
}

std::vector<std::filesystem::path> manifestInputs(const Manifest& manifest) {
    std::vector<std::filesystem::path> inputs{manifest.file};
    const auto add = [&inputs](const std::filesystem::path& path) {
        if (std::ranges::find(inputs, path) == inputs.end()) {
            inputs.push_back(path);
        }
    };
    for (const Asset& asset : manifest.assets) {
        if (const auto* picture = std::get_if<PictureAsset>(&asset)) {
            add(picture->picture);
        } else {
            std::ranges::for_each(std::get<FontAsset>(asset).files, add);
        }
    }
    return inputs;
}

BuildArguments parseBuildArguments(const std::vector<std::string>& arguments) {
    BuildArguments answer;
    std::vector<std::string> positional;
    std::optional<std::string> outDir;
    std::optional<std::string> depfile;
    const auto refuse = [&answer](std::string error) {
        answer.error = fillIn("命令行有误：%1（用 ravik-lcd build --help 查看用法）", {error});
        return answer;
    };
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument.front() != '-') {
            positional.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (argument == "-h" || argument == "--help") {
            answer.help = true;
            return answer;
        }
        const std::size_t equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        std::optional<std::string>* into = name == "--out-dir"   ? &outDir
                                           : name == "--depfile" ? &depfile
                                                                 : nullptr;
        if (!into) {
            return refuse(fillIn("未知选项“%1”", {name}));
        }
        if (*into) {
            return refuse(fillIn("选项 %1 只能给一次", {name}));
        }
        if (equals != std::string::npos) {
            *into = argument.substr(equals + 1);
        } else if (i + 1 < arguments.size()) {
            *into = arguments[++i];
        } else {
            return refuse(fillIn("选项“%1”缺少参数", {name}));
        }
        if ((*into)->empty()) {
            return refuse(fillIn("选项“%1”的参数不能为空", {name}));
        }
    }
    if (positional.size() != 1) {
        return refuse(positional.empty() ? "缺少素材清单（.toml 文件）" : "只能给出一个素材清单");
    }
    if (!outDir) {
        return refuse("缺少 --out-dir：生成的 .h 与 .c 写入哪个文件夹");
    }
    answer.request.manifest = pathFromUtf8(positional.front());
    answer.request.outDir = pathFromUtf8(*outDir);
    if (depfile) {
        answer.request.depfile = pathFromUtf8(*depfile);
    }
    return answer;
}

BuildOutcome buildAssets(const BuildRequest& request) {
    const InputReading manifestFile = readInputFile(request.manifest, kMaxTextFileBytes);
    if (!manifestFile.ok()) {
        return failed(kExitFailure, fillIn("无法读取素材清单：%1", {manifestFile.failure}));
    }
    const ManifestReading reading = parseManifest(manifestFile.bytes, request.manifest);
    if (!reading.error.empty()) {
        return failed(kExitUsage, reading.error);
    }
    const Manifest& manifest = reading.manifest;
    const std::string manifestName = manifest.file.filename().generic_string();
    const std::filesystem::path headerPath = request.outDir / pathFromUtf8(manifest.name + ".h");
    const std::filesystem::path sourcePath = request.outDir / pathFromUtf8(manifest.name + ".c");
    std::optional<FileOutput> depfile;
    if (request.depfile) {
        depfile = {*request.depfile,
                   makeDepfile({sourcePath, headerPath}, manifestInputs(manifest))};
    }

    // Inputs whose fingerprint the source already carries: nothing to convert or write.
    const std::optional<std::string> fingerprint = fingerprintLine(manifest, manifestFile.bytes);
    if (fingerprint && std::filesystem::exists(headerPath) &&
        (!depfile || readWholeFile(depfile->path) == depfile->data)) {
        const std::optional<std::string> source = readWholeFile(sourcePath);
        if (source && source->starts_with(generatedNote(manifestName) + *fingerprint)) {
            return {};
        }
    }

    // A budget the assets are sure to exceed is refused before anything is converted.
    std::uint64_t known = 0;
    for (const Asset& asset : manifest.assets) {
        known += knownFlashBytes(asset);
    }
    constexpr std::uint64_t kMaxAssetSetBytes = std::uint64_t{1} << 32;
    if (known > kMaxAssetSetBytes) {
        return failed(kExitFailure,
                      fillIn("素材至少占 %1，超过了 4 GiB 的上限，未转换任何图片、未写入任何文件。",
                             {bytesText(known)}));
    }
    if (manifest.budget && known > *manifest.budget) {
        return failed(
            kExitFailure,
            fillIn("素材至少占 %1，超出预算 %2（超出 %3），未转换任何图片、未写入任何文件。",
                   {bytesText(known), bytesText(*manifest.budget),
                    bytesText(known - *manifest.budget)}));
    }

    std::vector<BuiltAsset> built;
    for (const Asset& asset : manifest.assets) {
        auto made = std::holds_alternative<PictureAsset>(asset)
                        ? buildPicture(std::get<PictureAsset>(asset))
                        : buildFont(std::get<FontAsset>(asset));
        if (auto* failure = std::get_if<std::string>(&made)) {
            return failed(kExitFailure, fillIn("%1：%2", {displayPath(manifest.file), *failure}));
        }
        built.push_back(std::move(std::get<BuiltAsset>(made)));
    }
    std::uint64_t total = 0;
    for (const BuiltAsset& asset : built) {
        total += asset.flashBytes();
    }
    if (manifest.budget && total > *manifest.budget) {
        return failed(kExitFailure, budgetReport(built, *manifest.budget, total));
    }

    std::vector<FileOutput> outputs;
    try {
        outputs.push_back({headerPath, assetHeader(manifest.name, manifestName, built)});
        outputs.push_back({sourcePath, assetSource(manifest.name, manifestName,
                                                   fingerprint.value_or(""), built)});
    } catch (const std::invalid_argument& error) {
        return failed(kExitFailure, error.what());
    }
    if (depfile) {
        outputs.push_back(*depfile);
    }
    std::vector<std::filesystem::path> files{manifest.file};
    for (const FileOutput& output : outputs) {
        files.push_back(output.path);
    }
    if (const auto overwritten =
            outputOverwritingInput(manifestInputs(manifest), {headerPath, sourcePath});
        overwritten) {
        return failed(kExitUsage, fillIn("输出文件“%1”就是输入文件之一，不会覆盖它",
                                         {displayPath(*overwritten)}));
    }

    // Only what changed is written, so an unchanged build leaves every mtime alone.
    std::vector<FileOutput> changed;
    for (FileOutput& output : outputs) {
        if (readWholeFile(output.path) != output.data) {
            changed.push_back(std::move(output));
        }
    }
    if (changed.empty()) {
        return {};
    }
    for (const FileOutput& output : changed) {
        if (const auto reason =
                makeFolder(output.path.parent_path().empty() ? std::filesystem::path(".")
                                                             : output.path.parent_path())) {
            return failed(kExitFailure, *reason);
        }
    }
    if (const auto failure = writeFilesAtomically(changed)) {
        return failed(kExitFailure,
                      fillIn("无法写入“%1”：%2", {displayPath(failure->path), failure->reason}));
    }
    BuildOutcome outcome;
    for (const FileOutput& output : changed) {
        outcome.written.push_back(output.path);
    }
    return outcome;
}

std::string buildHelpText() {
    return "用法：ravik-lcd build 清单.toml --out-dir 文件夹 [--depfile 文件]\n"
           "  按素材清单（TOML）转换其中的每一帧、图片、图块、动画和字模，写入 "
           "文件夹/名称.h（声明）"
           "与 文件夹/名称.c（定义），配合运行库 ravik_lcd.c 使用。\n"
           "  --out-dir 文件夹   生成文件所在的文件夹（不存在时创建）\n"
           "  --depfile 文件     写入 Make 格式的依赖文件：清单、每张图片、字体文件和字符文件\n"
           "  清单中的路径相对于清单所在的文件夹；内容不变的文件不会重写。\n"
           "退出码：0 成功；1 图片缺失、无法读取、超出预算或无法写入；2 用法或清单错误。"
           "出错时不写入任何文件。\n";
}

int runBuild(const std::vector<std::string>& arguments) {
    const BuildArguments parsed = parseBuildArguments(arguments);
    if (!parsed.error.empty()) {
        printError(parsed.error);
        return kExitUsage;
    }
    if (parsed.help) {
        return printToStandardOutput(buildHelpText());
    }
    const BuildOutcome outcome = buildAssets(parsed.request);
    if (!outcome.message.empty()) {
        printError(outcome.message);
    }
    return outcome.exitCode;
}

} // namespace ravik
