#pragma once

// What every fuzz target shares: the application its Qt readers need, and the reading of a
// selector byte that picks how the rest of the input is taken (fit, dither, suffix). A target's
// seeds carry that byte first; tools/make-fuzz-seeds.sh writes it.

#include "codec/conversion.h"
#include "platform/picture_loader.h"

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <span>

namespace ravik::fuzz {

// The input as bytes, and split into its first byte and the rest.
QByteArray bytesOf(std::span<const std::uint8_t> input);
struct Selected {
    std::uint8_t selector = 0;
    QByteArray rest;
};
Selected splitSelector(std::span<const std::uint8_t> input);

// Low two bits: the fit (original, contain, cover, stretch); next two: the dither (none,
// ordered, Floyd–Steinberg, and none again); the background comes from the top four.
ConversionOptions optionsFrom(std::uint8_t selector);

// The suffixes our picture readers know a format by (png, jpg, gif, bmp, tga, tif, webp, ico):
// the selector's low three bits pick one.
QByteArray formatHintFrom(std::uint8_t selector);

// Writes bytes to a scratch file with the given suffix (one per process, rewritten on each call)
// for the entry points that read a path.
QString scratchFile(const QByteArray& bytes, const QString& suffix);

// Checks what a picture entry point gave: a failure says why and gives no picture; a picture
// converts, with options, into a frame whose C text and .bin bytes have their fixed sizes.
void checkPicture(const LoadedPicture& loaded, const ConversionOptions& options);

// Checks a frame's exports for their fixed sizes.
void checkFrame(const FrameBuffer& frame);

// Stops the run where a result breaks its own promise, so the fuzzer keeps the input.
void require(bool holds);

// The input taken a value at a time, for targets that build their arguments from it; past the
// end every value is 0 and every run of bytes empty, so any input gives whole arguments.
class ByteSource {
public:
    explicit ByteSource(std::span<const std::uint8_t> input) : input_(input) {}

    std::uint8_t byte();
    std::uint16_t word(); // two bytes, the first the high one
    std::uint32_t quad();
    // A value from `low` to `high`, both included (high − low below 2^32), from one, two or
    // four bytes as the range needs.
    std::int64_t inRange(std::int64_t low, std::int64_t high);
    // The next `count` bytes, fewer when the input ends first.
    std::span<const std::uint8_t> bytes(std::size_t count);
    // What is left.
    std::span<const std::uint8_t> rest();
    bool empty() const { return input_.empty(); }

private:
    std::span<const std::uint8_t> input_;
};

} // namespace ravik::fuzz
