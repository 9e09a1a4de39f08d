#!/usr/bin/env bash
# Builds the Windows edition on Debian: cross-builds the libraries the program links (zlib, libpng,
# libjpeg-turbo, giflib, libwebp, libtiff, FreeType, statically) and Qt (as DLLs) from Debian's own
# source packages with mingw-w64, then the project, and writes
#   build-windows/ravik-lcd-<version>-windows-x64.zip   (a portable folder)
#   build-windows/ravik-lcd-<version>-setup.exe         (an NSIS installer)
#
# The libraries and Qt go to a cache outside the work tree (RAVIK_WINDOWS_CACHE, by default
# ~/.cache/ravik-lcd/windows), in folders named after a digest of their source versions, the
# compiler's version and the options they were built with: a later run finds them and only builds
# the project. The first run builds Qt, which takes a while (see the README).
#
#   tools/package-windows.sh                 everything
#   tools/package-windows.sh --dependencies  only the libraries and Qt
#   tools/package-windows.sh --no-window     the command line only, without Qt
set -euo pipefail

RAVIK_ROOT=${RAVIK_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
source "$RAVIK_ROOT/tools/setup.sh"

stage=all
with_window=1
for argument in "$@"; do
    case $argument in
        --dependencies) stage=dependencies ;;
        --no-window) with_window=0 ;;
        *)
            ravik_say "用法：tools/package-windows.sh [--dependencies] [--no-window]" \
                "usage: tools/package-windows.sh [--dependencies] [--no-window]"
            exit 2
            ;;
    esac
done

mingw=x86_64-w64-mingw32
cache=${RAVIK_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/ravik-lcd/windows}
toolchain=$RAVIK_ROOT/packaging/windows/mingw-w64-x86_64.cmake
jobs=${RAVIK_JOBS:-$(nproc)}
mkdir -p "$cache"

# The host's Qt tools (moc, rcc, uic) build the Windows Qt and the project, so the host's Qt
# version is the one built for Windows.
ravik_install_missing g++-mingw-w64-x86-64-posix nasm nsis zip dpkg-dev qt6-base-dev-tools

# Debian's source packages, fetched through a private apt folder: a deb-src entry for each
# repository the machine's apt already uses, so that the machine's own sources stay as they are.
apt_dir=$cache/apt
private_apt=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o "Dir::Etc::SourceParts=-"
    -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache"
    -o "Dir::State::status=$apt_dir/status" -o "APT::Sandbox::User=$(id -un)"
    -o "Debug::NoLocking=1")

# Writes the deb-src entries and reads the source indices, once a day at most.
prepare_private_apt() {
    mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
    touch "$apt_dir/status"
    local entries
    entries=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(COMPONENT) $(TARGET_OF)' |
        awk '$4 == "deb" { print "deb-src [trusted=yes] " $1 " " $2 " " $3 }' | sort -u)
    if [ -z "$entries" ]; then
        ravik_say "在本机的 apt 配置中找不到软件源，无法下载源码包。" \
            "The machine's apt configuration names no repository to fetch source packages from."
        return 1
    fi
    local stamp=$apt_dir/updated
    if [ "$entries" != "$(cat "$apt_dir/sources.list" 2>/dev/null)" ] ||
        [ -z "$(find "$stamp" -mtime -1 2>/dev/null)" ]; then
        printf '%s\n' "$entries" >"$apt_dir/sources.list"
        if ! apt-get "${private_apt[@]}" update -qq; then
            ravik_say "无法读取源码包索引（apt-get update）：请检查网络。" \
                "Could not read the source package indices (apt-get update): check the network."
            return 1
        fi
        touch "$stamp"
    fi
}

