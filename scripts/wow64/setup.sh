#!/bin/bash
# Prepares the 32-bit Windows route (WoW64 through qemu user-mode emulation)
# used by scripts/wow64/run.  Idempotent: a re-run checks everything and only
# runs the self-check (a few seconds).
#
#   scripts/wow64/setup.sh
#
# What it does:
#   - adds the i386 architecture and installs wine32:i386 beside wine and
#     wine64 (plus wixl, msitools and the mingw-w64 cross compilers) when
#     missing; this part needs root, through sudo when not root;
#   - fetches qemu-i386 10.x from Debian's bookworm-backports with a private
#     apt configuration (the machine's apt sources are left as they are) into
#     the cache folder <repo>/.tools/wow64 (or $WOW64_TOOLS), keeping the .deb;
#   - builds the trap-number fix preloaded into i386 processes;
#   - runs a 32-bit Windows self-check program through the wrapper in a
#     cached prefix of the cache folder.
# Exits non-zero with the reason when the route cannot be set up.
#
# Environment: WOW64_TOOLS (cache folder), WOW64_DEBIAN_MIRROR (archive URL
# for bookworm-backports; by default the machine's Debian mirror).

set -euo pipefail

here=$(cd "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")" && pwd)
repo=$(cd "$here/../.." && pwd)
tools=${WOW64_TOOLS:-$repo/.tools/wow64}
started=$(date +%s.%N)

say() { echo "wow64 setup: $*"; }
die() {
    echo "wow64 setup: FAILED: $*" >&2
    exit 1
}

case $tools in
    *[:\ ]*) die "the cache folder path '$tools' must contain no blank and no colon (it goes into LD_PRELOAD and binfmt_misc)" ;;
esac
[ "$(uname -m)" = x86_64 ] || die "this route is for x86_64 machines (this one is $(uname -m))"
command -v dpkg >/dev/null && command -v apt-get >/dev/null \
    || die "needs a Debian system (dpkg and apt-get)"
[ "$(dpkg --print-architecture)" = amd64 ] || die "needs an amd64 Debian system"

if [ "$(id -u)" = 0 ]; then
    as_root=()
elif command -v sudo >/dev/null; then
    as_root=(sudo)
else
    as_root=(false)
fi
root() {
    "${as_root[@]}" "$@" || die "'$*' failed (it needs root or sudo)"
}

# ---- 1. Debian packages -----------------------------------------------------

packages=(wine wine64 wine32:i386 wixl msitools
          gcc g++-mingw-w64-i686 g++-mingw-w64-x86-64 util-linux mount)

installed() {
    [ "$(dpkg-query -W -f='${db:Status-Abbrev}' "$1" 2>/dev/null)" = "ii " ]
}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    say "adding the i386 architecture"
    root dpkg --add-architecture i386
fi
missing=()
for p in "${packages[@]}"; do
    installed "$p" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    say "installing ${missing[*]}"
    root apt-get update -q
    root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
i386_libc=/lib/i386-linux-gnu/libc.so.6
[ -e "$i386_libc" ] || die "$i386_libc is missing although wine32:i386 is installed"
[ -x /usr/lib/wine/wine ] || die "/usr/lib/wine/wine (the 32-bit Wine loader) is missing"

mkdir -p "$tools"

# ---- 2. qemu-i386 10.x from bookworm-backports ------------------------------

qemu=$tools/qemu-i386
qemu_version() {
    "$1" --version 2>/dev/null | sed -n '1s/.*version \([0-9][0-9.]*\).*/\1/p'
}
qemu_is_good() {
    [ -x "$1" ] && case $(qemu_version "$1") in 10.*) true ;; *) false ;; esac
}

