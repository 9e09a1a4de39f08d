#include "app/output_plan.h"

#include "app/command_line.h"
#include "app/convert_job.h"
#include "export/text.h"

#include <algorithm>
#include <climits>
#include <fstream>
#include <optional>

namespace ravik {
namespace fs = std::filesystem;
namespace {

#ifdef _WIN32
constexpr std::size_t kNameMax = 255;
constexpr std::size_t kPathMax = 32767;
#else
constexpr std::size_t kNameMax = NAME_MAX;
constexpr std::size_t kPathMax = PATH_MAX;
#endif
// Links followed before a chain is taken for a loop, as the system counts them.
constexpr int kMaxLinks = 40;

OutputProblem refused(int exitCode, std::string message) {
    return {exitCode, std::move(message)};
}

// Where a name leads once every link on the way is followed, also a link whose file isn't there
// yet (a write through it would create that file).
fs::path whereItLeads(const fs::path& path) {
    std::error_code error;
    fs::path place = fs::absolute(path, error).lexically_normal();
    for (int hop = 0; hop < kMaxLinks && fs::is_symlink(fs::symlink_status(place, error)); ++hop) {
        const fs::path target = fs::read_symlink(place, error);
        if (error) {
            break;
        }
        place = (target.is_absolute() ? target : place.parent_path() / target).lexically_normal();
    }
    const fs::path resolved = fs::weakly_canonical(place, error);
    return error ? place : resolved;
}

// The nearest part of the path that exists, when it is not a folder: nothing can go under it.
std::optional<fs::path> fileInTheWay(const fs::path& folder) {
    std::error_code error;
    for (fs::path part = fs::absolute(folder, error).lexically_normal(); !part.empty();
         part = part.parent_path()) {
        const fs::file_status status = fs::status(part, error);
        if (fs::exists(status)) {
            return fs::is_directory(status) ? std::nullopt : std::optional(part);
        }
        if (part == part.parent_path()) {
            break;
        }
    }
    return std::nullopt;
}

bool liesIn(const fs::path& path, const fs::path& folder) {
    const fs::path relative = path.lexically_relative(folder);
    return !relative.empty() && *relative.begin() != "..";
}

// Whether the file holds exactly these bytes; a file of another size is not read.
bool holdsBytes(const fs::path& path, std::string_view bytes) {
    std::error_code error;
    if (!fs::is_regular_file(path, error) || fs::file_size(path, error) != bytes.size() || error) {
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    std::string held(bytes.size(), '\0');
    return in.read(held.data(), std::streamsize(held.size())) && held == bytes;
}

// Folders made for the outputs, taken away again (when still empty) if the writing fails, so a
// failed command leaves no new folder behind.
class NewFolders {
public:
    NewFolders() = default;
    NewFolders(const NewFolders&) = delete;
    NewFolders& operator=(const NewFolders&) = delete;
    ~NewFolders() {
        std::error_code ignored;
        for (auto folder = made_.rbegin(); !kept_ && folder != made_.rend(); ++folder) {
            fs::remove(*folder, ignored);
        }
    }

    // Makes the folder and those above it; the reason in Chinese when it can't.
    std::optional<std::string> make(const fs::path& folder) {
        std::error_code error;
        std::vector<fs::path> missing;
        for (fs::path part = fs::absolute(folder, error).lexically_normal();
             !part.empty() && !fs::exists(fs::symlink_status(part, error));
             part = part.parent_path()) {
            missing.push_back(part);
            if (part == part.parent_path()) {
                break;
            }
        }
        if (auto reason = makeFolder(folder)) {
            return reason;
        }
        made_.insert(made_.end(), missing.rbegin(), missing.rend());
        return std::nullopt;
    }
    void keep() { kept_ = true; }

private:
    std::vector<fs::path> made_;
    bool kept_ = false;
};

} // namespace

std::string pathLengthProblem(const fs::path& path) {
    for (const fs::path& part : path) {
        if (part.native().size() > kNameMax) {
            return "路径太长";
        }
    }
    std::error_code error;
    if (fs::absolute(path, error).native().size() >= kPathMax) {
        return "路径太长";
    }
    return {};
}

void OutputPlan::addInput(const fs::path& path) {
    inputs_.push_back(path);
}

void OutputPlan::addInputs(const std::vector<fs::path>& paths) {
    inputs_.insert(inputs_.end(), paths.begin(), paths.end());
}

void OutputPlan::setFolder(const fs::path& folder) {
    folder_ = folder;
}

void OutputPlan::addOutput(const fs::path& path, const OutputKind& kind) {
    outputs_.push_back(path);
    kinds_.push_back(kind);
}

OutputProblem OutputPlan::check() const {
    std::vector<fs::path> files;
    std::size_t piped = 0;
    for (std::size_t i = 0; i < outputs_.size(); ++i) {
        if (!isStandardOutput(outputs_[i])) {
            files.push_back(outputs_[i]);
        } else if (!kinds_[i].standardOutput) {
            return refused(kExitUsage, fillIn("%1 不能写到标准输出（-）", {kinds_[i].option}));
        } else if (++piped > 1) {
            return refused(kExitUsage, "只能有一个输出写到标准输出（-）");
        }
    }
    std::error_code error;
    if (!folder_.empty()) {
        if (std::string reason = pathLengthProblem(folder_); !reason.empty()) {
            return refused(kExitFailure,
                           fillIn("无法创建输出文件夹“%1”：%2", {shownPath(folder_), reason}));
        }
        if (const auto inTheWay = fileInTheWay(folder_)) {
            const bool itself = *inTheWay == fs::absolute(folder_, error).lexically_normal();
            return refused(
                kExitFailure,
                fillIn("无法创建输出文件夹“%1”：%2",
                       {shownPath(folder_), itself ? std::string("已有同名的文件，不是文件夹")
                                                   : fillIn("路径中的“%1”不是文件夹",
                                                            {shownPath(inTheWay->filename())})}));
        }
    }
    for (const fs::path& file : files) {
        if (std::string reason = pathLengthProblem(file); !reason.empty()) {
            return refused(kExitFailure, fillIn("无法写入“%1”：%2", {shownPath(file), reason}));
        }
        if (fs::is_directory(file, error)) {
            return refused(kExitFailure,
                           fillIn("无法写入“%1”：已有同名的文件夹", {shownPath(file)}));
        }
        if (const auto inTheWay = fileInTheWay(file.parent_path())) {
            return refused(kExitFailure,
                           fillIn("无法写入“%1”：路径中的“%2”不是文件夹",
                                  {shownPath(file), shownPath(inTheWay->filename())}));
        }
    }
    if (const auto output = outputOverwritingInput(inputs_, files)) {
        return refused(kExitUsage, fillIn("输出文件“%1”会覆盖输入文件；没有写入任何文件",
                                          {shownPath(*output)}));
    }
    if (const auto output = outputNamedTwice(files)) {
        return refused(kExitUsage,
                       fillIn("两项输出都写入“%1”，只会留下后写的那项；没有写入任何文件",
                              {shownPath(*output)}));
    }
    if (!folder_.empty()) {
        const fs::path folder = whereItLeads(folder_);
        const fs::path named = fs::absolute(folder_, error).lexically_normal();
        for (const fs::path& file : files) {
            if (liesIn(fs::absolute(file, error).lexically_normal(), named) &&
                !liesIn(whereItLeads(file), folder)) {
                return refused(kExitFailure,
                               fillIn("“%1”是指向输出文件夹之外的链接，不会写入；没有写入任何文件",
                                      {shownPath(file)}));
            }
        }
    }
    return {};
}

OutputProblem OutputPlan::write(std::vector<FileOutput> files,
                                std::vector<fs::path>* written) const {
    if (OutputProblem problem = check(); !problem.ok()) {
        return problem;
    }
    // Files whose bytes are already there are left alone, or the one that differs refused.
    if (existing_ != ExistingFile::replace) {
        std::vector<FileOutput> changed;
        for (FileOutput& file : files) {
            std::error_code error;
            const bool there = fs::exists(file.path, error);
            if (isStandardOutput(file.path) || !holdsBytes(file.path, file.data)) {
                if (there && existing_ == ExistingFile::refuseDifferent &&
                    !isStandardOutput(file.path)) {
                    return refused(kExitFailure,
                                   fillIn("“%1”已存在且内容不同（可能改过）：用 --force "
                                          "替换它；没有写入任何文件",
                                          {shownPath(file.path)}));
                }
                changed.push_back(std::move(file));
            }
        }
        files = std::move(changed);
    }

    NewFolders folders;
    if (!folder_.empty()) {
        if (auto reason = folders.make(folder_)) {
            return refused(kExitFailure,
                           fillIn("无法创建输出文件夹“%1”：%2", {shownPath(folder_), *reason}));
        }
    }
    std::optional<FileOutput> piped;
    std::vector<FileOutput> onDisk;
    for (FileOutput& file : files) {
        if (isStandardOutput(file.path)) {
            piped = std::move(file);
            continue;
        }
        if (const fs::path parent = file.path.parent_path(); makeParents_ && !parent.empty()) {
            if (auto reason = folders.make(parent)) {
                return refused(kExitFailure,
                               fillIn("无法创建文件夹“%1”：%2", {shownPath(parent), *reason}));
            }
        }
        onDisk.push_back(std::move(file));
    }
    if (const auto failure = writeFilesAtomically(onDisk)) {
        return refused(kExitFailure,
                       fillIn("无法写入“%1”：%2", {shownPath(failure->path), failure->reason}));
    }
    folders.keep();
    if (written) {
        for (const FileOutput& file : onDisk) {
            written->push_back(file.path);
        }
    }
    if (piped) {
        if (const auto reason = writeStandardOutput(piped->data)) {
            return refused(kExitFailure, fillIn("无法写入标准输出：%1", {*reason}));
        }
    }
    return {};
}

} // namespace ravik
