#include "conversion.h"

#include <algorithm>
#include <cstdlib>
#include <numeric>
#include <stdexcept>

namespace ravik {
namespace {

// The nearest whole number to numerator / denominator, for positive values.
constexpr int roundedRatio(std::int64_t numerator, std::int64_t denominator) {
    return static_cast<int>((2 * numerator + denominator) / (2 * denominator));
}

constexpr int kLevelStep = 255 / 15; // the panel shows nibble n as n × 17

// The 4 × 4 Bayer matrix: thresholds spread evenly so a flat area mixes two levels in the right
// proportion, the same way every time.
constexpr int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

int channelOf(ColorValue color, int channel) {
    return static_cast<int>(color >> (8 * channel) & 0xFF);
}

ColorValue fromChannels(const int (&c)[3]) {
    return RGB(c[0], c[1], c[2]);
}

// The colour the panel shows for a channel's high nibble: n × 17.
ColorValue truncated(ColorValue color) {
    int c[3];
    for (int i = 0; i < 3; ++i) {
        c[i] = (channelOf(color, i) >> 4) * kLevelStep;
    }
    return fromChannels(c);
}

void truncate(std::vector<ColorValue>& pixels) {
    for (ColorValue& color : pixels) {
        color = truncated(color);
    }
}

std::size_t indexOf(int x, int y, int width) {
    return std::size_t(y) * std::size_t(width) + std::size_t(x);
}

void requireValid(BoxSize size) {
    if (!isValidBoxSize(size)) {
        throw std::invalid_argument("box size outside 1 to 1024 pixels a side");
    }
}

// Level n where v / 17 plus the pixel's threshold (b + 1/2) / 16 reaches n: in whole numbers,
// (32 v + 17 (2 b + 1)) / (32 × 17). A value already on a level stays on it.
void orderedDither(std::vector<ColorValue>& pixels, const std::vector<bool>& picture,
                   BoxSize size) {
    for (int y = 0; y < size.height; ++y) {
        for (int x = 0; x < size.width; ++x) {
            ColorValue& color = pixels[indexOf(x, y, size.width)];
            if (!picture[indexOf(x, y, size.width)]) {
                color = truncated(color);
                continue;
            }
            const int threshold = 2 * kBayer[y % 4][x % 4] + 1;
            int c[3];
            for (int i = 0; i < 3; ++i) {
                const int level =
                    (32 * channelOf(color, i) + kLevelStep * threshold) / (32 * kLevelStep);
                c[i] = std::min(level, 15) * kLevelStep;
            }
            color = fromChannels(c);
        }
    }
}

// Where Floyd–Steinberg hands a pixel's error, in sixteenths: ahead, behind below, below and ahead
// below, "ahead" being the way the row runs.
struct Share {
    int ahead;
    int down;
    int weight;
};
constexpr Share kShares[] = {{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}};

// Floyd–Steinberg, serpentine (each row runs the other way), in sixteenths of a brightness step
// so no error is lost to rounding: what a pixel doesn't show is handed on to its neighbours in
// full, 7/16 ahead, 3/16 behind below, 5/16 below and the rest ahead below. Past the box's edge
// the error goes nowhere. Background pixels keep their nibbles and take no error, so a picture
// pixel beside them shares its error among its other neighbours in the same proportions, and
// the picture keeps its brightness up to its edge.
void errorDiffusion(std::vector<ColorValue>& pixels, const std::vector<bool>& picture,
                    BoxSize size) {
    const int width = size.width;
    // Errors of this row and the next, per pixel and channel, with a spare column either side.
    std::vector<int> current(std::size_t(width + 2) * 3, 0);
    std::vector<int> next(current.size(), 0);
    const auto at = [](std::vector<int>& row, int x, int channel) -> int& {
        return row[std::size_t(x + 1) * 3 + std::size_t(channel)];
    };
    // The mask as bytes: it is read four times a pixel, faster than through vector<bool>.
    const std::vector<std::uint8_t> shows(picture.begin(), picture.end());
    const auto isBackground = [&shows, size](int x, int y) {
        return x >= 0 && x < size.width && y < size.height && !shows[indexOf(x, y, size.width)];
    };
    for (int y = 0; y < size.height; ++y) {
        const bool forward = y % 2 == 0;
        const int step = forward ? 1 : -1;
        for (int i = 0; i < width; ++i) {
            const int x = forward ? i : width - 1 - i;
            ColorValue& color = pixels[indexOf(x, y, size.width)];
            if (isBackground(x, y)) {
                color = truncated(color);
                continue;
            }
            int weights[std::size(kShares)];
            int total = 0;
            std::size_t last = 0; // the share that takes what rounding leaves over
            for (std::size_t k = 0; k < std::size(kShares); ++k) {
                const Share& share = kShares[k];
                weights[k] =
                    isBackground(x + share.ahead * step, y + share.down) ? 0 : share.weight;
                total += weights[k];
                last = weights[k] > 0 ? k : last;
            }
            int c[3];
            for (int channel = 0; channel < 3; ++channel) {
                const int wanted = 16 * channelOf(color, channel) + at(current, x, channel);
                const int level = std::clamp((wanted + 8 * kLevelStep) / (16 * kLevelStep), 0, 15);
                const int error = wanted - 16 * kLevelStep * level;
                int handed = 0;
                for (std::size_t k = 0; k < std::size(kShares) && total > 0; ++k) {
                    if (weights[k] == 0) {
                        continue;
                    }
                    const int part = k == last ? error - handed : error * weights[k] / total;
                    std::vector<int>& row = kShares[k].down == 0 ? current : next;
                    at(row, x + kShares[k].ahead * step, channel) += part;
                    handed += part;
                }
                c[channel] = level * kLevelStep;
            }
            color = fromChannels(c);
        }
        current.swap(next);
        std::fill(next.begin(), next.end(), 0);
    }
}

} // namespace

Placement placeFit(Fit fit, int width, int height, BoxSize boxSize) {
    const Area whole{0, 0, width, height};
    const int boxWidth = boxSize.width;
    const int boxHeight = boxSize.height;
    const Area box{0, 0, boxWidth, boxHeight};
    if (width <= 0 || height <= 0 || boxWidth <= 0 || boxHeight <= 0) {
        return {{}, {}};
    }
    // Whether the picture is wider than the box, comparing width / height with the box's.
    const bool wider = std::int64_t{width} * boxHeight > std::int64_t{height} * boxWidth;
    switch (fit) {
    case Fit::Original: {
        const Area corner{0, 0, std::min(width, boxWidth), std::min(height, boxHeight)};
        return {corner, corner};
    }
    case Fit::Stretch:
        return {whole, box};
    case Fit::Contain: {
        Area target = box;
        if (wider) {
            target.height = std::max(1, roundedRatio(std::int64_t{height} * boxWidth, width));
        } else {
            target.width = std::max(1, roundedRatio(std::int64_t{width} * boxHeight, height));
        }
        target.x = (boxWidth - target.width) / 2;
        target.y = (boxHeight - target.height) / 2;
        return {whole, target};
    }
    case Fit::Cover: {
        Area source = whole;
        if (wider) {
            source.width =
                std::clamp(roundedRatio(std::int64_t{height} * boxWidth, boxHeight), 1, width);
        } else {
            source.height =
                std::clamp(roundedRatio(std::int64_t{width} * boxHeight, boxWidth), 1, height);
        }
        source.x = (width - source.width) / 2;
        source.y = (height - source.height) / 2;
        return {source, box};
    }
    }
    return {whole, box};
}

// Target pixel t covers [t·S, (t + 1)·S) and source pixel i covers [i·T, (i + 1)·T), both in units
// of 1 / (S·T) of the whole; a weight is the length of their overlap, so a target's weights add
// up to S.
std::vector<AreaAverager::Span> AreaAverager::spans(int sourceSize, int targetSize) {
    std::vector<Span> result(std::size_t(std::max(targetSize, 0)));
    const std::int64_t s = sourceSize;
    const std::int64_t t = targetSize;
    for (std::int64_t target = 0; target < t; ++target) {
        const std::int64_t start = target * s;
        const std::int64_t end = start + s;
        Span& span = result[std::size_t(target)];
        span.first = static_cast<int>(start / t);
        for (std::int64_t i = span.first; i * t < end; ++i) {
            span.weights.push_back(
                static_cast<int>(std::min(end, (i + 1) * t) - std::max(start, i * t)));
        }
    }
    return result;
}

AreaAverager::AreaAverager(const Area& source, int targetWidth, int targetHeight,
                           ColorValue background)
    : source_(source), targetWidth_(std::max(targetWidth, 0)),
      targetHeight_(std::max(targetHeight, 0)), background_{redOf(background), greenOf(background),
                                                            blueOf(background)},
      columns_(spans(source.width, targetWidth_)),
      rowTargets_(std::size_t(std::max(source.height, 0))), rowSums_(std::size_t(targetWidth_) * 3),
      totals_(std::size_t(targetWidth_) * std::size_t(targetHeight_) * 3),
      rowVisible_(std::size_t(targetWidth_)),
      visible_(std::size_t(targetWidth_) * std::size_t(targetHeight_)) {
    for (const Span& column : columns_) {
        columnWeights_.push_back(std::uint32_t(
            std::accumulate(column.weights.begin(), column.weights.end(), std::int64_t{0})));
    }
    const std::vector<Span> rows = spans(source.height, targetHeight_);
    for (int target = 0; target < targetHeight_; ++target) {
        const Span& span = rows[std::size_t(target)];
        for (std::size_t k = 0; k < span.weights.size(); ++k) {
            rowTargets_[std::size_t(span.first) + k].emplace_back(target, span.weights[k]);
        }
    }
}

void AreaAverager::addRow(int y, const std::uint8_t* rgba) {
    const int row = y - source_.y;
    if (row < 0 || row >= source_.height || rgba == nullptr) {
        return;
    }
    const std::uint8_t* start = rgba + std::ptrdiff_t{4} * source_.x;
    std::uint32_t* sums = rowSums_.data();
    for (std::size_t target = 0; target < columns_.size(); ++target) {
        const Span& column = columns_[target];
        std::uint32_t red = 0;
        std::uint32_t green = 0;
        std::uint32_t blue = 0;
        int alphas = 0;
        const std::uint8_t* p = start + std::ptrdiff_t{4} * column.first;
        for (const int weight : column.weights) {
            const auto w = static_cast<std::uint32_t>(weight);
            const int alpha = p[3];
            alphas |= alpha;
            if (alpha == 255) {
                red += w * p[0];
                green += w * p[1];
                blue += w * p[2];
            } else {
                translucent_ = true;
                red += w * std::uint32_t(blendChannel(p[0], alpha, background_[0]));
                green += w * std::uint32_t(blendChannel(p[1], alpha, background_[1]));
                blue += w * std::uint32_t(blendChannel(p[2], alpha, background_[2]));
            }
            p += 4;
        }
        *sums++ = red;
        *sums++ = green;
        *sums++ = blue;
        rowVisible_[target] = alphas != 0;
    }
    spreadRow(row);
}

void AreaAverager::addClearRow(int y) {
    const int row = y - source_.y;
    if (row < 0 || row >= source_.height) {
        return;
    }
    // A wholly transparent pixel blends to the background exactly.
    translucent_ = translucent_ || !columns_.empty();
    std::uint32_t* sums = rowSums_.data();
    for (const std::uint32_t weight : columnWeights_) {
        for (const int channel : background_) {
            *sums++ = weight * std::uint32_t(channel);
        }
    }
    std::fill(rowVisible_.begin(), rowVisible_.end(), false);
    spreadRow(row);
}

void AreaAverager::spreadRow(int row) {
    for (const auto& [target, weight] : rowTargets_[std::size_t(row)]) {
        std::uint64_t* out = totals_.data() + std::size_t(target) * std::size_t(targetWidth_) * 3;
        for (std::size_t i = 0; i < rowSums_.size(); ++i) {
            out[i] += std::uint64_t{rowSums_[i]} * std::uint64_t(weight);
        }
        const std::size_t first = std::size_t(target) * std::size_t(targetWidth_);
        for (std::size_t i = 0; i < rowVisible_.size(); ++i) {
            if (rowVisible_[i]) {
                visible_[first + i] = true;
            }
        }
    }
}

std::vector<bool> AreaAverager::showsPicture() const {
    return visible_;
}

std::vector<ColorValue> AreaAverager::result() const {
    const auto whole = static_cast<std::uint64_t>(source_.width) *
                       static_cast<std::uint64_t>(std::max(source_.height, 0));
    std::vector<ColorValue> colors(totals_.size() / 3);
    for (std::size_t i = 0; i < colors.size(); ++i) {
        int c[3];
        for (int channel = 0; channel < 3; ++channel) {
            c[channel] =
                whole == 0
                    ? 0
                    : static_cast<int>((totals_[3 * i + std::size_t(channel)] + whole / 2) / whole);
        }
        colors[i] = fromChannels(c);
    }
    return colors;
}

namespace {

// Where pixel (x, y) of a picture shown upright lies in its stored width × height.
void toStored(const Orientation& o, int width, int height, int x, int y, int* storedX,
              int* storedY) {
    *storedX = o.turned ? y : x;
    *storedY = o.turned ? height - 1 - x : y;
    if (o.mirrored) {
        *storedX = width - 1 - *storedX;
    }
    if (o.flipped) {
        *storedY = height - 1 - *storedY;
    }
}

// The stored area that shows as `shown`.
Area storedArea(const Orientation& o, int width, int height, const Area& shown) {
    if (shown.width <= 0 || shown.height <= 0) {
        return {};
    }
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    toStored(o, width, height, shown.x, shown.y, &x0, &y0);
    toStored(o, width, height, shown.x + shown.width - 1, shown.y + shown.height - 1, &x1, &y1);
    return {std::min(x0, x1), std::min(y0, y1), std::abs(x1 - x0) + 1, std::abs(y1 - y0) + 1};
}

} // namespace

FitScaler::FitScaler(Fit fit, int storedWidth, int storedHeight, Orientation orientation,
                     ColorValue background, BoxSize box)
    : box_(box), placement_(orientation.turned ? placeFit(fit, storedHeight, storedWidth, box)
                                               : placeFit(fit, storedWidth, storedHeight, box)),
      orientation_(orientation), background_(background & 0xFFFFFF),
      storedSource_(storedArea(orientation, storedWidth, storedHeight, placement_.source)),
      averager_(
          storedSource_, orientation.turned ? placement_.target.height : placement_.target.width,
          orientation.turned ? placement_.target.width : placement_.target.height, background) {}

ScaledPicture FitScaler::result() const {
    ScaledPicture picture{box_, placement_, {}, {}, background_, averager_.translucent()};
    const std::vector<ColorValue> stored = averager_.result();
    const std::vector<bool> storedVisible = averager_.showsPicture();
    const Area& target = placement_.target;
    const int storedWidth = orientation_.turned ? target.height : target.width;
    const int storedHeight = orientation_.turned ? target.width : target.height;
    picture.colors.resize(stored.size());
    picture.visible.resize(stored.size());
    for (int y = 0; y < target.height; ++y) {
        for (int x = 0; x < target.width; ++x) {
            int sx = 0, sy = 0;
            toStored(orientation_, storedWidth, storedHeight, x, y, &sx, &sy);
            const std::size_t to = std::size_t(y) * std::size_t(target.width) + std::size_t(x);
            const std::size_t from = std::size_t(sy) * std::size_t(storedWidth) + std::size_t(sx);
            picture.colors[to] = stored[from];
            picture.visible[to] = storedVisible[from];
        }
    }
    return picture;
}

namespace {

BoxPixels emptyBox(BoxSize size, ColorValue background) {
    return {size, std::vector<ColorValue>(size.pixelCount(), background & 0xFFFFFF),
            std::vector<bool>(size.pixelCount(), false)};
}

// Decoded nibbles n × 16 brought to the panel's levels n × 17.
void toPanelLevels(std::span<ColorValue> pixels) {
    for (ColorValue& color : pixels) {
        color |= color >> 4 & 0x0F0F0F;
    }
}

} // namespace

BoxPixels composeScaled(const ScaledPicture& picture, ColorValue background) {
    requireValid(picture.box);
    BoxPixels box = emptyBox(picture.box, background);
    const Area& target = picture.placement.target;
    const std::size_t count = std::size_t(target.width) * std::size_t(target.height);
    const bool inside = target.x >= 0 && target.y >= 0 &&
                        target.x + target.width <= picture.box.width &&
                        target.y + target.height <= picture.box.height;
    if (!inside || picture.colors.size() != count || picture.visible.size() != count) {
        return box;
    }
    const int width = picture.box.width;
    for (int y = 0; y < target.height; ++y) {
        const std::size_t from = std::size_t(target.width) * std::size_t(y);
        std::copy_n(picture.colors.begin() + std::ptrdiff_t(from), target.width,
                    box.shown.begin() + std::ptrdiff_t(indexOf(target.x, target.y + y, width)));
        for (int x = 0; x < target.width; ++x) {
            box.picture[indexOf(target.x + x, target.y + y, width)] =
                picture.visible[from + std::size_t(x)];
        }
    }
    return box;
}

BoxPixels composeBox(const RgbaView& picture, const ConversionOptions& options) {
    requireValid(options.size);
    if (options.fit != Fit::Original && picture.data != nullptr && picture.width > 0 &&
        picture.height > 0) {
        FitScaler scaler(options.fit, picture.width, picture.height, {}, options.background,
                         options.size);
        const Area& source = scaler.storedSource();
        for (int y = source.y; y < source.y + source.height; ++y) {
            scaler.addRow(y, picture.pixel(0, y));
        }
        return composeScaled(scaler.result(), options.background);
    }
    BoxPixels box = emptyBox(options.size, options.background);
    const int width = std::min(picture.width, options.size.width);
    const int height = std::min(picture.height, options.size.height);
    if (picture.data == nullptr || width <= 0 || height <= 0) {
        return box;
    }
    const int bgRed = redOf(options.background);
    const int bgGreen = greenOf(options.background);
    const int bgBlue = blueOf(options.background);
    for (int y = 0; y < height; ++y) {
        const std::size_t row = indexOf(0, y, options.size.width);
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* p = picture.pixel(x, y);
            const int alpha = p[3];
            box.picture[row + std::size_t(x)] = alpha != 0;
            box.shown[row + std::size_t(x)] = alpha == 255 ? RGB(p[0], p[1], p[2])
                                                           : RGB(blendChannel(p[0], alpha, bgRed),
                                                                 blendChannel(p[1], alpha, bgGreen),
                                                                 blendChannel(p[2], alpha, bgBlue));
        }
    }
    return box;
}

