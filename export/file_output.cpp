#include "file_output.h"

#include "export/text.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <system_error>

#ifdef _WIN32
#include "export/windows_error.h"

#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace ravik {
namespace fs = std::filesystem;
namespace {

std::string withDetail(std::string_view reason, const std::string& detail) {
    return detail.empty() ? std::string(reason) : fillIn("%1（%2）", {reason, detail});
}

// The system's own words for an error number, as the detail after our sentence.
std::string systemDetail(int error) {
    return error != 0 ? std::string(std::strerror(error)) : std::string();
}

bool writable(const fs::path& path) {
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) == 0;
#else
    return ::access(path.c_str(), W_OK) == 0;
#endif
}

// The folder a file is written in: "." for a bare name.
fs::path folderOf(const fs::path& target) {
    const fs::path folder = target.parent_path();
    return folder.empty() ? fs::path(".") : folder;
}

// Why the target can't even be opened, told from what the file system shows.
std::string openFailureReason(const fs::path& target, const std::string& detail) {
    std::error_code ignored;
    const fs::path folder = folderOf(target);
    if (!fs::exists(folder, ignored)) {
        return fillIn("文件夹不存在：%1", {displayPath(fs::absolute(folder, ignored))});
    }
    if (!fs::is_directory(folder, ignored)) {
        return fillIn("路径中的“%1”不是文件夹", {displayPath(folder.filename())});
    }
    if (!writable(folder) || (fs::exists(target, ignored) && !writable(target))) {
        return withDetail("没有写入权限", detail);
    }
    return withDetail("无法创建文件", detail);
}

std::string writeFailureReason(int error, const std::string& detail) {
    switch (error) {
    case ENOSPC:
        return withDetail("磁盘空间不足", detail);
    case EFBIG:
        return withDetail("文件超出了允许的大小", detail);
    default:
        return withDetail("写入失败", detail);
    }
}

// Why the system refused to create a folder.
std::string folderFailureReason(const std::error_code& error) {
    const std::error_condition condition = error.default_error_condition();
    if (condition == std::errc::permission_denied ||
        condition == std::errc::operation_not_permitted) {
        return "没有写入权限";
    }
    if (condition == std::errc::read_only_file_system) {
        return "文件系统是只读的";
    }
    if (condition == std::errc::no_space_on_device) {
        return "磁盘空间不足";
    }
    if (condition == std::errc::filename_too_long) {
        return "路径太长";
    }
    if (condition == std::errc::not_a_directory) {
        return "路径中有一项不是文件夹";
    }
    if (condition == std::errc::no_such_file_or_directory) {
        // mkdir's answer where a folder can't stand (in /proc, under a dangling link).
        return "系统不允许在这里创建文件夹";
    }
    return withDetail("系统拒绝创建", error ? error.message() : std::string());
}

// The identity of an existing file, which every name for it shares; nothing when it can't be
// read (the file doesn't exist yet).
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t file = 0;
    bool operator==(const FileIdentity&) const = default;
};

std::optional<FileIdentity> fileIdentity(const fs::path& path) {
    if (path.empty()) {
        return std::nullopt;
    }
#ifdef _WIN32
    const HANDLE handle =
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION information;
    const bool read = GetFileInformationByHandle(handle, &information) != 0;
    CloseHandle(handle);
    if (!read) {
        return std::nullopt;
    }
    return FileIdentity{information.dwVolumeSerialNumber, std::uint64_t(information.nFileIndexHigh)
                                                                  << 32 |
                                                              information.nFileIndexLow};
#else
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return FileIdentity{std::uint64_t(status.st_dev), std::uint64_t(status.st_ino)};
#endif
}

// Checks that need no writing: no name, or a folder in the target's place.
std::optional<std::string> refusedTarget(const fs::path& target) {
    std::error_code ignored;
    if (target.empty()) {
        return "没有指定文件名";
    }
    if (fs::is_directory(target, ignored)) {
        return "已有同名的文件夹";
    }
    return std::nullopt;
}

