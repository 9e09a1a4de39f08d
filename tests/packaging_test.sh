#!/usr/bin/env bash
# The installed extras against the program they describe: every option `ravik-lcd convert --help`
# and `ravik-lcd font --help` name is completed by bash (and completion offers pictures, files and
# options where they fit) and described in both manual pages; the manual pages format without
# warnings; the AppStream record validates. Usage: packaging_test.sh PROGRAM SOURCE_DIR BUILD_DIR
set -uo pipefail
program=$1 source=$(cd "$2" && pwd) build=$3
completion="$source/packaging/bash-completion/ravik-lcd"
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# The options convert and font describe (indented lines starting with the option), and --help
# itself.
options=$({
    for subcommand in convert font; do
        "$program" $subcommand --help | sed -n 's/^ \{2,\}\(--[a-z][a-z-]*\).*/\1/p'
    done
    echo --help
} | sort -u)
[ -n "$options" ] || fail "convert --help and font --help name no options"
bash -n "$completion" || fail "the completion script does not parse"
completed=$(bash -c "source '$completion' 2>/dev/null
    echo \$_ravik_lcd_file_options \$_ravik_lcd_value_options \$_ravik_lcd_switches
    echo \$_ravik_lcd_font_file_options \$_ravik_lcd_font_value_options \$_ravik_lcd_font_switches" |
    tr ' ' '\n' | sort -u | tr '\n' ' ')
for option in $options; do
    [[ " $completed " == *" $option "* ]] || fail "bash completion lacks $option"
done
for option in $completed; do
    grep -qx -- "$option" <<<"$options" || fail "bash completion offers $option, which convert and font lack"
done

# What bash offers after a few typed words, in a folder with one picture and one other file.
offered() {
    (cd "$work" && bash -c 'source /usr/share/bash-completion/bash_completion
        source "$1"; shift
        COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        COMP_LINE="${COMP_WORDS[*]}"; COMP_POINT=${#COMP_LINE}; COMPREPLY=()
        _ravik_lcd; echo "${COMPREPLY[*]}"' offered "$completion" "$@")
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
touch "$work/a.png" "$work/b.doc"
check_offered() {
    local expected=$1
    shift
    local got
    got=$(offered "$@")
    [ "$got" = "$expected" ] || fail "completing '$*' offers '$got', not '$expected'"
}
check_offered "convert font runtime build a.png" ravik-lcd ""
check_offered "runtime" ravik-lcd ru
check_offered "--chars" ravik-lcd font --ch
check_offered "gb2312-1 gb2312" ravik-lcd font --chars gb
check_offered "--rotate" ravik-lcd convert a.png --rot
check_offered "90" ravik-lcd convert a.png --rotate 9
check_offered "--bin --background" ravik-lcd convert a.png --b
check_offered "a.png" ravik-lcd convert ""
check_offered "a.png b.doc" ravik-lcd convert a.png --bin ""
check_offered "--out-dir" ravik-lcd build assets.toml --o
check_offered "--depfile" ravik-lcd build assets.toml --out-dir gen --d
check_offered "a.png b.doc" ravik-lcd build assets.toml --depfile ""

for language in en zh_CN; do
    page="$build/packaging/man/$language/ravik-lcd.1"
    [ -s "$page" ] || { fail "no manual page $page"; continue; }
    formatted=$(LC_ALL=C.UTF-8 groff -k -man -Tutf8 -ww "$page" 2>"$build/groff-$language.log")
    [ -s "$build/groff-$language.log" ] && fail "groff warns on the $language page: $(cat "$build/groff-$language.log")"
    for option in $options; do
        grep -q -- "$option" <<<"$(sed 's/.\x08//g' <<<"$formatted")" ||
            fail "the $language manual page lacks $option"
    done
done
# The subcommands --help describes are completed and in both manual pages.
for subcommand in runtime font build; do
    "$program" --help | grep -q "ravik-lcd $subcommand" || fail "--help does not describe $subcommand"
    for language in en zh_CN; do
        grep -q "ravik-lcd $subcommand" "$build/packaging/man/$language/ravik-lcd.1" ||
            fail "the $language manual page lacks $subcommand"
    done
done
grep -q 'NAME' <<<"$(LC_ALL=C.UTF-8 groff -k -man -Tutf8 "$build/packaging/man/en/ravik-lcd.1" | sed 's/.\x08//g')" ||
    fail "the English page has no NAME section"
grep -q '名称' <<<"$(LC_ALL=C.UTF-8 groff -k -man -Tutf8 "$build/packaging/man/zh_CN/ravik-lcd.1" | sed 's/.\x08//g')" ||
    fail "the Chinese page has no 名称 section"

# An installation into a scratch root: the program finds its modules where the install rules
# put them, for a picture (the picture module) and for the window (the window module; it is
# still running when the time runs out, where a missing module ends it at once).
root="$work/root"
DESTDIR="$root" cmake --install "$build" >"$work/install.log" 2>&1 ||
    fail "cmake --install: $(cat "$work/install.log")"
installed=$(find "$root" -path '*/bin/ravik-lcd' -type f)
# The firmware runtime, as firmware developers copy it into their builds.
for file in ravik_lcd.h ravik_lcd.c; do
    runtime_file=$(find "$root" -path "*/share/ravik-lcd/runtime/$file" -type f)
    cmp -s "$source/runtime/$file" "${runtime_file:-/nonexistent}" ||
        fail "the runtime's $file is not installed as it is in runtime/"
done
if [ -x "$installed" ]; then
    [ -n "$(find "$root" -name 'libravik-lcd-window.so')" ] || fail "no window module installed"
    cp "$source/samples/test-card.png" "$work/card.png"
    env -u DISPLAY -u WAYLAND_DISPLAY "$installed" convert "$work/card.png" --bin "$work/card.bin" \
        --preview "$work/card.jpg" || fail "the installed program can't convert a picture"
    [ "$(stat -c %s "$work/card.bin" 2>/dev/null)" = 9849 ] || fail "the installed convert wrote no frame"
    QT_QPA_PLATFORM=offscreen timeout 3 "$installed" >"$work/window.log" 2>&1
    status=$?
    [ $status -eq 124 ] || fail "the installed window ended with $status: $(cat "$work/window.log")"
else
    fail "no program installed under $root"
fi

appstreamcli validate --no-net "$build"/packaging/*.metainfo.xml || fail "appstreamcli validate"

# The Debian package's description and the software centre's record name everything the package
# holds, not frames alone: each word (a row: where, then the words) must be there.
deb_description=$(sed -n '/CPACK_DEBIAN_PACKAGE_DESCRIPTION /,/")/p' "$build/CPackConfig.cmake")
metainfo=$(cat "$build"/packaging/*.metainfo.xml)
while IFS='|' read -r where words; do
    case $where in
    deb) text=$deb_description ;;
    appstream-en) text=$(sed -n '/<p>/,/<\/p>/p' <<<"$metainfo") ;;
    appstream-zh) text=$(sed -n '/xml:lang="zh-CN"/,/<\/p>/p' <<<"$metainfo") ;;
    esac
    for word in $words; do
        grep -qi -- "$word" <<<"$text" || fail "the $where description does not name $word"
    done
done <<'ROWS'
deb|frame sprite glyph build runtime find_package(RavikLCD)
appstream-en|frame sprite glyph build runtime find_package(RavikLCD)
appstream-zh|帧 精灵图 字模 build 运行库 find_package(RavikLCD)
ROWS

[ "$failures" -eq 0 ] && echo "all packaging checks passed"
exit $((failures > 0))