std::vector<bool> drawnPixels(const RgbaView& picture, const ConversionOptions& options) {
    requireValid(options.size);
    std::vector<bool> drawn(options.size.pixelCount(), false);
    if (picture.data == nullptr || picture.width <= 0 || picture.height <= 0) {
        return drawn;
    }
    const Placement placement = placeFit(options.fit, picture.width, picture.height, options.size);
    const Area& source = placement.source;
    const Area& target = placement.target;
    // The alpha of each source pixel as an opaque grey, so the averager's mean colour is the
    // mean alpha.
    AreaAverager averager(source, target.width, target.height, 0);
    std::vector<std::uint8_t> row(std::size_t(picture.width) * 4, 255);
    for (int y = source.y; y < source.y + source.height; ++y) {
        for (int x = source.x; x < source.x + source.width; ++x) {
            const std::uint8_t alpha = picture.pixel(x, y)[3];
            std::fill_n(row.begin() + std::ptrdiff_t{4} * x, 3, alpha);
        }
        averager.addRow(y, row.data());
    }
    const std::vector<ColorValue> alphas = averager.result();
    for (int y = 0; y < target.height; ++y) {
        for (int x = 0; x < target.width; ++x) {
            const ColorValue alpha =
                alphas[std::size_t(y) * std::size_t(target.width) + std::size_t(x)];
            drawn[indexOf(target.x + x, target.y + y, options.size.width)] =
                redOf(alpha) >= kDrawnAlpha;
        }
    }
    return drawn;
}