// A device or pipe (/dev/stdout, a FIFO) can't be replaced by renaming a file over it, and
// needn't be: it is written in place, after every regular file is safely on disk.
bool isStream(const fs::path& target) {
    std::error_code ignored;
    const fs::file_status status = fs::status(target, ignored);
    return fs::exists(status) && !fs::is_regular_file(status) && !fs::is_directory(status);
}

// An open file written through the system's calls, closed when it goes out of scope.
class OpenFile {
public:
    OpenFile() = default;
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    ~OpenFile() { close(); }

    // Creates a new file (fails if it exists), or opens an existing device or pipe.
    bool open(const fs::path& path, bool createNew) {
#ifdef _WIN32
        handle_ =
            CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                        createNew ? CREATE_NEW : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        error_ = handle_ == INVALID_HANDLE_VALUE ? int(GetLastError()) : 0;
        existed_ = error_ == ERROR_FILE_EXISTS;
        return handle_ != INVALID_HANDLE_VALUE;
#else
        const int flags = createNew ? O_WRONLY | O_CREAT | O_EXCL : O_WRONLY;
        fd_ = ::open(path.c_str(), flags | O_CLOEXEC, 0666); // the umask applies, as for any file
        error_ = fd_ < 0 ? errno : 0;
        existed_ = error_ == EEXIST;
        return fd_ >= 0;
#endif
    }

    // Writes every byte; false with the error kept when the system refuses.
    bool write(std::string_view bytes) {
        while (!bytes.empty()) {
#ifdef _WIN32
            DWORD written = 0;
            const DWORD chunk = DWORD(std::min<std::size_t>(bytes.size(), 1u << 30));
            if (!WriteFile(handle_, bytes.data(), chunk, &written, nullptr)) {
                error_ = GetLastError() == ERROR_DISK_FULL ? ENOSPC : EIO;
                return false;
            }
#else
            const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written <= 0) {
                error_ = written < 0 ? errno : EIO;
                return false;
            }
#endif
            bytes.remove_prefix(std::size_t(written));
        }
        return true;
    }

    // Brings the bytes to the disk before the file may take an old file's place.
    bool sync() {
#ifdef _WIN32
        if (!FlushFileBuffers(handle_)) {
            error_ = EIO;
            return false;
        }
#elif defined(__APPLE__)
        if (::fsync(fd_) != 0) {
            error_ = errno;
            return false;
        }
#else
        if (::fdatasync(fd_) != 0 && errno != EINVAL) { // EINVAL: a file system without syncing
            error_ = errno;
            return false;
        }
#endif
        return true;
    }

    // The mode of the file it replaces, so replacing keeps who may read it.
    void copyModeOf([[maybe_unused]] const fs::path& target) {
#ifndef _WIN32
        struct stat status {};
        if (::stat(target.c_str(), &status) == 0) {
            ::fchmod(fd_, status.st_mode & 07777);
        }
#endif
    }

    bool close() {
#ifdef _WIN32
        const bool closed = handle_ == INVALID_HANDLE_VALUE || CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
#else
        const bool closed = fd_ < 0 || ::close(fd_) == 0;
        if (!closed) {
            error_ = errno;
        }
        fd_ = -1;
#endif
        return closed;
    }

    int error() const {
        return error_;
    }
    // Whether open() failed because a file of that name is already there.
    bool existed() const {
        return existed_;
    }

private:
#ifdef _WIN32
    HANDLE handle_ = INVALID_HANDLE_VALUE;
#else
    int fd_ = -1;
#endif
    int error_ = 0;
    bool existed_ = false;
};

std::string openDetail(int error) {
#ifdef _WIN32
    return windowsErrorText(unsigned(error));
#else
    return systemDetail(error);
#endif
}

