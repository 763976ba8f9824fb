# Sourced by the scripts that build for Windows, after they set $top and
# $build. cross_build ARCH [TARGET...] configures the MinGW-w64 build for ARCH
# (i686, the shipped plug-in, or x86_64) in $build/ARCH and builds the
# targets, or everything.
cross_build() {
  local arch=$1
  shift
  cmake -S "$top" -B "$build/$arch" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-$arch.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build/$arch" -j"$(nproc)" ${1:+--target "$@"}
}
