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
  wine_env_desktop
}

# Wine starts its desktop process (which loads the display driver) with a program's first
# window and waits for it only a few seconds: on a loaded or emulated machine a program that
# opens its first window then is left without a display driver for its whole life. Started here
# first, with as long as it takes, and kept up by the keeper until the server ends.
wine_env_desktop() {
  local keeper
  keeper="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/win32/tests/wine_desktop.exe"
  [ -f "$keeper" ] || return 0
  local out try
  out=$(mktemp "${TMPDIR:-/tmp}/kolvane-desktop.XXXXXX")
  for try in 1 2 3; do
    wine "$keeper" >"$out" 2>/dev/null </dev/null &
    local pid=$!
    while kill -0 "$pid" 2>/dev/null && ! grep -q ready "$out"; do sleep 0.5; done
    if grep -q ready "$out"; then
      rm -f "$out"
      return 0
    fi
    wait "$pid" || true
  done
  rm -f "$out"
  echo "wine-env: Wine's desktop did not start (no display driver)" >&2
  return 1
}

wine_env_stop() {
  wineserver -k >/dev/null 2>&1 || true
}
