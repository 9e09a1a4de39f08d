#include "fonts/glyph_set.h"

#include "codec/conversion.h"
#include "fonts/char_set.h"
#include "fonts/font_faults.h"

#include <algorithm>
#include <cctype>
#include <ft2build.h>
#include <memory>
#include <sys/stat.h>
#include FT_FREETYPE_H
#ifdef _WIN32
#include "fonts/windows_fonts.h"
#else
#include <fontconfig/fontconfig.h>
#endif

namespace ravik::fonts {

namespace {

// What marks a font argument as a path rather than a family name.
#ifdef _WIN32
constexpr const char* kPathSeparators = "/\\";
#else
constexpr const char* kPathSeparators = "/";
#endif

bool isFile(const std::string& path) {
#ifdef _WIN32
    return isWindowsFile(path);
#else
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
#endif
}

bool endsWithFontSuffix(const std::string& name) {
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const char* suffix : {".ttf", ".otf", ".ttc", ".otc", ".pfb", ".pcf", ".woff"}) {
        const std::string s(suffix);
        if (lower.size() > s.size() && lower.compare(lower.size() - s.size(), s.size(), s) == 0) {
            return true;
        }
    }
    return false;
}

#ifdef _WIN32
// Windows has no fontconfig: the fonts the registry lists answer instead, the default pattern
// standing for the Chinese sans serif Windows has.
FontFile matchFont(const std::string& /*pattern*/, const std::string& family) {
    return findWindowsFont(family);
}
#else
std::string lowered(const char* text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// fontconfig's best match for a pattern. With `family`, the match must carry that family name
// (fontconfig always answers with some font, often another one).
FontFile matchFont(const std::string& pattern, const std::string& family) {
    struct PatternDeleter {
        void operator()(FcPattern* p) const { FcPatternDestroy(p); }
    };
    using Pattern = std::unique_ptr<FcPattern, PatternDeleter>;
    // A configuration of our own, freed afterwards, so that the process's shared one (which Qt
    // uses too) is left as it is.
    struct ConfigDeleter {
        void operator()(FcConfig* c) const { FcConfigDestroy(c); }
    };
    const std::unique_ptr<FcConfig, ConfigDeleter> config(FcInitLoadConfigAndFonts());
    if (!config) {
        throw FontError(FontFault::FontNotFound, family.empty() ? pattern : family);
    }
    Pattern asked(family.empty() ? FcNameParse(reinterpret_cast<const FcChar8*>(pattern.c_str()))
                                 : FcPatternBuild(nullptr, FC_FAMILY, FcTypeString,
                                                  reinterpret_cast<const FcChar8*>(family.c_str()),
                                                  static_cast<char*>(nullptr)));
    const std::string what = family.empty() ? pattern : family;
    if (!asked) {
        throw FontError(FontFault::FontNotFound, what);
    }
    FcConfigSubstitute(config.get(), asked.get(), FcMatchPattern);
    FcDefaultSubstitute(asked.get());
    FcResult result = FcResultNoMatch;
    Pattern match(FcFontMatch(config.get(), asked.get(), &result));
    FcChar8* file = nullptr;
    if (!match || FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch) {
        throw FontError(FontFault::FontNotFound, what);
    }
    if (!family.empty()) {
        bool named = false;
        FcChar8* name = nullptr;
        for (int i = 0; FcPatternGetString(match.get(), FC_FAMILY, i, &name) == FcResultMatch;
             ++i) {
            named =
                named || lowered(reinterpret_cast<const char*>(name)) == lowered(family.c_str());
        }
        if (!named) {
            throw FontError(FontFault::FontNotFound, family);
        }
    }
    int index = 0;
    FcPatternGetInteger(match.get(), FC_INDEX, 0, &index);
    return FontFile{reinterpret_cast<const char*>(file), index};
}

#endif

struct Library {
    FT_Library handle = nullptr;
    Library() {
        if (FT_Init_FreeType(&handle) != 0) {
            throw FontError(FontFault::NotAFont, "FreeType 无法初始化");
        }
    }
    ~Library() { FT_Done_FreeType(handle); }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
};

struct Face {
    FT_Face handle = nullptr;
    std::vector<unsigned char> bytes; // the file, when FreeType reads it from memory
    ~Face() {
        if (handle != nullptr) {
            FT_Done_Face(handle);
        }
    }
};

// Opens face `index` of a font file. On Windows FreeType would open the file by a name in the ANSI
// code page, so the file is read through its UTF-8 name and the face opened from memory.
bool openFace(const Library& library, const std::string& path, FT_Long index, Face& face) {
#ifdef _WIN32
    if (face.bytes.empty() && !readWindowsFile(path, face.bytes)) {
        return false;
    }
    return FT_New_Memory_Face(library.handle, face.bytes.data(), FT_Long(face.bytes.size()), index,
                              &face.handle) == 0;
#else
    return FT_New_Face(library.handle, path.c_str(), index, &face.handle) == 0;
#endif
}

// 26.6 fixed point to the nearest whole pixel.
int roundedPixels(FT_Pos value) {
    return static_cast<int>((value + 32) >> 6);
}

FT_Int32 loadFlags(Hinting hinting) {
    switch (hinting) {
    case Hinting::Light:
        return FT_LOAD_TARGET_LIGHT;
    case Hinting::Full:
        return FT_LOAD_TARGET_NORMAL;
    case Hinting::None:
        return FT_LOAD_NO_HINTING;
    case Hinting::Auto:
        return FT_LOAD_FORCE_AUTOHINT | FT_LOAD_TARGET_MONO;
    }
    return FT_LOAD_TARGET_LIGHT;
}

// Loads glyph `index` of the face and draws it with 8-bit coverage into the face's slot. The
// auto-hinter's 1-bit fit is drawn anti-aliased, not in the 1-bit mode its target would choose.
bool loadRendered(FT_Face face, FT_UInt index, Hinting hinting) {
    if (hinting != Hinting::Auto) {
        return FT_Load_Glyph(face, index, FT_LOAD_RENDER | loadFlags(hinting)) == 0;
    }
    return FT_Load_Glyph(face, index, loadFlags(hinting)) == 0 &&
           FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) == 0;
}

// The slot's bitmap as 8-bit coverage, top row first, whatever the pitch's sign.
std::vector<std::uint8_t> coverageOf(const FT_Bitmap& bitmap, char32_t codepoint) {
    const int width = static_cast<int>(bitmap.width);
    const int height = static_cast<int>(bitmap.rows);
    std::vector<std::uint8_t> coverage(static_cast<std::size_t>(width) *
                                       static_cast<std::size_t>(height));
    const int pitch = bitmap.pitch;
    for (int y = 0; y < height; ++y) {
        const unsigned char* row =
            pitch >= 0 ? bitmap.buffer + static_cast<std::ptrdiff_t>(y) * pitch
                       : bitmap.buffer + static_cast<std::ptrdiff_t>(height - 1 - y) * -pitch;
        for (int x = 0; x < width; ++x) {
            std::uint8_t value;
            if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
                const int levels = bitmap.num_grays - 1;
                value = levels == 255 ? row[x]
                                      : static_cast<std::uint8_t>((row[x] * 255 + levels / 2) /
                                                                  std::max(levels, 1));
            } else if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
                value = (row[x / 8] >> (7 - x % 8) & 1) != 0 ? 255 : 0;
            } else {
                throw FontError(FontFault::UnsupportedGlyph, codePointName(codepoint));
            }
            coverage[static_cast<std::size_t>(y * width + x)] = value;
        }
    }
    return coverage;
}

