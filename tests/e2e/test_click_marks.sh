#!/usr/bin/env bash
# Presses and movements made with xdotool during a client-area exposure at 5 samples a
# second: a numbered ring at every press inside (left, right, a double click), none for
# one outside, a continuous stroke where the pointer went round a circle, and the rings in
# the frames of the AVI beside it.
source "$(dirname "$0")/lib.sh"
check() { python3 "$KESTRIN_SOURCE/tests/e2e/check_click_marks.py" "$@"; }

e2e_prepare
# Kestrin's window kept clear of the scene's title bar, which the focus clicks.
e2e_write_ini_out <<INI
[メインウィンドウ]
left=0
top=0
right=300
bottom=200
[OPTION]
S_FPS=5
S_TIME=4.0
REDUCE_FIXED=1
SS_ACTIVE=1
SS_CLIENT=1
AVI_OUT=1
CLICK_MARKS=1
POINTER_PATH=1
INI
start_scene moving 320 121 640 480 200
start_kestrin
read -r cl ct cr cb < <(scene_rect client)

press scene Print
wait_for 30 "the exposure to begin" caption_matches '\( [0-9]+ / 20 \)'
click_at() { xdotool mousemove "$1" "$2" click "$3"; sleep 0.15; }
click_at $((cl + 100)) $((ct + 100)) 1
click_at $((cl + 300)) $((ct + 100)) 3
click_at 1000 740 1                                  # outside the client area
xdotool mousemove $((cl + 200)) $((ct + 300)) click --repeat 2 --delay 60 1
# Round a circle, one movement every 10 ms, all from one xdotool so that a busy machine
# cannot spread them past the exposure.
cx=$((cl + 450)) cy=$((ct + 300))
mapfile -t circle < <(awk -v cx=$cx -v cy=$cy 'BEGIN { for (a = 0; a <= 360; a += 10) {
  r = a * 3.14159265 / 180; printf "mousemove\n%d\n%d\nsleep\n0.01\n", cx + 80 * cos(r), cy + 80 * sin(r) } }')
xdotool "${circle[@]}"
# Still sampling (not at the last sample, nor compositing): the circle lies within the exposure.
caption_matches '\( ([1-9]|1[0-9]) / 20 \)' >/dev/null ||
  fail "the presses and the circle took longer than the exposure; $(kestrin_caption)"
wait_for 60 "the result ss0000.bmp" test -s "$out/ss0000.bmp"
wait_for 60 "the capture to end" caption_is "$KESTRIN_CAPTION_READY"
cp "$out/ss0000.bmp" "$E2E_DIR/click-result.bmp"
check "$out/ss0000.bmp" marks 100 100 left 1 0  300 100 right 2 0  200 300 left 3 1 || fail "marks: see click-result.bmp"
check "$out/ss0000.bmp" circle 450 300 80 || fail "path: see click-result.bmp"
pass "three presses inside marked 1, 2, 3 (the outside one not counted), the circle one stroke"

# The left press rings in the frames of its third of a second in the AVI, not after.
mkdir -p "$E2E_DIR/frames"
ffmpeg -v error -i "$out/savi0000.avi" "$E2E_DIR/frames/%02d.bmp"
! check "$E2E_DIR/frames/20.bmp" ring 100 100 left || fail "the last frame, 3 s after the press, has its ring"
ringed=0
for f in "$E2E_DIR"/frames/*.bmp; do check "$f" ring 100 100 left && ringed=$((ringed + 1)); done
[ "$ringed" -ge 1 ] && [ "$ringed" -le 3 ] || fail "the left press rings in $ringed frames, not 1 to 3"
pass "the left press rings in $ringed frames of the AVI"

# A recording written as GIF is encoded while it records, before its presses are known:
# with a press in it, its frames are read again and ring as the AVI's do.
stop_kestrin
e2e_set_ini REC_GIF 1
e2e_set_ini AVI_FPS 5
start_kestrin
press scene Prior
wait_for 30 "the recording to begin" caption_matches '\( [1-9][0-9]* / [0-9]+ \)'
click_at $((cl + 100)) $((ct + 100)) 1
sleep 1
press scene Next
wait_for 60 "the recording to end" caption_is "$KESTRIN_CAPTION_READY"
ffmpeg -v error -i "$out/sgif0000.gif" "$E2E_DIR/frames/g%02d.bmp"
ringed=0
for f in "$E2E_DIR"/frames/g*.bmp; do check "$f" ring 100 100 left && ringed=$((ringed + 1)); done
[ "$ringed" -ge 1 ] || fail "the press rings in no frame of the recording's GIF"
pass "the press rings in $ringed frames of the recording's GIF"
stop_kestrin
[ "$KESTRIN_EXIT" -eq 0 ] || fail "exit code $KESTRIN_EXIT"
