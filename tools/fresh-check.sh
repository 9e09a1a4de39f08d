#!/usr/bin/env bash
# Tries the README's commands as a newcomer would, on a bare Debian 12: clones the committed
# repository into a fresh minimal root and runs there tools/test.sh, tools/run.sh --version, a
# convert of the sample and tools/package.sh, then installs the package it made and removes it
# again, printing each step's time and result.
#
# The bare root is made once with debootstrap from the mirror this machine's own apt sources name
# (or RAVIK_DEBIAN_MIRROR) and kept as it came; each check works on a new copy of it, so nothing a
# previous check installed can hide a missing install step. Needs root (chroot, mounts).
# Usage: tools/fresh-check.sh [--rebuild]   (the cache folder: RAVIK_FRESH_CACHE)
set -euo pipefail
RAVIK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$RAVIK_ROOT/tools/setup.sh"

cache=${RAVIK_FRESH_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/ravik-lcd/fresh-check}
base="$cache/bookworm-minbase"
root="$cache/root"
logs="$cache/logs"

if [ "$(id -u)" -ne 0 ]; then
    ravik_say "tools/fresh-check.sh 需要 root 权限（debootstrap、chroot 和挂载）：请用 sudo 运行。" \
        "tools/fresh-check.sh needs root (debootstrap, chroot, mounts): run it with sudo."
    exit 1
fi

# The first Debian mirror this machine's apt sources name for bookworm, one-line or deb822 style.
host_mirror() {
    local file
    for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$file" ] || continue
        awk '$1 == "deb" { i = 2; if ($2 ~ /^\[/) while ($i !~ /\]$/) i++; if ($2 ~ /^\[/) i++;
                           if ($(i + 1) == "bookworm") { print $i; exit } }' "$file"
    done
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -f "$file" ] || continue
        awk 'BEGIN { RS = ""; FS = "\n" }
             { uris = ""; deb = 0; bookworm = 0
               for (i = 1; i <= NF; i++) {
                   if ($i ~ /^Types:.*(^| )deb( |$)/) deb = 1
                   if ($i ~ /^Suites:/ && $i ~ /[ \t]bookworm([ \t]|$)/) bookworm = 1
                   if ($i ~ /^URIs:/) { uris = $i; sub(/^URIs:[ \t]*/, "", uris); sub(/[ \t].*/, "", uris) }
               }
               if (deb && bookworm && uris != "") { print uris; exit } }' "$file"
    done
}

make_base() {
    local mirror=${RAVIK_DEBIAN_MIRROR:-$(host_mirror | head -n 1)}
    if [ -z "$mirror" ]; then
        ravik_say "本机的 apt 软件源中没有 Debian 12（bookworm）的镜像：请用 RAVIK_DEBIAN_MIRROR 指定一个。" \
            "This machine's apt sources name no Debian 12 (bookworm) mirror: set RAVIK_DEBIAN_MIRROR."
        exit 1
    fi
    ravik_install_packages debootstrap
    echo "制作全新的 Debian 12 根目录 / making a bare Debian 12 root from $mirror"
    rm -rf "$base.new"
    mkdir -p "$cache"
    debootstrap --variant=minbase bookworm "$base.new" "$mirror" >"$cache/debootstrap.log" 2>&1 || {
        tail -n 20 "$cache/debootstrap.log" >&2
        ravik_say "debootstrap 失败（日志：$cache/debootstrap.log）。" "debootstrap failed (log: $cache/debootstrap.log)."
        exit 1
    }
    # The same apt settings as this machine (proxies, date checks), so the root reaches the
    # packages the way this machine does.
    cp /etc/apt/apt.conf.d/* "$base.new/etc/apt/apt.conf.d/" 2>/dev/null || true
    mv "$base.new" "$base"
}

mounted=()
unmount_all() {
    local i
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
        umount -l "${mounted[i]}" 2>/dev/null || true
    done
    mounted=()
}
trap unmount_all EXIT
# Mounts into the root at the given place: mount_in_root PLACE MOUNT-ARGUMENTS…
mount_in_root() {
    local place=$root$1
    shift
    mount "$@" "$place"
    mounted+=("$place")
}

# Runs a step as root in the bare root, in the clone, logging its output; prints its time and result.
failed=0
step() {
    local name=$1 command=$2
    local log="$logs/${name//[^a-zA-Z0-9.-]/_}.log" start end status
    start=$(date +%s.%N)
    chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        /bin/bash -c "cd /root/ravik-lcd && $command" </dev/null >"$log" 2>&1 && status=0 || status=$?
    end=$(date +%s.%N)
    if [ $status -eq 0 ]; then
        printf '%-28s 通过 / passed   %7.1f s\n' "$name" "$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')"
    else
        printf '%-28s 失败 / FAILED   %7.1f s   (exit %d, log: %s)\n' "$name" \
            "$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')" "$status" "$log"
        tail -n 25 "$log" | sed 's/^/    /'
        failed=1
    fi
}

[ "${1:-}" = --rebuild ] && rm -rf "$base"
[ -d "$base" ] || make_base

echo "复制全新的根目录 / copying the bare root"
unmount_all
rm -rf "$root"
cp -a "$base" "$root"
mkdir -p "$logs"
cp -L /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
mount_in_root /proc -t proc proc
mount_in_root /sys -t sysfs sysfs
mount_in_root /dev --bind /dev
mount_in_root /dev/pts --bind /dev/pts
mount_in_root /dev/shm -t tmpfs tmpfs

git clone --quiet "$RAVIK_ROOT" "$root/root/ravik-lcd"
echo "检查提交 / checking commit $(git -C "$root/root/ravik-lcd" log -1 --format='%h %s')"

step "tools/test.sh" "tools/test.sh"
step "tools/run.sh --version" 'tools/run.sh --version | tee /tmp/version && [ "$(tail -n 1 /tmp/version)" = "ravik-lcd 1.00" ]'
step "convert samples/test-card.png" 'build-run/ravik-lcd convert samples/test-card.png --bin /tmp/frame.bin &&
    [ "$(stat -c %s /tmp/frame.bin)" = 9849 ] &&
    build/ravik-lcd convert samples/test-card.png --bin /tmp/frame-test-build.bin &&
    cmp /tmp/frame.bin /tmp/frame-test-build.bin'
step "tools/package.sh" "tools/package.sh"
step "apt-get install the .deb" 'apt-get install -y -qq ./build-package/ravik-lcd_*.deb &&
    [ "$(ravik-lcd --version)" = "ravik-lcd 1.00" ] &&
    ravik-lcd convert samples/test-card.png --bin /tmp/installed.bin && cmp /tmp/frame.bin /tmp/installed.bin'
step "apt-get remove leaves nothing" 'dpkg -L ravik-lcd >/tmp/installed.txt &&
    apt-get remove -y -qq ravik-lcd &&
    while read -r file; do if [ -f "$file" ]; then echo "left: $file"; exit 1; fi; done </tmp/installed.txt'

if [ $failed -ne 0 ]; then
    ravik_say "全新 Debian 12 上的检查未通过（见上）。" "The check on a bare Debian 12 failed (see above)."
    exit 1
fi
echo "全新 Debian 12 上全部通过 / everything passed on a bare Debian 12"