debian_mirror() {
    local uri
    uri=$( { grep -hs '^URIs:' /etc/apt/sources.list.d/*.sources | awk '{print $2}'
             grep -hs '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list \
                 | sed 's/\[[^]]*\]//' | awk '{print $2}'; } \
           | grep -v -e security -e '^$' | head -n 1 || true)
    echo "${uri:-http://deb.debian.org/debian}"
}

fetch_qemu_deb() {
    local apt=$tools/apt mirror
    mirror=${WOW64_DEBIAN_MIRROR:-$(debian_mirror)}
    mkdir -p "$apt/sources.list.d" "$apt/preferences.d" "$apt/state/lists/partial" \
             "$apt/cache/archives/partial" "$tools/debs"
    : > "$apt/state/status"
    echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror bookworm-backports main" \
        > "$apt/sources.list"
    cat > "$apt/apt.conf" <<EOF
// Private apt configuration: reads only bookworm-backports, keeps its state
// and cache here, and leaves the machine's apt sources and lists untouched.
Dir::Etc::SourceList "$apt/sources.list";
Dir::Etc::SourceParts "$apt/sources.list.d";
Dir::Etc::Preferences "$apt/preferences";
Dir::Etc::PreferencesParts "$apt/preferences.d";
Dir::State "$apt/state";
Dir::State::Lists "$apt/state/lists";
Dir::State::status "$apt/state/status";
Dir::Cache "$apt/cache";
APT::Architecture "amd64";
APT::Architectures { "amd64"; };
Acquire::Languages "none";
APT::Sandbox::User "root";
EOF
    say "downloading qemu-user from bookworm-backports ($mirror)"
    APT_CONFIG=$apt/apt.conf apt-get update -q >"$apt/update.log" 2>&1 \
        || { cat "$apt/update.log" >&2; die "apt-get update of bookworm-backports failed"; }
    (cd "$tools/debs" && APT_CONFIG=$apt/apt.conf apt-get download -q qemu-user/bookworm-backports) \
        || die "apt-get download qemu-user/bookworm-backports failed"
}

if ! qemu_is_good "$qemu"; then
    deb=$(ls -1 "$tools"/debs/qemu-user_*.deb 2>/dev/null | tail -n 1 || true)
    if [ -z "$deb" ]; then
        fetch_qemu_deb
        deb=$(ls -1 "$tools"/debs/qemu-user_*.deb 2>/dev/null | tail -n 1 || true)
        [ -n "$deb" ] || die "no qemu-user package was downloaded"
    fi
    say "extracting qemu-i386 from $(basename "$deb")"
    unpack=$(mktemp -d "$tools/unpack.XXXXXX")
    dpkg-deb -x "$deb" "$unpack" || die "cannot unpack $deb"
    [ -f "$unpack/usr/bin/qemu-i386" ] || die "$deb has no usr/bin/qemu-i386"
    install -m 0755 "$unpack/usr/bin/qemu-i386" "$qemu.new"
    rm -rf "$unpack"
    if ! qemu_is_good "$qemu.new"; then
        v=$(qemu_version "$qemu.new")
        rm -f "$qemu.new" "$deb"
        die "qemu-i386 from $(basename "$deb") is version '${v:-unknown}', 10.x is needed (older ones take about a minute per 32-bit process)"
    fi
    mv -f "$qemu.new" "$qemu"
fi
# With flag P, qemu learns that argv[0] is passed from its "-binfmt-P" name.
[ "$(readlink "$tools/qemu-i386-binfmt-P" 2>/dev/null)" = qemu-i386 ] \
    || ln -sfn qemu-i386 "$tools/qemu-i386-binfmt-P"

# ---- 3. trap-number fix ------------------------------------------------------

# Where each dynamic loader expands $LIB, asked of the loaders themselves
# through the library search path they report (Debian: lib/x86_64-linux-gnu
# and lib/i386-linux-gnu).
lib_expansion() {
    # arguments: a command that starts a dynamically linked program of the kind
    local out
    out=$(LD_DEBUG=libs LD_LIBRARY_PATH='/wow64-lib-probe/$LIB' "$@" 2>&1 >/dev/null || true)
    sed -n '/(LD_LIBRARY_PATH)/{s|.*[=:]/wow64-lib-probe/\([^:[:space:]]*\)[[:space:]]*(LD_LIBRARY_PATH).*|\1|p;q;}' <<<"$out"
}
preload=$tools/preload
layout=$preload/layout      # line 1: i386 expansion, line 2: amd64 expansion
if [ ! -s "$layout" ]; then
    lib64=$(lib_expansion /bin/true)
    lib32=$(lib_expansion "$qemu" /lib/ld-linux.so.2 --list /usr/lib/wine/wine)
    [ -n "$lib64" ] && [ -n "$lib32" ] && [ "$lib64" != "$lib32" ] \
        || die "cannot tell where the loaders expand \$LIB (amd64: '$lib64', i386: '$lib32')"
    mkdir -p "$preload"
    printf '%s\n%s\n' "$lib32" "$lib64" > "$layout"
fi
lib32=$(sed -n 1p "$layout")
lib64=$(sed -n 2p "$layout")
fix32=$preload/$lib32/libwow64trapfix.so
fix64=$preload/$lib64/libwow64trapfix.so
if [ ! -s "$fix32" ] || [ "$here/trapfix.c" -nt "$fix32" ] || [ ! -f "$fix64" ]; then
    say "building the trap-number fix"
    mkdir -p "$(dirname "$fix32")" "$(dirname "$fix64")"
    gcc -m32 -O2 -fPIC -fno-stack-protector -fcf-protection=none -nostdlib -shared \
        -Wl,-soname,libwow64trapfix.so -o "$fix32.new" "$here/trapfix.c" "$i386_libc" \
        || die "cannot build the i386 trap-number fix"
    # The amd64 twin is empty: 64-bit processes need no fix.
    gcc -O2 -nostdlib -shared -Wl,-soname,libwow64trapfix.so -o "$fix64.new" -x c /dev/null \
        || die "cannot build the empty amd64 twin of the trap-number fix"
    mv -f "$fix32.new" "$fix32"
    mv -f "$fix64.new" "$fix64"
fi

# ---- 4. self-check ------------------------------------------------------------

check_src=$here/selfcheck/wow64check.c
check_exe=$tools/selfcheck/wow64check.exe
if [ ! -f "$check_exe" ] || [ "$check_src" -nt "$check_exe" ]; then
    mkdir -p "$tools/selfcheck"
    i686-w64-mingw32-gcc -O2 -o "$check_exe" "$check_src" \
        || die "cannot build the 32-bit self-check program"
fi

export WINEPREFIX=$tools/selfcheck/prefix
export WINEDEBUG=-all
run=$here/run
timeout_s=${WOW64_TIMEOUT:-120}

self_check() {
    local out rc=0
    out=$(timeout -k 10 "$timeout_s" "$run" /usr/lib/wine/wine64 "$check_exe" 2>&1) || rc=$?
    echo "$out" | sed 's/^/    /'
    [ $rc -eq 0 ]
}
if [ ! -f "$WINEPREFIX/.wow64-ready" ]; then
    "$here/make-prefix.sh" "$WINEPREFIX" || die "cannot make the self-check prefix $WINEPREFIX"
fi
say "self-check: a 32-bit Windows program through scripts/wow64/run"
if ! self_check; then
    say "self-check failed; repairing its prefix and trying once more"
    rm -f "$WINEPREFIX/.wow64-ready"
    "$here/make-prefix.sh" "$WINEPREFIX" || die "cannot repair the self-check prefix $WINEPREFIX"
    self_check || die "a 32-bit Windows program does not run as it should through scripts/wow64/run (see above)"
fi
timeout -k 5 30 "$run" wineserver -k >/dev/null 2>&1 || true

if [ -n "${SUDO_UID:-}" ] && [ "$(id -u)" = 0 ]; then
    chown -R "$SUDO_UID:${SUDO_GID:-$SUDO_UID}" "$tools" 2>/dev/null || true
fi
say "ready ($(awk -v s="$started" -v e="$(date +%s.%N)" 'BEGIN{printf "%.1f", e-s}') s; qemu-i386 $(qemu_version "$qemu"))"
