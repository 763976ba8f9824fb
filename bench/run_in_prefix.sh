#!/usr/bin/env bash
# run_in_prefix.sh WINE PROGRAM...: runs the programs with WINE, one after
# another, in a fresh prefix with the test suite's settings. In a default
# prefix Wine waits two seconds for a window manager each time a window is
# hidden, and a figure would count that wait.
set -euo pipefail
. "$(dirname "$0")/../scripts/wine-env.sh"
make_wine_prefix
trap remove_wine_prefix EXIT
wine=$1
shift
for program; do
  "$wine" "$program"
done
