#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the native core with its unit
# tests, the shipped 32-bit plug-in and a 64-bit build of the same code, and runs
# the unit tests (also under sanitizers), a short fuzzing run, the check of the
# shipped module, the Wine tests against both builds, a one-minute soak of the
# shipped module and the check of the release archive.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${DRAVLIN_BUILD_DIR:-$top/build}
jobs=$(nproc)

stage_name=
stage_start=$SECONDS
# Ends the running stage with its time and starts the next one.
stage() {
  [ -z "$stage_name" ] || echo "== $stage_name: passed in $((SECONDS - stage_start)) s"
  stage_name=$1
  stage_start=$SECONDS
  [ -z "$stage_name" ] || echo "== $stage_name"
}

stage "installing what is missing"
"$top/scripts/setup.sh"
. "$top/scripts/wine-env.sh"
. "$top/scripts/cross-build.sh"

stage "native core and unit tests"
cmake -S "$top" -B "$build/native" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build/native" -j"$jobs"
ctest --test-dir "$build/native" --output-on-failure -j"$jobs"

stage "native unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S "$top" -B "$build/native-asan" -DCMAKE_BUILD_TYPE=Debug \
      -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer" >/dev/null
cmake --build "$build/native-asan" -j"$jobs" --target unit_tests
ctest --test-dir "$build/native-asan" --output-on-failure -j"$jobs"

stage "fuzz targets of the core, 20 s each"
"$top/scripts/fuzz.sh" 20

for arch in i686 x86_64; do
  stage "cross build, $arch"
  cross_build "$arch"
done

stage "the shipped module"
ctest --test-dir "$build/i686" --output-on-failure -LE wine

stage "a fresh Wine prefix"
make_wine_prefix
trap remove_wine_prefix EXIT
display=(xvfb-run -a -s "-screen 0 1280x1024x24")

stage "Wine tests, 32-bit build (the shipped module)"
"${display[@]}" ctest --test-dir "$build/i686" --output-on-failure -L wine

stage "soak of the 32-bit build, one minute"
"$top/scripts/soak.sh" 60

stage "Wine tests, 64-bit build"
"${display[@]}" ctest --test-dir "$build/x86_64" --output-on-failure -L wine

stage "release archive"
"$top/scripts/release.sh"
"$top/scripts/check-release.sh" "$build/dist" "$build/i686/bin/dravlin.dll"
stage ""

# Screenshots the Wine tests took, as PNGs for a person to look at.
mkdir -p "$build/screenshots"
for bmp in "$build"/*/bin/screenshots/*.bmp; do
  [ -e "$bmp" ] && convert "$bmp" "$build/screenshots/$(basename "${bmp%.bmp}").png"
done
echo "Screenshots: $build/screenshots"
echo "All tests passed in $SECONDS s"