// A name beside the target that no other file has yet; several threads and programs may be
// writing into the same folder.
fs::path temporaryName(const fs::path& target, int attempt) {
    static std::atomic<unsigned> counter{0};
#ifdef _WIN32
    const unsigned process = unsigned(GetCurrentProcessId());
#else
    const unsigned process = unsigned(::getpid());
#endif
    fs::path name = target;
    name += fs::path("." + std::to_string(process) + "-" + std::to_string(counter++) + "-" +
                     std::to_string(attempt) + ".ravik-tmp");
    return name;
}

// Where an output is written: through a symbolic link to the file it points at, as an editor
// saving the file would, so the link stays a link.
fs::path resolvedTarget(const fs::path& path) {
    std::error_code error;
    if (fs::is_symlink(path, error)) {
        const fs::path target = fs::weakly_canonical(path, error);
        if (!error) {
            return target;
        }
    }
    return path;
}

// Gives the temporary file the target's place; false with the detail when it can't.
bool replaceTarget(const fs::path& temporary, const fs::path& target, std::string& detail) {
#ifdef _WIN32
    std::error_code ignored;
    const bool replaced =
        fs::exists(target, ignored)
            ? ReplaceFileW(target.c_str(), temporary.c_str(), nullptr,
                           REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0
            : MoveFileExW(temporary.c_str(), target.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!replaced) {
        detail = windowsErrorText(GetLastError());
    }
    return replaced;
#else
    if (std::rename(temporary.c_str(), target.c_str()) != 0) {
        detail = systemDetail(errno);
        return false;
    }
    return true;
#endif
}

// The temporary files written so far; those not yet in place are removed when it goes.
struct Pending {
    fs::path temporary;
    fs::path target;
    const FileOutput* output;
};
class PendingFiles {
public:
    PendingFiles() = default;
    PendingFiles(const PendingFiles&) = delete;
    PendingFiles& operator=(const PendingFiles&) = delete;
    ~PendingFiles() {
        std::error_code ignored;
        for (std::size_t i = committed_; i < files_.size(); ++i) {
            fs::remove(files_[i].temporary, ignored);
        }
    }
    void add(Pending pending) { files_.push_back(std::move(pending)); }
    // Renames every temporary into place; the failure, if any.
    std::optional<OutputFailure> commit() {
        for (; committed_ < files_.size(); ++committed_) {
            const Pending& file = files_[committed_];
            std::string detail;
            if (!replaceTarget(file.temporary, file.target, detail)) {
                return OutputFailure{file.output->path, withDetail("无法替换原文件", detail)};
            }
        }
        return std::nullopt;
    }

private:
    std::vector<Pending> files_;
    std::size_t committed_ = 0;
};

// Writes the output into a new temporary file beside its target and brings it to the disk.
std::optional<OutputFailure> writeTemporary(const FileOutput& output, PendingFiles& pending) {
    const fs::path target = resolvedTarget(output.path);
    OpenFile file;
    fs::path temporary;
    for (int attempt = 0;; ++attempt) {
        temporary = temporaryName(target, attempt);
        if (file.open(temporary, true)) {
            break;
        }
        if (!file.existed() || attempt == 100) {
            return OutputFailure{output.path, openFailureReason(target, openDetail(file.error()))};
        }
    }
    pending.add({temporary, target, &output});
    file.copyModeOf(target);
    // A file that replaces another is on the disk before it takes the old one's place, so a power
    // cut leaves the old file or the new one, never an empty one. A new file puts nothing at
    // risk and is left to the system to write out, as GLib's g_file_set_contents does.
    std::error_code ignored;
    const bool replacing = fs::exists(target, ignored);
    if (!file.write(output.data) || (replacing && !file.sync()) || !file.close()) {
        return OutputFailure{output.path,
                             writeFailureReason(file.error(), systemDetail(file.error()))};
    }
    return std::nullopt;
}

// Writes all of the output's bytes to the device or pipe in place.
std::optional<OutputFailure> writeStream(const FileOutput& output) {
    OpenFile device;
    if (!device.open(output.path, false)) {
        return OutputFailure{output.path,
                             openFailureReason(output.path, openDetail(device.error()))};
    }
    if (!device.write(output.data) || !device.close()) {
        return OutputFailure{output.path,
                             writeFailureReason(device.error(), systemDetail(device.error()))};
    }
    return std::nullopt;
}

} // namespace

