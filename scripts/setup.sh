#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test the plug-in,
# and makes 32-bit Windows programs run where the kernel refuses 32-bit x86
# programs. Silent when everything is there. Runs apt as root, or through sudo.
#
# Package mirrors are sometimes mid-sync: a failed index does not stop the
# install, and 32-bit Wine is installed at the versions both architectures
# share when the i386 index lags behind the amd64 one.
set -euo pipefail

packages=(make python3 wine wine64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix xvfb xauth cmake g++ googletest
          imagemagick libclang-rt-14-dev clang)
i386_packages=(wine32:i386)
i386_loader=/lib/ld-linux.so.2
binfmt=/proc/sys/fs/binfmt_misc
# i386 ELF executables and shared objects (types 2 and 3), as QEMU registers them.
i386_magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
i386_mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

say() { echo "setup: $*"; }
as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
apt_get() { as_root env DEBIAN_FRONTEND=noninteractive apt-get -q "$@"; }

missing() {
  local p
  for p; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
  done
}

runs_32bit() { "$i386_loader" --help >/dev/null 2>&1; }

update_indexes() {
  apt_get update ||
    say "some package indexes could not be downloaded (see above); going on with the ones there are"
}

# Installs only when a simulation removes nothing: a careless resolution of
# 32-bit Wine removes 64-bit Wine.
install_without_removals() {
  local plan
  if ! plan=$(as_root apt-get -s "$@" 2>&1); then return 1; fi
  if grep -q '^Remv' <<<"$plan"; then
    say "refusing to install, it would remove: $(grep '^Remv' <<<"$plan" | cut -d' ' -f2 | tr '\n' ' ')"
    return 1
  fi
  apt_get -y --no-install-recommends "$@"
}

# A stale i386 index leaves amd64 and i386 twins of the same library at
# different versions. Preferring the release and its updates for this one
# install makes both take the same version; nothing stays pinned.
install_i386() {
  install_without_removals install "$@" && return 0
  say "the i386 packages do not match the amd64 ones; installing the versions both share"
  local prefs
  prefs=$(mktemp -d)
  printf 'Package: *\nPin: release o=Debian,n=%s\nPin-Priority: 1001\n\n' bookworm bookworm-updates >"$prefs/release.pref"
  chmod -R a+rX "$prefs"
  local status=0
  install_without_removals -o Dir::Etc::PreferencesParts="$prefs" --allow-downgrades install "$@" || status=$?
  rm -rf "$prefs"
  return $status
}

install_packages() {
  local plain i386
  mapfile -t plain < <(missing "${packages[@]}")
  mapfile -t i386 < <(missing "${i386_packages[@]}")
  [ ${#plain[@]} -eq 0 ] && [ ${#i386[@]} -eq 0 ] && return 0
  say "installing: $(echo ${plain[*]} ${i386[*]})"
  dpkg --print-foreign-architectures | grep -qx i386 || as_root dpkg --add-architecture i386
  update_indexes
  [ ${#plain[@]} -eq 0 ] || apt_get install -y --no-install-recommends "${plain[@]}"
  [ ${#i386[@]} -eq 0 ] || install_i386 "${i386[@]}" ||
    { say "FAILED to install ${i386[*]}: 32-bit Windows programs cannot run"; return 1; }
}

# bookworm's QEMU 7.2 ignores MAP_FIXED_NOREPLACE, and 32-bit Wine then spends
# about a minute a process in failing mmap calls; backports carry 10.0.
install_emulator() {
  [ -z "$(missing qemu-user)" ] && dpkg --compare-versions "$(dpkg-query -W -f='${Version}' qemu-user)" ge 1:10 &&
    return 0
  say "this kernel refuses 32-bit programs: installing QEMU's user-mode emulator from bookworm-backports"
  local list=/etc/apt/sources.list.d/bookworm-backports.list
  if ! apt-cache policy | grep -q 'n=bookworm-backports'; then
    echo 'deb http://deb.debian.org/debian bookworm-backports main' | as_root tee "$list" >/dev/null
    say "added $list"
  fi
  update_indexes
  apt_get install -y --no-install-recommends -t bookworm-backports qemu-user
}

# The registration lives until the next boot, and every README command runs
# this first. It is machine-wide, and so also works in a chroot, where no
# private user namespace can be made; it only affects i386 programs, which
# this kernel refuses to run at all otherwise.
register_emulator() {
  [ -e "$binfmt/register" ] || as_root mount -t binfmt_misc binfmt_misc "$binfmt"
  [ -e "$binfmt/qemu-i386" ] && echo -1 | as_root tee "$binfmt/qemu-i386" >/dev/null
  printf ':qemu-i386:M::%s:%s:/usr/bin/qemu-i386:F\n' "$i386_magic" "$i386_mask" |
    as_root tee "$binfmt/register" >/dev/null
  say "registered /usr/bin/qemu-i386 for 32-bit x86 programs"
}

install_packages
if ! runs_32bit; then
  install_emulator
  register_emulator
  runs_32bit || { say "FAILED: 32-bit programs still do not run"; exit 1; }
fi
