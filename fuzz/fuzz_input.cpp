#include "fuzz_input.h"

#include "export/binary_file.h"
#include "export/c_array_text.h"

#include <QCoreApplication>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <cstdlib>

namespace ravik::fuzz {} // namespace ravik::fuzz

// Every target's set-up: the application started once, the allocations of Qt's image readers
// bounded so the fuzzer looks for faults rather than out-of-memory, and Qt's own messages dropped.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    QImageReader::setAllocationLimit(64);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return 0;
}

namespace ravik::fuzz {

QByteArray bytesOf(std::span<const std::uint8_t> input) {
    return QByteArray(reinterpret_cast<const char*>(input.data()), qsizetype(input.size()));
}

Selected splitSelector(std::span<const std::uint8_t> input) {
    if (input.empty()) {
        return {};
    }
    return {input.front(), bytesOf(input.subspan(1))};
}

ConversionOptions optionsFrom(std::uint8_t selector) {
    static constexpr std::array fits{Fit::Original, Fit::Contain, Fit::Cover, Fit::Stretch};
    static constexpr std::array dithers{Dither::None, Dither::Ordered, Dither::FloydSteinberg,
                                        Dither::None};
    const int shade = (selector >> 4) * 17;
    return {RGB(shade, 255 - shade, shade), fits[selector & 3], dithers[(selector >> 2) & 3]};
}

QByteArray formatHintFrom(std::uint8_t selector) {
    static const std::array<QByteArray, 8> hints{"png", "jpg", "gif",  "bmp",
                                                 "tga", "tif", "webp", "ico"};
    return hints[selector & 7];
}

QString scratchFile(const QByteArray& bytes, const QString& suffix) {
    static QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("input.") + suffix);
    QFile file(path);
    require(file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
            file.write(bytes) == bytes.size());
    return path;
}

void checkPicture(const LoadedPicture& loaded, const ConversionOptions& options) {
    if (!loaded.ok()) {
        require(loaded.isNull());
        return;
    }
    checkFrame(convertPicture(loaded, options).frame);
}

void checkFrame(const FrameBuffer& frame) {
    require(formatCArrayText(frame).size() == std::size_t(kCArrayTextLength));
    require(frameBytes(frame).size() == std::size_t(kFrameSize));
}

void require(bool holds) {
    if (!holds) {
        std::abort();
    }
}

std::uint8_t ByteSource::byte() {
    if (input_.empty()) {
        return 0;
    }
    const std::uint8_t value = input_.front();
    input_ = input_.subspan(1);
    return value;
}

std::uint16_t ByteSource::word() {
    const unsigned high = byte();
    return std::uint16_t(high << 8 | byte());
}

std::uint32_t ByteSource::quad() {
    const std::uint32_t high = word();
    return high << 16 | word();
}

std::int64_t ByteSource::inRange(std::int64_t low, std::int64_t high) {
    // As few bytes as the range needs, so that small values cost the input little.
    const auto span = std::uint64_t(high - low) + 1;
    const std::uint64_t drawn = span <= 0x100 ? byte() : span <= 0x10000 ? word() : quad();
    return low + std::int64_t(drawn % span);
}

std::span<const std::uint8_t> ByteSource::bytes(std::size_t count) {
    const std::span<const std::uint8_t> taken = input_.first(std::min(count, input_.size()));
    input_ = input_.subspan(taken.size());
    return taken;
}

std::span<const std::uint8_t> ByteSource::rest() {
    return bytes(input_.size());
}

} // namespace ravik::fuzz
