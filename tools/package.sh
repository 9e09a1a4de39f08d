#!/usr/bin/env bash
# Builds Ravik LCD in Release into build-package/ and makes the Debian package
# ravik-lcd_VERSION_ARCH.deb there (cpack -G DEB; library dependencies from dpkg-shlibdeps).
set -euo pipefail
RAVIK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
RAVIK_BUILD_DIR=build-package
RAVIK_CMAKE_ARGS=(-DCMAKE_BUILD_TYPE=Release -DRAVIK_SANITIZE=OFF -DBUILD_TESTING=OFF
                  -DCMAKE_INSTALL_PREFIX=/usr)
source "$RAVIK_ROOT/tools/setup.sh"

ravik_install_missing dpkg-dev file
ravik_build
cd "$RAVIK_ROOT/$RAVIK_BUILD_DIR"
cpack -G DEB
ls "$RAVIK_ROOT/$RAVIK_BUILD_DIR"/ravik-lcd_*.deb
