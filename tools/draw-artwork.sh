#!/usr/bin/env bash
# Redraws the About picture and the program icons into ui/resources/, and the sample picture into
# samples/.
set -euo pipefail
RAVIK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
RAVIK_BUILD_DIR=build-run
RAVIK_CMAKE_ARGS=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DRAVIK_SANITIZE=OFF
                  -DCMAKE_COMPILE_WARNING_AS_ERROR=OFF -DBUILD_TESTING=OFF)
source "$RAVIK_ROOT/tools/setup.sh"
ravik_install_missing
ravik_build draw_artwork
QT_QPA_PLATFORM=offscreen "$RAVIK_ROOT/$RAVIK_BUILD_DIR/tools/artwork/draw_artwork" "$RAVIK_ROOT/ui/resources" "$RAVIK_ROOT/samples"
