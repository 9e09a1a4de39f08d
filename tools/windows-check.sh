#!/usr/bin/env bash
# Proves the Windows edition tools/package-windows.sh built, under Wine, and prints one line per
# check (PASS, FAIL or SKIP, the check's name, what it saw):
#   suite         the test suite, cross-built, under Wine with Qt's minimal platform; the files
#                 tests make with the build machine's tools, as the Linux suite recorded them
#   same-output   ravik-lcd.exe's output byte for byte against the Linux build, on the samples and
#                 every test picture, in a C (code page 1252) and a zh_CN (936) locale
#   utf8-errors   standard error valid UTF-8, with no line end inside, where system errors appear
#   imports       each .exe and .dll imports only what is shipped or part of Windows
#   installer     the installer, silently: the program runs from where it put it; the uninstaller
#                 removes what it installed and nothing else
#   window        the window under Wine and Xvfb, with a screenshot
#   tools/windows-check.sh [check…]     the named checks only, or all of them
# Exits 1 when a check fails. Not part of tools/test.sh: run it before finishing a change that
# touches platform code, CMake or packaging.
set -uo pipefail

RAVIK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$RAVIK_ROOT/tools/setup.sh"
set +e
trap - ERR

ravik_install_missing wine64 xvfb x11-utils locales g++-mingw-w64-x86-64-posix || exit 1

out=$RAVIK_ROOT/build-windows
folder=$(find "$out" -maxdepth 1 -type d -name 'ravik-lcd-*-windows-x64' | head -n 1)
if [ -z "$folder" ] || [ ! -f "$folder/ravik-lcd.exe" ]; then
    ravik_say "没有找到 Windows 版：请先运行 tools/package-windows.sh。" \
        "No Windows edition found: run tools/package-windows.sh first."
    exit 1
fi
with_window=0
[ -f "$folder/Qt6Core.dll" ] && with_window=1

# The Linux build to compare with: the one tools/test.sh makes, or for the command-line-only
# edition one made the same way without the window (so both lack Qt's picture module).
RAVIK_CMAKE_ARGS=(-DCMAKE_BUILD_TYPE=Debug -DRAVIK_SANITIZE=ON -DCMAKE_COMPILE_WARNING_AS_ERROR=ON)
if [ "$with_window" = 1 ]; then
    RAVIK_BUILD_DIR=build
    ravik_build ravik-lcd ravik-lcd-assets ravik-lcd-pictures >/dev/null || exit 1
else
    RAVIK_BUILD_DIR=build-no-window
    RAVIK_CMAKE_ARGS+=(-DRAVIK_WINDOW=OFF)
    ravik_build ravik-lcd ravik-lcd-assets >/dev/null || exit 1
fi
linux=$RAVIK_ROOT/$RAVIK_BUILD_DIR/ravik-lcd

failed=0
line() {
    local verdict=$1 name=$2
    shift 2
    printf '%-4s %-12s %s\n' "$verdict" "$name" "$*"
    [ "$verdict" = FAIL ] && failed=1
}

# A Wine prefix of the check's own, with Noto Sans CJK listed among the installed fonts as a
# Windows machine lists its fonts, so that `font` finds the same default face as on Linux.
work=$out/check
rm -rf "$work/run"
mkdir -p "$work/run"
export WINEPREFIX=$out/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1
    wineserver -w
fi
noto=/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc
if [ -f "$noto" ]; then
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts' /f \
        /v 'Noto Sans CJK JP & Noto Sans CJK KR & Noto Sans CJK SC & Noto Sans CJK TC & Noto Sans CJK HK (TrueType)' \
        /d "$(winepath -w "$noto" 2>/dev/null)" >/dev/null 2>&1
fi

# Temporary files on the drive that maps the Unix root, so that the tests' Unix paths (the
# program's, the runtime's) still name the same files after a test changes into a temporary folder.
mkdir -p "$work/temp"
for name in TEMP TMP; do
    wine reg add 'HKCU\Environment' /f /v "$name" /d "$(winepath -w "$work/temp" 2>/dev/null)" >/dev/null 2>&1