# Downloads and unpacks one version of a source package into a folder, asking each repository
# alone: two may list the same version while only one holds its files.
download_source() {
    local package=$1 version=$2 download=$3 entry
    while read -r entry; do
        printf '%s\n' "$entry" >"$apt_dir/one.list"
        (cd "$download" && apt-get "${private_apt[@]}" -o "Dir::Etc::SourceList=$apt_dir/one.list" \
            source -qq "$package=$version" >/dev/null 2>&1) && return 0
        rm -rf "${download:?}"/*
    done <"$apt_dir/sources.list"
    return 1
}

# Tries each of the given versions of a source package in turn until one is unpacked in
# $cache/src (Debian's patches applied); prints the version and the folder. A repository may list
# versions it no longer holds, so a version that fails to download is passed over.
fetch_source() {
    local package=$1
    shift
    local version folder download=$cache/src/download-$package
    for version in "$@"; do
        folder=$cache/src/$package-${version#*:}
        if [ ! -f "$folder/.ravik-unpacked" ]; then
            rm -rf "$folder" "$download"
            mkdir -p "$download"
            download_source "$package" "$version" "$download" || continue
            mv "$(find "$download" -mindepth 1 -maxdepth 1 -type d | head -n 1)" "$folder"
            rm -rf "$download"
            touch "$folder/.ravik-unpacked"
        fi
        printf '%s %s\n' "$version" "$folder"
        return 0
    done
    ravik_say "无法下载源码包 $package（试过：$*）。" "Could not fetch the source package $package (tried: $*)."
    return 1
}

# Fetches the source package behind an installed binary package: the host's version when the
# repositories hold it, else the newest they hold of the same upstream version, else the newest.
# Prints the source package, its version and its folder.
fetch_source_of() {
    local package version
    read -r package version < <(dpkg-query -W -f '${source:Package} ${source:Version}\n' "$1")
    local upstream=${version#*:}
    upstream=${upstream%-*}
    local offered same other
    offered=$(apt-cache "${private_apt[@]}" showsrc "$package" 2>/dev/null |
        awk '/^Version:/ { print $2 }' | sort -Vru)
    same=$(awk -v u="$upstream" '{ v = $0; sub(/^[0-9]+:/, "", v); sub(/-[^-]*$/, "", v) } v == u' <<<"$offered")
    other=$(grep -vxF -- "$same" <<<"$offered" || true)
    local candidates=()
    mapfile -t candidates < <(printf '%s\n' "$version" $same $other | awk 'NF && !seen[$0]++')
    local fetched
    fetched=$(fetch_source "$package" "${candidates[@]}") || return 1
    printf '%s %s\n' "$package" "$fetched"
}

# What a cached build depends on; its digest names the cache folder.
compiler_version=$("$mingw-g++-posix" --version | head -n 1)
library_packages=(zlib1g-dev libpng-dev libjpeg62-turbo-dev libgif-dev libwebp-dev libtiff-dev libfreetype-dev)
library_options=(
    "cmake -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF"
    "libpng -DPNG_SHARED=OFF -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF"
    "libjpeg-turbo -DENABLE_SHARED=OFF -DWITH_TURBOJPEG=OFF -DWITH_SIMD=ON"
    "libwebp -DWEBP_BUILD_ANIM_UTILS=OFF -DWEBP_BUILD_CWEBP=OFF -DWEBP_BUILD_DWEBP=OFF -DWEBP_BUILD_GIF2WEBP=OFF -DWEBP_BUILD_IMG2WEBP=OFF -DWEBP_BUILD_VWEBP=OFF -DWEBP_BUILD_WEBPINFO=OFF -DWEBP_BUILD_WEBPMUX=OFF -DWEBP_BUILD_EXTRAS=OFF"
    "tiff -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF -Dcxx=OFF -Djbig=OFF -Dlerc=OFF -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF -Dlibdeflate=OFF -Djpeg=ON -Dzlib=ON"
    "freetype -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_BROTLI=ON -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_PNG=ON -DFT_REQUIRE_ZLIB=ON"
    "zlib giflib -O2 ar"
)
# (This text is part of Qt's cache key as first written: the offscreen platform it names is not
# built, as it needs Qt's own FreeType, which is left out; the tests run on the minimal platform.)
qt_modules="Core Gui Widgets Concurrent Test, windows and offscreen platforms, gif ico jpeg image formats"
qt_options=(
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
    -DFEATURE_tabletevent=OFF -DFEATURE_direct2d=OFF -DFEATURE_network=OFF -DFEATURE_sql=OFF
    -DFEATURE_printsupport=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF -DFEATURE_vulkan=OFF
    -DFEATURE_xml=OFF -DFEATURE_icu=OFF -DFEATURE_zstd=OFF -DFEATURE_openssl=OFF -DFEATURE_glib=OFF
    -DFEATURE_fontconfig=OFF -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF
    -DFEATURE_system_jpeg=OFF -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF
    -DFEATURE_system_pcre2=OFF -DFEATURE_system_doubleconversion=OFF -DFEATURE_system_md4c=OFF
    -DFEATURE_sql_sqlite=OFF -DFEATURE_system_sqlite=OFF -DFEATURE_freetype=OFF
    -DFEATURE_textmarkdownreader=OFF -DFEATURE_textmarkdownwriter=OFF -DFEATURE_textodfwriter=OFF
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
)

digest() {
    sha256sum | cut -c 1-12
}

# Runs a logged step quietly; shows the log's end when it fails.
logged() {
    local log=$1
    shift
    if ! "$@" >>"$log" 2>&1; then
        tail -n 40 "$log" >&2
        ravik_say "失败：$*（完整记录：$log）" "failed: $* (whole log: $log)"
        return 1
    fi
}

cmake_library() {
    local source=$1 log=$2
    shift 2
    local build=$work/build-$(basename "$source")
    logged "$log" cmake -S "$source" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DRAVIK_WINDOWS_PREFIXES="$libraries" -DCMAKE_PREFIX_PATH="$libraries" \
        -DCMAKE_INSTALL_PREFIX="$libraries" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF "$@"
    logged "$log" cmake --build "$build" -j "$jobs"
    logged "$log" cmake --install "$build"
}

# The seven libraries, static, into $libraries.
build_libraries() {
    local log=$cache/libraries-$library_key.log
    work=$cache/work-libraries
    # Built in place (the libraries' CMake and pkg-config files name their folder); the manifest,
    # written last, marks the folder complete.
    rm -rf "$work" "$libraries" "$log"
    mkdir -p "$work" "$libraries/include" "$libraries/lib"
    ravik_say "正在为 Windows 编译静态库 / building the static libraries for Windows ($log)"

    # zlib and giflib: the few sources make one archive each (Debian's zlib tarball lacks the
    # win32 folder its build files want; giflib has no CMake).
    archive_library() {
        local source=$1 name=$2
        shift 2
        mkdir -p "$work/$name"
        local file
        for file in "$@"; do
            logged "$log" "$mingw-gcc-posix" -O2 -I"$source" -c "$source/$file.c" -o "$work/$name/$file.o"
        done
        logged "$log" "$mingw-ar" rcs "$libraries/lib/lib$name.a" "$work/$name"/*.o
    }
    local zlib gif
    zlib=${library_folders[zlib1g-dev]}
    archive_library "$zlib" z adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback \
        inffast inflate inftrees trees uncompr zutil
    cp "$zlib/zlib.h" "$zlib/zconf.h" "$libraries/include/"
    gif=${library_folders[libgif-dev]}
    archive_library "$gif" gif dgif_lib egif_lib gifalloc gif_err gif_font gif_hash \
        openbsd-reallocarray quantize
    cp "$gif/gif_lib.h" "$libraries/include/"

    cmake_library "${library_folders[libpng-dev]}" "$log" \
        -DPNG_SHARED=OFF -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF
    cmake_library "${library_folders[libjpeg62-turbo-dev]}" "$log" \
        -DENABLE_SHARED=OFF -DWITH_TURBOJPEG=OFF -DWITH_SIMD=ON

    cmake_library "${library_folders[libwebp-dev]}" "$log" \
        -DWEBP_BUILD_ANIM_UTILS=OFF -DWEBP_BUILD_CWEBP=OFF -DWEBP_BUILD_DWEBP=OFF \
        -DWEBP_BUILD_GIF2WEBP=OFF -DWEBP_BUILD_IMG2WEBP=OFF -DWEBP_BUILD_VWEBP=OFF \
        -DWEBP_BUILD_WEBPINFO=OFF -DWEBP_BUILD_WEBPMUX=OFF -DWEBP_BUILD_EXTRAS=OFF
    cmake_library "${library_folders[libtiff-dev]}" "$log" \
        -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF -Dcxx=OFF -Djbig=OFF \
        -Dlerc=OFF -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF -Dlibdeflate=OFF -Djpeg=ON -Dzlib=ON
    cmake_library "${library_folders[libfreetype-dev]}" "$log" \
        -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_BROTLI=ON -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_PNG=ON \
        -DFT_REQUIRE_ZLIB=ON

    printf '%s\n' "$library_manifest" >"$libraries/ravik-manifest.txt"
    rm -rf "$work"
}

# Qt's Core, Gui, Widgets, Concurrent and Test as DLLs, with the Windows and minimal platform
# plugins and the image format plugins qtbase has; Qt's own copies of zlib, libpng, libjpeg,
# HarfBuzz and PCRE2 inside; Qt's FreeType is left out (the window's fonts come through GDI).
build_qt() {
    local log=$cache/qt-$qt_key.log
    work=$cache/work-qt
    ravik_say "正在为 Windows 编译 Qt（首次约需一小时）/ building Qt for Windows, the first time only ($log)"
    # Qt 6.4.2's Windows plugin reaches for dynamic OpenGL even when OpenGL is left out, and for
    # the DirectWrite font database, which Qt Gui builds only with Direct2D: both guarded here
    # (the edits are named in the manifest, so in the cache key). Fonts then come through GDI.
    local plugin=$qt_folder/src/plugins/platforms/windows
    sed -i '/^static inline bool isSoftwareGl()$/,/^}$/ s/^#if QT_CONFIG(dynamicgl)$/#if QT_CONFIG(dynamicgl) \&\& QT_CONFIG(opengl)/' \
        "$plugin/qwindowswindow.cpp"
    sed -i 's/^#if QT_CONFIG(directwrite3)$/#if QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)/' \
        "$plugin/qwindowsintegration.cpp"
    # An interrupted build of the same Qt carries on where it stopped.
    if [ "$(cat "$work/ravik-key" 2>/dev/null)" = "$qt_key" ] && [ -f "$work/build.ninja" ]; then
        ravik_say "接着上次中断的编译 / carrying on with the interrupted build"
    else
        rm -rf "$work" "$qt" "$log"
        mkdir -p "$work"
        logged "$log" cmake -S "$qt_folder" -B "$work" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
            -DCMAKE_INSTALL_PREFIX="$qt" "${qt_options[@]}"
        printf '%s\n' "$qt_key" >"$work/ravik-key"
    fi
    logged "$log" cmake --build "$work" -j "$jobs"
    logged "$log" cmake --install "$work" --prefix "$qt"
    printf '%s\n' "$qt_manifest" >"$qt/ravik-manifest.txt"
    rm -rf "$work"
}

# Qt's further image format plugins, as the Linux build has them from qt6-image-formats-plugins
# (animated WebP and the TIFF layouts our own readers leave to Qt), built from Debian's
# qt6-imageformats against the Qt above and the static libwebp and libtiff (with libtiff's own
# dependencies named, which CMake's FindTIFF leaves out). MNG is left out: there is no libmng here.
image_format_options=(-DCMAKE_BUILD_TYPE=Release -DFEATURE_system_webp=ON -DFEATURE_system_tiff=ON
    -DFEATURE_jasper=OFF -DFEATURE_mng=OFF)
build_image_formats() {
    local log=$cache/qt-image-formats-$formats_key.log
    work=$cache/work-qt-image-formats
    ravik_say "正在为 Windows 编译 Qt 的图片格式插件 / building Qt's image format plugins for Windows ($log)"
    rm -rf "$work" "$formats" "$log"
    mkdir -p "$work"
    # libwebp's CMake targets name Threads::Threads, which Qt's find_package helper then tries
    # to make global from a subfolder, and CMake refuses: found and made global at the top first.
    printf '%s\n' 'find_package(Threads REQUIRED)' \
        'set_property(TARGET Threads::Threads PROPERTY IMPORTED_GLOBAL TRUE)' >"$work/threads.cmake"
    logged "$log" cmake -S "$formats_folder" -B "$work" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DRAVIK_WINDOWS_PREFIXES="$qt;$libraries" -DCMAKE_PREFIX_PATH="$qt;$libraries" \
        -DCMAKE_INSTALL_PREFIX="$formats" -DQT_HOST_PATH=/usr \
        -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DCMAKE_PROJECT_INCLUDE="$work/threads.cmake" \
        -DCMAKE_CXX_STANDARD_LIBRARIES="-L$libraries/lib -ljpeg -lz" "${image_format_options[@]}"
    logged "$log" cmake --build "$work" -j "$jobs"
    logged "$log" cmake --install "$work"
    printf '%s\n' "$formats_manifest" >"$formats/ravik-manifest.txt"
    rm -rf "$work"
}

prepare_private_apt
declare -A library_folders
library_manifest="compiler: $compiler_version"$'\n'"nasm: $(nasm -v)"$'\n'
for binary in "${library_packages[@]}"; do
    read -r package version folder < <(fetch_source_of "$binary") || exit 1
    library_folders[$binary]=$folder
    library_manifest+="$package: $version"$'\n'
done
library_manifest+=$(printf 'options: %s\n' "${library_options[@]}")
library_key=$(digest <<<"$library_manifest")
libraries=$cache/libraries-$library_key

qt_manifest="compiler: $compiler_version"$'\n'"modules: $qt_modules"$'\n'
if [ "$with_window" = 1 ]; then
    read -r package version qt_folder < <(fetch_source_of qt6-base-dev) || exit 1
    qt_manifest+="$package: $version"$'\n'
fi
qt_manifest+=$(printf 'option: %s\n' "${qt_options[@]}")
qt_manifest+=$'\n'"patches: qwindowswindow.cpp isSoftwareGl() without OpenGL, qwindowsintegration.cpp DirectWrite font database only with Direct2D"
qt_key=$(digest <<<"$qt_manifest")
qt=$cache/qt-$qt_key

if [ "$with_window" = 1 ]; then
    read -r package version formats_folder < <(fetch_source_of qt6-image-formats-plugins) || exit 1
    formats_manifest="qt: $qt_key"$'\n'"libraries: $library_key"$'\n'"$package: $version"$'\n'
    formats_manifest+=$(printf 'option: %s\n' "${image_format_options[@]}")
    formats_key=$(digest <<<"$formats_manifest")
    formats=$cache/qt-image-formats-$formats_key
fi

if [ -f "$libraries/ravik-manifest.txt" ]; then
    ravik_say "静态库已在缓存中 / static libraries cached: $libraries"
else
    build_libraries
fi
if [ "$with_window" = 1 ]; then
    if [ -f "$qt/ravik-manifest.txt" ]; then
        ravik_say "Qt 已在缓存中 / Qt cached: $qt"
    else
        build_qt
    fi
    if [ -f "$formats/ravik-manifest.txt" ]; then
        ravik_say "Qt 的图片格式插件已在缓存中 / Qt's image format plugins cached: $formats"
    else
        build_image_formats
    fi
fi
[ "$stage" = dependencies ] && exit 0

# The project, cross-built against them: the program and its modules (tools/windows-check.sh
# builds the tests in the same folder when it runs them).
version=$(sed -n 's/^project(RavikLCD VERSION \([0-9.]*\).*/\1/p' "$RAVIK_ROOT/CMakeLists.txt")
out=$RAVIK_ROOT/build-windows
build=$out/build
prefixes=$libraries
[ "$with_window" = 1 ] && prefixes+=";$qt"
window=$([ "$with_window" = 1 ] && echo ON || echo OFF)
export PKG_CONFIG_LIBDIR=$libraries/lib/pkgconfig PKG_CONFIG_PATH=
# toml++ is used header-only: the host's headers, in a folder of their own so that no other
# header of the build machine is seen.
mkdir -p "$cache/headers"
ln -sfn /usr/include/toml++ "$cache/headers/toml++"
ravik_say "正在交叉编译 Ravik LCD / cross-building Ravik LCD ($build)"
RAVIK_BUILD_DIR=build-windows/build
RAVIK_CMAKE_ARGS=(-DCMAKE_TOOLCHAIN_FILE="$toolchain" -DRAVIK_WINDOWS_PREFIXES="$prefixes"
    -DCMAKE_PREFIX_PATH="$prefixes" -DCMAKE_BUILD_TYPE=Release -DRAVIK_WINDOW="$window"
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
    -DRAVIK_TOMLPP_INCLUDE_DIR="$cache/headers" -DCMAKE_CROSSCOMPILING_EMULATOR=wine)
ravik_build ravik-lcd

# The portable folder: what the project installs, the DLLs it imports (found by reading the
# imports, so nothing unused is shipped), Qt's plugins, the icon and 说明.txt.
name=ravik-lcd-$version-windows-x64
folder=$out/$name
rm -rf "$folder"
cmake --install "$build" --prefix "$folder" --strip >/dev/null
if [ -d "$folder/bin" ]; then
    cp -a "$folder/bin/." "$folder/"
    rm -rf "$folder/bin"
fi
if [ "$with_window" = 1 ]; then
    for plugins in platforms/qwindows.dll styles/qwindowsvistastyle.dll imageformats/qgif.dll \
        imageformats/qico.dll imageformats/qjpeg.dll; do
        mkdir -p "$folder/$(dirname "$plugins")"
        cp "$qt/plugins/$plugins" "$folder/$plugins"
    done
    cp "$formats"/plugins/imageformats/*.dll "$folder/imageformats/"
fi
runtime_dlls=("$qt/bin" "$(dirname "$("$mingw-g++-posix" -print-libgcc-file-name)")"
    /usr/$mingw/lib)
# The DLLs a file imports, one a line.
imports_of() {
    "$mingw-objdump" -p "$1" | sed -n 's/^\s*DLL Name: //p'
}
added=1
while [ "$added" = 1 ]; do
    added=0
    while read -r dll; do
        [ -e "$folder/$dll" ] && continue
        for place in "${runtime_dlls[@]}"; do
            if [ -f "$place/$dll" ]; then
                # Debian's compiler runtime DLLs carry their debugging information.
                "$mingw-strip" --strip-unneeded -o "$folder/$dll" "$place/$dll"
                added=1
                break
            fi
        done
    done < <(find "$folder" -iname '*.exe' -o -iname '*.dll' | while read -r file; do imports_of "$file"; done | sort -u)
done
cp "$RAVIK_ROOT/ui/resources/ravik-lcd.ico" "$folder/"
# Lines marked @WINDOW@ or @NO-WINDOW@ belong to one edition only.
if [ "$with_window" = 1 ]; then edition='/^@NO-WINDOW@/d; s/^@WINDOW@//'; else edition='/^@WINDOW@/d; s/^@NO-WINDOW@//'; fi
sed "$edition; s/@VERSION@/$version/g; s/\$/\r/" "$RAVIK_ROOT/packaging/windows/readme-zh.txt" |
    { printf '\xEF\xBB\xBF'; cat; } >"$folder/说明.txt"

zip_file=$out/$name.zip
rm -f "$zip_file"
(cd "$out" && zip -qr -X "$zip_file" "$name")

# The installer; its uninstaller removes exactly the files it installed.
uninstall_list=$out/uninstall-list.nsh
(cd "$folder" &&
    find . -type f | sort | sed 's|^\./||; s|/|\\|g; s|.*|    Delete "$INSTDIR\\&"|' &&
    find . -mindepth 1 -type d | sort -r | sed 's|^\./||; s|/|\\|g; s|.*|    RMDir "$INSTDIR\\&"|') >"$uninstall_list"
setup_file=$out/ravik-lcd-$version-setup.exe
makensis -V2 -DVERSION="$version" -DSOURCE="$folder" -DOUTFILE="$setup_file" \
    -DUNINSTALL_LIST="$uninstall_list" "$RAVIK_ROOT/packaging/windows/installer.nsi"

ravik_say "已写出 / written (${SECONDS} s):" "  $zip_file ($(du -h "$zip_file" | cut -f 1))" \
    "  $setup_file ($(du -h "$setup_file" | cut -f 1))"
