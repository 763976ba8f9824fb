#!/usr/bin/env bash
# Installs what a fresh Debian 12 or 13 machine lacks to build and test the plug-in,
# and makes 32-bit Windows programs run where the kernel refuses 32-bit x86
# programs. Silent when everything is there. Runs apt as root, or through sudo.
#
# Package mirrors are sometimes mid-sync: a failed index does not stop the
# install. When the i386 index lags behind the amd64 one, 32-bit Wine takes
# the i386 builds of the installed amd64 libraries from the archive's pool, or
# else the versions both architectures share, naming each library taken back.
set -euo pipefail

packages=(make python3 wine wine64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix xvfb xauth cmake g++ googletest
          imagemagick clang libclang-rt-dev locales)
i386_packages=(wine32:i386)
release=$(sed -n 's/^VERSION_CODENAME=//p' /etc/os-release)
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

candidate() { apt-cache policy "$1" | sed -n 's/^ *Candidate: //p'; }

runs_32bit() { "$i386_loader" --help >/dev/null 2>&1; }

update_indexes() {
  apt_get update ||
    say "some package indexes could not be downloaded (see above); going on with the ones there are"
}

# Prints the plan of an apt-get command, or, when apt finds none, its reasons
# on stderr.
simulate() {
  local plan
  if plan=$(as_root apt-get -s "$@" 2>&1); then
    printf '%s\n' "$plan"
  else
    grep -v -e '^Reading ' -e '^Building ' <<<"$plan" >&2
    return 1
  fi
}

# "name:arch new old" for each package a plan installs; old is empty for a
# package that is not installed yet.
planned() {
  sed -nE 's/^Inst ([^ :]+)(:[^ ]+)? (\[([^]]*)\] )?\(([^ ]+) [^)]*\[([^]]+)\]\).*/\1:\6 \5 \4/p'
}

# "name:arch old new" for each package a plan takes back to an older version.
taken_back() {
  local pkg new old
  while read -r pkg new old; do
    [ -n "$old" ] && dpkg --compare-versions "$new" lt "$old" && echo "$pkg $old $new"
  done < <(planned)
  return 0
}