done

# Qt's settings for the suite live in the prefix's environment only while it runs; an interrupted
# run may have left them, which would put the window on the minimal platform.
for name in QT_QPA_PLATFORM QT_PLUGIN_PATH RAVIK_TEST_RECORDINGS; do
    wine reg delete 'HKCU\Environment' /f /v "$name" >/dev/null 2>&1
done

# A zh_CN.UTF-8 locale of our own (LOCPATH), so the machine's locales stay as they are.
locales=$work/locale
if [ ! -d "$locales/zh_CN.UTF-8" ]; then
    mkdir -p "$locales"
    localedef -i zh_CN -f UTF-8 "$locales/zh_CN.UTF-8" >/dev/null 2>&1
fi

# The DLL folders the cross-built tests need: Qt's and the compiler's (from the build's cache).
qt_bin=$(sed -n 's/^Qt6_DIR:PATH=\(.*\)\/lib\/cmake\/Qt6$/\1\/bin/p' "$out/build/CMakeCache.txt" 2>/dev/null)
gcc_dir=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
wine_path="$(winepath -w "$folder" 2>/dev/null)"
for place in "$qt_bin" "$gcc_dir" /usr/x86_64-w64-mingw32/lib; do
    [ -n "$place" ] && [ -d "$place" ] && wine_path+=";$(winepath -w "$place" 2>/dev/null)"
done

# Runs a command with a display of its own: Xvfb, and a wineserver started inside it (one started
# without a display makes every later window fail, even the hidden one Qt's event loop makes).
with_display() {
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
    local display=:$((90 + RANDOM % 100)) xvfb status
    Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    sleep 2
    (
        export DISPLAY=$display
        wineserver -p10
        "$@"
    )
    status=$?
    DISPLAY=$display wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
    return "$status"
}

