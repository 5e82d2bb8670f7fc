#!/bin/bash
# with_com_standin.sh DLL COMMAND...: runs COMMAND (a Windows test under Wine) in a Wine prefix of its own
# in which the stand-in "CacheObject.Factory" component DLL is registered with regsvr32, so no other test
# finds the component. The prefix is a copy of WINEPREFIX when that names a booted one, else booted here.
# COMMAND finds the DLL's Windows path in PLENVARO_COM_STANDIN.
set -euo pipefail

[ $# -ge 2 ] || {
    echo "usage: $0 DLL COMMAND..." >&2
    exit 2
}
dll=$1
shift

wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
dir=$(mktemp -d)
prefix=$dir/prefix
wine_env() {
    env WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=" "$@"
}
cleanup() {
    wine_env "$wineserver" -k >/dev/null 2>&1 || true
    wine_env "$wineserver" -w >/dev/null 2>&1 || true
    rm -rf "$dir"
}
trap cleanup EXIT

if [ -n "${WINEPREFIX:-}" ] && [ -f "$WINEPREFIX/system.reg" ]; then
    cp -a -- "$WINEPREFIX" "$prefix"
else
    mkdir "$prefix"
    wine_env "$wine" wineboot -i </dev/null >"$dir/wineboot.log" 2>&1 || {
        cat "$dir/wineboot.log" >&2
        exit 1
    }
fi
wine_env "$wine" regsvr32 /s "Z:$dll" </dev/null || {
    echo "regsvr32 could not register $dll" >&2
    exit 1
}
export WINEPREFIX=$prefix PLENVARO_COM_STANDIN="Z:$dll"
"$@"
