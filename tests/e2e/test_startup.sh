#!/usr/bin/env bash
# Start-up, the main window and shutdown of the real program: caption, saved place,
# the sample store's life, white before the first capture, Ctrl+E, the INI file.
source "$(dirname "$0")/lib.sh"

e2e_prepare
e2e_write_ini <<'INI'
[メインウィンドウ]
left=120
top=90
right=520
bottom=390
[OPTION]
AUTO_SAVE=0
INI
start_kestrin

caption=$(kestrin_caption)
[ "$caption" = "$KESTRIN_CAPTION_READY" ] || fail "caption reads '$caption'"
pass "caption"

read -r _ l t r b < <(again winprobe rect DEFAULT | grep '^window')
[ "$l $t $r $b" = "120 90 520 390" ] || fail "window stands at $l $t $r $b, not at the INI rectangle"
pass "window at the INI rectangle"

[ -f "$E2E_DIR/tmp.map" ] || fail "tmp.map is missing in TEMPPATH while the program runs"
pass "sample store exists while running"

# White before the first capture: the client area below the menu is plain white.
read -r _ cl ct cr cb < <(again winprobe rect DEFAULT | grep '^client')
e2e_screenshot before-capture
colours=$(convert "$E2E_DIR/before-capture.png" -crop "$((cr - cl))x$((cb - ct))+$cl+$ct" +repage \
          -format %c histogram:info:- | wc -l)
[ "$colours" -eq 1 ] || fail "the client area holds $colours colours before the first capture, not plain white"
convert "$E2E_DIR/before-capture.png" -crop "1x1+$((cl + 5))+$((ct + 5))" -depth 8 txt:- | grep -q '#FFFFFF' \
  || fail "the client area is not white"
pass "white before the first capture"

# Moving the window by its title bar, as a user would, is remembered.
focus kestrin
xdotool mousemove 300 100 mousedown 1 mousemove 320 110 mousemove 360 130 mousemove 380 140 mouseup 1
wait_for 20 "the window to move" bash -c "'$KESTRIN_WINE' '$KESTRIN_BIN/winprobe.exe' rect DEFAULT | grep -q '^window 200 130 600 430'"
read -r _ ml mt mr mb < <(again winprobe rect DEFAULT | grep '^window')

stop_kestrin
[ "$KESTRIN_EXIT" -eq 0 ] || fail "exit code $KESTRIN_EXIT after Ctrl+E"
pass "Ctrl+E exits with code 0"
[ ! -e "$E2E_DIR/tmp.map" ] || fail "tmp.map is left behind after exit"
pass "sample store deleted at exit"

ini=$(iconv -f CP932 -t UTF-8 "$E2E_DIR/Kestrin.ini" | tr -d '\r')
grep -qx '\[メインウィンドウ\]' <<<"$ini" || fail "the INI file lacks the main-window section"
for kv in "left=$ml" "top=$mt" "right=$mr" "bottom=$mb" "AUTO_SAVE=0" "S_FPS=15" "REDUCE_PER=1.000000" "KEY_CODE3=34"; do
  grep -qx "$kv" <<<"$ini" || fail "the INI file lacks $kv"
done
[ "$ml $mt" != "120 90" ] || fail "the saved rectangle did not follow the move"
pass "INI written at exit with the moved rectangle"
