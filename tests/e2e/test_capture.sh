#!/usr/bin/env bash
# The real hot key in the real program: the caption counts the samples, and the auto-saved
# result of a still scene equals what the screen showed, for the client area, the whole
# window and the desktop.
source "$(dirname "$0")/lib.sh"

e2e_prepare
out="$E2E_DIR/out"
# A plain mean of identical samples is exact, so the result must equal the screen.
e2e_write_ini <<INI
[PATH]
AUTOSAVEPATH=$(winpath "$out")
[OPTION]
S_FPS=2
S_TIME=2.0
REDUCE_FIXED=1
SS_ACTIVE=1
SS_CLIENT=1
INI
start_scene pattern 640 480 203 121
start_kestrin

capture_and_check() {  # capture_and_check NAME EXPECTED-RECT(L T R B) SERIAL
  local name=$1 l=$2 t=$3 r=$4 b=$5 serial=$6
  e2e_screenshot "screen-$name"
  press scene Print
  local seen=""
  local deadline=$((SECONDS + 60))
  while [ ! -s "$out/ss$serial.bmp" ] && [ $SECONDS -lt $deadline ]; do
    c=$(kestrin_caption 2>/dev/null || true)
    case "$c" in *"/ 4 )"*) seen="$seen|$c" ;; esac
    sleep 0.05
  done
  [ -s "$out/ss$serial.bmp" ] || fail "$name: no auto-saved ss$serial.bmp"
  for k in 1 2 3 4; do
    grep -qF "( $k / 4 )" <<<"$seen" || fail "$name: the caption never showed '( $k / 4 )' (saw: $seen)"
  done
  wait_for 30 "the capture to end" caption_is "$KESTRIN_CAPTION_READY"
  local size; size=$(identify -format '%w %h' "$out/ss$serial.bmp")
  [ "$size" = "$((r - l)) $((b - t))" ] || fail "$name: result is $size, expected $((r - l)) $((b - t))"
  # The scene's client area, wherever it lies in the result, equals the screen (title bars
  # and the program's own caption change during a capture, so they are left out).
  local w=$((cr - cl)) h=$((cb - ct)) diff
  diff=$(compare -metric AE \( "$out/ss$serial.bmp" -crop "${w}x${h}+$((cl - l))+$((ct - t))" +repage \) \
         \( "$E2E_DIR/screen-$name.png" -crop "${w}x${h}+$cl+$ct" +repage \) null: 2>&1 || true)
  [ "$diff" = "0" ] || fail "$name: $diff pixels of the scene differ from the screen"
  pass "$name: caption counted 1..4 / 4, result equals the screen"
}

read -r cl ct cr cb < <(scene_rect client)
capture_and_check client "$cl" "$ct" "$cr" "$cb" 0000

stop_kestrin
sed -i 's/^SS_CLIENT=1/SS_CLIENT=0/' "$E2E_DIR/Kestrin.ini"
start_kestrin
read -r wl wt wr wb < <(scene_rect window)
capture_and_check window "$wl" "$wt" "$wr" "$wb" 0001

stop_kestrin
sed -i 's/^SS_ACTIVE=1/SS_ACTIVE=0/' "$E2E_DIR/Kestrin.ini"
start_kestrin
capture_and_check desktop 0 0 1024 768 0002
stop_kestrin
[ "$KESTRIN_EXIT" -eq 0 ] || fail "exit code $KESTRIN_EXIT"
