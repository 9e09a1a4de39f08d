// `convert`'s shaping options on small pictures: a picture made from the input (a TGA file, with
// alpha or without), then the crop, turn, flip, key colour, tiles, mask and output size the
// input picks, through convertInput as `convert` runs it. The result is compared with the pieces
// a model cuts and turns from the same pixels, converted alone: the shaping must give exactly
// those pixels, and refuse exactly the crops outside the picture and the tiles larger than it.

#include "app/convert_job.h"
#include "codec/packed_picture.h"
#include "fuzz_input.h"

#include <optional>
#include <utility>
#include <vector>

namespace {

using namespace ravik;
using fuzz::ByteSource;

// Straight 8-bit RGBA, row after row from the top.
struct ModelPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;

    std::uint8_t* pixel(int x, int y) { return &rgba[4 * (std::size_t(y) * width + x)]; }
    const std::uint8_t* pixel(int x, int y) const {
        return &rgba[4 * (std::size_t(y) * width + x)];
    }
};

ModelPicture blank(int width, int height) {
    return {width, height, std::vector<std::uint8_t>(4 * std::size_t(width) * height)};
}

// An uncompressed true-colour TGA (type 2), top row first, 32 bits with alpha or 24 without.
QByteArray tgaOf(const ModelPicture& picture, bool alpha) {
    QByteArray file(18, '\0');
    file[2] = 2;
    file[12] = char(picture.width & 0xFF);
    file[13] = char(picture.width >> 8);
    file[14] = char(picture.height & 0xFF);
    file[15] = char(picture.height >> 8);
    file[16] = char(alpha ? 32 : 24);
    file[17] = char(0x20 | (alpha ? 8 : 0)); // top-left origin, alpha bits
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const std::uint8_t* p = picture.pixel(x, y);
            file += char(p[2]); // blue, green, red, alpha
            file += char(p[1]);
            file += char(p[0]);
            if (alpha) {
                file += char(p[3]);
            }
        }
    }
    return file;
}

ModelPicture cropModel(const ModelPicture& picture, const Rect& area) {
    ModelPicture cut = blank(area.width, area.height);
    for (int y = 0; y < area.height; ++y) {
        for (int x = 0; x < area.width; ++x) {
            std::copy_n(picture.pixel(area.x + x, area.y + y), 4, cut.pixel(x, y));
        }
    }
    return cut;
}

// Turned clockwise by quarter turns, then mirrored.
ModelPicture turnModel(const ModelPicture& picture, Rotation rotation, Flip flip) {
    const int w = picture.width;
    const int h = picture.height;
    const bool sideways = rotation == Rotation::quarter || rotation == Rotation::threeQuarters;
    ModelPicture turned = blank(sideways ? h : w, sideways ? w : h);
    for (int y = 0; y < turned.height; ++y) {
        for (int x = 0; x < turned.width; ++x) {
            // The turned picture's (x, y) before the turn.
            std::pair<int, int> from{x, y};
            switch (rotation) {
            case Rotation::none:
                break;
            case Rotation::quarter:
                from = {y, h - 1 - x};
                break;
            case Rotation::half:
                from = {w - 1 - x, h - 1 - y};
                break;
            case Rotation::threeQuarters:
                from = {w - 1 - y, x};
                break;
            }
            std::copy_n(picture.pixel(from.first, from.second), 4, turned.pixel(x, y));
        }
    }
    ModelPicture flipped = turned;
    for (int y = 0; y < turned.height; ++y) {
        for (int x = 0; x < turned.width; ++x) {
            const int fx = flip == Flip::horizontal ? turned.width - 1 - x : x;
            const int fy = flip == Flip::vertical ? turned.height - 1 - y : y;
            std::copy_n(turned.pixel(fx, fy), 4, flipped.pixel(x, y));
        }
    }
    return flipped;
}

Picture pictureOf(const ModelPicture& model) {
    Picture picture(model.width, model.height);
    for (int y = 0; y < model.height; ++y) {
        std::copy_n(model.pixel(0, y), 4 * std::size_t(model.width), picture.row(y));
    }
    return picture;
}

