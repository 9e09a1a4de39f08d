#pragma once

// A picture file's bytes, mapped rather than read where the system allows, so only the parts a
// reader touches are brought into memory; or why the file can't be opened. With the entry points
// that read a file as pictures.h reads bytes.

#include "pictures/bytes.h"
#include "pictures/pictures.h"

#include <filesystem>
#include <string>
#include <vector>

namespace ravik {

class PictureFile {
public:
    explicit PictureFile(const std::filesystem::path& path);
    ~PictureFile();
    PictureFile(const PictureFile&) = delete;
    PictureFile& operator=(const PictureFile&) = delete;

    // Fault::none, or notFound, folder, noPermission, empty.
    const PictureFault& fault() const { return fault_; }
    Bytes bytes() const { return bytes_; }
    // The file's suffix in lower case ("png"), the hint for formats without a signature.
    const std::string& suffix() const { return suffix_; }

private:
    PictureFault fault_;
    Bytes bytes_;
    std::string suffix_;
    void* mapped_ = nullptr;
    std::size_t mappedSize_ = 0;
    std::vector<std::uint8_t> read_; // the bytes, where they could not be mapped
};

// The readers' entry points for a file: as readPicture, readForFit and readFrames, or the
// file's own fault.
DecodedPicture readPictureFile(const std::filesystem::path& path, const Size& corner = {},
                               std::int64_t limitBytes = kDefaultDecodeLimit);
DecodedPicture readPictureFileForFit(const std::filesystem::path& path,
                                     const ConversionOptions& options,
                                     std::int64_t limitBytes = kDefaultDecodeLimit);
// The frames of the file, counted without decoding them (countFrames); nothing when the file
// can't be read or its format can't tell cheaply.
std::optional<int> countPictureFileFrames(const std::filesystem::path& path);

DecodedFrames readPictureFileFrames(const std::filesystem::path& path,
                                    const ConversionOptions& options,
                                    std::int64_t limitBytes = kDefaultDecodeLimit);

} // namespace ravik
