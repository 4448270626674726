#!/usr/bin/env bash
# The region selection, end to end: its key freezes the screen under an overlay; Esc and
# the right button leave it with nothing taken; a click takes the window under the pointer;
# a drag takes exactly the dragged rectangle, pixel for pixel as the screen showed it; with
# SS_REGION the screenshot key takes that rectangle again; a stored rectangle on no monitor
# becomes the primary monitor, and the user is told once.
source "$(dirname "$0")/lib.sh"

e2e_prepare
# A plain mean of identical samples is exact: the result must equal the screen. The scene
# lies clear of the main window, so each window the pointer is over is the one meant.
e2e_write_ini_out <<INI
[OPTION]
S_FPS=2
S_TIME=2.0
REDUCE_FIXED=1
KEY_CODE5=19
INI
start_scene pattern 10 470 600 280
start_kestrin
read -r cl ct cr cb < <(scene_rect client)
read -r wl wt wr wb < <(scene_rect window)
overlay_title="範囲を指定して撮影"

open_overlay() {
  press scene Pause
  overlay=$(find_window 15 "the region overlay" --name "^$overlay_title\$") || fail "the region key showed no overlay"
  wait_for 15 "the overlay among the windows" window_present "$overlay_title"
}
pointer_at() { local p; p=$(xdotool getmouselocation --shell | head -n2 | cut -d= -f2 | tr '\n' ' '); [ "$p" = "$1 $2 " ] || { echo "the pointer is at $p"; return 1; }; }
overlay_closed() { wait_for 15 "the overlay to close" window_absent "$overlay_title"; }
# The auto-saved result SERIAL, once the capture has ended, is W x H.
result_is() {  # result_is SERIAL W H WHAT
  wait_for 60 "the auto-saved ss$1.bmp ($4)" test -s "$out/ss$1.bmp"
  wait_for 30 "the capture to end" caption_is "$KESTRIN_CAPTION_READY"
  local size; size=$(identify -format '%w %h' "$out/ss$1.bmp")
  [ "$size" = "$2 $3" ] || fail "$4: the result is $size, expected $2 $3"
}

# Esc leaves the overlay and takes nothing: the next result is still ss0000.
open_overlay
xdotool windowfocus --sync "$overlay" 2>/dev/null || true
xdotool key Escape
overlay_closed
pass "Esc closed the overlay"

# A click without a drag takes the window under the pointer as a window capture would.
open_overlay
xdotool mousemove $((cl + 30)) $((ct + 30)) click 1
overlay_closed
result_is 0000 $((wr - wl)) $((wb - wt)) "a click on the scene"
[ ! -e "$out/ss0001.bmp" ] || fail "Esc took something: there is a second result"
pass "Esc took nothing; a click took the scene's window, $((wr - wl)) x $((wb - wt))"

# The right button leaves it too; then a drag selects exactly what was dragged.
open_overlay
xdotool mousemove $((cl + 100)) $((ct + 100)) click 3
overlay_closed
e2e_screenshot screen-drag
x0=$((cl + 57)); y0=$((ct + 41)); x1=$((cl + 258)); y1=$((ct + 192))
# Dragged from the far corner back to the near one, then a pixel further each way with the
# arrow keys: both pixels under the pointer are in.
open_overlay
xdotool mousemove "$x1" "$y1" mousedown 1 mousemove $((x0 + 40)) $((y0 + 40)) mousemove "$x0" "$y0"
xdotool windowfocus --sync "$overlay" 2>/dev/null || true
xdotool key Left Up
x0=$((x0 - 1)); y0=$((y0 - 1))
wait_for 10 "the arrow keys to move the pointer to $x0 $y0" pointer_at "$x0" "$y0"
xdotool mouseup 1
overlay_closed
x1=$((x1 + 1)); y1=$((y1 + 1))
result_is 0001 $((x1 - x0)) $((y1 - y0)) "a drag after the right button"
diff=$(compare -metric AE "$out/ss0001.bmp" \( "$E2E_DIR/screen-drag.png" -crop "$((x1 - x0))x$((y1 - y0))+$x0+$y0" +repage \) \
       null: 2>&1 || true)
[ "$diff" = "0" ] || fail "the dragged region: $diff pixels differ from the screen"
[ ! -e "$out/ss0002.bmp" ] || fail "the right button took something"
pass "the right button took nothing; a drag and the arrow keys took $((x1 - x0)) x $((y1 - y0)) equal to the screen"

# The rectangle is stored, and SS_REGION makes the screenshot key take it again.
stop_kestrin
[ "$KESTRIN_EXIT" -eq 0 ] || fail "exit code $KESTRIN_EXIT"
for kv in "REGION_LEFT=$x0" "REGION_TOP=$y0" "REGION_RIGHT=$x1" "REGION_BOTTOM=$y1"; do
  grep -qx "$kv" <(tr -d '\r' < "$E2E_DIR/Kestrin.ini") || fail "the INI file does not hold $kv"
done
e2e_set_ini SS_REGION 1
start_kestrin
press scene Print
result_is 0002 $((x1 - x0)) $((y1 - y0)) "the stored region again"
cmp -s "$out/ss0001.bmp" "$out/ss0002.bmp" || fail "the stored region's result differs from the dragged one's"
pass "with SS_REGION the screenshot key took the stored region again"

# A stored region on no monitor: the primary monitor, said once.
stop_kestrin
e2e_set_ini REGION_LEFT 5000
e2e_set_ini REGION_RIGHT 5300
start_kestrin
press scene Print
wait_for 30 "the box saying the stored region was moved" window_present "範囲指定"
[ "$(answer_message_boxes 範囲指定)" = 1 ] || fail "the box saying the stored region was moved could not be answered"
result_is 0003 1024 768 "a stored region off every monitor"
# Said once: a second box would hold the capture, and no result would come.
press scene Print
result_is 0004 1024 768 "the brought-back region again"
stop_kestrin
[ "$KESTRIN_EXIT" -eq 0 ] || fail "exit code $KESTRIN_EXIT"
grep -qx "REGION_RIGHT=1024" <(tr -d '\r' < "$E2E_DIR/Kestrin.ini") || fail "the brought-back region was not stored"
pass "a region off every monitor became the primary monitor, said once and stored"
