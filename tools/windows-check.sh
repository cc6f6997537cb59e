#!/usr/bin/env bash
# The Windows side of src/platform/: cross-builds the Win32 file and its tests (the same test
# source as test_platform) into a Windows console program and runs it under Wine, with a COM
# port that Wine maps to a pseudo-terminal of instrument-sim. Installs the cross compiler and
# Wine when missing. Any failure, in the build or in a test, fails the check.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/deps.sh
ensure_packages g++-mingw-w64-x86-64-posix wine64

fail() {
    echo "windows-check: FAILED: $*" >&2
    exit 1
}

out=build-windows
mkdir -p "$out/obj"

# Wine with a prefix of its own, quiet, without the browser and .NET installers. A new prefix
# is made while the programs compile.
export WINEPREFIX=$PWD/$out/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

work=$(mktemp -d /tmp/logdump-windows-check.XXXXXX)
sim=
boot=
cleanup() {
    [ -n "$sim" ] && kill "$sim" 2>/dev/null && wait "$sim" 2>/dev/null
    [ -n "$boot" ] && wait "$boot" 2>/dev/null
    "$wineserver" -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# One Wine server for the whole check; its object dump on stopping goes to a file.
mkdir -p "$WINEPREFIX"
"$wineserver" -p >"$out/wineserver.log" 2>&1 || fail "the Wine server did not start"
if [ ! -d "$WINEPREFIX/dosdevices" ]; then
    echo "windows-check: creating the Wine prefix" >&2
    "$wine" wineboot --init >"$work/wineboot.log" 2>&1 &
    boot=$!
fi

# The simulated instrument is a Linux program from the normal build, configured as ./run does,
# so that ./run afterwards rebuilds nothing.
if [ ! -f build/build.ninja ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DLOGDUMP_WERROR=OFF \
        -DLOGDUMP_BENCH=ON >&2
fi
cmake --build build --target instrument-sim >&2 || fail "instrument-sim did not build"

cxx=(x86_64-w64-mingw32-g++-posix)
command -v ccache >/dev/null && cxx=(ccache "${cxx[@]}")
gtest=/usr/src/googletest/googletest
flags=(-std=c++17 -O1 -Wall -Wextra -Werror -Isrc -I"$gtest/include")

# compile SOURCE OBJECT [flags...]: when the object is missing or older than the source, the
# platform header or this script.
compile() {
    local source=$1 object=$2
    shift 2
    if [ -f "$object" ] && [ "$object" -nt "$source" ] &&
        [ "$object" -nt src/platform/Platform.h ] && [ "$object" -nt "$0" ]; then
        return 0
    fi
    echo "windows-check: compiling $source" >&2
    "${cxx[@]}" "$@" -c "$source" -o "$object" || fail "$source does not compile for Windows"
}
# GoogleTest from Debian's source copy (without warnings of its own), all four in parallel.
pids=()
compile "$gtest/src/gtest-all.cc" "$out/obj/gtest-all.o" -std=c++17 -O0 -I"$gtest/include" \
    -I"$gtest" &
pids+=($!)
compile "$gtest/src/gtest_main.cc" "$out/obj/gtest_main.o" -std=c++17 -O0 -I"$gtest/include" &
pids+=($!)
compile src/platform/PlatformWin32.cpp "$out/obj/PlatformWin32.o" "${flags[@]}" &
pids+=($!)
compile tests/platform/PlatformTest.cpp "$out/obj/PlatformTest.o" "${flags[@]}" &
pids+=($!)
for pid in "${pids[@]}"; do wait "$pid" || exit 1; done
# Static, so Wine needs none of the compiler's DLLs.
"${cxx[@]}" -static -o "$out/test_platform.exe" "$out/obj/PlatformTest.o" \
    "$out/obj/PlatformWin32.o" "$out/obj/gtest-all.o" "$out/obj/gtest_main.o" -lwinmm -lpsapi ||
    fail "test_platform.exe does not link"

if [ -n "$boot" ]; then
    wait "$boot" || { cat "$work/wineboot.log" >&2; fail "Wine did not start"; }
    boot=
fi

# The instrument behind COM7: Wine opens what the dosdevices link points at.
build/bin/instrument-sim --link "$work/com" --scenario tests/platform/xoff-sim.json >/dev/null &
sim=$!
for _ in $(seq 100); do [ -L "$work/com" ] && break; sleep 0.05; done
[ -L "$work/com" ] || fail "instrument-sim did not start"
ln -sfn "$work/com" "$WINEPREFIX/dosdevices/com7"
# The port the tests expect to be missing.
rm -f "$WINEPREFIX/dosdevices/com199"

echo "windows-check: running test_platform.exe under Wine" >&2
# On a terminal of its own (script), so that Wine gives the program a console and a real Ctrl+C
# can reach it; the exit status is the program's.
# Wine's console draws with escape sequences: the output is kept in a file and shown plain.
run=$(printf '%q ' env LOGDUMP_TEST_COM=COM7 "$wine" "$out/test_platform.exe" --gtest_color=no "$@")
status=0
script -qefc "$run" "$work/wine.out" >/dev/null </dev/null || status=$?
# A Wine that has just made its prefix now and then fails to start the program at all (no line
# of it, not even GoogleTest's first): that is Wine, not our calls, so it gets one more try.
if [ "$status" -ne 0 ] && ! grep -q "Running main()" "$work/wine.out"; then
    echo "windows-check: Wine did not start the program; once more" >&2
    sleep 2
    status=0
    script -qefc "$run" "$work/wine.out" >/dev/null </dev/null || status=$?
fi
sed -e 's/\x1b\[[0-9]*C/ /g' -e 's/\x1b\[[0-9;?]*[A-Za-z]//g' -e 's/\x1b\][^\x07]*\x07//g' "$work/wine.out" | tr -d '\r' >&2
if [ "$status" -ne 0 ]; then
    fail "a Win32 call in src/platform/ does not behave as on Linux (see above)"
fi
echo "windows-check: passed" >&2
