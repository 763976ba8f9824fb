# Sourced by the scripts that run Windows programs: a fresh Wine prefix in a
# temporary directory, and quiet Wine. 32-bit programs run through
# /usr/lib/wine/wine, natively or under the emulator that setup.sh registers.

export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="

# Makes a fresh prefix and waits until Wine has set it up. Windows of the
# prefix are unmanaged: without a window manager Wine would otherwise wait two
# seconds for one whenever a window is hidden.
make_wine_prefix() {
  WINEPREFIX=$(mktemp -d /tmp/dravlin-wine.XXXXXX)
  export WINEPREFIX
  export WINELOADER=/usr/lib/wine/wine64
  "$WINELOADER" wineboot -i >/dev/null 2>&1
  # A Japanese locale of the prefix's own, where the system has its source: a
  # Wine process started with it runs in code page 932 (double-byte captions).
  mkdir -p "$WINEPREFIX/locale"
  localedef -i ja_JP -f UTF-8 "$WINEPREFIX/locale/ja_JP.UTF-8" >/dev/null 2>&1 || true
  "$WINELOADER" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  # A crash ends the program with the debugger's report instead of waiting on
  # a crash dialog that nobody sees.
  "$WINELOADER" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  # Whatever wineboot left running holds a desktop without a display; the next
  # program must start its own on the display it is given.
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  /usr/lib/wine/wineserver -w 2>/dev/null || true
}

remove_wine_prefix() {
  WINEPREFIX=$WINEPREFIX /usr/lib/wine/wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