# Multi-Arch: same libraries must have one version on both architectures, so
# an i386 library the plan needs can drag its amd64 twin back with it.
twin_in_plan() {
  local name=${1%:*} arch=${1##*:} other=i386
  [ "$arch" = i386 ] && other=amd64
  planned <<<"$2" | cut -d' ' -f1 | grep -qxF "$name:$other"
}

# Installs only what a simulation shows removes nothing: a careless resolution
# of 32-bit Wine removes 64-bit Wine. Nothing is taken back to an older version
# unless the first argument is --twins, and then only twins of libraries the
# plan installs for the other architecture, each named.
install_checked() {
  local twins=no refused=no plan back pkg old new
  [ "$1" = --twins ] && { twins=yes; shift; }
  plan=$(simulate "$@" --no-install-recommends) || return 1
  if grep -q '^Remv' <<<"$plan"; then
    say "refusing to install, it would remove: $(grep '^Remv' <<<"$plan" | cut -d' ' -f2 | tr '\n' ' ')"
    return 1
  fi
  back=$(taken_back <<<"$plan")
  while read -r pkg old new; do
    if [ -z "$pkg" ]; then
      continue
    elif [ $twins = no ]; then
      say "refusing to install, it would take $pkg back from $old to $new"
      refused=yes
    elif ! twin_in_plan "$pkg" "$plan"; then
      say "refusing to take $pkg back from $old to $new: it is not the twin of a library this install needs"
      refused=yes
    fi
  done <<<"$back"
  [ $refused = no ] || return 1
  while read -r pkg old new; do
    [ -z "$pkg" ] || say "taking $pkg back from $old to $new, the version its twin has"
  done <<<"$back"
  apt_get -y --no-install-recommends ${back:+--allow-downgrades} "$@"
}

# A temporary preferences folder that prefers the release and its updates to
# everything else: amd64 and i386 twins then take a version both indexes have.
release_pin() {
  local prefs
  prefs=$(mktemp -d)
  printf 'Package: *\nPin: release o=Debian,n=%s\nPin-Priority: 1001\n\n' "$release" "$release-updates" >"$prefs/release.pref"
  chmod -R a+rX "$prefs"
  echo "$prefs"
}

# Fetches into folder $1 the i386 builds of the amd64 libraries that plan $2
# would take back, at the versions installed now, and prints their files; fails
# when one is missing. The pool usually holds them next to the amd64 file while
# the i386 index still lags.
fetch_twins() {
  local dir=$1 status=0 pkg old new url file
  [ "$(id -u)" -ne 0 ] || chown _apt "$dir"  # apt downloads as _apt
  while read -r pkg old new; do
    if [ "${pkg##*:}" != amd64 ] || ! twin_in_plan "$pkg" "$2"; then continue; fi
    url=$(apt-get download --print-uris "$pkg=$old" 2>/dev/null | cut -d"'" -f2)
    file="$dir/${pkg%:*}_i386.deb"
    # No index vouches for this file: at least it must be what was asked for.
    if [ "${url%_amd64.deb}" != "$url" ] &&
      /usr/lib/apt/apt-helper -q download-file "${url%_amd64.deb}_i386.deb" "$file" >/dev/null &&
      [ "$(dpkg-deb -f "$file" Package Version Architecture | tr '\n' ' ')" = \
        "Package: ${pkg%:*} Version: $old Architecture: i386 " ]; then
      echo "$file"
    else
      status=1
    fi
  done < <(taken_back <<<"$2")
  return $status
}

# The i386 index can lag behind the amd64 one (a mirror mid-sync, a security
# update built for amd64 first), and twins of Multi-Arch: same libraries then
# differ. The plan pinned to the release shows which twins those are; their
# i386 builds at the installed versions keep every amd64 library where it is.
# Only when the pool lacks some does the pinned plan run, with the twins found.
install_i386() {
  install_checked install "$@" && return 0
  say "the i386 index lags behind the amd64 one; fetching the i386 twins of the installed amd64 libraries"
  local prefs debs plan fetched complete=yes status=0 files=()
  prefs=$(release_pin)
  debs=$(mktemp -d)
  chmod a+rx "$debs"
  plan=$(simulate -o Dir::Etc::PreferencesParts="$prefs" install "$@" --no-install-recommends) || complete=no
  fetched=$(fetch_twins "$debs" "$plan") || complete=no
  [ -z "$fetched" ] || mapfile -t files <<<"$fetched"
  if [ $complete = no ] || [ ${#files[@]} -eq 0 ] || ! install_checked install "${files[@]}" "$@"; then
    say "no plan keeps every amd64 library; installing the versions both architectures share"
    install_checked --twins -o Dir::Etc::PreferencesParts="$prefs" install "${files[@]}" "$@" || status=$?
  fi
  # The twins are dependencies, as they would be had the index been current.
  if [ $status -eq 0 ] && [ ${#files[@]} -gt 0 ]; then
    files=("${files[@]##*/}")
    as_root apt-mark auto "${files[@]/%_i386.deb/:i386}" >/dev/null
  fi
  rm -rf "$prefs" "$debs"
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
# about a minute a process in failing mmap calls. 10.0 is fine: trixie carries
# it, bookworm-backports too.
install_emulator() {
  [ -z "$(missing qemu-user)" ] && dpkg --compare-versions "$(dpkg-query -W -f='${Version}' qemu-user)" ge 1:10 &&
    return 0
  apt-cache show qemu-user >/dev/null 2>&1 || update_indexes
  if dpkg --compare-versions "$(candidate qemu-user)" ge 1:10; then
    say "this kernel refuses 32-bit programs: installing QEMU's user-mode emulator"
    apt_get install -y --no-install-recommends qemu-user
    return
  fi
  say "this kernel refuses 32-bit programs: installing QEMU's user-mode emulator from $release-backports"
  local list=/etc/apt/sources.list.d/$release-backports.list
  if ! apt-cache policy | grep -q "n=$release-backports"; then
    echo "deb http://deb.debian.org/debian $release-backports main" | as_root tee "$list" >/dev/null
    say "added $list"
  fi
  update_indexes
  apt_get install -y --no-install-recommends -t "$release-backports" qemu-user
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