Shaping shapingFrom(ByteSource& input, ConversionOptions& options) {
    Shaping shaping;
    const std::uint8_t how = input.byte();
    if (how & 1) {
        // Braces read left to right.
        shaping.crop = Rect{int(input.inRange(-2, 40)), int(input.inRange(-2, 40)),
                            int(input.inRange(-1, 40)), int(input.inRange(-1, 40))};
    }
    shaping.rotation = Rotation(how >> 1 & 3);
    shaping.flip = Flip((how >> 3 & 3) % 3);
    if (how & 0x20) {
        shaping.tiles = Size{int(input.inRange(1, 40)), int(input.inRange(1, 40))};
    }
    shaping.mask = how & 0x40;
    shaping.ownSize = how & 0x80;
    const std::uint8_t more = input.byte();
    if (more & 1) {
        // One read a statement: the order of a call's arguments is the compiler's.
        const int red = input.byte();
        const int green = input.byte();
        shaping.key = RGB(red, green, input.byte());
    }
    options = fuzz::optionsFrom(input.byte());
    options.size = more & 2 ? BoxSize{int(input.inRange(1, 120)), int(input.inRange(1, 90))}
                            : defaultOutputSize(shaping);
    return shaping;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteSource input({data, size});
    ConversionOptions options;
    const Shaping shaping = shapingFrom(input, options);
    // The key is for pictures without alpha of their own.
    const bool alpha = !shaping.key;
    const int width = int(input.inRange(1, 40));
    ModelPicture picture = blank(width, int(input.inRange(1, 40)));
    for (std::size_t i = 0; i < picture.rgba.size(); ++i) {
        picture.rgba[i] = alpha || i % 4 != 3 ? input.byte() : 255;
    }
    const QString file = fuzz::scratchFile(tgaOf(picture, alpha), QStringLiteral("tga"));
    const ConvertedInput converted = convertInput(file.toStdString(), options, false, shaping);

    // The model: cut, turned, keyed, tiled.
    std::optional<ModelPicture> shaped = picture;
    if (shaping.crop) {
        const Rect& area = *shaping.crop;
        shaped = liesInside(area, {picture.width, picture.height})
                     ? std::optional(cropModel(picture, area))
                     : std::nullopt;
    }
    std::vector<ModelPicture> pieces;
    if (shaped) {
        *shaped = turnModel(*shaped, shaping.rotation, shaping.flip);
        if (shaping.key) {
            for (int y = 0; y < shaped->height; ++y) {
                for (int x = 0; x < shaped->width; ++x) {
                    std::uint8_t* p = shaped->pixel(x, y);
                    if (RGB(p[0], p[1], p[2]) == *shaping.key) {
                        p[3] = 0;
                    }
                }
            }
        }
        if (!shaping.tiles) {
            pieces.push_back(*shaped);
        }
        for (int y = 0; shaping.tiles && y + shaping.tiles->height <= shaped->height;
             y += shaping.tiles->height) {
            for (int x = 0; x + shaping.tiles->width <= shaped->width; x += shaping.tiles->width) {
                pieces.push_back(
                    cropModel(*shaped, {x, y, shaping.tiles->width, shaping.tiles->height}));
            }
        }
    }
    fuzz::require(converted.failure.empty() == !pieces.empty());
    if (pieces.empty()) {
        return 0;
    }
    ConversionOptions sized = options;
    if (shaping.ownSize && !shaping.tiles) {
        sized.size = {shaped->width, shaped->height};
    }
    const PictureSet& set = converted.pictures;
    fuzz::require(set.size == sized.size && set.pictures.size() == pieces.size());
    fuzz::require(set.masks.size() == (shaping.mask ? pieces.size() : 0));
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const ModelPicture& piece = pieces[i];
        const RgbaView view{piece.rgba.data(), piece.width, piece.height,
                            std::ptrdiff_t{4} * piece.width};
        fuzz::require(set.pictures[i] == convertPacked(view, sized).packed);
        if (shaping.mask) {
            fuzz::require(set.masks[i] == pictureMask(pictureOf(piece), sized));
        }
    }
    return 0;
}
