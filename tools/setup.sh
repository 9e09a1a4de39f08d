# Shared set-up for the tools: installs what is missing (Debian/Ubuntu), then configures and builds.
# Sourced, not run; expects RAVIK_ROOT, RAVIK_CMAKE_ARGS and RAVIK_BUILD_DIR (the build folder,
# each tool its own so that their settings don't rebuild each other's) to be set.
#
# Every way out with a non-zero status says what failed and what to do, in Chinese and English:
# the functions below say it themselves, and any other failing command is named by the ERR trap.

ravik_packages=(
    cmake ninja-build g++ pkg-config make
    qt6-base-dev qt6-image-formats-plugins qt6-qpa-plugins qt6-translations-l10n libgl-dev libpng-dev libtiff-dev
    libjpeg62-turbo-dev libwebp-dev libgif-dev libfreetype-dev libfontconfig-dev
    imagemagick libjpeg-turbo-progs webp python3-pil libtiff-tools
    fonts-noto-cjk fonts-dejavu-core appstream bash-completion groff-base
    libtomlplusplus-dev
)

# Prints its arguments to standard error as one message.
ravik_say() {
    printf '%s\n' "$@" >&2
}

# Names the command that failed when a script stops under `set -e`, so that no run ends in silence.
ravik_report_failure() {
    local status=$1 command=$2 script=${3##*/}
    # Our own functions have said what went wrong already.
    [[ $command == ravik_* || $command == return* ]] && return
    ravik_say "${script}：命令失败（退出码 ${status}）：${command}" \
        "${script}: a command failed (exit status ${status}): ${command}"
}
set -E
trap 'ravik_report_failure $? "$BASH_COMMAND" "$0"' ERR

# Prints, one a line, those of the given packages that dpkg does not have installed. dpkg-query
# exits non-zero for a package it has never heard of, which on a bare machine is most of them:
# that is an answer here, not a failure.
ravik_missing_packages() {
    local listing package
    listing=$(dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' "$@" 2>/dev/null) || true
    local installed=" "
    while read -r status name; do
        [[ $status == ii* ]] && installed+="${name%%:*} "
    done <<<"$listing"
    for package in "$@"; do
        [[ $installed == *" $package "* ]] || printf '%s\n' "$package"
    done
}

# Installs the project's packages and the given extra ones that are missing.
ravik_install_missing() {
    ravik_install_packages "${ravik_packages[@]}" "$@"
}

# Installs those of the given packages that are missing, through sudo when not root. One
# dpkg-query for all of them, since this runs on every launch; installs nothing when nothing is
# missing.
ravik_install_packages() {
    local wanted=("$@")
    if ! command -v dpkg-query >/dev/null || ! command -v apt-get >/dev/null; then
        ravik_say "找不到 dpkg-query 或 apt-get：这些脚本只会在 Debian/Ubuntu 上安装软件包。" \
            "请自行安装：${wanted[*]}" \
            "dpkg-query or apt-get not found: these scripts install packages on Debian/Ubuntu only." \
            "Install these yourself: ${wanted[*]}"
        return 1
    fi
    local missing=()
    mapfile -t missing < <(ravik_missing_packages "${wanted[@]}")
    [ ${#missing[@]} -eq 0 ] && return 0

    ravik_say "正在安装缺少的软件包 / installing missing packages: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null; then
            ravik_say "需要 root 权限或 sudo 才能安装：${missing[*]}。请以 root 身份运行 apt-get install 安装它们，或安装并配置 sudo 后重试。" \
                "Installing needs root or sudo: run apt-get install for them as root, or set up sudo and try again."
            return 1
        fi
        sudo=(sudo)
    fi
    local apt=("${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get)
    if ! "${apt[@]}" update -qq; then
        ravik_say "apt-get update 失败：请检查网络和 /etc/apt/sources.list 中的软件源，然后重试。" \
            "apt-get update failed: check the network and the package sources in /etc/apt, then try again."
        return 1
    fi
    if ! "${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}"; then
        ravik_say "apt-get install 失败，未能安装：${missing[*]}。上面是 apt-get 的说明；解决后重试。" \
            "apt-get install failed for: ${missing[*]}. apt-get's own words are above; mend that and try again."
        return 1
    fi
    local still=()
    mapfile -t still < <(ravik_missing_packages "${missing[@]}")
    if [ ${#still[@]} -gt 0 ]; then
        ravik_say "apt-get 报告成功，但这些软件包仍未安装：${still[*]}" \
            "apt-get reported success, but these packages are still not installed: ${still[*]}"
        return 1
    fi
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
        if ! cmake -S "$RAVIK_ROOT" -B "$build" -G Ninja "${RAVIK_CMAKE_ARGS[@]}"; then
            ravik_say "CMake 配置失败（见上文）。若缺少软件包，请确认上面的安装已完成；也可删除 $RAVIK_BUILD_DIR/ 后重试。" \
                "CMake could not configure the build (see above). If a package is missing, check the install above; or remove $RAVIK_BUILD_DIR/ and try again."
            return 1
        fi
        printf '%s\n' "$wanted" >"$stamp"
    fi
    local targets=()
    [ $# -gt 0 ] && targets=(--target "$@")
    if ! cmake --build "$build" "${targets[@]}"; then
        ravik_say "编译失败（见上文的编译器输出）。" "The build failed (the compiler's words are above)."
        return 1
    fi
}