std::vector<const RenderedGlyph*> byCodePoint(const RenderedFont& font) {
    std::vector<const RenderedGlyph*> sorted;
    sorted.reserve(font.glyphs.size());
    for (const RenderedGlyph& glyph : font.glyphs) {
        sorted.push_back(&glyph);
    }
    std::sort(sorted.begin(), sorted.end(), [](const RenderedGlyph* a, const RenderedGlyph* b) {
        return a->codepoint < b->codepoint;
    });
    return sorted;
}

// Opens the font's face at `pixelSize` pixels to the em into `face`. Throws FontError
// (FontNotFound, NotAFont, FaceOutOfRange, SizeUnavailable).
void openSized(const Library& library, const FontFile& font, int pixelSize, Face& face) {
    if (!isFile(font.path)) {
        throw FontError(FontFault::FontNotFound, font.path);
    }
    // Face -1 asks FreeType only how many faces the file holds.
    if (!openFace(library, font.path, -1, face)) {
        throw FontError(FontFault::NotAFont, font.path);
    }
    const FT_Long faces = face.handle->num_faces;
    FT_Done_Face(face.handle);
    face.handle = nullptr;
    if (font.face < 0 || font.face >= faces) {
        throw FontError(FontFault::FaceOutOfRange, font.path + " 的第 " +
                                                       std::to_string(font.face) + " 个（共 " +
                                                       std::to_string(faces) + " 个，从 0 数起）");
    }
    if (!openFace(library, font.path, font.face, face)) {
        throw FontError(FontFault::NotAFont, font.path);
    }
    if (pixelSize < 1 || FT_Set_Pixel_Sizes(face.handle, 0, static_cast<FT_UInt>(pixelSize)) != 0) {
        throw FontError(FontFault::SizeUnavailable, std::to_string(pixelSize) + " 像素");
    }
}

