# The registry layer cross-built for Windows with mingw-w64 and tested under Wine, whose advapi32
# stands in for the real registry functions. Used by scripts/test.
# shellcheck shell=bash

WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
WINDOWS_PREFIX=

# A private Wine: no display, no debug noise, no prompts for Mono or Gecko, Windows-1252 as the
# ANSI code page (Wine takes it from the locale).
with_wine() {
    env WINEPREFIX="$WINDOWS_PREFIX" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY= LC_ALL=C "$@"
}

windows_cleanup() {
    [ -n "$WINDOWS_PREFIX" ] || return 0
    with_wine "$WINESERVER" -k >/dev/null 2>&1 || true
    with_wine "$WINESERVER" -w >/dev/null 2>&1 || true # gone before its files are
    rm -rf "$WINDOWS_PREFIX"
    WINDOWS_PREFIX=
}

# Builds GoogleTest from Debian's source and the registry-only tree into $1, then runs the tests
# (through Wine, the toolchain's emulator) in a fresh Wine prefix. Fails when any of it fails.
run_windows_tests() {
    local build_dir=$1
    local toolchain=$PLENVARO_ROOT/cmake/mingw-w64.cmake
    local gtest=$build_dir/_googletest
    local started=$SECONDS built

    WINDOWS_PREFIX=$(mktemp -d)
    trap windows_cleanup EXIT
    # Setting up a prefix takes Wine several seconds: let it do that while the compiler works.
    with_wine "$WINE" wineboot -i </dev/null >/dev/null 2>&1 &
    local boot=$!

    # No build type: unoptimised code compiles fastest, and speed is not what these tests measure.
    if [ ! -f "$gtest/install/lib/cmake/GTest/GTestConfig.cmake" ]; then
        cmake -S /usr/src/googletest -B "$gtest/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
            -DCMAKE_BUILD_TYPE=None -DBUILD_GMOCK=OFF -DCMAKE_INSTALL_PREFIX="$gtest/install" >/dev/null
        cmake --build "$gtest/build" -j "$(nproc)"
        cmake --install "$gtest/build" >/dev/null
    fi
    cmake -S "$PLENVARO_ROOT" -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=None \
        -DPLENVARO_REGISTRY_ONLY=ON -DPLENVARO_WERROR=ON -DGTest_DIR="$gtest/install/lib/cmake/GTest" >/dev/null
    cmake --build "$build_dir" -j "$(nproc)"
    built=$SECONDS

    wait "$boot"
    # msvcrt ends lines with CR LF on stdout.
    with_wine ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)" </dev/null 2>&1 | tr -d '\r'
    windows_cleanup
    trap - EXIT
    echo "Windows tests: built in $((built - started)) s, all done in $((SECONDS - started)) s"
}
