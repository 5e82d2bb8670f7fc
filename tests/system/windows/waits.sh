#!/usr/bin/env bash
# The Windows program under Wine waiting for a server or database that is slow or gone: the same
# cases as the Linux program's (../waits_cases.sh), with a window manager running.
#   waits.sh WINDOWS_BUILD_DIR LINUX_BUILD_DIR CASE
set -euo pipefail
# shellcheck source=wine.sh
source "$(dirname "$0")/wine.sh"
# shellcheck source=../waits_cases.sh
source "$(dirname "$0")/../waits_cases.sh"

ST_NO_SELF_CHECK=1 # the process started is Wine's loader

wine_main "$@"
