#!/usr/bin/env bash
# The tools' set-up (tools/setup.sh) against stand-ins for dpkg-query, apt-get, sudo and id placed
# alone on PATH: what it would install on a bare machine, that a second run installs nothing, and
# that every failure says what went wrong and ends with a non-zero status.
# Usage: setup_test.sh SOURCE_DIR
set -uo pipefail
source_dir=$(cd "$1" && pwd)
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stubs="$work/bin"
mkdir "$stubs"
# The few ordinary tools a set-up may use; sudo only where a case puts it.
for tool in env grep sed tr cat; do
    ln -s "$(command -v $tool)" "$stubs/$tool"
done

# dpkg-query answers from $work/installed as the real one does: "ii " for what is installed, a
# complaint on standard error and exit status 1 for any package it has never heard of.
cat >"$stubs/dpkg-query" <<'EOF'
#!/bin/bash
shift 2 # -W -f=…
status=0
for package in "$@"; do
    if grep -qx "$package" "$STUB_STATE/installed"; then
        echo "ii  $package"
    else
        echo "dpkg-query: no packages found matching $package" >&2
        status=1
    fi
done
exit $status
EOF
# apt-get logs each call; "install" marks its packages installed unless told to fail or to lie.
cat >"$stubs/apt-get" <<'EOF'
#!/bin/bash
echo "apt-get $*" >>"$STUB_STATE/calls"
[ "${STUB_FAIL:-}" = "$1" ] && { echo "E: stub $1 failed" >&2; exit 100; }
if [ "$1" = install ] && [ -z "${STUB_LIE:-}" ]; then
    for argument in "$@"; do
        [[ $argument == -* || $argument == install ]] || echo "$argument" >>"$STUB_STATE/installed"
    done
fi
exit 0
EOF
cat >"$stubs/id" <<'EOF'
#!/bin/bash
echo "${STUB_UID:-0}"
EOF
cat >"$stubs/sudo" <<'EOF'
#!/bin/bash
echo "sudo $*" >>"$STUB_STATE/calls"
exec "$@"
EOF
chmod +x "$stubs"/*

# Runs ravik_install_missing as the tools do (set -euo pipefail, sourced set-up) with the given
# extra packages, in a fresh state where $installed lists the installed packages. Leaves the exit
# status in $status, standard error in $errors and the apt-get and sudo calls in $calls.
run_setup() {
    local installed=$1
    shift
    export STUB_STATE="$work/state"
    rm -rf "$STUB_STATE"
    mkdir "$STUB_STATE"
    printf '%s\n' $installed >"$STUB_STATE/installed"
    touch "$STUB_STATE/calls"
    rerun_setup "$@"
}
rerun_setup() {
    : >"$STUB_STATE/calls"
    PATH="$stubs" /bin/bash -c 'set -euo pipefail
        source "$1/tools/setup.sh"; shift
        ravik_install_missing "$@"' setup "$source_dir" "$@" >"$work/out" 2>"$work/err"
    status=$?
    errors=$(cat "$work/err")
    calls=$(cat "$STUB_STATE/calls")
}
all_packages=$(PATH="$stubs" /bin/bash -c 'source "$1/tools/setup.sh"; echo "${ravik_packages[*]}"' x "$source_dir")
[ -n "$all_packages" ] || fail "the set-up names no packages"
# Everything but cmake and g++, as on a bare machine that has a compiler and CMake.
expected_missing=$(for p in $all_packages; do [[ $p == cmake || $p == g++ ]] || printf '%s ' "$p"; done)
expected_missing="${expected_missing% } dpkg-dev"

# Some missing: exactly those are installed, once, after one update, and the run succeeds.
run_setup "cmake g++" dpkg-dev
[ "$status" -eq 0 ] || fail "with packages missing the set-up ends with $status: $errors"
install_line=$(grep '^apt-get install' <<<"$calls")
[ "$install_line" = "apt-get install -y -qq --no-install-recommends $expected_missing" ] ||
    fail "installs '$install_line', expected the missing ones: $expected_missing"
grep -q '^apt-get update' <<<"$calls" || fail "installs without apt-get update first"
grep -q '^sudo' <<<"$calls" && fail "uses sudo as root"

# A second run finds everything and installs nothing, silently.
rerun_setup dpkg-dev
[ "$status" -eq 0 ] || fail "the second run ends with $status"
[ -z "$calls" ] || fail "the second run calls: $calls"
[ -z "$errors$(cat "$work/out")" ] || fail "the second run says something: $errors"

# Nothing missing from the start.
run_setup "$all_packages"
[ "$status" -eq 0 ] && [ -z "$calls" ] || fail "with nothing missing: status $status, calls: $calls"

# Failures: each ends non-zero with a message that names what to do, in both languages.
check_failure() {
    local case=$1 words=$2
    [ "$status" -ne 0 ] || fail "$case: ends with status 0"
    grep -q "$words" <<<"$errors" || fail "$case: the message lacks '$words': $errors"
    LC_ALL=C grep -q $'[\x80-\xff]' <<<"$errors" || fail "$case: no Chinese message: $errors"
}
STUB_FAIL=update run_setup "cmake"
check_failure "apt-get update fails" "apt-get update failed"
STUB_FAIL=install run_setup "cmake"
check_failure "apt-get install fails" "apt-get install failed"
STUB_LIE=1 run_setup "cmake"
check_failure "apt-get claims success" "still not installed"

# Not root: through sudo when there is one, a clear refusal when there is none.
STUB_UID=1000 run_setup "cmake"
[ "$status" -eq 0 ] || fail "not root with sudo: status $status: $errors"
grep -q '^sudo env DEBIAN_FRONTEND=noninteractive apt-get install' <<<"$calls" ||
    fail "not root with sudo: apt-get is not run through sudo: $calls"
mv "$stubs/sudo" "$work/sudo"
STUB_UID=1000 run_setup "cmake"
check_failure "not root without sudo" "needs root or sudo"
[ -z "$calls" ] || fail "not root without sudo: still calls $calls"
mv "$work/sudo" "$stubs/sudo"

# Not Debian: no dpkg-query at all.
mv "$stubs/dpkg-query" "$work/dpkg-query"
run_setup "cmake"
check_failure "no dpkg-query" "Debian/Ubuntu only"
mv "$work/dpkg-query" "$stubs/dpkg-query"

# Any other failing command in a tool that sourced the set-up is named on the way out.
PATH="$stubs" /bin/bash -c 'set -euo pipefail; source "$1/tools/setup.sh"; /bin/false' tool "$source_dir" \
    2>"$work/err"
status=$?
errors=$(cat "$work/err")
check_failure "a failing command" "a command failed (exit status 1): /bin/false"

[ "$failures" -eq 0 ] && echo "all set-up checks passed"
exit $((failures > 0))
