// Cropping, turning, flipping, cutting sheets into tiles, key colours and the transparency mask,
// on hand-built pictures: where each pixel must go is worked out here by index arithmetic, and
// the mask bytes by hand.

#include "pictures/transform.h"

#include <QTest>
#include <stdexcept>
#include <vector>

using namespace ravik;

namespace {

using Bytes = std::vector<std::uint8_t>;

// A pixel whose colour says where it was made: red x, green y, blue 7, opaque.
constexpr std::uint32_t kBlue = 7;

// A width × height picture, pixel (x, y) red x, green y, blue 7, alpha 255.
Picture marked(int width, int height) {
    Picture picture(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = picture.row(y) + 4 * x;
            p[0] = std::uint8_t(x);
            p[1] = std::uint8_t(y);
            p[2] = kBlue;
            p[3] = 255;
        }
    }
    return picture;
}

// Where pixel (x, y) of `picture` came from in the marked picture.
QPoint origin(const Picture& picture, int x, int y) {
    const std::uint8_t* p = picture.row(y) + 4 * x;
    return {p[0], p[1]};
}

// A picture from 0xRRGGBBAA values, row by row.
Picture fromColours(int width, int height, const std::vector<std::uint32_t>& colours) {
    Picture picture(width, height);
    for (int i = 0; i < width * height; ++i) {
        std::uint8_t* p = picture.row(i / width) + 4 * (i % width);
        for (int c = 0; c < 4; ++c) {
            p[c] = std::uint8_t(colours[std::size_t(i)] >> (24 - 8 * c));
        }
    }
    return picture;
}

Bytes hexBytes(const char* digits) {
    const QByteArray raw = QByteArray::fromHex(QByteArray(digits).replace(' ', ""));
    return {raw.begin(), raw.end()};
}

} // namespace

Q_DECLARE_METATYPE(Rect)
Q_DECLARE_METATYPE(Rotation)
Q_DECLARE_METATYPE(Flip)
Q_DECLARE_METATYPE(ConversionOptions)

class TransformTest : public QObject {
    Q_OBJECT
private slots:
    void liesInside_data() {
        QTest::addColumn<Rect>("area");
        QTest::addColumn<bool>("inside");
        // The picture is 10 × 6.
        QTest::newRow("whole picture") << Rect{0, 0, 10, 6} << true;
        QTest::newRow("bottom-right pixel") << Rect{9, 5, 1, 1} << true;
        QTest::newRow("one column too wide") << Rect{1, 0, 10, 6} << false;
        QTest::newRow("one row too low") << Rect{0, 1, 10, 6} << false;
        QTest::newRow("negative x") << Rect{-1, 0, 2, 2} << false;
        QTest::newRow("negative y") << Rect{0, -1, 2, 2} << false;
        QTest::newRow("empty width") << Rect{2, 2, 0, 2} << false;
        QTest::newRow("negative height") << Rect{2, 2, 2, -1} << false;
        QTest::newRow("x + width past int") << Rect{2147483000, 0, 2147483000, 1} << false;
    }
    void liesInside() {
        QFETCH(Rect, area);
        QFETCH(bool, inside);
        QCOMPARE(ravik::liesInside(area, {10, 6}), inside);
        if (!inside) {
            QVERIFY_THROWS_EXCEPTION(std::invalid_argument, crop(marked(10, 6), area));
        }
    }