std::vector<ColorValue> dithered(const BoxPixels& box, Dither dither) {
    std::vector<ColorValue> levels = box.shown;
    switch (dither) {
    case Dither::None:
        truncate(levels);
        break;
    case Dither::Ordered:
        orderedDither(levels, box.picture, box.size);
        break;
    case Dither::FloydSteinberg:
        errorDiffusion(levels, box.picture, box.size);
        break;
    }
    return levels;
}

std::vector<std::uint8_t> packBox(const BoxPixels& box, Dither dither) {
    // Without dithering the packing's own truncation is the quantiser.
    return packPixels(dither == Dither::None ? box.shown : dithered(box, dither), box.size.width,
                      box.size.height);
}

PackedConversion convertPacked(const RgbaView& picture, const ConversionOptions& options) {
    BoxPixels box = composeBox(picture, options);
    std::vector<std::uint8_t> packed = packBox(box, options.dither);
    return {box.size, std::move(box.shown), std::move(packed)};
}

PackedConversion convertPacked(const ScaledPicture& picture, const ConversionOptions& options) {
    if (options.size != picture.box) {
        throw std::invalid_argument("the picture was scaled for another box size");
    }
    BoxPixels box = composeScaled(picture, options.background);
    std::vector<std::uint8_t> packed = packBox(box, options.dither);
    return {box.size, std::move(box.shown), std::move(packed)};
}

