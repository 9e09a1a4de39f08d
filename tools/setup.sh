# Shared set-up for run.sh and test.sh: installs what is missing (Debian/Ubuntu), then configures
# and builds into build/. Sourced, not run; expects RAVIK_ROOT and RAVIK_CMAKE_ARGS to be set.

ravik_packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-image-formats-plugins qt6-qpa-plugins qt6-translations-l10n libgl-dev libpng-dev libtiff-dev
    imagemagick python3-pil libtiff-tools
    fonts-noto-cjk
)

ravik_install_missing() {
    local missing=()
    local package
    for package in "${ravik_packages[@]}" "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
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

# Configures build/ with RAVIK_CMAKE_ARGS and builds the given targets (all when none given).
ravik_build() {
    cmake -S "$RAVIK_ROOT" -B "$RAVIK_ROOT/build" -G Ninja "${RAVIK_CMAKE_ARGS[@]}"
    if [ $# -gt 0 ]; then
        cmake --build "$RAVIK_ROOT/build" --target "$@"
    else
        cmake --build "$RAVIK_ROOT/build"
    fi
}
