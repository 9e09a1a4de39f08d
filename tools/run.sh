#!/usr/bin/env bash
# Installs what is missing, builds into build-run/ (RelWithDebInfo, no sanitizers), and starts
# Ravik LCD; arguments go to the program.
set -euo pipefail
RAVIK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
RAVIK_BUILD_DIR=build-run
RAVIK_CMAKE_ARGS=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DRAVIK_SANITIZE=OFF
                  -DCMAKE_COMPILE_WARNING_AS_ERROR=OFF -DBUILD_TESTING=OFF)
source "$RAVIK_ROOT/tools/setup.sh"

ravik_install_missing
ravik_build ravik-lcd

# The program itself answers --help and --version and says so when there is no display.
exec "$RAVIK_ROOT/$RAVIK_BUILD_DIR/ravik-lcd" "$@"
