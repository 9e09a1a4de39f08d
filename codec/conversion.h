#pragma once

// Turning a picture into a frame, or into a packed picture of any other size. By default the
// picture is placed into the 98 × 67 box from its top-left corner at its own size, blended over
// the background where it is transparent or smaller than the box; the box's colours are then
// packed, each channel keeping its high nibble. As options, the whole picture can be scaled into
// the box (area-averaged) and the channels dithered to the panel's sixteen levels. The window, the
// command line, the fuzzer and the tests all convert through here, so the same picture and options
// give the same bytes everywhere.

#include "codec/frame_buffer.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace ravik {

// The colour behind a smaller or transparent picture, whatever the desktop's theme.
inline constexpr ColorValue kDefaultBackground = RGB(0xF0, 0xF0, 0xF0);

// A picture's pixels as 8-bit red, green, blue and alpha bytes (straight, not premultiplied
// alpha), row after row. Deeper samples are brought to 8 bits by keeping their top bits.
struct RgbaView {
    const std::uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t bytesPerLine = 0;

    const std::uint8_t* pixel(int x, int y) const {
        return data + y * bytesPerLine + std::ptrdiff_t{4} * x;
    }
};

// The size of the box a picture is brought into: the frame's unless asked otherwise.
struct BoxSize {
    int width = kFrameWidth;
    int height = kFrameHeight;

    std::size_t pixelCount() const { return std::size_t(width) * std::size_t(height); }
    bool operator==(const BoxSize&) const = default;
};
inline constexpr BoxSize kFrameBox{};

// The largest side a box may have; a box of any size up to it is converted the same way.
inline constexpr int kMaxBoxSide = 1024;

constexpr bool isValidBoxSize(BoxSize size) {
    return size.width >= 1 && size.width <= kMaxBoxSide && size.height >= 1 &&
           size.height <= kMaxBoxSide;
}

// The 98 × 67 colours of the frame, row by row.
using FramePixels = std::array<ColorValue, kPixelCount>;

// What the box shows, and which of its pixels show some of the picture (true) and which only the
// background: those outside the placed picture or under wholly transparent pixels. Dithering
// leaves the background at its own nibbles, so the flat colour the user chose stays flat.
struct BoxPixels {
    BoxSize size;
    std::vector<ColorValue> shown; // size.width × size.height, row by row
    std::vector<bool> picture;     // the same pixels
};

// How a picture is brought into the box.
enum class Fit {
    Original, // the top-left corner at its own size
    Contain,  // the whole picture, aspect kept, centred; the rest is background
    Cover,    // fills the box, aspect kept, centred crop
    Stretch,  // the whole picture stretched to the box
};

// How each channel's 8 bits become the panel's 4.
enum class Dither {
    None,           // the high nibble, truncated
    Ordered,        // 4 × 4 Bayer threshold against the levels n × 17
    FloydSteinberg, // serpentine error diffusion against the levels n × 17
};

struct ConversionOptions {
    ColorValue background = kDefaultBackground;
    Fit fit = Fit::Original;
    Dither dither = Dither::None;
    BoxSize size = kFrameBox; // the output's size

    bool operator==(const ConversionOptions&) const = default;
};

// One channel blended over the background, exact at 8 bits: the nearest whole value to
// (c·a + bg·(255 − a)) / 255. The numerator over 255 never lies halfway, so no tie arises.
constexpr int blendChannel(int channel, int alpha, int background) {
    return (channel * alpha + background * (255 - alpha) + 127) / 255;
}

// An integer rectangle: where a fit takes the picture from, or puts it in the box.
struct Area {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const Area&) const = default;
};

// Where a scaling fit takes its part of a width × height picture from, and where in the box that
// part goes (the box defaults to the frame). Contain and stretch take the whole picture; cover
// takes the centred crop with the box's aspect. Contain centres the scaled picture, rounding its
// size to whole pixels.
struct Placement {
    Area source;
    Area target;
};
Placement placeFit(Fit fit, int width, int height, BoxSize box = kFrameBox);

// Area-averages a part of an RGBA picture, blended over a background, into a target size: each
// target pixel is the mean of the source area it covers (partial pixels weighted by how much of
// them it covers), rounded to nearest. Rows come in one at a time, in any order, each once, so a
// decoder can feed it without the whole picture in memory. Exact integer arithmetic: the same
// input gives the same colours on every machine, whatever the order of the rows.
class AreaAverager {
public:
    AreaAverager(const Area& source, int targetWidth, int targetHeight, ColorValue background);

    // Row y of the picture (source.x + source.width pixels at least); rows outside the source
    // area are ignored.
    void addRow(int y, const std::uint8_t* rgba);
    // Row y wholly transparent, as addRow with every alpha 0 gives it, in time of the target's
    // width rather than the row's: rows a sparse picture never wrote.
    void addClearRow(int y);
    // The target's colours, row by row, once every source row has been added.
    std::vector<ColorValue> result() const;
    // For each target pixel, row by row, whether any source pixel it covers is not wholly
    // transparent.
    std::vector<bool> showsPicture() const;
    // Whether some pixel added was not wholly opaque, so the colours depend on the background.
    bool translucent() const { return translucent_; }

private:
    struct Span {
        int first;                // first source column or row, relative to the area
        std::vector<int> weights; // how much of each source pixel the target pixel covers
    };
    static std::vector<Span> spans(int sourceSize, int targetSize);
    // Adds rowSums_ and rowVisible_, the sums of source row `row`, to the target rows it lies in.
    void spreadRow(int row);

