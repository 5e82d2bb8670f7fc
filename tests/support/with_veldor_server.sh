#!/bin/bash
# with_veldor_server.sh SERVER DATA LICENCES COMMAND...: runs COMMAND (a Windows test under Wine) beside
# a veldor-server started here on a free port. A Windows process can start a Linux program but can
# neither wait for it nor read its output, so the server is the wrapper's: COMMAND finds it through
# PLENVARO_TEST_SERVER_PORT and PLENVARO_TEST_SERVER_LOG (its log, as a Windows path). The server is
# stopped afterwards and its log printed when COMMAND fails.
set -euo pipefail

[ $# -ge 4 ] || {
    echo "usage: $0 SERVER DATA LICENCES COMMAND..." >&2
    exit 2
}
server=$1 data=$2 licences=$3
shift 3

dir=$(mktemp -d)
pid=
stop_server() {
    if [ -n "$pid" ]; then
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    fi
    rm -rf "$dir"
}
trap stop_server EXIT

"$server" --data "$data" --port 0 --licences "$licences" --log "$dir/server.log" >"$dir/stdout" 2>&1 </dev/null &
pid=$!
port=
for _ in $(seq 100); do
    line=$(head -n 1 "$dir/stdout")
    case $line in
    "listening on "*:*)
        port=${line##*:}
        break
        ;;
    esac
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
[ -n "$port" ] || {
    echo "veldor-server did not start: $(cat "$dir/stdout")" >&2
    exit 1
}

rc=0
PLENVARO_TEST_SERVER_PORT=$port PLENVARO_TEST_SERVER_LOG="Z:$dir/server.log" "$@" || rc=$?
if [ "$rc" -ne 0 ]; then
    echo "--- veldor-server log ---"
    cat "$dir/server.log" 2>/dev/null || true
fi
exit "$rc"
