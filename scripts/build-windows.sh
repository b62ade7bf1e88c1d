#!/usr/bin/env bash
# The Windows build: the product's DLLs for 32-bit Windows, made with mingw-w64 from the same
# sources as the Linux build (without platform/'s stand-in), and their tests under Wine, on Wine's
# own registry and files in a Wine prefix made afresh for the run. Installs what is missing
# (Debian packages), makes SQLite's amalgamation from Debian's sqlite3 source package, builds and
# runs the tests.
#
# Wine runs the tests of the 32-bit build where the kernel runs 32-bit programs. A kernel that runs
# none (ia32 emulation off, as on some virtual machines) cannot start 32-bit Wine: there the 32-bit
# DLLs are built and their exports checked, and the same sources are built for 64-bit Windows as
# well, whose tests run under 64-bit Wine.
#
# QF_JOBS: parallel jobs (2). QF_WINDOWS_TESTS=win32|win64: which build's tests to run (chosen by
# the machine otherwise).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${QF_JOBS:-2}
top=$PWD
out=$top/build/windows
mkdir -p "$out"

sudo_cmd=""
[ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"

# A 32-bit Linux program that only exits: whether this kernel runs 32-bit programs at all.
runs_32bit_programs() {
    local probe=$out/probe32
    python3 - "$probe" <<'EOF'
import struct, sys
code = bytes([0xb8, 1, 0, 0, 0, 0x31, 0xdb, 0xcd, 0x80])  # exit(0) through int 0x80
base, size = 0x08048000, 52 + 32 + len(code)
header = b"\x7fELF\x01\x01\x01" + bytes(9) + struct.pack("<HHIIIIIHHHHHH", 2, 3, 1, base + 84, 52, 0, 0, 52, 32, 1, 0, 0, 0)
program = struct.pack("<IIIIIIII", 1, 0, base, base, size, size, 5, 0x1000)
with open(sys.argv[1], "wb") as f:
    f.write(header + program + code)
EOF
    chmod +x "$probe"
    "$probe" 2>/dev/null
}

tests=${QF_WINDOWS_TESTS:-}
if [ -z "$tests" ]; then
    if runs_32bit_programs; then tests=win32; else tests=win64; fi
fi
if [ "$tests" = win64 ]; then
    echo "build-windows: this kernel runs no 32-bit programs: the tests run on the 64-bit build under 64-bit Wine"
fi

# Packages: the cross compiler, GoogleTest's sources, what makes SQLite's amalgamation, Wine.
packages=(g++-mingw-w64-i686 googletest tcl dpkg-dev cmake make python3 wine)
if [ "$tests" = win32 ]; then
    packages+=(wine32:i386)
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo_cmd dpkg --add-architecture i386
        apt_update_needed=1
    fi
else
    packages+=(g++-mingw-w64-x86-64 wine64)
fi
missing=()
for p in "${packages[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ] || [ -n "${apt_update_needed:-}" ]; then
    echo "build-windows: installing: ${missing[*]}"
    $sudo_cmd apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# SQLite: the amalgamation (sqlite3.c, sqlite3.h) made from Debian's sqlite3 source package.
sqlite=$out/deps/sqlite
if [ ! -f "$sqlite/sqlite3.c" ]; then
    if [ -z "$(apt-cache showsrc sqlite3 2>/dev/null)" ]; then
        # apt-get source needs the source lines of the configured Debian archive.
        echo "build-windows: adding deb-src lines for apt-get source"
        if [ -f /etc/apt/sources.list.d/debian.sources ]; then
            sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
                $sudo_cmd tee /etc/apt/sources.list.d/quillfence-deb-src.sources >/dev/null
        else
            grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' |
                $sudo_cmd tee /etc/apt/sources.list.d/quillfence-deb-src.list >/dev/null
        fi
        $sudo_cmd apt-get update -q
    fi
    rm -rf "$out/deps/src"
    mkdir -p "$out/deps/src"
    (cd "$out/deps/src" && apt-get source -q --download-only sqlite3 && dpkg-source -q --no-check -x ./sqlite3_*.dsc source)
    mkdir -p "$out/deps/src/amalgamation"
    (cd "$out/deps/src/amalgamation" && ../source/configure --disable-tcl >configure.log && make -s sqlite3.c >make.log)
    mkdir -p "$sqlite"
    cp "$out/deps/src/amalgamation/sqlite3.c" "$out/deps/src/amalgamation/sqlite3.h" "$sqlite/"
    rm -rf "$out/deps/src"
fi

launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
configure() {  # configure BUILD_DIR TOOLCHAIN WINE
    cmake -S . -B "$1" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/$2.cmake" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DQF_BENCHMARKS=OFF -DQF_SQLITE_SOURCE_DIR="$sqlite" -DQF_WINE="$3" "${launcher[@]}" >"$1.configure.log" ||
        { cat "$1.configure.log"; exit 1; }
}

# The product's target: every DLL; the export list checked (a test that runs no Windows program).
configure "$out/win32" i686-w64-mingw32 wine
if [ "$tests" = win32 ]; then
    test_build=$out/win32
    wine_loader=wine
    wine_arch=win32
else
    cmake --build "$out/win32" -j"$jobs" --target windows_dlls
    (cd "$out/win32" && ctest --output-on-failure -R '^windows_exports$')
    configure "$out/win64" x86_64-w64-mingw32 /usr/lib/wine/wine64
    test_build=$out/win64
    wine_loader=/usr/lib/wine/wine64
    wine_arch=win64
fi
cmake --build "$test_build" -j"$jobs"

# A fresh Wine prefix for the run, headless: console programs need no display, and the .NET and
# HTML engines (whose installers would ask) stay off.
export WINEPREFIX=$test_build/wineprefix
export WINEARCH=$wine_arch
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
rm -rf "$WINEPREFIX"
"$wine_loader" wineboot -i >/dev/null 2>&1 || true
wineserver -w
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "build-windows: wineboot did not create the Wine prefix $WINEPREFIX" >&2
    exit 1
fi
# One Wine server for the whole run (the tests start a Windows program per case), and Wine's own
# services started now, with no output of theirs: started by the first test instead, they would
# hold on to the pipe that ctest reads that test's output from, and ctest would wait for them.
wineserver -p
trap 'wineserver -k || true' EXIT
"$wine_loader" cmd /c exit >/dev/null 2>&1 </dev/null
# A case that fails is run once more: Wine now and then fails to start a program, which then ends
# at once without printing anything. A case that fails twice fails the run.
(cd "$test_build" && ctest -j"$jobs" --output-on-failure --repeat until-pass:2)
