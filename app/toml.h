#pragma once

// toml++ as the manifest reader includes it. toml++ 3.3 checks its own parser state with asserts
// that some malformed text trips ("a = 82ii--k--e 8 f", "[[[1]]]"): in a build with asserts on
// they would end the program, so a failed check throws TomlCheckFailed instead, and the text is
// refused as a syntax error. Builds with NDEBUG compile the checks out, as toml++ always does.

#include <stdexcept>

namespace ravik {
struct TomlCheckFailed : std::runtime_error {
    using std::runtime_error::runtime_error;
};
} // namespace ravik

#if !defined(NDEBUG) && !defined(TOML_ASSERT)
#define TOML_ASSERT(expr) ((expr) ? static_cast<void>(0) : throw ::ravik::TomlCheckFailed(#expr))
#endif

#include <toml++/toml.h>
