#include "fuzz_input.h"

#include "export/binary_file.h"
#include "export/c_array_text.h"

#include <QCoreApplication>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
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

} // namespace ravik::fuzz
