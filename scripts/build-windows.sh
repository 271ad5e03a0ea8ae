#!/usr/bin/env bash
# Cross-builds the headless EndPoint for 64-bit Windows (mingw-w64) with its tests, and
# packs dist/quarn-endpoint-windows-x64.zip: Quarn_EndPoint.exe, iperf.exe, the libgcrypt
# and libgpg-error DLLs with their licences, README.txt.
# Dependencies are built once into build-windows/deps and reused while present:
# googletest from /usr/src/googletest, iperf.exe from Debian's iperf source with
# scripts/windows/iperf-2.1.8-mingw.patch (needs the deb-src line scripts/setup.sh adds).
# Usage: scripts/build-windows.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build-windows}
deps=$root/$build/deps
jobs=$(nproc)
toolchain=$root/cmake/mingw-w64.cmake
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
mkdir -p "$deps"

build_googletest() {
    [ -f "$deps/googletest/lib/cmake/GTest/GTestConfig.cmake" ] && return
    echo "=== windows: googletest (once) ==="
    cmake -S /usr/src/googletest -B "$deps/googletest-build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$deps/googletest" -Dgtest_disable_pthreads=OFF \
        "${launcher[@]}" >/dev/null
    cmake --build "$deps/googletest-build" -j "$jobs" >/dev/null
    cmake --install "$deps/googletest-build" >/dev/null
}

build_iperf() {
    [ -f "$deps/iperf.exe" ] && return
    echo "=== windows: iperf.exe from Debian's source (once) ==="
    local src=$deps/iperf-src
    rm -rf "$src" && mkdir -p "$src"
    (cd "$src" && apt-get source -qq iperf >/dev/null 2>&1)
    local tree
    tree=$(find "$src" -mindepth 1 -maxdepth 1 -type d -name 'iperf-*' | head -n 1)
    [ -n "$tree" ] || { echo "apt-get source iperf failed (is there a deb-src line?)" >&2; exit 1; }
    (cd "$tree" && patch -p1 -s <"$root/scripts/windows/iperf-2.1.8-mingw.patch" &&
        ./configure -q --host=x86_64-w64-mingw32 CC=x86_64-w64-mingw32-gcc-posix \
            CXX=x86_64-w64-mingw32-g++-posix LDFLAGS=-static >/dev/null &&
        make -s -j "$jobs" >/dev/null 2>&1 &&
        x86_64-w64-mingw32-strip -o "$deps/iperf.exe" src/iperf.exe)
}

# Test discovery runs the test programs under Wine, in one session for the build folder
# (a program then starts in 0.2 s instead of 4 s).
. "$root/scripts/windows/wine-session.sh"
build_googletest
build_iperf
wine_session_start "$root/$build/wine-prefix"
trap wine_session_stop EXIT
echo "=== windows: configure and build ($build) ==="
# One unit per file here: the Windows sources have not been compiled in batches yet, and
# this build is small beside its dependencies and Wine.
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DQUARN_UNITY_BUILD=OFF \
    -DQUARN_BUILD_TESTS=ON -DCMAKE_PREFIX_PATH="$deps/googletest" "${launcher[@]}" >/dev/null
cmake --build "$build" -j "$jobs"

echo "=== windows: package ==="
stage=$root/$build/package
rm -rf "$stage" && mkdir -p "$stage" dist
x86_64-w64-mingw32-strip -o "$stage/Quarn_EndPoint.exe" "$build/bin/Quarn_EndPoint.exe"
cp "$deps/iperf.exe" "$stage/iperf.exe"
# libgcrypt (LGPL) and libgpg-error go as the DLLs the program loads, with their licences,
# so they can be replaced.
cp "$build/bin/libgcrypt-20.dll" "$build/bin/libgpg-error-0.dll" "$stage/"
sed 's/$/\r/' /usr/share/doc/libgcrypt-mingw-w64-dev/copyright >"$stage/COPYING-libgcrypt.txt"
sed 's/$/\r/' /usr/share/doc/libgpg-error-mingw-w64-dev/copyright >"$stage/COPYING-libgpg-error.txt"
sed 's/$/\r/' endpoint/app/windows/README.txt >"$stage/README.txt"
rm -f dist/quarn-endpoint-windows-x64.zip
(cd "$stage" && zip -q -X "$root/dist/quarn-endpoint-windows-x64.zip" Quarn_EndPoint.exe iperf.exe \
    libgcrypt-20.dll libgpg-error-0.dll COPYING-libgcrypt.txt COPYING-libgpg-error.txt README.txt)
echo "windows: dist/quarn-endpoint-windows-x64.zip"
