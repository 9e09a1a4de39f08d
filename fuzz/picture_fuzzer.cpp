// libFuzzer target: our whole path from picture bytes to frame, C text and .bin bytes.
// Built and run by tools/fuzz.sh.

#include "codec/frame_buffer.h"
#include "export/binary_file.h"
#include "export/c_array_text.h"
#include "platform/picture_conversion.h"
#include "platform/picture_loader.h"

#include <QCoreApplication>
#include <QImageReader>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // Image plugins are found through the application; keep decoders' allocations modest so
    // the fuzzer looks for bugs rather than out-of-memory.
    static QCoreApplication app(*argc, *argv);
    QImageReader::setAllocationLimit(64);
    // Decoders complain about every broken input; the fuzzer's own output is what matters.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const ravik::LoadedPicture loaded =
        ravik::decodePicture(bytes, {ravik::kFrameWidth, ravik::kFrameHeight});
    if (!loaded.ok()) {
        if (loaded.failure.isEmpty() || !loaded.picture.isNull()) {
            std::abort(); // a failure must say why and give no picture
        }
        return 0;
    }
    const ravik::FrameBuffer frame = ravik::convertPicture(loaded.picture, {}).frame;
    const std::string text = ravik::formatCArrayText(frame);
    const QByteArray bin = ravik::frameBytes(frame);
    if (text.size() != std::size_t(ravik::kCArrayTextLength) || bin.size() != ravik::kFrameSize) {
        std::abort();
    }
    return 0;
}
