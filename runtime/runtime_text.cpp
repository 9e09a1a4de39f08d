#include "runtime/runtime_text.h"

#include <algorithm>

namespace ravik {
namespace {

#include "runtime_texts.inc"

std::string_view textOf(std::string_view name) {
    const auto* file = std::ranges::find(kRuntimeFiles, name, &RuntimeFile::name);
    return file == std::end(kRuntimeFiles) ? std::string_view() : file->text;
}

} // namespace

std::span<const RuntimeFile> runtimeFiles() {
    return kRuntimeFiles;
}

std::string_view runtimeHeaderText() {
    return textOf("ravik_lcd.h");
}

std::string_view runtimeSourceText() {
    return textOf("ravik_lcd.c");
}

} // namespace ravik
