#!/usr/bin/env bash
# Targets that cannot work: a drive that does not exist, a folder whose 10,000 serial
# names are all taken, a foreground window larger than the desktop or partly off it, a
# minimised one. Each capture either saves a whole result of the right size or tells the
# user, and the program carries on to the next capture.
source "$(dirname "$0")/lib.sh"


e2e_prepare
out="$E2E_DIR/out"
mkdir -p "$out"
e2e_write_ini <<INI
[PATH]
AUTOSAVEPATH=Y:\\no\\such\\drive
[OPTION]
S_FPS=4
S_TIME=0.5
SS_CLIENT=0
INI
rm -f "$WINEPREFIX/dosdevices/y:"
start_scene pattern 600 420 320 240
start_kestrin
capture_answering
[ "$TOLD" = 1 ] || fail "a drive that does not exist was not reported"
pass "a drive that does not exist: the user is told"

# All 10,000 names taken: told, and ss9999.bmp is left as it was.
stop_kestrin
for i in $(seq -w 0 9999); do : > "$out/ss$i.bmp"; done
echo keep > "$out/ss9999.bmp"
e2e_set_ini AUTOSAVEPATH "$(winpath "$out")"
start_kestrin
capture_answering
[ "$TOLD" = 1 ] || fail "10,000 names taken was not reported"
[ "$(cat "$out/ss9999.bmp")" = keep ] || fail "ss9999.bmp was touched"
pass "all 10,000 names taken: the user is told, nothing is touched"

# Room again; a window larger than the desktop and partly off it is clipped to the desktop.
rm -f "$out"/ss*.bmp
again procprobe place KestrinScene -150 -120 1400 1100
capture_answering
size=$(identify -format '%w %h' "$out/ss0000.bmp")
[ "$size" = "1024 768" ] || fail "an oversized window gave a $size result, not the desktop's 1024 768"
again procprobe place KestrinScene 900 600 400 300
capture_answering
size=$(identify -format '%w %h' "$out/ss0001.bmp")
[ "$size" = "124 168" ] || fail "a window partly off screen gave $size, not 124 168"
pass "oversized and off-screen windows are clipped to the desktop"

# A minimised foreground window: a result of what is on screen or a message, never a crash.
again procprobe show KestrinScene minimize
capture_answering
again procprobe show KestrinScene restore
again procprobe place KestrinScene 600 420 330 270
capture_answering
size=$(identify -format '%w %h' "$(ls "$out"/ss*.bmp | tail -n1)")
[ "$size" = "330 270" ] || fail "after the minimised window the next capture gave $size"
pass "a minimised window does no harm and the next capture is right"
stop_kestrin
[ "$KESTRIN_EXIT" -eq 0 ] || fail "exit code $KESTRIN_EXIT"
[ ! -e "$E2E_DIR/tmp.map" ] || fail "tmp.map left behind"
