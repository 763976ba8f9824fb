#!/usr/bin/env bash
# The soak: a host client and a user acting at random on the shipped 32-bit
# plug-in for DURATION (seconds, or 30m, 2h), in a fresh Wine prefix under
# Xvfb and a checking heap. It prints every step; a fault prints the step and
# the seed, and --seed N takes the same steps again.
#   scripts/soak.sh 30m
#   scripts/soak.sh 60 --seed 1234
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${DRAVLIN_BUILD_DIR:-$top/build}
[ $# -ge 1 ] || { echo "usage: $0 DURATION [--seed N]" >&2; exit 2; }
duration=$1
shift

"$top/scripts/setup.sh"
. "$top/scripts/wine-env.sh"
. "$top/scripts/cross-build.sh"
cross_build i686 dravlin_soak >/dev/null
make_wine_prefix
trap remove_wine_prefix EXIT
xvfb-run -a -s "-screen 0 1280x1024x24" \
  /usr/lib/wine/wine "$build/i686/bin/dravlin_soak.exe" --duration "$duration" "$@"
