#include "export/glyph_bitmaps.h"

#include "runtime/ravik_lcd.h"

#include <algorithm>
#include <array>
#include <limits>
#include <utility>

namespace ravik {
namespace {

// Bits written most significant first, the last byte filled with 0 bits.
class BitWriter {
public:
    void put(unsigned value, int bits) {
        for (int i = bits - 1; i >= 0; --i) {
            if (used_ % 8 == 0) {
                bytes_.push_back(0);
            }
            if ((value >> i) & 1u) {
                bytes_.back() = static_cast<std::uint8_t>(bytes_.back() | (0x80u >> (used_ % 8)));
            }
            ++used_;
        }
    }
    std::vector<std::uint8_t> take() { return std::move(bytes_); }
    std::size_t bits() const { return used_; }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t used_ = 0;
};

// The bits of a whole number m ≥ 2: its leading 1 and those after it.
int bitLength(unsigned m) {
    int length = 0;
    for (; m != 0; m >>= 1) {
        ++length;
    }
    return length;
}

// A count n ≥ 1 as m = n + 1 (at least 2) written in its L bits, leading 1 first, after L - 2
// 0 bits: 1 and 2 take 2 bits, 3 to 6 take 4, 7 to 14 take 6. Short counts, the most common
// ones, cost less than with a count starting at 1 bit and growing by 2 bits a doubling.
int countBits(int n) {
    return 2 * bitLength(static_cast<unsigned>(n) + 1u) - 2;
}

void putCount(BitWriter& out, int n) {
    const unsigned m = static_cast<unsigned>(n) + 1u;
    const int length = bitLength(m);
    out.put(0, length - 2);
    out.put(m, length);
}

// What a token costs the runtime to decode, in bits: the shortest form of a row is sought with
// each token weighing as much more, so that a few more bits buy fewer tokens.
constexpr int kTokenWeight = 0;

// The kinds of token in a row, numbered as the runtime numbers them.
enum class Token { Above, Blank, Full, Literal };
constexpr int kTokenKinds = 4;
// Where a row starts, in place of the kind of the token before.
constexpr int kRowStart = kTokenKinds;

// A token's prefix: bits, most significant first.
struct Prefix {
    unsigned bits;
    int length;
};

// A row's first token: as above 0, literals 10, none 110, full 111. After a token, one of the three
// other kinds: 1 the likeliest after it, 01 the next, 00 the last (RAVIK_LCD_NEXT_TOKENS, whose
// order the counts over anti-aliased CJK and Latin glyphs gave); two tokens of one kind in a row
// are never the shortest.
constexpr Prefix kFirstPrefixes[] = {{0, 1}, {6, 3}, {7, 3}, {2, 2}};
constexpr std::uint8_t kNextTokens[] = {RAVIK_LCD_NEXT_TOKENS};

// The prefix of a token of kind `token` after one of kind `before` (kRowStart: the row's first);
// no length when the code has none for it (the same kind again).
Prefix prefixOf(int before, int token) {
    if (before == kRowStart) {
        return kFirstPrefixes[token];
    }
    constexpr Prefix kRanks[] = {{1, 1}, {1, 2}, {0, 2}};
    for (int rank = 0; rank < 3; ++rank) {
        if (kNextTokens[before * 3 + rank] == token) {
            return kRanks[rank];
        }
    }
    return {0, 0};
}

struct Step {
    Token token = Token::Above;
    int length = 0;
};

// The shortest tokens for one row of levels over the row above it, found over every split, the
// fewest tokens among equally short ones. Returns the bits and the tokens.
std::pair<int, std::vector<Step>> shortestRow(std::span<const std::uint8_t> row,
                                              std::span<const std::uint8_t> above, int bpp) {
    const int width = static_cast<int>(row.size());
    const std::uint8_t full = static_cast<std::uint8_t>((1 << bpp) - 1);
    constexpr int kNone = std::numeric_limits<int>::max() / 4;
    using Cost = std::pair<int, int>; // bits, then tokens (fewer decode faster)
    // rest[i][before]: the cheapest tokens from pixel i to the row's end after a token of kind
    // `before`; run[i][kind]: the cheapest that start with a token of that kind at i (its
    // prefix left out, which depends on the token before).
    std::vector<std::array<Cost, kTokenKinds + 1>> rest(static_cast<std::size_t>(width) + 1);
    // restKind[i][before]: the kind of the first of those tokens.
    std::vector<std::array<int, kTokenKinds + 1>> restKind(static_cast<std::size_t>(width) + 1);
    std::vector<std::array<Cost, kTokenKinds>> run(static_cast<std::size_t>(width) + 1);
    std::vector<std::array<int, kTokenKinds>> runLength(static_cast<std::size_t>(width) + 1);
    for (auto& costs : rest) {
        costs.fill({kNone, 0});
    }
    rest[static_cast<std::size_t>(width)].fill({0, 0});
    const auto at = [](std::span<const std::uint8_t> levels, int i) {
        return levels[static_cast<std::size_t>(i)];
    };
    for (int i = width - 1; i >= 0; --i) {
        const auto index = static_cast<std::size_t>(i);
        for (int kind = 0; kind < kTokenKinds; ++kind) {
            Cost best{kNone, 0};
            int bestLength = 0;
            for (int n = 1; i + n <= width; ++n) {
                const std::uint8_t level = at(row, i + n - 1);
                const bool fits = kind == int(Token::Above)   ? level == at(above, i + n - 1)
                                  : kind == int(Token::Blank) ? level == 0
                                  : kind == int(Token::Full)  ? level == full
                                                              : true;
                if (!fits) {
                    break;
                }
                const Cost after = rest[index + static_cast<std::size_t>(n)][kind];
                const Cost total{countBits(n) + (kind == int(Token::Literal) ? n * bpp : 0) +
                                     kTokenWeight + after.first,
                                 1 + after.second};
                if (total < best) {
                    best = total;
                    bestLength = n;
                }
            }
            run[index][kind] = best;
            runLength[index][kind] = bestLength;
        }
        for (int before = 0; before <= kTokenKinds; ++before) {
            for (int kind = 0; kind < kTokenKinds; ++kind) {
                const Prefix prefix = prefixOf(before, kind);
                if (prefix.length == 0 || run[index][kind].first >= kNone) {
                    continue;
                }
                const Cost total{prefix.length + run[index][kind].first, run[index][kind].second};
                if (total < rest[index][before]) {
                    rest[index][before] = total;
                    restKind[index][before] = kind;
                }
            }
        }
    }
    // The tokens, walked forwards: at each pixel the kind chosen after the one before.
    std::vector<Step> steps;
    int before = kRowStart;
    for (int i = 0; i < width;) {
        const auto index = static_cast<std::size_t>(i);
        const int kind = restKind[index][before];
        steps.push_back({static_cast<Token>(kind), runLength[index][kind]});
        i += runLength[index][kind];
        before = kind;
    }
    return {rest[0][kRowStart].first, std::move(steps)};
}

// Binary arithmetic coding as the runtime decodes it: an interval of range + 1 sixteen-bit steps
// from low, split at (range >> 8) × odds steps, the lower part for a 0 bit; doubled, its top bit
// going out, while range is below 32768. A sum past 16 bits carries into the bits put out.
class BitCoder {
public:
    void code(unsigned bit, unsigned odds) {
        const unsigned split = (range_ >> 8) * odds;
        if (bit != 0) {
            low_ += split;
            range_ -= split;
        } else {
            range_ = split - 1;
        }
        carry();
        while (range_ < 0x8000) {
            bits_.push_back((low_ >> 15 & 1u) != 0);
            low_ = (low_ << 1) & 0xFFFF;
            range_ = range_ * 2 + 1;
        }
    }
    // A point of the last interval whose bits after its first are all 0: the runtime reads 0 bits
    // past the glyph's bytes, so only that first one goes out, and 0 bytes at the end are left
    // out.
    std::vector<std::uint8_t> finish() {
        low_ = (low_ + 0x7FFF) & ~0x7FFFu;
        carry();
        bits_.push_back((low_ >> 15 & 1u) != 0);
        BitWriter out;
        for (const bool bit : bits_) {
            out.put(bit ? 1 : 0, 1);
        }
        std::vector<std::uint8_t> bytes = out.take();
        while (!bytes.empty() && bytes.back() == 0) {
            bytes.pop_back();
        }
        return bytes;
    }

private:
    // A low past 16 bits adds 1 to the bits put out: their last 1s become 0s, the 0 before them 1
    // (the interval lies below 1, so there is one).
    void carry() {
        if (low_ <= 0xFFFF) {
            return;
        }
        low_ &= 0xFFFF;
        auto bit = bits_.end();
        while (*--bit) {
            *bit = false;
        }
        *bit = true;
    }
    std::vector<bool> bits_;
    unsigned low_ = 0;
    unsigned range_ = 0xFFFF;
};

constexpr std::uint8_t kBitOdds[] = {RAVIK_LCD_BIT_ODDS};
constexpr unsigned kSameRowContext = 32;
constexpr std::uint8_t kLevelOdds[] = {RAVIK_LCD_LEVEL_ODDS};
constexpr unsigned kSameRowOdds = 256;

// A glyph's rows, each first saying whether it is the row above (1, at `sameRowOdds`; above the
// first lies a blank row); `codePixels(coder, row, above)` codes the pixels of a new row.
template <typename CodePixels>
std::vector<std::uint8_t> codeRows(std::span<const std::uint8_t> levels, int width, int height,
                                   unsigned sameRowOdds, CodePixels codePixels) {
    BitCoder coder;
    std::vector<std::uint8_t> above(static_cast<std::size_t>(width), 0);
    for (int y = 0; y < height; ++y) {
        const auto row =
            levels.subspan(static_cast<std::size_t>(y) * width, static_cast<std::size_t>(width));
        const bool same = std::ranges::equal(row, above);
        coder.code(same ? 1 : 0, sameRowOdds);
        if (!same) {
            codePixels(coder, row, std::span<const std::uint8_t>(above));
            above.assign(row.begin(), row.end());
        }
    }
    return coder.finish();
}

// A 1-bit glyph coded pixel by pixel, each pixel of a new row in the context of its neighbours
// already known (above, left, above left, above right, two to the left).
std::vector<std::uint8_t> codeBits(std::span<const std::uint8_t> levels, int width, int height) {
    return codeRows(levels, width, height, kBitOdds[kSameRowContext],
                    [width](BitCoder& coder, std::span<const std::uint8_t> row,
                            std::span<const std::uint8_t> above) {
                        const auto at = [width](std::span<const std::uint8_t> line,
                                                int x) -> unsigned {
                            return x >= 0 && x < width ? line[static_cast<std::size_t>(x)] : 0u;
                        };
                        for (int x = 0; x < width; ++x) {
                            const unsigned context = at(above, x) | at(row, x - 1) << 1 |
                                                     at(above, x - 1) << 2 | at(above, x + 1) << 3 |
                                                     at(row, x - 2) << 4;
                            coder.code(at(row, x), kBitOdds[context]);
                        }
                    });
}

// A 2-bit glyph coded pixel by pixel as ravik_lcd.h says: each pixel of a new row is "the first
// level of its context's order or not", then "the second or not", then "the third or not (the
// fourth)", its context the levels above, to the left and above left, counted as an offset into
// the table: 4 above + 16 left + 64 above-left.
std::vector<std::uint8_t> codeLevels(std::span<const std::uint8_t> levels, int width, int height) {
    return codeRows(levels, width, height, kLevelOdds[kSameRowOdds],
                    [](BitCoder& coder, std::span<const std::uint8_t> row,
                       std::span<const std::uint8_t> above) {
                        for (std::size_t x = 0; x < row.size(); ++x) {
                            const unsigned context =
                                4u * above[x] +
                                (x > 0 ? 16u * row[x - 1] + 64u * above[x - 1] : 0u);
                            unsigned order = kLevelOdds[context + 3];
                            for (unsigned step = 0; step < 3; ++step, order <<= 2) {
                                const bool found = (order >> 6 & 3u) == row[x];
                                coder.code(found ? 0 : 1, kLevelOdds[context + step]);
                                if (found) {
                                    break;
                                }
                            }
                        }
                    });
}

} // namespace

std::vector<std::uint8_t> packLevels(std::span<const std::uint8_t> levels, int bpp) {
    BitWriter out;
    for (std::uint8_t level : levels) {
        out.put(level, bpp);
    }
    return out.take();
}

std::vector<std::uint8_t> compressLevels(std::span<const std::uint8_t> levels, int width,
                                         int height, int bpp) {
    if (bpp == 1) {
        return codeBits(levels, width, height);
    }
    if (bpp == 2) {
        return codeLevels(levels, width, height);
    }
    // Two streams: how each row is made, and the levels the rows take as they are.
    BitWriter control;
    BitWriter plain;
    // The row above; above the first, a blank row.
    std::vector<std::uint8_t> above(static_cast<std::size_t>(width), 0);
    for (int y = 0; y < height; ++y) {
        const auto row =
            levels.subspan(static_cast<std::size_t>(y) * width, static_cast<std::size_t>(width));
        if (std::ranges::equal(row, above)) {
            control.put(1, 1);
            continue;
        }
        const auto [bits, steps] = shortestRow(row, above, bpp);
        if (bits >= width * bpp) {
            // "01" and the levels as they are.
            control.put(1, 2);
            for (std::uint8_t level : row) {
                plain.put(level, bpp);
            }
        } else {
            control.put(0, 2);
            std::size_t at = 0;
            int before = kRowStart;
            for (const Step& step : steps) {
                const Prefix prefix = prefixOf(before, static_cast<int>(step.token));
                before = static_cast<int>(step.token);
                control.put(prefix.bits, prefix.length);
                putCount(control, step.length);
                if (step.token == Token::Literal) {
                    for (int n = 0; n < step.length; ++n) {
                        plain.put(row[at + static_cast<std::size_t>(n)], bpp);
                    }
                }
                at += static_cast<std::size_t>(step.length);
            }
        }
        above.assign(row.begin(), row.end());
    }
    // The levels first, read forwards; the control bits from the glyph's last bit backwards,
    // each byte's least significant bit first, sharing the byte where the two streams meet.
    const std::size_t levelBits = plain.bits();
    const std::size_t controlBits = control.bits();
    std::vector<std::uint8_t> bytes = plain.take();
    bytes.resize((levelBits + controlBits + 7) / 8, 0);
    const std::vector<std::uint8_t> rows = control.take();
    for (std::size_t i = 0; i < controlBits; ++i) {
        if (rows[i / 8] >> (7 - i % 8) & 1u) {
            bytes[bytes.size() - 1 - i / 8] |= static_cast<std::uint8_t>(1u << (i % 8));
        }
    }
    return bytes;
}

} // namespace ravik
