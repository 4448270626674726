#!/usr/bin/env bash
# Closing the window at awkward moments: during sampling, during compositing and while the
# save dialog is open. The capture completes and is saved whole, the settings are written,
# the process exits with 0 and "tmp.map" is gone.
source "$(dirname "$0")/lib.sh"

close_window() { procprobe close "\\$E2E_NAME\\kestrin.exe"; }

run_case() {  # run_case NAME S_FPS S_TIME SS_ACTIVE CAPTION-REGEX
  local name=$1
  e2e_prepare
  local out="$E2E_DIR/out"
  e2e_write_ini <<INI
[PATH]
AUTOSAVEPATH=$(winpath "$out")
[OPTION]
S_FPS=$2
S_TIME=$3
SS_ACTIVE=$4
AUTO_SAVE=1
INI
  start_scene pattern 600 420 320 240
  start_kestrin
  press "$(scene_window)" Print
  local deadline=$((SECONDS + 60))
  until caption_matches "$5"; do
    [ $SECONDS -lt $deadline ] || fail "$name: never saw the caption $5"
  done
  close_window
  wait_for 120 "$name: Kestrin to exit" kestrin_exited
  set +e; wait "$kestrin_pid"; local code=$?; set -e
  [ "$code" -eq 0 ] || fail "$name: exit code $code"
  [ -s "$out/ss0000.bmp" ] || fail "$name: the capture was not completed and saved"
  [ "$(stat -c %s "$out/ss0000.bmp")" = "$(od -An -tu4 -j2 -N4 "$out/ss0000.bmp" | tr -d ' ')" ] ||
    fail "$name: the result is cut off"
  [ ! -e "$E2E_DIR/tmp.map" ] || fail "$name: tmp.map left behind"
  [ "$(iconv -f CP932 -t UTF-8 "$E2E_DIR/Kestrin.ini" | tr -d '\r' | grep -c '^S_FPS=')" = 1 ] ||
    fail "$name: the settings were not written once"
  grep -q '^MAP_SIZE=' <(tr -d '\r' < "$E2E_DIR/Kestrin.ini") || fail "$name: the settings were not saved"
  e2e_cleanup; e2e_pids=()
  pass "$name: capture completed and saved, settings written, exit 0, tmp.map gone"
}

run_case sampling 2 3.0 1 '\( 2 / 6 \)'
run_case compositing 60 2.5 0 '合成中'

# The save dialog open when the window is closed: the dialog is answered, then the
# program shuts down.
e2e_prepare
e2e_write_ini <<INI
[OPTION]
S_FPS=4
S_TIME=0.5
AUTO_SAVE=0
INI
start_scene pattern 600 420 320 240
start_kestrin
press "$(scene_window)" Print
wait_for 30 "the capture to start" caption_matches '\('
wait_for 30 "the capture to end" caption_is "$KESTRIN_CAPTION_READY"
press "$(kestrin_window)" ctrl+s
wait_for 30 "the save dialog" bash -c "xdotool search --name '^ビットマップファイルを保存$' | grep -q ."
close_window
sleep 1
kestrin_exited && fail "the program ended under its open save dialog"
focus "$(xdotool search --name '^ビットマップファイルを保存$' | head -n1)"
xdotool key Escape
wait_for 60 "Kestrin to exit after the save dialog" kestrin_exited
set +e; wait "$kestrin_pid"; code=$?; set -e
[ "$code" -eq 0 ] || fail "save dialog: exit code $code"
[ ! -e "$E2E_DIR/tmp.map" ] || fail "save dialog: tmp.map left behind"
pass "closing under the save dialog waits for it, then exits 0 without tmp.map"
