#pragma once

// The one set of byte readers every format uses: a view of a file's bytes whose little- and
// big-endian reads are bounds-checked, so a header cut short reads as zeros instead of past the
// end (callers that must tell the two apart ask has() first).

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace ravik {

class Bytes {
public:
    Bytes() = default;
    Bytes(const void* data, std::size_t size)
        : data_(static_cast<const std::uint8_t*>(data)), size_(size) {}

    const std::uint8_t* data() const { return data_; }
    const char* chars() const { return reinterpret_cast<const char*>(data_); }
    std::size_t size() const { return size_; }
    bool isEmpty() const { return size_ == 0; }

    // Whether `count` bytes from `at` lie within the data.
    bool has(std::size_t at, std::size_t count) const { return at <= size_ && count <= size_ - at; }

    std::uint8_t u8(std::size_t at) const { return at < size_ ? data_[at] : 0; }
    std::uint32_t le16(std::size_t at) const {
        return has(at, 2) ? std::uint32_t(data_[at]) | std::uint32_t(data_[at + 1]) << 8 : 0;
    }
    std::uint32_t le32(std::size_t at) const {
        return has(at, 4) ? le16(at) | le16(at + 2) << 16 : 0;
    }
    std::uint32_t be16(std::size_t at) const {
        return has(at, 2) ? std::uint32_t(data_[at]) << 8 | std::uint32_t(data_[at + 1]) : 0;
    }
    std::uint32_t be32(std::size_t at) const {
        return has(at, 4) ? be16(at) << 16 | be16(at + 2) : 0;
    }

    // `count` bytes from `at`, cut to what there is.
    Bytes sliced(std::size_t at, std::size_t count = std::size_t(-1)) const {
        if (at > size_) {
            return {};
        }
        return {data_ + at, count < size_ - at ? count : size_ - at};
    }
    Bytes first(std::size_t count) const { return sliced(0, count); }

    bool startsWith(std::string_view prefix) const {
        return prefix.size() <= size_ && std::memcmp(data_, prefix.data(), prefix.size()) == 0;
    }
    bool endsWith(std::string_view suffix) const {
        return suffix.size() <= size_ &&
               std::memcmp(data_ + size_ - suffix.size(), suffix.data(), suffix.size()) == 0;
    }
    bool equals(std::size_t at, std::string_view text) const {
        return has(at, text.size()) && std::memcmp(data_ + at, text.data(), text.size()) == 0;
    }
    // Where `needle` first (find) or last (findLast) starts at or after `from`; npos for nowhere.
    std::size_t find(std::string_view needle, std::size_t from = 0) const {
        return view().find(needle, from);
    }
    std::size_t findLast(std::string_view needle) const { return view().rfind(needle); }

    static constexpr std::size_t npos = std::string_view::npos;

private:
    std::string_view view() const { return {chars(), size_}; }

    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

} // namespace ravik
