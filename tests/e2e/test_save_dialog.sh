#!/usr/bin/env bash
# Ctrl+S after a capture: the real save dialog, a typed name written as a BMP equal to the
# composite on screen, and the chosen folder in SAVEPATH at exit.
source "$(dirname "$0")/lib.sh"

e2e_prepare
mkdir -p "$E2E_DIR/saved here"
target="$(winpath "$E2E_DIR/saved here")\\mine.bmp"
e2e_write_ini <<INI
[OPTION]
AUTO_SAVE=0
REDUCE_FIXED=1
INI
start_scene pattern 640 480 150 90
start_kestrin
press scene Print
wait_for 20 "the capture to start" caption_matches '/ 15 \)'
wait_for 30 "the capture to end" caption_is "$KESTRIN_CAPTION_READY"
press kestrin ctrl+s
wait_for 20 "the save dialog" window_present 'ビットマップファイルを保存'
sleep 0.5
e2e_screenshot save-dialog
dialog=$(titled_window 'ビットマップファイルを保存') || fail "no save dialog to type into"
xdotool type --window "$dialog" --delay 20 "$target"
xdotool key --window "$dialog" Return
wait_for 30 "the saved file" test -s "$E2E_DIR/saved here/mine.bmp"
identify -format '%w %h' "$E2E_DIR/saved here/mine.bmp" | grep -qx '150 90' || fail "the saved image has the wrong size"
read -r cl ct cr cb < <(scene_rect client)
e2e_screenshot after-save
diff=$(compare -metric AE "$E2E_DIR/saved here/mine.bmp" \
       \( "$E2E_DIR/after-save.png" -crop "150x90+$cl+$ct" +repage \) null: 2>&1 || true)
[ "$diff" = "0" ] || fail "$diff pixels of the saved BMP differ from the scene"
pass "Ctrl+S writes the typed name with the composite"
stop_kestrin
[ "$KESTRIN_EXIT" -eq 0 ] || fail "exit code $KESTRIN_EXIT"
expected="SAVEPATH=$(winpath "$E2E_DIR/saved here")\\"
iconv -f CP932 -t UTF-8 "$E2E_DIR/Kestrin.ini" | tr -d '\r' | grep -qxF "$expected" || fail "SAVEPATH is not '$expected'"
pass "SAVEPATH reaches the INI file at exit"
