#pragma once

// What can go wrong in making a glyph set, and the Chinese sentence that says so: one place for
// every fault of the fonts library.

#include <stdexcept>
#include <string>
#include <vector>

namespace ravik::fonts {

enum class FontFault {
    FontNotFound,       // no such font file, or fontconfig knows no such family
    NotAFont,           // FreeType can't read the file as a font
    FaceOutOfRange,     // --face past the faces of a collection
    SizeUnavailable,    // the size can't be set (a bitmap font without that size)
    UnsupportedGlyph,   // a glyph image other than grey or 1-bit (colour emoji)
    MissingCharacters,  // the font lacks characters of the set
    BadCharacterSet,    // a set that names nothing valid (a bad range, no characters)
    CharacterFileError, // a file of characters that can't be read
    InvalidUtf8,        // text or a file of characters that is not UTF-8
};

// The fault in a sentence; `detail` is what it concerns (a path, a name, a list of characters).
std::string faultMessage(FontFault fault, const std::string& detail);

// Thrown by the fonts library; what() is faultMessage's sentence.
class FontError : public std::runtime_error {
public:
    FontError(FontFault fault, const std::string& detail, std::vector<char32_t> characters = {})
        : std::runtime_error(faultMessage(fault, detail)), fault_(fault), detail_(detail),
          characters_(std::move(characters)) {}

    FontFault fault() const { return fault_; }
    const std::string& detail() const { return detail_; }
    // Every character the fault concerns (each one a font lacks), where the sentence may list
    // only the first few.
    const std::vector<char32_t>& characters() const { return characters_; }

private:
    FontFault fault_;
    std::string detail_;
    std::vector<char32_t> characters_;
};

} // namespace ravik::fonts
