#include "build_command.h"

#include "app/arguments.h"
#include "app/command_line.h"
#include "app/convert_job.h"
#include "app/output_plan.h"
#include "codec/frame_buffer.h"
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

// The stored pictures of a picture asset, or the Chinese reason they can't be made. What
// `convert` would say of it on standard error (a sheet's unused margin) is added to `notices`,
// naming the asset.
std::variant<BuiltAsset, std::string> buildPicture(const PictureAsset& asset,
                                                   std::vector<std::string>& notices) {
    if (std::string problem = inputFileProblem(asset.picture); !problem.empty()) {
        return fillIn("%1的图片%2", {assetWhere(asset), problem});
    }
    const bool allFrames = asset.kind == PictureAsset::Kind::animation;
    const ConvertedInput input =
        convertInput(asset.picture, asset.conversion, allFrames, asset.shaping);
    if (!input.failure.empty()) {
        return fillIn("%1：%2", {assetWhere(asset), input.failure});
    }
    if (!input.notice.empty()) {
        notices.push_back(fillIn("%1：%2", {assetWhere(asset), input.notice}));
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

// A name as GNU make reads it in a rule: '$' doubled; a backslash before each character that
// would end the name, start a comment, split it at a colon or an order-only bar, or make it a
// wildcard; "./" before a leading '~', which make would take for a home folder. Nothing when
// make can't read the name back whole; a target with '%' would make the rule a pattern.
std::optional<std::string> makeEscaped(const std::filesystem::path& path, bool target) {
    // UTF-8 with forward slashes (generic_string() is the ANSI code page's on Windows).
    const std::u8string generic = path.generic_u8string();
    const std::string name(generic.begin(), generic.end());
    // A drive's colon (C:/…) stays as it is: make on Windows reads it so, as GCC writes it.
    const std::size_t driveColon =
        path.has_root_name() && path.has_root_directory() && name.size() > 1 && name[1] == ':'
            ? 1
            : std::string::npos;
    if (name.empty() || (target && name.find('%') != std::string::npos) ||
        name.find_first_of("=;\n\r") != std::string::npos || name.back() == '\\' ||
        (name.back() == ')' && name.find('(') != std::string::npos)) {
        return std::nullopt;
    }
    std::string escaped = name.front() == '~' ? "./" : "";
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        if (std::uint8_t(c) < 0x20 && c != '\t') {
            return std::nullopt;
        }
        constexpr std::string_view kEscaped = " \t#:|*?[]";
        // A backslash before a character make treats specially has no spelling make reads back.
        if (c == '\\' && i + 1 < name.size() &&
            (kEscaped.find(name[i + 1]) != std::string_view::npos || name[i + 1] == '%')) {
            return std::nullopt;
        }
        if (c == '$') {
            escaped += '$';
        } else if (kEscaped.find(c) != std::string_view::npos && i != driveColon) {
            escaped += '\\';
        }
        escaped += c;
    }
    return escaped;
}

// What `build` writes: the declarations and definitions named after the manifest, the depfile
// and the stamp; none of them to standard output.
constexpr OutputKind kBuildOutputs[] = {
    {"NAME.h", "", false}, {"NAME.c", "", false}, {"--depfile", "", false}, {"--stamp", "", false}};

BuildOutcome failed(int exitCode, std::string message) {
    return {exitCode, std::move(message), {}, {}};
}

// Writes the stamp anew, so its time is the build's; the outputs were checked with it.
BuildOutcome touchStamp(const std::optional<FileOutput>& stamp) {
    if (stamp) {
        const std::filesystem::path folder = stamp->path.parent_path();
        if (const auto reason = folder.empty() ? std::nullopt : makeFolder(folder)) {
            return failed(kExitFailure,
                          fillIn("无法创建文件夹“%1”：%2", {displayPath(folder), *reason}));
        }
        if (const auto reason = writeFileAtomically(stamp->path, stamp->data)) {
            return failed(kExitFailure,
                          fillIn("无法写入“%1”：%2", {displayPath(stamp->path), *reason}));
        }
    }
    return {};
}

} // namespace