    void cropTakesTheRectangle() {
        const Picture part = crop(marked(5, 4), {1, 2, 3, 2});
        QCOMPARE(part.size(), (Size{3, 2}));
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 3; ++x) {
                QCOMPARE(origin(part, x, y), QPoint(x + 1, y + 2));
            }
        }
    }

    // A 3 × 2 picture (not square, so width and height can't be mixed up) turned and flipped;
    // where each pixel comes from is worked out one quarter turn at a time: after a quarter turn
    // clockwise of a w × h picture, pixel (x, y) is the one that was at (y, h − 1 − x).
    void turnAndFlip_data() {
        QTest::addColumn<Rotation>("rotation");
        QTest::addColumn<Flip>("flip");
        QTest::addColumn<int>("quarters");
        const std::pair<const char*, Rotation> rotations[] = {{"0", Rotation::none},
                                                              {"90", Rotation::quarter},
                                                              {"180", Rotation::half},
                                                              {"270", Rotation::threeQuarters}};
        const std::pair<const char*, Flip> flips[] = {
            {"none", Flip::none}, {"horizontal", Flip::horizontal}, {"vertical", Flip::vertical}};
        int quarters = 0;
        for (const auto& [degrees, rotation] : rotations) {
            for (const auto& [flipName, flip] : flips) {
                QTest::addRow("rotate %s, flip %s", degrees, flipName)
                    << rotation << flip << quarters;
            }
            ++quarters;
        }
    }
    void turnAndFlip() {
        QFETCH(Rotation, rotation);
        QFETCH(Flip, flip);
        QFETCH(int, quarters);
        // sources[y × w + x]: the original pixel now at (x, y), turned a quarter at a time.
        int w = 3, h = 2;
        std::vector<QPoint> sources;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                sources.emplace_back(x, y);
            }
        }
        for (int q = 0; q < quarters; ++q) {
            std::vector<QPoint> next;
            for (int y = 0; y < w; ++y) {     // the turned picture is h wide and w high
                for (int x = 0; x < h; ++x) { // (x, y) was (y, h − 1 − x)
                    next.push_back(sources[std::size_t((h - 1 - x) * w + y)]);
                }
            }
            sources = next;
            std::swap(w, h);
        }
        const Picture result = turned(marked(3, 2), rotation, flip);
        QCOMPARE(result.size(), (Size{w, h}));
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const int fromX = flip == Flip::horizontal ? w - 1 - x : x;
                const int fromY = flip == Flip::vertical ? h - 1 - y : y;
                QCOMPARE(origin(result, x, y), sources[std::size_t(fromY * w + fromX)]);
            }
        }
    }

    // Turning keeps 16-bit samples whole.
    void turnKeepsDeepSamples() {
        Picture deep(2, 1, 16);
        for (int i = 0; i < 8; ++i) {
            deep.row16(0)[i] = std::uint16_t(0x1111 * (i + 1));
        }
        const Picture result = turned(deep, Rotation::quarter, Flip::none);
        QCOMPARE(result.size(), (Size{1, 2}));
        QCOMPARE(result.bitsPerChannel(), 16);
        QCOMPARE(result.row16(0)[0], std::uint16_t{0x1111});
        QCOMPARE(result.row16(1)[3], std::uint16_t{0x8888});
    }

    void tiles_data() {
        QTest::addColumn<int>("sheetWidth");
        QTest::addColumn<int>("sheetHeight");
        QTest::addColumn<int>("tileWidth");
        QTest::addColumn<int>("tileHeight");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("marginRight");
        QTest::addColumn<int>("marginBottom");
        QTest::newRow("exact 2 × 2 grid") << 4 << 4 << 2 << 2 << 2 << 2 << 0 << 0;
        QTest::newRow("margin right") << 5 << 3 << 2 << 1 << 2 << 3 << 1 << 0;
        QTest::newRow("margin right and bottom") << 7 << 8 << 3 << 3 << 2 << 2 << 1 << 2;
        QTest::newRow("single pixels") << 3 << 2 << 1 << 1 << 3 << 2 << 0 << 0;
        QTest::newRow("the tile is the sheet") << 6 << 5 << 6 << 5 << 1 << 1 << 0 << 0;
        QTest::newRow("tile taller than the sheet") << 10 << 3 << 4 << 4 << 0 << 0 << 10 << 3;
        QTest::newRow("640 × 400 sheet of 16 × 16") << 640 << 400 << 16 << 16 << 40 << 25 << 0 << 0;
    }
    void tiles() {
        QFETCH(int, sheetWidth);
        QFETCH(int, sheetHeight);
        QFETCH(int, tileWidth);
        QFETCH(int, tileHeight);
        QFETCH(int, columns);
        QFETCH(int, rows);
        QFETCH(int, marginRight);
        QFETCH(int, marginBottom);
        const TileGrid grid = tileGrid({sheetWidth, sheetHeight}, {tileWidth, tileHeight});
        QCOMPARE(grid.columns, columns);
        QCOMPARE(grid.rows, rows);
        QCOMPARE(grid.margin, (Size{marginRight, marginBottom}));
        if (sheetWidth > 255 || sheetHeight > 255) {
            return; // the marks hold 8 bits
        }
        const std::vector<Picture> cut =
            cutTiles(marked(sheetWidth, sheetHeight), {tileWidth, tileHeight});
        QCOMPARE(int(cut.size()), columns * rows);
        for (int i = 0; i < int(cut.size()); ++i) {
            // Left to right, then top to bottom.
            const int left = i % columns * tileWidth;
            const int top = i / columns * tileHeight;
            const Picture& tile = cut[std::size_t(i)];
            QCOMPARE(tile.size(), (Size{tileWidth, tileHeight}));
            QCOMPARE(origin(tile, 0, 0), QPoint(left, top));
            QCOMPARE(origin(tile, tileWidth - 1, tileHeight - 1),
                     QPoint(left + tileWidth - 1, top + tileHeight - 1));
        }
    }

    void emptyTileIsRefused() {
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, tileGrid({4, 4}, {0, 2}));
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, cutTiles(marked(4, 4), {2, -1}));
    }

    // Only pixels of exactly the key colour become transparent; near misses in any channel stay.
    void keyColour() {
        Picture picture =
            fromColours(5, 1, {0xFF00FFFF, 0xFE00FFFF, 0xFF01FFFF, 0xFF00FEFF, 0xFF00FF80});
        applyKey(picture, RGB(0xFF, 0x00, 0xFF));
        const std::uint8_t* row = picture.row(0);
        QCOMPARE(row[3], std::uint8_t{0});        // the key
        QCOMPARE(row[4 + 3], std::uint8_t{255});  // red one lower
        QCOMPARE(row[8 + 3], std::uint8_t{255});  // green one higher
        QCOMPARE(row[12 + 3], std::uint8_t{255}); // blue one lower
        QCOMPARE(row[16 + 3], std::uint8_t{0});   // the key, half transparent already
        // Converted, the keyed pixel shows the background; the others their own colour.
        const RgbaView view{picture.row(0), 5, 1, 20};
        const PackedConversion converted =
            convertPacked(view, {.background = RGB(0x10, 0x20, 0x30), .size = {2, 1}});
        QCOMPARE(converted.packed, hexBytes("12 3F 0F"));
    }

    void keyColourInDeepPictures() {
        Picture deep(2, 1, 16);
        const std::uint16_t samples[] = {0xFFC3, 0x0012, 0xFF00, 0xFFFF,
                                         0xFEFF, 0x00FF, 0xFFFF, 0xFFFF};
        std::copy(std::begin(samples), std::end(samples), deep.row16(0));
        applyKey(deep, RGB(0xFF, 0x00, 0xFF)); // compares the top eight bits
        QCOMPARE(deep.row16(0)[3], std::uint16_t{0});
        QCOMPARE(deep.row16(0)[7], std::uint16_t{0xFFFF});
    }

    // Mask bytes by hand: each row ⌈width / 8⌉ bytes, leftmost pixel in the top bit, drawn from
    // alpha 128 up, padding bits 0.
    void mask_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<std::vector<std::uint32_t>>("colours");
        QTest::addColumn<ConversionOptions>("options");
        QTest::addColumn<Bytes>("expected");
        QTest::newRow("1 × 1 opaque") << 1 << 1 << std::vector<std::uint32_t>{0x000000FF}
                                      << ConversionOptions{.size = {1, 1}} << hexBytes("80");
        QTest::newRow("1 × 1 alpha 127 is not drawn")
            << 1 << 1 << std::vector<std::uint32_t>{0xFFFFFF7F} << ConversionOptions{.size = {1, 1}}
            << hexBytes("00");
        // Alphas 255 0 128 127 255 255 0 1 | 200: bits 1010 1100 | 1000 0000.
        QTest::newRow("9 × 1: a second byte for the ninth pixel")
            << 9 << 1
            << std::vector<std::uint32_t>{0xFF, 0x00, 0x80, 0x7F, 0xFF, 0xFF, 0x00, 0x01, 0xC8}
            << ConversionOptions{.size = {9, 1}} << hexBytes("AC 80");
        // Rows padded: 3 × 2, alphas 255 0 255 / 0 255 0: 101 → A0, 010 → 40.
        QTest::newRow("3 × 2: each row padded to a byte")
            << 3 << 2 << std::vector<std::uint32_t>{0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00}
            << ConversionOptions{.size = {3, 2}} << hexBytes("A0 40");
        // The box beyond a smaller picture is not drawn: 2 × 1 opaque in 3 × 2.
        QTest::newRow("original: the box outside the picture is not drawn")
            << 2 << 1 << std::vector<std::uint32_t>{0xFF, 0xFF} << ConversionOptions{.size = {3, 2}}
            << hexBytes("C0 00");
        // Stretch 2 × 1 into 1 × 1: mean alpha (255 + 0) / 2 = 127.5 rounds to 128, drawn...
        QTest::newRow("stretch: mean alpha rounds up to 128")
            << 2 << 1 << std::vector<std::uint32_t>{0xFF, 0x00}
            << ConversionOptions{.fit = Fit::Stretch, .size = {1, 1}} << hexBytes("80");
        // ...(254 + 0) / 2 = 127 is not.
        QTest::newRow("stretch: mean alpha 127")
            << 2 << 1 << std::vector<std::uint32_t>{0xFE, 0x00}
            << ConversionOptions{.fit = Fit::Stretch, .size = {1, 1}} << hexBytes("00");
        // Contain 4 × 1 in 2 × 3: the middle row only, each pixel two source pixels.
        QTest::newRow("contain: centred row")
            << 4 << 1 << std::vector<std::uint32_t>{0xFF, 0xFF, 0x00, 0x40}
            << ConversionOptions{.fit = Fit::Contain, .size = {2, 3}} << hexBytes("00 80 00");
    }
    void mask() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(std::vector<std::uint32_t>, colours);
        QFETCH(ConversionOptions, options);
        QFETCH(Bytes, expected);
        const Picture picture = fromColours(width, height, colours);
        QCOMPARE(maskSize(options.size.width, options.size.height), expected.size());
        QCOMPARE(pictureMask(picture, options), expected);
    }
};

QTEST_APPLESS_MAIN(TransformTest)
#include "transform_test.moc"