std::optional<OutputFailure> writeFilesAtomically(const std::vector<FileOutput>& outputs) {
    for (const FileOutput& output : outputs) {
        if (auto refusal = refusedTarget(output.path)) {
            return OutputFailure{output.path, *refusal};
        }
    }
    // Every file is written and on disk before any takes its target's place.
    PendingFiles pending;
    std::vector<const FileOutput*> streams;
    for (const FileOutput& output : outputs) {
        if (isStream(output.path)) {
            streams.push_back(&output);
        } else if (auto failure = writeTemporary(output, pending)) {
            return failure;
        }
    }
    for (const FileOutput* stream : streams) {
        if (auto failure = writeStream(*stream)) {
            return failure;
        }
    }
    return pending.commit();
}

std::optional<std::string> writeFileAtomically(const fs::path& path, std::string_view data) {
    if (auto failure = writeFilesAtomically({{path, std::string(data)}})) {
        return failure->reason;
    }
    return std::nullopt;
}

std::optional<std::string> writeStandardOutput(std::string_view bytes) {
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() &&
        std::fflush(stdout) == 0) {
        return std::nullopt;
    }
    const int error = errno;
    std::clearerr(stdout);
    return writeFailureReason(error, {});
}

std::optional<fs::path> outputOverwritingInput(const std::vector<fs::path>& inputs,
                                               const std::vector<fs::path>& outputs) {
    std::vector<FileIdentity> read;
    for (const fs::path& input : inputs) {
        if (const auto identity = fileIdentity(input)) {
            read.push_back(*identity);
        }
    }
    for (const fs::path& output : outputs) {
        const auto identity = fileIdentity(output);
        if (identity && std::find(read.begin(), read.end(), *identity) != read.end()) {
            return output;
        }
    }
    return std::nullopt;
}

std::optional<fs::path> outputNamedTwice(const std::vector<fs::path>& outputs) {
    std::vector<fs::path> places;
    std::vector<FileIdentity> files;
    for (const fs::path& output : outputs) {
        std::error_code error;
        // Where the name leads, links in the part that exists followed; files not there yet
        // compare by that place, existing ones by their identity as well.
        const fs::path place = fs::weakly_canonical(fs::absolute(output, error), error);
        const auto identity = fileIdentity(output);
        if ((!place.empty() && std::find(places.begin(), places.end(), place) != places.end()) ||
            (identity && std::find(files.begin(), files.end(), *identity) != files.end())) {
            return output;
        }
        places.push_back(place);
        if (identity) {
            files.push_back(*identity);
        }
    }
    return std::nullopt;
}

std::optional<std::string> makeFolder(const fs::path& path) {
    std::error_code error;
    if (fs::is_directory(path, error)) {
        return std::nullopt;
    }
    if (fs::exists(path, error)) {
        return "已有同名的文件，不是文件夹";
    }
    // The nearest part of the path that exists must be a folder for anything to go under it.
    fs::path existing = fs::absolute(path, error).lexically_normal();
    while (!fs::exists(existing, error) && existing.has_relative_path()) {
        existing = existing.parent_path();
    }
    if (fs::exists(existing, error) && !fs::is_directory(existing, error)) {
        return fillIn("路径中的“%1”不是文件夹", {displayPath(existing.filename())});
    }
    fs::create_directories(path, error);
    if (!error) {
        return std::nullopt;
    }
    return folderFailureReason(error);
}

} // namespace ravik