Conversion frameConversion(const PackedConversion& converted) {
    if (converted.size != kFrameBox) {
        throw std::invalid_argument("a frame is converted at 98 × 67 only");
    }
    Conversion conversion{{},
                          FrameBuffer(std::span<const std::uint8_t, kFrameSize>(
                              converted.packed.data(), kFrameSize))};
    std::copy(converted.shown.begin(), converted.shown.end(), conversion.shown.begin());
    return conversion;
}

Conversion convertPicture(const RgbaView& picture, const ConversionOptions& options) {
    return frameConversion(convertPacked(picture, options));
}

Conversion convertPicture(const ScaledPicture& picture, const ConversionOptions& options) {
    return frameConversion(convertPacked(picture, options));
}

std::vector<ColorValue> previewPixels(std::span<const std::uint8_t> packed, BoxSize size) {
    return decodePixels(packed, size.width, size.height);
}

std::vector<ColorValue> panelPixels(std::span<const std::uint8_t> packed, BoxSize size) {
    std::vector<ColorValue> pixels = previewPixels(packed, size);
    toPanelLevels(pixels);
    return pixels;
}

FramePixels previewPixels(const FrameBuffer& frame) {
    FramePixels pixels;
    decodePixels(frame, pixels);
    return pixels;
}

FramePixels panelPixels(const FrameBuffer& frame) {
    FramePixels pixels = previewPixels(frame);
    toPanelLevels(pixels);
    return pixels;
}

} // namespace ravik
