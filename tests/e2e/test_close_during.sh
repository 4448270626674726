#!/usr/bin/env bash
# Closing the window at awkward moments: during sampling, during compositing and while the
# save dialog is open. The capture completes and is saved whole, the settings are written,
# the process exits with 0 and "tmp.map" is gone.
source "$(dirname "$0")/lib.sh"

close_window() { procprobe close "\\$E2E_NAME\\kestrin.exe"; }
main_rect() { again winprobe rect DEFAULT | awk '$1 == "window" { print $2, $3, $4, $5 }'; }
ini_text() { iconv -f CP932 -t UTF-8 "$E2E_DIR/Kestrin.ini" | tr -d '\r'; }

# The settings the program wrote at exit are the ones it ran with, and the window's place is
# the one it had when it was closed (a save made after the window was gone would hold
# another): each section and key once, each given value as given.
check_settings() {  # check_settings NAME "L T R B" KEY=VALUE...
  local name=$1 rect=$2 ini kv dup; shift 2
  ini=$(ini_text)
  dup=$(awk '/^\[/ { section = $0; print; next } /=/ { print section, substr($0, 1, index($0, "=")) }' <<<"$ini" | sort | uniq -d)
  [ -z "$dup" ] || fail "$name: the INI file holds these more than once: $dup"
  read -r l t r b <<<"$rect"
  grep -qE '^MAP_SIZE=[1-9][0-9]*$' <<<"$ini" || fail "$name: the INI file holds no sample store size"
  for kv in "$@" "left=$l" "top=$t" "right=$r" "bottom=$b"; do
    grep -qxF "$kv" <<<"$ini" || fail "$name: the INI file lacks $kv; it reads: $(tr '\n' ' ' <<<"$ini")"
  done
}

# Reads the caption as fast as it can until it matches REGEX (SEEN=1) or the capture has
# come back to the ready caption without showing it (SEEN=0, false).
caption_seen() {  # caption_seen NAME REGEX
  local w c="" left=0 deadline=$((SECONDS + 60))
  SEEN=0
  w=$(kestrin_window) || fail "$1: no Kestrin window"
  while [ $SECONDS -lt $deadline ]; do
    c=$(xdotool getwindowname "$w" 2>/dev/null) || continue
    if [[ $c =~ $2 ]]; then SEEN=1; return 0; fi
    if [ "$c" != "$KESTRIN_CAPTION_READY" ]; then left=1; elif [ $left = 1 ]; then return 1; fi
  done
  fail "$1: the capture did not end within 60 s; the caption reads '$c'"
}

run_case() {  # run_case NAME S_FPS S_TIME SS_ACTIVE CAPTION-REGEX S_TIME-AS-SAVED
  local name=$1
  e2e_prepare
  e2e_write_ini_out <<INI
[OPTION]
S_FPS=$2
S_TIME=$3
SS_ACTIVE=$4
AUTO_SAVE=1
INI
  start_scene pattern 600 420 320 240
  start_kestrin
  local rect; rect=$(main_rect)
  # The compositing caption can show for less than a tenth of a second: a capture that ends
  # before the caption was seen is no verdict on the program, and another one is taken.
  local captures=0
  until [ $captures -ge 5 ]; do
    captures=$((captures + 1))
    press scene Print
    caption_seen "$name" "$5" && break
  done
  [ "$SEEN" = 1 ] || fail "$name: $captures captures ended without the caption $5 being seen"
  close_window
  wait_for 120 "$name: Kestrin to exit" kestrin_exited
  set +e; wait "$kestrin_pid"; local code=$?; set -e
  [ "$code" -eq 0 ] || fail "$name: exit code $code"
  local last; last="$out/ss$(printf %04d $((captures - 1))).bmp"
  [ -s "$last" ] || fail "$name: the capture was not completed and saved as $(basename "$last")"
  [ "$(find "$out" -name 'ss*.bmp' | wc -l)" = "$captures" ] || fail "$name: not $captures results for $captures captures"
  [ "$(stat -c %s "$last")" = "$(od -An -tu4 -j2 -N4 "$last" | tr -d ' ')" ] ||
    fail "$name: the result is cut off"
  [ ! -e "$E2E_DIR/tmp.map" ] || fail "$name: tmp.map left behind"
  check_settings "$name" "$rect" "S_FPS=$2" "S_TIME=$6" "SS_ACTIVE=$4" AUTO_SAVE=1 "AUTOSAVEPATH=$(winpath "$out")"
  e2e_cleanup
  pass "$name (capture $captures): capture completed and saved, settings written as they were, exit 0, tmp.map gone"
}

run_case sampling 2 3.0 1 '\( [2-5] / 6 \)' 3.000000
run_case compositing 60 2.5 0 '合成中' 2.500000

# The save dialog open when the window is closed: the dialog is answered, then the
# program shuts down.
e2e_prepare
e2e_write_ini <<INI
[OPTION]
S_FPS=2
S_TIME=2.0
AUTO_SAVE=0
INI
start_scene pattern 600 420 320 240
start_kestrin
press scene Print
wait_for 30 "the capture to start" caption_matches '\('
wait_for 30 "the capture to end" caption_is "$KESTRIN_CAPTION_READY"
press kestrin ctrl+s
wait_for 30 "the save dialog" window_present 'ビットマップファイルを保存'
rect=$(main_rect)
close_window
sleep 1
kestrin_exited && fail "the program ended under its open save dialog"
# Cancel, as its button would; clicked again while the dialog is still there.
cancel_save() { window_absent 'ビットマップファイルを保存' || { winprobe click 'ビットマップファイルを保存' 2; false; }; }
wait_for 30 "the save dialog to be cancelled" cancel_save
wait_for 60 "Kestrin to exit after the save dialog" kestrin_exited
set +e; wait "$kestrin_pid"; code=$?; set -e
[ "$code" -eq 0 ] || fail "save dialog: exit code $code"
[ ! -e "$E2E_DIR/tmp.map" ] || fail "save dialog: tmp.map left behind"
check_settings "save dialog" "$rect" S_FPS=2 S_TIME=2.000000 AUTO_SAVE=0
pass "closing under the save dialog waits for it, then exits 0 without tmp.map, settings written as they were"
