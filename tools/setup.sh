# Shared set-up for the tools: installs what is missing (Debian/Ubuntu), then configures and builds.
# Sourced, not run; expects RAVIK_ROOT, RAVIK_CMAKE_ARGS and RAVIK_BUILD_DIR (the build folder,
# each tool its own so that their settings don't rebuild each other's) to be set.

ravik_packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-image-formats-plugins qt6-qpa-plugins qt6-translations-l10n libgl-dev libpng-dev libtiff-dev
    libjpeg62-turbo-dev libwebp-dev libgif-dev
    imagemagick libjpeg-turbo-progs webp python3-pil libtiff-tools
    fonts-noto-cjk appstream bash-completion
)

ravik_install_missing() {
    local wanted=("${ravik_packages[@]}" "$@")
    local installed missing=()
    local package
    # One dpkg-query for all of them: this runs on every launch.
    installed=" $(dpkg-query -W -f='${db:Status-Abbrev}${Package}\n' "${wanted[@]}" 2>/dev/null |
        sed -n 's/^ii *//p' | tr '\n' ' ') "
    for package in "${wanted[@]}"; do
        [[ $installed == *" $package "* ]] || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    echo "正在安装缺少的软件包 / installing missing packages: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null; then
            echo "需要 root 权限或 sudo 来安装：${missing[*]} / need root or sudo to install them" >&2
            return 1
        fi
        sudo=(sudo)
    fi
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Configures RAVIK_BUILD_DIR with RAVIK_CMAKE_ARGS unless it already is configured with the same
# arguments (the build itself reruns CMake when a CMakeLists.txt changes), then builds the given
# targets (all when none given).
ravik_build() {
    local build="$RAVIK_ROOT/$RAVIK_BUILD_DIR"
    local stamp="$build/ravik-configure-arguments"
    local wanted
    wanted=$(printf '%s\n' -G Ninja "${RAVIK_CMAKE_ARGS[@]}")
    if [ ! -f "$build/CMakeCache.txt" ] || [ ! -f "$stamp" ] || [ "$(cat "$stamp")" != "$wanted" ]; then
        rm -f "$stamp"
        cmake -S "$RAVIK_ROOT" -B "$build" -G Ninja "${RAVIK_CMAKE_ARGS[@]}"
        printf '%s\n' "$wanted" >"$stamp"
    fi
    if [ $# -gt 0 ]; then
        cmake --build "$build" --target "$@"
    else
        cmake --build "$build"
    fi
}
