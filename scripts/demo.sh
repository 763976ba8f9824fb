#!/usr/bin/env bash
# The main job: builds the plug-in and starts the demo host client with it and
# the sample menu under Wine. On a display it runs until its window is closed;
# without one it runs under Xvfb for a while and leaves a screenshot and the
# host client's log in build/demo/.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${DRAVLIN_BUILD_DIR:-$top/build}
out=$build/demo

"$top/scripts/setup.sh"
. "$top/scripts/wine-env.sh"
. "$top/scripts/cross-build.sh"

echo "Building the 32-bit plug-in"
cross_build i686 host_sim dravlin >/dev/null

rm -rf "$out" && mkdir -p "$out/settings"
cp "$top/demo/dravlin.ini" "$out/settings/"
make_wine_prefix
trap remove_wine_prefix EXIT
# Wine's drive Z: is the file system's root.
settings="Z:${out//\//\\}\\settings\\"
run=(/usr/lib/wine/wine "$build/i686/bin/host_sim.exe" "$settings" --log "$out/host-simulator.log")

if [ -n "${DISPLAY:-}" ]; then
  echo "Starting the host client simulator; press right Ctrl in its text field."
  "${run[@]}"
else
  echo "No display: running under Xvfb for a short while."
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    log=$1; shift
    "$@" --press-trigger & pid=$!
    for _ in $(seq 120); do
      grep -q "the popup menu is open" "$log" 2>/dev/null && break
      sleep 0.5
    done
    sleep 1
    import -window root "'"$out"'/screenshot.png"
    kill $pid 2>/dev/null || true; wait $pid 2>/dev/null || true' _ "$out/host-simulator.log" "${run[@]}"
  echo "Screenshot: $out/screenshot.png"
fi
echo "Host client log: $out/host-simulator.log"
cat "$out/host-simulator.log"
