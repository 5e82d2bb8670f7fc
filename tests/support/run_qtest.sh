#!/bin/bash
# run_qtest.sh COMMAND...: runs a QTest program under Wine, where its log reaches only a file (-o), and
# prints that log when the program fails. A program running several test classes writes one file per
# class, FILE.01, FILE.02, ... (each class would start FILE afresh); they are printed in that order.
set -euo pipefail

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
log=$dir/qtest.log
rc=0
"$@" -o "Z:$log,txt" || rc=$?
if [ "$rc" -ne 0 ]; then
    logs=0
    for file in "$log" "$log".*; do
        if [ -f "$file" ]; then
            tr -d '\r' <"$file"
            logs=$((logs + 1))
        fi
    done
    if [ "$logs" -eq 0 ]; then
        echo "run_qtest.sh: no log from $* (exit code $rc)"
    fi
fi
exit "$rc"
