#include "picture_file.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <system_error>

#if __has_include(<sys/mman.h>)
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#define RAVIK_MAP_FILES 1
#endif

namespace ravik {

PictureFile::PictureFile(const std::filesystem::path& path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status)) {
        fault_ = {Fault::notFound, {}};
        return;
    }
    if (std::filesystem::is_directory(status)) {
        fault_ = {Fault::folder, {}};
        return;
    }
    if (!std::filesystem::is_regular_file(status)) {
        fault_ = {Fault::notRegularFile, {}};
        return;
    }
    std::string suffix = path.extension().string();
    if (!suffix.empty()) {
        suffix.erase(0, 1);
    }
    std::transform(suffix.begin(), suffix.end(), suffix.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    suffix_ = suffix;
#ifdef RAVIK_MAP_FILES
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        fault_ = {Fault::noPermission, {}};
        return;
    }
    const off_t size = ::lseek(descriptor, 0, SEEK_END);
    if (size == 0) {
        ::close(descriptor);
        fault_ = {Fault::empty, {}};
        return;
    }
    if (size > 0) {
        void* mapped = ::mmap(nullptr, size_t(size), PROT_READ, MAP_PRIVATE, descriptor, 0);
        if (mapped != MAP_FAILED) {
            mapped_ = mapped;
            mappedSize_ = size_t(size);
            bytes_ = Bytes(mapped, mappedSize_);
            ::close(descriptor);
            return;
        }
    }
    ::close(descriptor);
#endif
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        fault_ = {Fault::noPermission, {}};
        return;
    }
    read_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        fault_ = {Fault::unreadable, {}};
        return;
    }
    if (read_.empty()) {
        fault_ = {Fault::empty, {}};
        return;
    }
    bytes_ = Bytes(read_.data(), read_.size());
}

PictureFile::~PictureFile() {
#ifdef RAVIK_MAP_FILES
    if (mapped_ != nullptr) {
        ::munmap(mapped_, mappedSize_);
    }
#endif
}

DecodedPicture readPictureFile(const std::filesystem::path& path, const Size& corner,
                               std::int64_t limitBytes) {
    const PictureFile file(path);
    if (file.fault().fault != Fault::none) {
        return {{}, std::nullopt, file.fault()};
    }
    return readPicture(file.bytes(), corner, file.suffix(), limitBytes);
}

DecodedPicture readPictureFileForFit(const std::filesystem::path& path,
                                     const ConversionOptions& options, std::int64_t limitBytes) {
    const PictureFile file(path);
    if (file.fault().fault != Fault::none) {
        return {{}, std::nullopt, file.fault()};
    }
    return readForFit(file.bytes(), options, file.suffix(), limitBytes);
}

std::optional<int> countPictureFileFrames(const std::filesystem::path& path) {
    const PictureFile file(path);
    if (file.fault().fault != Fault::none) {
        return std::nullopt;
    }
    return countFrames(file.bytes(), file.suffix());
}

DecodedFrames readPictureFileFrames(const std::filesystem::path& path,
                                    const ConversionOptions& options, std::int64_t limitBytes) {
    const PictureFile file(path);
    if (file.fault().fault != Fault::none) {
        return {{}, {}, file.fault(), std::nullopt};
    }
    return readFrames(file.bytes(), options, file.suffix(), limitBytes);
}

} // namespace ravik
