#!/bin/bash
# with_odbc_sandbox.sh DRIVER COMMAND...: runs COMMAND (a Windows test under Wine) with a private ODBC
# setup: odbc.ini with the data sources tovi_net (DRIVER on kundenkarte.db, StepAPI=1) and tovi_missing
# (a driver file that does not exist). Wine's odbc32 hands every call to the host's driver manager, which
# reads ODBCINI and ODBCSYSINI from the environment Wine started with, so they are set here; COMMAND
# finds the folder (as a Windows path) in PLENVARO_TEST_ODBC_DIR. The folder goes afterwards.
set -euo pipefail

[ $# -ge 2 ] || {
    echo "usage: $0 DRIVER COMMAND..." >&2
    exit 2
}
driver=$1
shift
[ -f "$driver" ] || {
    echo "SQLite ODBC driver not installed: $driver" >&2
    exit 1
}

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cat >"$dir/odbc.ini" <<INI
[tovi_net]
Driver=$driver
Database=$dir/kundenkarte.db
StepAPI=1
Timeout=1000

[tovi_missing]
Driver=$dir/no-such-driver.so
Database=$dir/kundenkarte.db
INI
: >"$dir/odbcinst.ini"

ODBCINI=$dir/odbc.ini ODBCSYSINI=$dir PLENVARO_TEST_ODBC_DIR="Z:$dir" "$@"