# --- suite --------------------------------------------------------------------------------------
check_suite() {
    if [ "$with_window" = 1 ] && [ -f "$out/build/CTestTestfile.cmake" ]; then
        log=$work/suite.log
        # tools/package-windows.sh builds what it ships; the tests are built here.
        if ! cmake --build "$out/build" >"$work/suite-build.log" 2>&1; then
            line FAIL suite "the tests do not build ($work/suite-build.log)"
            return
        fi
        # Many tests make their files with the build machine's tools (ImageMagick, libwebp's,
        # Pillow), which Windows programs can't run: the Linux suite runs them and records what
        # they wrote, and the Windows suite plays that back (tests/tool_recordings.h).
        local recordings=$work/recordings
        rm -rf "$recordings"
        if ! cmake --build "$RAVIK_ROOT/$RAVIK_BUILD_DIR" >"$work/record-build.log" 2>&1; then
            line FAIL suite "the Linux tests do not build ($work/record-build.log)"
            return
        fi
        (cd "$RAVIK_ROOT/$RAVIK_BUILD_DIR" && RAVIK_TEST_RECORDINGS=$recordings \
            QT_QPA_PLATFORM=offscreen ctest -j "$(nproc)" --timeout 300 \
            -E '_sh$|^(packaging|setup|cmake_package|mcu)' >"$work/record.log" 2>&1)
        # Wine keeps Unix QT_* variables from Windows programs, so the settings for the tests go
        # into the prefix's environment while they run: the minimal platform with the system's
        # fonts (this Qt has no FreeType of its own, so no offscreen platform), Qt's plugins and
        # the shipped image format plugins, and the recordings.
        local settings=(QT_QPA_PLATFORM "minimal:enable_fonts"
            QT_PLUGIN_PATH "$(winepath -w "${qt_bin%/bin}/plugins" 2>/dev/null);$(winepath -w "$folder" 2>/dev/null)"
            RAVIK_TEST_RECORDINGS "$(winepath -w "$recordings" 2>/dev/null)")
        local i
        for ((i = 0; i < ${#settings[@]}; i += 2)); do
            wine reg add 'HKCU\Environment' /f /v "${settings[i]}" /d "${settings[i + 1]}" >/dev/null 2>&1
        done
        (cd "$out/build" && WINEPATH="$wine_path" with_display ctest --timeout 300 \
            --output-on-failure -E '_sh$|^(packaging|setup|cmake_package)' >"$log" 2>&1)
        for ((i = 0; i < ${#settings[@]}; i += 2)); do
            wine reg delete 'HKCU\Environment' /f /v "${settings[i]}" >/dev/null 2>&1
        done
        summary=$(grep -E 'tests passed|tests failed' "$log" | tail -n 1)
        failing=$(sed -n 's/^[[:space:]]*[0-9]* - \([^ ]*\) .*/\1/p' "$log" | tr '\n' ' ')
        if grep -q '100% tests passed' "$log"; then
            line PASS suite "$summary ($log)"
        else
            line FAIL suite "${summary:-ctest did not run} ${failing:+– failing: $failing}($log)"
        fi
    else
        line SKIP suite "the command-line-only edition has no test suite (it needs Qt)"
    fi
}

# --- same-output --------------------------------------------------------------------------------
# Each group of pictures is converted in one batch to every output; single conversions to standard
# output and failing ones compare exit status and standard output too.
groups=(samples examples/firmware/pictures ui/resources fuzz/corpus/picture_fit
    fuzz/corpus/picture_corner fuzz/corpus/picture_hint fuzz/corpus/frame_set
    fuzz/corpus/frame_text tests/fuzz_regressions/picture_fit tests/fuzz_regressions/picture_corner
    tests/fuzz_regressions/picture_hint tests/fuzz_regressions/frame_set)
compare_in_locale() {
    local locale=$1 where=$work/run/$1
    # The Linux build is the sanitized one tools/test.sh makes; its leak report at exit (Qt's
    # bookkeeping of a batch's worker threads, now and then) is the suite's business, not a
    # difference in output.
    local env=(env LANG="$locale" LC_ALL="$locale" LOCPATH="$locales" ASAN_OPTIONS=detect_leaks=0)
    local differences=() count=0 group
    mkdir -p "$where"
    for group in "${groups[@]}"; do
        local files=() originals=() original index=0
        mapfile -t originals < <(find "$RAVIK_ROOT/$group" -maxdepth 1 -type f ! -name '*.md' | sort)
        [ ${#originals[@]} -eq 0 ] && continue
        # Under numbered names: a batch refuses two inputs of the same base name (animated.gif,
        # animated.webp), as their outputs would be one file. The fuzz targets' inputs but
        # picture_corner's start with a selector byte, which is not the picture's.
        mkdir -p "$where/in-${group//\//-}"
        for original in "${originals[@]}"; do
            index=$((index + 1))
            files+=("$where/in-${group//\//-}/$(printf '%03d' "$index")-${original##*/}")
            if [[ $group == *fuzz* && $group != *picture_corner ]]; then
                tail -c +2 "$original" >"${files[-1]}"
            else
                ln -sf "$original" "${files[-1]}"
            fi
        done
        count=$((count + ${#files[@]}))
        local tag=${group//\//-}
        mkdir -p "$where/linux-$tag" "$where/windows-$tag"
        "${env[@]}" "$linux" convert "${files[@]}" --out-dir "$where/linux-$tag" --bin --c-text \
            --header --preview --mask-bin --fit contain --dither floyd-steinberg \
            >"$where/linux-$tag.out" 2>"$where/linux-$tag.err"
        echo "exit $?" >>"$where/linux-$tag.out"
        local wide=()
        for file in "${files[@]}"; do wide+=("$(winepath -w "$file" 2>/dev/null)"); done
        "${env[@]}" wine "$folder/ravik-lcd.exe" convert "${wide[@]}" \
            --out-dir "$(winepath -w "$where/windows-$tag" 2>/dev/null)" --bin --c-text --header \
            --preview --mask-bin --fit contain --dither floyd-steinberg \
            >"$where/windows-$tag.out" 2>"$where/windows-$tag.err"
        echo "exit $?" >>"$where/windows-$tag.out"
        diff -rq "$where/linux-$tag" "$where/windows-$tag" >/dev/null || differences+=("$group")
        cmp -s "$where/linux-$tag.out" "$where/windows-$tag.out" || differences+=("$group(stdout)")
    done
    # Standard output, a Chinese file name, a missing file and a bad option: bytes and exit status.
    local picture=$RAVIK_ROOT/samples/test-card.png chinese=$where/测试图片.png
    cp "$picture" "$chinese"
    local cases=("convert $picture" "convert $picture --bin -" "convert $picture --preview -"
        "convert $chinese --fit cover --header -" "convert $where/没有这个文件.png --bin -"
        "convert $picture --fit nowhere" "--version"
        "font --size 14 --chars ascii 汉字 --header -" "font --size 14 --chars @$where/字符.txt --header -")
    printf '汉字Ab' >"$where/字符.txt"
    # A font by path, the whole first level of GB2312 from the table; a font file with a Chinese name.
    if [ -f "$noto" ]; then
        ln -sf "$noto" "$where/思源黑体.ttc"
        cases+=("font $noto --face 2 --size 12 --chars gb2312-1 --alpha --header -"
            "font $where/思源黑体.ttc --face 2 --size 16 --chars 汉字Ab --header -")
    fi
    local case_text number=0
    for case_text in "${cases[@]}"; do
        number=$((number + 1))
        local arguments=() windows_arguments=() word
        read -ra arguments <<<"$case_text"
        for word in "${arguments[@]}"; do
            if [[ $word == /* ]]; then
                windows_arguments+=("$(winepath -w "$word" 2>/dev/null)")
            elif [[ $word == @/* ]]; then
                windows_arguments+=("@$(winepath -w "${word#@}" 2>/dev/null)")
            else
                windows_arguments+=("$word")
            fi
        done
        "${env[@]}" "$linux" "${arguments[@]}" >"$where/case$number.linux" 2>/dev/null
        echo "exit $?" >>"$where/case$number.linux"
        "${env[@]}" wine "$folder/ravik-lcd.exe" "${windows_arguments[@]}" \
            >"$where/case$number.windows" 2>/dev/null
        echo "exit $?" >>"$where/case$number.windows"
        cmp -s "$where/case$number.linux" "$where/case$number.windows" ||
            differences+=("'$case_text'")
    done
    # The ANSI code page Wine takes from the locale: 1252 for C, 936 for zh_CN.
    local code_page
    code_page=$("${env[@]}" wine reg query 'HKLM\System\CurrentControlSet\Control\Nls\CodePage' \
        /v ACP 2>/dev/null | tr -d '\r' | awk '$1 == "ACP" { print $3 }')
    local outputs
    outputs=$(find "$where" -path "$where/linux-*" -type f | wc -l)
    if [ ${#differences[@]} -eq 0 ]; then
        line PASS same-output "$locale (code page $code_page): $count pictures in ${#groups[@]} batches ($outputs output files), ${#cases[@]} single runs, identical"
    else
        line FAIL same-output "$locale (code page $code_page): differs in ${differences[*]} ($where)"
    fi
}
check_same_output() {
    # C.UTF-8: Wine maps Unix file names through the locale's character set, and plain C has no
    # Chinese in it.
    compare_in_locale C.UTF-8
    if [ -d "$locales/zh_CN.UTF-8" ]; then
        compare_in_locale zh_CN.UTF-8
    else
        line FAIL same-output "zh_CN.UTF-8: localedef could not make the locale"
    fi
}

# --- utf8-errors --------------------------------------------------------------------------------
utf8_check() {
    local name=$1 file=$2
    python3 - "$file" <<'EOF'
import sys
data = open(sys.argv[1], "rb").read()
try:
    text = data.decode("utf-8")
except UnicodeDecodeError as error:
    sys.exit(f"not UTF-8 at byte {error.start}")
if "\r" in text.rstrip("\r\n"):
    sys.exit("a line end inside the message")
if not text.strip():
    sys.exit("nothing on standard error")
print(text.strip().splitlines()[-1])
EOF
}

# A file Windows refuses to create (a name with "<>" in it) and a module that can't be loaded (the
# program alone in a folder) bring the system's own words into the message, in Chinese here.
check_utf8_errors() {
    zh=(env LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 LOCPATH="$locales")
    alone=$work/run/alone
    mkdir -p "$alone"
    cp "$folder/ravik-lcd.exe" "$alone/"
    find "$folder" -maxdepth 1 -iname 'lib*.dll' ! -iname 'libravik*' -exec cp {} "$alone/" \;
    "${zh[@]}" wine "$folder/ravik-lcd.exe" convert "$(winepath -w "$RAVIK_ROOT/samples/test-card.png")" \
        --bin 'C:\帧<>.bin' >/dev/null 2>"$work/run/bad-name.err"
    "${zh[@]}" wine "$alone/ravik-lcd.exe" font --size 12 --chars A --header - >/dev/null 2>"$work/run/no-module.err"
    verdicts=()
    utf8_failed=0
    for case in bad-name no-module; do
        if seen=$(utf8_check "$case" "$work/run/$case.err" 2>&1); then
            verdicts+=("$case: $seen")
        else
            verdicts+=("$case: $seen")
            utf8_failed=1
        fi
    done
    if [ "$utf8_failed" = 0 ]; then
        line PASS utf8-errors "${verdicts[0]} | ${verdicts[1]}"
    else
        line FAIL utf8-errors "${verdicts[0]} | ${verdicts[1]}"
    fi
}

# --- imports ------------------------------------------------------------------------------------
check_imports() {
    # What Windows itself provides (the DLLs Qt, the C runtime and the program use).
    windows_dlls=" advapi32.dll comctl32.dll comdlg32.dll crypt32.dll d3d11.dll d3d9.dll dwmapi.dll
    dwrite.dll dxgi.dll gdi32.dll imm32.dll kernel32.dll msvcrt.dll netapi32.dll ntdll.dll ole32.dll
    oleaut32.dll setupapi.dll shcore.dll shell32.dll shlwapi.dll user32.dll userenv.dll uxtheme.dll
    version.dll winmm.dll ws2_32.dll wtsapi32.dll authz.dll mpr.dll bcrypt.dll "
    windows_dlls=$(tr -s ' \n' '  ' <<<"$windows_dlls")
    shipped=" $(find "$folder" -type f -iname '*.dll' -printf '%f\n' | tr 'A-Z' 'a-z' | tr '\n' ' ') "
    strays=()
    binaries=0
    while read -r binary; do
        binaries=$((binaries + 1))
        while read -r dll; do
            lower=$(tr 'A-Z' 'a-z' <<<"$dll")
            [[ $lower == api-ms-win-* ]] && continue
            [[ $windows_dlls == *" $lower "* || $shipped == *" $lower "* ]] && continue
            strays+=("${binary#"$folder"/}→$dll")
        done < <(x86_64-w64-mingw32-objdump -p "$binary" | sed -n 's/^\s*DLL Name: //p')
    done < <(find "$folder" -type f \( -iname '*.exe' -o -iname '*.dll' \))
    if [ ${#strays[@]} -eq 0 ]; then
        line PASS imports "$binaries files import only shipped DLLs and Windows' own"
    else
        line FAIL imports "${strays[*]}"
    fi
}

# --- installer ----------------------------------------------------------------------------------
# Installed silently into a folder of its own, the program runs from there with its Start-menu
# entry and "Open with" entries in place; the uninstaller takes them away and leaves a file of the
# user's in the folder.
check_installer() {
    setup=$(find "$out" -maxdepth 1 -name 'ravik-lcd-*-setup.exe' | head -n 1)
    if [ -n "$setup" ]; then
        target=$WINEPREFIX/drive_c/RavikCheck
        menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Ravik LCD"
        classes='HKLM\Software\Classes\.bin\OpenWithProgids'
        rm -rf "$target"
        wine "$setup" /S '/D=C:\RavikCheck' >/dev/null 2>&1
        wineserver -w
        installed=$(find "$target" -type f 2>/dev/null | wc -l)
        runs=$(wine 'C:\RavikCheck\ravik-lcd.exe' --version 2>/dev/null | tr -d '\r')
        offered=$(wine reg query "$classes" 2>/dev/null | grep -c RavikLCD)
        [ -f "$menu/Ravik LCD.lnk" ] && entry=1 || entry=0
        touch "$target/用户的文件.txt" 2>/dev/null
        wine 'C:\RavikCheck\卸载.exe' /S >/dev/null 2>&1
        wineserver -w
        sleep 1
        left=$(find "$target" -type f 2>/dev/null | sed "s|$target/||" | tr '\n' ' ')
        still_offered=$(wine reg query "$classes" 2>/dev/null | grep -c RavikLCD)
        seen="$installed files, '$runs', Start menu $entry, .bin offered $offered; after uninstalling: left '${left% }', .bin offered $still_offered, menu $([ -e "$menu" ] && echo kept || echo gone)"
        if [ "$installed" -gt 0 ] && [ -n "$runs" ] && [ "$entry" = 1 ] && [ "$offered" = 1 ] &&
            [ "${left% }" = 用户的文件.txt ] && [ "$still_offered" = 0 ] && [ ! -e "$menu" ]; then
            line PASS installer "$seen"
        else
            line FAIL installer "$seen"
        fi
        rm -rf "$target"
    else
        line FAIL installer "no ravik-lcd-*-setup.exe in $out"
    fi
}

# --- window -------------------------------------------------------------------------------------
check_window() {
    if [ "$with_window" = 1 ]; then
        shot=$out/window-screenshot.png
        rm -f "$shot"
        show_window() {
            # The Chinese locale for the program only (the shell can't take one from LOCPATH).
            env LOCPATH="$locales" LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 \
                wine "$folder/ravik-lcd.exe" "$(winepath -w "$RAVIK_ROOT/samples/test-card.png")" \
                >/dev/null 2>"$work/run/window.err" &
            for _ in $(seq 1 60); do
                sleep 1
                xwininfo -root -tree 2>/dev/null | grep -q 'Ravik' && break
            done
            sleep 4
            import -window root "$shot" 2>/dev/null
            xwininfo -root -tree 2>/dev/null | grep -o '"[^"]*Ravik[^"]*"' | head -n 1 >"$work/run/window.title"
        }
        with_display show_window
        title=$(cat "$work/run/window.title" 2>/dev/null)
        if [ -n "$title" ] && [ -f "$shot" ]; then
            line PASS window "window $title shown; screenshot $shot"
        else
            line FAIL window "no window appeared (${shot} $(tail -n 1 "$work/run/window.err" 2>/dev/null))"
        fi
    else
        line SKIP window "the command-line-only edition has no window"
    fi
}

# The checks named on the command line, or all of them.
checks=("$@")
[ ${#checks[@]} -eq 0 ] && checks=(suite same-output utf8-errors imports installer window)
for check in "${checks[@]}"; do
    case $check in
        suite | same-output | utf8-errors | imports | installer | window) "check_${check//-/_}" ;;
        *)
            ravik_say "没有这项检查：$check" "no such check: $check"
            failed=1
            ;;
    esac
done

exit "$failed"
