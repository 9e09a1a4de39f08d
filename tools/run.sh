#!/usr/bin/env bash
# Installs what is missing, builds, and starts Ravik LCD; arguments go to the program.
set -euo pipefail
RAVIK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
RAVIK_CMAKE_ARGS=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DRAVIK_SANITIZE=OFF
                  -DCMAKE_COMPILE_WARNING_AS_ERROR=OFF)
source "$RAVIK_ROOT/tools/setup.sh"

ravik_install_missing
ravik_build ravik-lcd

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "$(uname -s)" = Linux ]; then
    echo "没有可用的图形显示（DISPLAY 与 WAYLAND_DISPLAY 均未设置），无法打开窗口。" >&2
    echo "No graphical display (neither DISPLAY nor WAYLAND_DISPLAY is set), so the window can't open." >&2
    exit 1
fi
exec "$RAVIK_ROOT/build/ravik-lcd" "$@"