    Area source_;
    int targetWidth_;
    int targetHeight_;
    int background_[3];
    bool translucent_ = false;
    std::vector<Span> columns_;
    std::vector<std::uint32_t> columnWeights_; // each target column's weights, summed
    // For each source row, the target rows it lies in and with what weight.
    std::vector<std::vector<std::pair<int, int>>> rowTargets_;
    std::vector<std::uint32_t> rowSums_; // one source row's horizontal sums, per target column
    std::vector<std::uint64_t> totals_;  // weighted sums, per target pixel and channel
    std::vector<bool> rowVisible_;       // one source row: any alpha above 0, per target column
    std::vector<bool> visible_;          // any alpha above 0, per target pixel
};

// How a picture's stored rows are turned to show it upright: mirrored left to right, flipped
// top to bottom, then turned a quarter clockwise (what the EXIF and TIFF orientations ask).
struct Orientation {
    bool mirrored = false;
    bool flipped = false;
    bool turned = false;
};

// A picture brought into the box by a scaling fit: the averaged colours of the box area it
// fills, blended over `background`. Those of an opaque picture hold over any background.
struct ScaledPicture {
    BoxSize box;                    // the box it was scaled for
    Placement placement;            // in the picture as shown
    std::vector<ColorValue> colors; // placement.target's pixels, row by row
    std::vector<bool> visible;      // the same pixels: whether any of the picture shows there
    ColorValue background = kDefaultBackground;
    bool translucent = false; // some pixel was not wholly opaque
};

// Scales a picture for a fit while it is decoded: the decoder hands over its rows as stored
// (8-bit straight RGBA, any order, each once) and the scaler keeps only the box's sums, so no
// size needs a whole-picture buffer. Averaging in stored order and turning the small result
// upright gives exactly the colours of averaging the upright picture.
class FitScaler {
public:
    FitScaler(Fit fit, int storedWidth, int storedHeight, Orientation orientation,
              ColorValue background, BoxSize box = kFrameBox);

    // The stored rows and columns the fit takes; rows outside may be skipped.
    const Area& storedSource() const { return storedSource_; }
    // Stored row y, the whole stored width.
    void addRow(int y, const std::uint8_t* rgba) { averager_.addRow(y, rgba); }
    void addClearRow(int y) { averager_.addClearRow(y); }
    // The scaled picture, once every stored row of storedSource() has been added.
    ScaledPicture result() const;

private:
    BoxSize box_;
    Placement placement_;
    Orientation orientation_;
    ColorValue background_;
    Area storedSource_;
    AreaAverager averager_;
};

// What the box of options.size shows: the picture placed (or scaled, as options.fit says) and
// blended over the background. Throws std::invalid_argument for a size outside 1 to kMaxBoxSide.
BoxPixels composeBox(const RgbaView& picture, const ConversionOptions& options);

// The box a picture was scaled for, showing it, the rest of it `background`.
BoxPixels composeScaled(const ScaledPicture& picture, ColorValue background);

// The colours a dither leaves: every channel one of the panel's levels n × 17. Dither::None gives
// each channel its high nibble twice (n × 17 too), so packing gives the truncated nibble; so does
// every dither for the background, which neither takes nor hands on any error.
std::vector<ColorValue> dithered(const BoxPixels& box, Dither dither);

// The packed bytes for what a box shows, the picture quantised as `dither` says.
std::vector<std::uint8_t> packBox(const BoxPixels& box, Dither dither);

// Both steps at any size: the box's colours and the bytes packed from them.
struct PackedConversion {
    BoxSize size;
    std::vector<ColorValue> shown;
    std::vector<std::uint8_t> packed; // packedSize(size.width, size.height) bytes
};
PackedConversion convertPacked(const RgbaView& picture, const ConversionOptions& options);
// The same for a picture a fit has scaled already, into its own box; options.size must be that
// box (else std::invalid_argument) and options.background the one it was scaled over unless it
// is opaque.
PackedConversion convertPacked(const ScaledPicture& picture, const ConversionOptions& options);

// Which pixels of the box of options.size the picture draws: those whose alpha, placed as
// options.fit says (scaling fits average it over the area a box pixel covers, rounded), is at
// least kDrawnAlpha. The rest of the box is not drawn. Row by row, as packMask takes them.
std::vector<bool> drawnPixels(const RgbaView& picture, const ConversionOptions& options);

// The frame's conversion: the same at 98 × 67. Throws std::invalid_argument when options.size (or
// the scaled picture's box) is another size.
struct Conversion {
    FramePixels shown{};
    FrameBuffer frame;
};
Conversion convertPicture(const RgbaView& picture, const ConversionOptions& options);
Conversion convertPicture(const ScaledPicture& picture, const ConversionOptions& options);
// A conversion made at 98 × 67 as the frame's.
Conversion frameConversion(const PackedConversion& converted);

// A packed picture decoded as the preview draws it: each nibble n back as n × 16.
std::vector<ColorValue> previewPixels(std::span<const std::uint8_t> packed, BoxSize size);
FramePixels previewPixels(const FrameBuffer& frame);

// A packed picture at the panel's brightness: each nibble n as n × 17, so nibble 15 is full white.
std::vector<ColorValue> panelPixels(std::span<const std::uint8_t> packed, BoxSize size);
FramePixels panelPixels(const FrameBuffer& frame);

} // namespace ravik
