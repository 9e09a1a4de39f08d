#!/usr/bin/env bash
# Redraws the About picture and the program icons into ui/resources/, and the sample picture into
# samples/.
set -euo pipefail
RAVIK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
RAVIK_CMAKE_ARGS=()
source "$RAVIK_ROOT/tools/setup.sh"
ravik_install_missing
ravik_build draw_artwork
QT_QPA_PLATFORM=offscreen "$RAVIK_ROOT/build/tools/artwork/draw_artwork" "$RAVIK_ROOT/ui/resources" "$RAVIK_ROOT/samples"
