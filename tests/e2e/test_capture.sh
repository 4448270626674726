#!/usr/bin/env bash
# The real hot key in the real program: the caption counts the samples, and the auto-saved
# result of a still scene equals what the screen showed, for the client area, the whole
# window and the desktop; and a larger capture equals it too with all the address space
# below 2 GB taken, which the 32-bit program can only work around when it is really
# large-address-aware.
source "$(dirname "$0")/lib.sh"

e2e_prepare
# A plain mean of identical samples is exact, so the result must equal the screen.
e2e_write_ini_out <<INI
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

# 60 samples of the desktop (141 MB, three windows of the store), saved as PNG with an AVI
# beside it: the store's windows, the frame buffer and the encoder's memory are all made
# after the space below 2 GB is gone, and the windows in use lie above it.
e2e_set_ini S_FPS 15
e2e_set_ini S_TIME 4.000000
e2e_set_ini SAVE_TYPE 1
e2e_set_ini AVI_OUT 1
e2e_set_ini AVISAVEPATH "$(winpath "$out")"
start_kestrin
kestrin_image="$(winpath "$E2E_DIR")\\Kestrin.exe"
reserved=$(again procprobe reserve-low "$kestrin_image")
[ "$reserved" -gt 0 ] || fail "no address space below 2 GB could be reserved in Kestrin"
e2e_screenshot screen-high
press scene Print
high=0
deadline=$((SECONDS + 90))
until [ -s "$out/ss0003.png" ] && caption_is "$KESTRIN_CAPTION_READY" >/dev/null; do
  [ $SECONDS -lt $deadline ] || fail "the capture with the space below 2 GB taken did not end; $(kestrin_caption)"
  no_message_box || fail "the capture with the space below 2 GB taken told the user of a failure"
  now=$(procprobe high "$kestrin_image" || true)
  [ "${now:-0}" -le "$high" ] || high=$now
done
[ "$high" -ge 64 ] || fail "at most $high MB of Kestrin's memory lay above 2 GB during the capture"
diff=$(compare -metric AE \( "$out/ss0003.png" -crop "$((cr - cl))x$((cb - ct))+$cl+$ct" +repage \) \
       \( "$E2E_DIR/screen-high.png" -crop "$((cr - cl))x$((cb - ct))+$cl+$ct" +repage \) null: 2>&1 || true)
[ "$diff" = "0" ] || fail "above 2 GB: $diff pixels of the scene differ from the screen"
frames=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 "$out/savi0000.avi")
[ "$frames" = 60 ] || fail "above 2 GB: the AVI holds '$frames' frames, not 60"
pass "with $reserved MB below 2 GB taken, 60 samples ($high MB above 2 GB) were composited, saved and recorded whole"
stop_kestrin
[ "$KESTRIN_EXIT" -eq 0 ] || fail "exit code $KESTRIN_EXIT"