FontGlyph entryFor(const RenderedGlyph& glyph, std::size_t offset) {
    return FontGlyph{glyph.codepoint, static_cast<std::uint32_t>(offset),
                     glyph.width,     glyph.height,
                     glyph.left,      glyph.top,
                     glyph.advance};
}

// The rows and columns of a glyph's levels that hold ink; 0 × 0 when none does.
struct InkBox {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

InkBox inkBox(std::span<const std::uint8_t> levels, int width, int height) {
    int left = width, right = -1, top = height, bottom = -1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (levels[static_cast<std::size_t>(y * width + x)] != 0) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    if (right < 0) {
        return {};
    }
    return {left, top, right - left + 1, bottom - top + 1};
}

std::vector<std::uint8_t> croppedLevels(std::span<const std::uint8_t> levels, int width,
                                        const InkBox& ink) {
    std::vector<std::uint8_t> cropped;
    cropped.reserve(static_cast<std::size_t>(ink.width * ink.height));
    for (int y = ink.top; y < ink.top + ink.height; ++y) {
        const auto row = levels.begin() + static_cast<std::ptrdiff_t>(y * width + ink.left);
        cropped.insert(cropped.end(), row, row + ink.width);
    }
    return cropped;
}

} // namespace

FontFile findFont(const std::string& font, int face) {
    if (face < 0) {
        throw FontError(FontFault::FaceOutOfRange, std::to_string(face));
    }
    if (font.empty()) {
        FontFile found = matchFont(kDefaultFontPattern, {});
        found.face = face == 0 ? found.face : face;
        return found;
    }
    if (isFile(font)) {
        return FontFile{font, face};
    }
    if (endsWithFontSuffix(font) || font.find_first_of(kPathSeparators) != std::string::npos) {
        throw FontError(FontFault::FontNotFound, font);
    }
    FontFile found = matchFont({}, font);
    found.face = face == 0 ? found.face : face;
    return found;
}

std::vector<std::string> fontFamilies() {
#ifdef _WIN32
    return windowsFontFamilies();
#else
    std::vector<std::string> families;
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (config == nullptr) {
        return families;
    }
    FcPattern* pattern =
        FcPatternBuild(nullptr, FC_OUTLINE, FcTypeBool, FcTrue, static_cast<char*>(nullptr));
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, static_cast<char*>(nullptr));
    FcFontSet* fonts = FcFontList(config, pattern, objects);
    if (fonts != nullptr) {
        for (int i = 0; i < fonts->nfont; ++i) {
            FcChar8* family = nullptr;
            if (FcPatternGetString(fonts->fonts[i], FC_FAMILY, 0, &family) == FcResultMatch) {
                families.emplace_back(reinterpret_cast<const char*>(family));
            }
        }
        FcFontSetDestroy(fonts);
    }
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    FcConfigDestroy(config);
    std::sort(families.begin(), families.end());
    families.erase(std::unique(families.begin(), families.end()), families.end());
    return families;
#endif
}

RenderedFont renderGlyphs(const FontFile& font, std::span<const char32_t> codepoints, int pixelSize,
                          Hinting hinting) {
    return renderGlyphs(std::span<const FontFile>(&font, 1), codepoints, pixelSize, hinting);
}

