# Sourced by the scripts: one Wine prefix inside the build tree, one Xvfb display,
# one wineserver for the whole run, all ended on every exit path.
KESTRIN_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="$KESTRIN_ROOT/build/wineprefix"
export WINEDEBUG=-all
export WINEARCH=win64
{ export LC_ALL=${KESTRIN_LC_ALL:-ja_JP.UTF-8}; } 2>/dev/null
export WINEDLLOVERRIDES="mscoree,mshtml="

kestrin_xvfb_pid=""
kestrin_start_xvfb() {
  local fdfile; fdfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
  kestrin_xvfb_pid=$!
  local i
  for i in $(seq 1 100); do
    [ -s "$fdfile" ] && break
    sleep 0.1
  done
  [ -s "$fdfile" ] || { echo "Xvfb did not report a display" >&2; return 1; }
  export DISPLAY=":$(head -n1 "$fdfile")"
  rm -f "$fdfile"
}

kestrin_start_wine() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
  (wineserver -p 60 >/dev/null 2>&1 &)
  # The first Wine program of a session starts the session's helper processes, which
  # inherit its output and outlive it; start them here, on /dev/null, so no test's
  # output pipe stays open after the test has ended.
  wine cmd /c exit >/dev/null 2>&1 </dev/null || true
}

kestrin_stop_all() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$kestrin_xvfb_pid" ]; then
    kill "$kestrin_xvfb_pid" >/dev/null 2>&1 || true
    wait "$kestrin_xvfb_pid" 2>/dev/null || true
    kestrin_xvfb_pid=""
  fi
}
