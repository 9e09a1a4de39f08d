#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UndefinedBehaviorSanitizer and warnings
# as errors into build/, and runs the whole test suite through CTest, headless.
set -euo pipefail
RAVIK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
RAVIK_BUILD_DIR=build
RAVIK_CMAKE_ARGS=(-DCMAKE_BUILD_TYPE=Debug -DRAVIK_SANITIZE=ON -DCMAKE_COMPILE_WARNING_AS_ERROR=ON)
source "$RAVIK_ROOT/tools/setup.sh"

ravik_install_missing
ravik_build

export QT_QPA_PLATFORM=offscreen
cd "$RAVIK_ROOT/$RAVIK_BUILD_DIR"
ctest --output-on-failure --timeout 300
