#pragma once

// toml++ as the manifest reader includes it. toml++ 3.3 checks its parser's state with asserts
// that some malformed text trips ("a = 82ii--k--e 8 f", "[[[1]]]"); later versions refuse such
// text as a syntax error. The checks are compiled out here, as in every release build, so a build
// with asserts on refuses that text too instead of ending the program.

#ifndef NDEBUG
#define NDEBUG
#define RAVIK_TOML_ASSERTS_WERE_ON
#endif

#include <toml++/toml.h>

#ifdef RAVIK_TOML_ASSERTS_WERE_ON
#undef NDEBUG
#undef RAVIK_TOML_ASSERTS_WERE_ON
#include <cassert> // assert() as the rest of the file expects it
#endif
