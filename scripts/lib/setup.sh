# Shared by scripts/test and scripts/demo: install what is missing, then configure and build.
# shellcheck shell=bash

PLENVARO_PACKAGES=(
    build-essential cmake pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    unixodbc unixodbc-dev odbcinst libsqliteodbc odbc-postgresql
    libsqlite3-dev sqlite3
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    postgresql
    xvfb xauth
    fonts-liberation2 qt6-translations-l10n
)
# Only the tests need these: the registry layer is also built for Windows and run under Wine; the
# system tests drive the program under Xvfb with xdotool and read window properties with x11-utils; the
# package tests check the install tree and the .deb with the Debian and freedesktop validators.
PLENVARO_TEST_PACKAGES=(wine64 g++-mingw-w64-x86-64 xdotool x11-utils libxcb1-dev
    desktop-file-utils appstream lintian dpkg-dev systemd man-db)
# Only scripts/demo needs these: it clicks the program under Xvfb and takes a screenshot of it.
PLENVARO_DEMO_PACKAGES=(xdotool imagemagick)
# Only scripts/fuzz needs these: libFuzzer comes with clang's runtime libraries.
PLENVARO_FUZZ_PACKAGES=(clang libclang-rt-14-dev)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_missing_packages() {
    local missing=()
    local p
    for p in "${PLENVARO_PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    if [ "${#missing[@]}" -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        export DEBIAN_FRONTEND=noninteractive
        as_root apt-get update -q </dev/null
        as_root apt-get install -y -q --no-install-recommends "${missing[@]}" </dev/null
    fi
}

# build_project BUILD_DIR [CMAKE_OPTION...]
build_project() {
    local build_dir=$1
    shift
    cmake -S "$PLENVARO_ROOT" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    cmake --build "$build_dir" -j "$(nproc)"
}