RenderedFont renderGlyphs(std::span<const FontFile> fonts, std::span<const char32_t> codepoints,
                          int pixelSize, Hinting hinting) {
    Library library;
    std::vector<std::unique_ptr<Face>> faces;
    for (const FontFile& font : fonts) {
        faces.push_back(std::make_unique<Face>());
        openSized(library, font, pixelSize, *faces.back());
    }
    if (faces.empty()) {
        throw FontError(FontFault::FontNotFound, {});
    }

    // Each code point's font (its place in `fonts`) and glyph index: the first font that has it.
    std::vector<char32_t> missing;
    std::vector<std::pair<std::size_t, FT_UInt>> sources;
    sources.reserve(codepoints.size());
    for (char32_t c : codepoints) {
        std::pair<std::size_t, FT_UInt> source{0, 0};
        for (std::size_t n = 0; n < faces.size() && source.second == 0; ++n) {
            source = {n, FT_Get_Char_Index(faces[n]->handle, c)};
        }
        if (source.second == 0) {
            missing.push_back(c);
        }
        sources.push_back(source);
    }
    if (!missing.empty()) {
        throw FontError(FontFault::MissingCharacters,
                        characterList(missing) + (faces.size() > 1 ? "（后备字体中也没有）" : ""),
                        missing);
    }

    RenderedFont rendered;
    const FT_Size_Metrics& metrics = faces.front()->handle->size->metrics;
    rendered.lineHeight = roundedPixels(metrics.height);
    rendered.ascent = roundedPixels(metrics.ascender);
    rendered.glyphs.reserve(codepoints.size());
    for (std::size_t i = 0; i < codepoints.size(); ++i) {
        const auto [font, index] = sources[i];
        const FT_Face face = faces[font]->handle;
        if (!loadRendered(face, index, hinting)) {
            throw FontError(FontFault::NotAFont,
                            fonts[font].path + "（" + codePointName(codepoints[i]) + "）");
        }
        const FT_GlyphSlot slot = face->glyph;
        RenderedGlyph glyph;
        glyph.codepoint = codepoints[i];
        glyph.width = static_cast<int>(slot->bitmap.width);
        glyph.height = static_cast<int>(slot->bitmap.rows);
        glyph.left = slot->bitmap_left;
        glyph.top = slot->bitmap_top;
        glyph.advance = roundedPixels(slot->advance.x);
        glyph.coverage = coverageOf(slot->bitmap, codepoints[i]);
        rendered.glyphs.push_back(std::move(glyph));
    }
    return rendered;
}

PackedFont alphaFont(const RenderedFont& font, const CoverageOptions& options) {
    PackedFont packed;
    packed.alpha = true;
    packed.bpp = options.bpp;
    packed.lineHeight = font.lineHeight;
    packed.ascent = font.ascent;
    std::vector<std::uint8_t> levels;
    for (const RenderedGlyph* glyph : byCodePoint(font)) {
        FontGlyph entry = entryFor(*glyph, packed.bitmaps.size());
        levels.resize(glyph->coverage.size());
        std::ranges::transform(glyph->coverage, levels.begin(), [&](std::uint8_t coverage) {
            return coverageLevel(coverage, options.bpp);
        });
        const InkBox ink = inkBox(levels, glyph->width, glyph->height);
        entry.left += ink.left;
        entry.top -= ink.top;
        entry.width = ink.width;
        entry.height = ink.height;
        if (ink.width == 0) {
            entry.left = 0;
            entry.top = 0;
        }
        levels = croppedLevels(levels, glyph->width, ink);
        std::vector<std::uint8_t> bits;
        if (options.compression != GlyphCompression::None && ink.width <= kMaxCompressedWidth) {
            bits = compressLevels(levels, ink.width, ink.height, options.bpp);
            entry.compressed = true;
        }
        if (options.compression != GlyphCompression::Rle) {
            std::vector<std::uint8_t> plain = packLevels(levels, options.bpp);
            if (!entry.compressed || plain.size() <= bits.size()) {
                bits = std::move(plain);
                entry.compressed = false;
            }
        }
        packed.glyphs.push_back(entry);
        packed.bitmaps.insert(packed.bitmaps.end(), bits.begin(), bits.end());
    }
    return packed;
}

PackedFont colorFont(const RenderedFont& font, ColorValue color, ColorValue background) {
    PackedFont packed;
    packed.alpha = false;
    packed.lineHeight = font.lineHeight;
    packed.ascent = font.ascent;
    std::vector<ColorValue> pixels;
    for (const RenderedGlyph* glyph : byCodePoint(font)) {
        packed.glyphs.push_back(entryFor(*glyph, packed.bitmaps.size()));
        if (glyph->coverage.empty()) {
            continue;
        }
        pixels.clear();
        for (std::uint8_t a : glyph->coverage) {
            pixels.push_back(RGB(blendChannel(redOf(color), a, redOf(background)),
                                 blendChannel(greenOf(color), a, greenOf(background)),
                                 blendChannel(blueOf(color), a, blueOf(background))));
        }
        const std::vector<std::uint8_t> picture = packPixels(pixels, glyph->width, glyph->height);
        packed.bitmaps.insert(packed.bitmaps.end(), picture.begin(), picture.end());
    }
    return packed;
}

} // namespace ravik::fonts
