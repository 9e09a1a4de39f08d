#include "input_file.h"

#include "export/text.h"

#include <fstream>

namespace ravik {

std::string byteSizeText(std::uintmax_t bytes) {
    constexpr std::uintmax_t kMiB = 1024 * 1024;
    constexpr std::uintmax_t kGiB = 1024 * kMiB;
    if (bytes >= kGiB && bytes % kGiB == 0) {
        return number(bytes / kGiB) + " GiB";
    }
    if (bytes >= kMiB && bytes % kMiB == 0) {
        return number(bytes / kMiB) + " MiB";
    }
    return number(bytes) + " 字节";
}

std::string inputFileProblem(const std::filesystem::path& path, std::uintmax_t maxBytes) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    const std::string shown = displayPath(path);
    if (!std::filesystem::exists(status)) {
        return fillIn("“%1”不存在", {shown});
    }
    if (std::filesystem::is_directory(status)) {
        return fillIn("“%1”是文件夹，不是文件", {shown});
    }
    if (!std::filesystem::is_regular_file(status)) {
        return fillIn("“%1”不是普通文件（而是管道、设备等），不能作为输入读取", {shown});
    }
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (!error && size > maxBytes) {
        return fillIn("“%1”有 %2 字节，超过了 %3 的上限",
                      {shown, number(size), byteSizeText(maxBytes)});
    }
    return {};
}

InputReading readInputFile(const std::filesystem::path& path, std::uintmax_t maxBytes) {
    InputReading reading;
    reading.failure = inputFileProblem(path, maxBytes);
    if (!reading.failure.empty()) {
        return reading;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        reading.failure = fillIn("无法打开“%1”（没有读取权限？）", {displayPath(path)});
        return reading;
    }
    // Never past the limit, should the file grow between the check and the read.
    char buffer[64 * 1024];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        if (std::uintmax_t(in.gcount()) > maxBytes - reading.bytes.size()) {
            reading.failure =
                fillIn("“%1”超过了 %2 的上限", {displayPath(path), byteSizeText(maxBytes)});
            return reading;
        }
        reading.bytes.append(buffer, std::size_t(in.gcount()));
    }
    if (in.bad()) {
        reading.failure = fillIn("无法读取“%1”", {displayPath(path)});
    }
    return reading;
}

} // namespace ravik
