#!/usr/bin/env bash
# Two monitors: the primary on the right and a second one left of it, at negative
# coordinates. A window wholly on the second monitor and one across both are captured
# whole, a desktop capture takes both monitors, and a window stored on no monitor starts
# on one, where its keys reach it. Runs on an Xvfb display, Wine prefix and wineserver of
# its own, since Wine reads the monitors when its server starts.
set -Eeuo pipefail
: "${KESTRIN_BIN:?KESTRIN_BIN must name the bin folder of the build}"
# Kept in the build tree across runs, beside the suite's own: making a prefix costs more
# than the test.
export WINEPREFIX="$(cd "$KESTRIN_BIN/../.." && pwd)/wineprefix-monitors"
export WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"

monitors_xvfb=""
monitors_stop() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$monitors_xvfb" ]; then
    kill "$monitors_xvfb" 2>/dev/null || true
    wait "$monitors_xvfb" 2>/dev/null || true
  fi
}
trap monitors_stop EXIT

# One X screen 2048 pixels wide shown as two monitors; -noreset keeps them when the last
# client leaves. The monitor marked * is the primary one.
display_file=$(mktemp)
Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 2048x768x24 3>"$display_file" >/dev/null 2>&1 &
monitors_xvfb=$!
for _ in $(seq 1 100); do [ -s "$display_file" ] && break; sleep 0.1; done
[ -s "$display_file" ] || { echo "FAIL (test_monitors): Xvfb reported no display" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$display_file")"
rm -f "$display_file"
xrandr --setmonitor SECOND 1024/270x768/203+0+0 screen >/dev/null
xrandr --setmonitor '*PRIMARY' 1024/270x768/203+1024+0 none >/dev/null

if [ ! -f "$WINEPREFIX/system.reg" ] ||
   { [ -x /usr/lib/wine/wine ] && [ ! -d "$WINEPREFIX/drive_c/windows/syswow64" ]; }; then
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
fi
# Without XRandR Wine takes the monitors from Xinerama, which lists both.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v UseXRandR /t REG_SZ /d N /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
wineserver -k >/dev/null 2>&1 || true
wineserver -w
(wineserver -p 60 >/dev/null 2>&1 &)
wine cmd /c exit >/dev/null 2>&1 </dev/null || true

source "$(dirname "$0")/lib.sh"
trap 'e2e_cleanup; monitors_stop' EXIT

# Windows coordinates run from -1024 (the second monitor's left edge) to 1024; X's from 0.
x_of() { echo $(($1 + 1024)); }

e2e_prepare
out="$E2E_DIR/out"
# Stored far beyond every monitor: Kestrin must start where it can be seen. A plain mean of
# identical samples is exact, so every result must equal the screen.
e2e_write_ini <<INI
[メインウィンドウ]
left=-2147483648
right=-2147483048
top=-2147483648
bottom=-2147483198
[PATH]
AUTOSAVEPATH=$(winpath "$out")
[OPTION]
S_FPS=2
S_TIME=1.0
REDUCE_FIXED=1
SS_ACTIVE=1
SS_CLIENT=1
INI
start_scene pattern -800 560 203 121
start_kestrin

winprobe() { "$KESTRIN_WINE" "$KESTRIN_BIN/winprobe.exe" "$@" 2>/dev/null | tr -d '\r'; }
read -r _ kl kt kr kb < <(winprobe rect DEFAULT | grep '^window')
[ "$((kr - kl)) $((kb - kt))" = "600 450" ] || fail "the window's size $((kr - kl)) x $((kb - kt)) was not kept"
[ "$kl" -ge -1024 ] && [ "$kr" -le 1024 ] && [ "$kt" -ge 0 ] && [ "$kb" -le 768 ] ||
  fail "the window stored on no monitor starts at $kl $kt $kr $kb, off every monitor"
grep -q '^left=-2147483648' "$E2E_DIR/Kestrin.ini" || fail "the stored rectangle was replaced before the window moved"
pass "a window stored on no monitor starts at $kl $kt $kr $kb; the file keeps what was stored"

# Presses the hot key over the scene and checks auto-saved result SERIAL: its size W x H,
# and the scene's client area at (DX, DY) in it equal to the screen.
capture_and_check() {  # capture_and_check NAME SERIAL W H DX DY
  local name=$1 serial=$2 w=$3 h=$4 dx=$5 dy=$6
  read -r _ cl ct cr cb < <(winprobe rect KestrinScene | grep '^client')
  focus "$(scene_window)"
  e2e_screenshot "screen-$name"
  xdotool key Print
  wait_for 60 "ss$serial.bmp" test -s "$out/ss$serial.bmp"
  wait_for 30 "the capture to end" caption_is "$KESTRIN_CAPTION_READY"
  local size; size=$(identify -format '%w %h' "$out/ss$serial.bmp")
  [ "$size" = "$w $h" ] || fail "$name: result is $size, expected $w $h"
  local cw=$((cr - cl)) ch=$((cb - ct)) diff
  diff=$(compare -metric AE \( "$out/ss$serial.bmp" -crop "${cw}x${ch}+$dx+$dy" +repage \) \
         \( "$E2E_DIR/screen-$name.png" -crop "${cw}x${ch}+$(x_of "$cl")+$ct" +repage \) null: 2>&1 || true)
  [ "$diff" = "0" ] || fail "$name: $diff pixels of the scene differ from the screen"
  convert "$out/ss$serial.bmp" "$E2E_DIR/result-$name.png"
  pass "$name: the $w x $h result equals the screen"
}

read -r _ cl ct cr cb < <(winprobe rect KestrinScene | grep '^client')
[ "$cr" -le 0 ] || fail "the scene is not wholly on the second monitor: client $cl $ct $cr $cb"
capture_and_check second-monitor 0000 "$((cr - cl))" "$((cb - ct))" 0 0

# Across both monitors: the client area from x = -100 to 103.
read -r _ wl wt wr wb < <(winprobe rect KestrinScene | grep '^window')
procprobe place KestrinScene $((wl - cl - 100)) "$wt" "$((wr - wl))" "$((wb - wt))"
# The pattern does not depend on where the window is: the first result is what the
# screen must show once the moved scene has been drawn.
scene_drawn_at() {
  read -r _ cl ct cr cb < <(winprobe rect KestrinScene | grep '^client')
  [ "$cl" = "$1" ] || return 1
  import -window root -crop "$((cr - cl))x$((cb - ct))+$(x_of "$cl")+$ct" +repage "$E2E_DIR/moved.png" || return 1
  [ "$(compare -metric AE "$E2E_DIR/moved.png" "$out/ss0000.bmp" null: 2>&1)" = "0" ]
}
wait_for 30 "the scene drawn across both monitors" scene_drawn_at -100
capture_and_check both-monitors 0001 "$((cr - cl))" "$((cb - ct))" 0 0

stop_kestrin
[ "$KESTRIN_EXIT" -eq 0 ] || fail "exit code $KESTRIN_EXIT"
pass "the keys reached the window brought onto a monitor (Ctrl+E ended Kestrin)"

# Stored on the second monitor, at negative coordinates: the window starts there.
sed -i -e 's/^SS_ACTIVE=1/SS_ACTIVE=0/' -e 's/^left=.*/left=-1000\r/' -e 's/^right=.*/right=-400\r/' \
  -e 's/^top=.*/top=20\r/' -e 's/^bottom=.*/bottom=470\r/' "$E2E_DIR/Kestrin.ini"
start_kestrin
[ "$(winprobe rect DEFAULT | grep '^window')" = "window -1000 20 -400 470" ] ||
  fail "the window stored on the second monitor was moved: $(winprobe rect DEFAULT | grep '^window')"
read -r _ cl ct cr cb < <(winprobe rect KestrinScene | grep '^client')
capture_and_check desktop 0002 2048 768 "$(x_of "$cl")" "$ct"
stop_kestrin
[ "$KESTRIN_EXIT" -eq 0 ] || fail "exit code $KESTRIN_EXIT"