Depfile makeDepfile(const std::vector<std::filesystem::path>& targets,
                    const std::vector<std::filesystem::path>& prerequisites) {
    Depfile made;
    const auto add = [&made](const std::filesystem::path& path, std::string_view before,
                             bool target) {
        const std::optional<std::string> escaped = makeEscaped(path, target);
        if (!escaped && made.failure.empty()) {
            made.failure =
                fillIn("文件名“%1”含有 Make 依赖文件无法表示的字符（= ; 换行等控制字符、"
                       "结尾的 \\ 或括号、生成文件路径中的 %）：请改名，或不用 --depfile",
                       {shownPath(path)});
        }
        made.text += std::string(before) + escaped.value_or("");
    };
    for (const std::filesystem::path& target : targets) {
        add(target, made.text.empty() ? "" : " ", true);
    }
    made.text += ":";
    for (const std::filesystem::path& prerequisite : prerequisites) {
        add(prerequisite, " \\\n  ", false);
    }
    made.text += "\n";
    if (!made.failure.empty()) {
        made.text.clear();
    }
    return made;
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
    enum { OutDir, Depfile, Stamp };
    const std::vector<Option> options{{{"out-dir"}, true}, {{"depfile"}, true}, {{"stamp"}, true}};
    const ParsedArguments parsed(arguments, options, false);
    BuildArguments answer;
    const auto refuse = [&answer](std::string_view error) {
        answer.error = withHelpHint("build", error);
        return answer;
    };
    if (std::string error = parsed.error(); !error.empty()) {
        return refuse(error);
    }
    if (std::string repeated = parsed.repeatedOption(); !repeated.empty()) {
        return refuse(repeated);
    }
    for (const Option& option : options) {
        if (parsed.isSet(option) && parsed.value(option).empty()) {
            return refuse(fillIn("选项“--%1”的参数不能为空", {option.names.back()}));
        }
    }
    const std::vector<std::string>& positional = parsed.positional();
    if (positional.size() != 1) {
        return refuse(positional.empty() ? "缺少素材清单（.toml 文件）" : "只能给出一个素材清单");
    }
    if (!parsed.isSet(options[OutDir])) {
        return refuse("缺少 --out-dir：生成的 .h 与 .c 写入哪个文件夹");
    }
    answer.request.manifest = pathFromUtf8(positional.front());
    answer.request.outDir = pathFromUtf8(parsed.value(options[OutDir]));
    if (parsed.isSet(options[Depfile])) {
        answer.request.depfile = pathFromUtf8(parsed.value(options[Depfile]));
    }
    if (parsed.isSet(options[Stamp])) {
        answer.request.stamp = pathFromUtf8(parsed.value(options[Stamp]));
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

    // Every output checked against every input and each other before anything is converted;
    // unchanged files are left alone, so a rebuild recompiles nothing.
    OutputPlan plan(ExistingFile::keepSame);
    plan.addInputs(manifestInputs(manifest));
    plan.setFolder(request.outDir);
    plan.makeMissingFolders();
    for (const auto& [path, kind] : {std::pair{std::optional(headerPath), kBuildOutputs[0]},
                                     {std::optional(sourcePath), kBuildOutputs[1]},
                                     {request.depfile, kBuildOutputs[2]},
                                     {request.stamp, kBuildOutputs[3]}}) {
        if (path) {
            plan.addOutput(*path, kind);
        }
    }
    if (const OutputProblem problem = plan.check(); !problem.ok()) {
        return failed(problem.exitCode, problem.message);
    }
    std::optional<FileOutput> depfile;
    if (request.depfile) {
        const std::vector<std::filesystem::path> targets =
            request.stamp ? std::vector{*request.stamp} : std::vector{sourcePath, headerPath};
        Depfile rule = makeDepfile(targets, manifestInputs(manifest));
        if (!rule.failure.empty()) {
            return failed(kExitUsage, rule.failure);
        }
        depfile = {*request.depfile, std::move(rule.text)};
    }
    // The stamp says when the build last ran; its bytes never change.
    std::optional<FileOutput> stamp;
    if (request.stamp) {
        stamp = {*request.stamp, "ravik-lcd build: its time is the last run's\n"};
    }

    // Inputs whose fingerprint the source already carries: nothing to convert or write.
    const std::optional<std::string> fingerprint = fingerprintLine(manifest, manifestFile.bytes);
    std::error_code error;
    if (fingerprint && std::filesystem::exists(headerPath, error) &&
        (!depfile || readWholeFile(depfile->path) == depfile->data)) {
        const std::optional<std::string> source = readWholeFile(sourcePath);
        if (source && source->starts_with(generatedNote(manifestName) + *fingerprint)) {
            return touchStamp(stamp);
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
    std::vector<std::string> notices;
    for (const Asset& asset : manifest.assets) {
        auto made = std::holds_alternative<PictureAsset>(asset)
                        ? buildPicture(std::get<PictureAsset>(asset), notices)
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
    BuildOutcome outcome;
    for (const std::string& notice : notices) {
        outcome.notices.push_back(fillIn("%1：%2", {displayPath(manifest.file), notice}));
    }
    if (const OutputProblem problem = plan.write(std::move(outputs), &outcome.written);
        !problem.ok()) {
        return failed(problem.exitCode, problem.message);
    }
    if (BuildOutcome touched = touchStamp(stamp); touched.exitCode != 0) {
        return touched;
    }
    return outcome;
}

std::string buildHelp() {
    return fillIn(
        "用法：\n"
        "  ravik-lcd build 清单.toml --out-dir 文件夹 [--depfile 文件] [--stamp 文件]\n"
        "      按素材清单（TOML）一次做出固件的全部素材：[[frame]]（%1 × %2 的帧）、[[sprite]]"
        "（任意尺寸，可切块、带遮罩）、[[animation]]（动画的每一帧，可 delta）、[[font]]（字模），"
        "选项与 convert、font 同名；compress = \"rle\"、\"lz\"（复制已画像素，通常最小）或 "
        "\"auto\"（取两者中较小的）压缩。写入 文件夹/名称.h（声明）与 "
        "文件夹/名称.c（定义），配合运行库 ravik_lcd.c（runtime 命令写出）使用。\n"
        "      --out-dir 文件夹    生成文件所在的文件夹（不存在时创建）\n"
        "      --depfile 文件      另写 Make 格式的依赖文件：清单、每张图片、字体文件和字符文件\n"
        "      --stamp 文件        每次成功都重写的时间戳文件，作为 Make "
        "规则的目标（依赖文件随之以它为目标）："
        "图片改动但内容不变时只重跑一次，不会重新编译固件\n"
        "      清单中的路径相对于清单所在的文件夹；内容不变的文件不会重写。\n"
        "\n"
        "退出码：0 成功；%3 图片缺失、无法读取、超出预算或无法写入；%4 用法或清单错误。"
        "出错时不写入任何文件。\n",
        {number(kFrameWidth), number(kFrameHeight), number(kExitFailure), number(kExitUsage)});
}

int runBuild(const std::vector<std::string>& arguments) {
    const BuildArguments parsed = parseBuildArguments(arguments);
    if (!parsed.error.empty()) {
        printError(parsed.error);
        return kExitUsage;
    }
    const BuildOutcome outcome = buildAssets(parsed.request);
    for (const std::string& notice : outcome.notices) {
        printError(notice);
    }
    if (!outcome.message.empty()) {
        printError(outcome.message);
    }
    return outcome.exitCode;
}

} // namespace ravik
