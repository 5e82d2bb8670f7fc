#!/usr/bin/env bash
# Waiting for a server or database that is slow or gone, as a person meets it: the windows keep
# answering (the window system's _NET_WM_PING), a note says what is awaited and "Abbrechen" ends the
# wait; the program goes on, or ends with the status of a failure it reported.
#   waits.sh BUILD_DIR CASE
set -euo pipefail
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"

# shellcheck source=waits_cases.sh
source "$(dirname "$0")/waits_cases.sh"

st_main "$@"
