#!/bin/bash
# The one build configuration of scripts/run.sh, scripts/test.sh and scripts/package.sh: installs what
# is missing, then configures the build folder with the same options every time, so that each of them
# reuses what another one built instead of building everything again.
#   scripts/configure.sh BUILD-FOLDER [extra cmake arguments...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$1"
shift

"$root/scripts/setup-debian.sh"
cmake -S "$root" -B "$build" -G Ninja -DVORLANE_WERROR=ON "$@"
