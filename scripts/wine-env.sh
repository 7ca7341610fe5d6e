# Sourced: sets up the Wine environment for one prefix and gives wine_env_start / wine_env_stop.
# A persistent server is started and the prefix booted with all output to /dev/null first:
# otherwise Wine's background services inherit the caller's pipes and ctest waits forever.
export WINEPREFIX=${1:?prefix folder}
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win32

wine_env_start() {
  mkdir -p "$WINEPREFIX"
  wineserver -p >/dev/null 2>&1 </dev/null
  wine wineboot >/dev/null 2>&1 </dev/null
  # No window manager runs under Xvfb: windows Wine lets a manager handle wait for it (about
  # two seconds at every hide). Unmanaged windows answer at once.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null
  # A crashing test program must end, not wait for a debugger.
  wine reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f \
    >/dev/null 2>&1 </dev/null || true
}

wine_env_stop() {
  wineserver -k >/dev/null 2>&1 || true
}
