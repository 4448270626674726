#!/usr/bin/env bash
# The ring of the last seconds, end to end: with RETRO on, the caption says the screen is
# kept; the ring's key over the moving square gives at once the long exposure of the last
# RETRO_TIME seconds (as many samples as they hold, a step of the square's speed apart,
# the newest at the key press), composited exactly as a screenshot of those samples would
# be, and written as a GIF and an AVI as they were timed. A Kestrin killed outright leaves
# nothing on the disk.
source "$(dirname "$0")/lib.sh"

e2e_prepare
e2e_write_ini_out <<INI
[OPTION]
RETRO=1
RETRO_TIME=2
RETRO_FPS=10
COLOR_DOUBLE=1
AUTO_SAVE=1
AVI_OUT=1
GIF_OUT=1
INI
KESTRIN_CAPTION_READY="Kestrin Ver 0.03改（直前 2 秒を記録中）"
start_scene moving 200 500 640 120 100
start_kestrin
pass "the caption says the last 2 seconds are kept"
sleep 3  # the ring fills: 2 s of samples and some to spare
press scene Scroll_Lock
wait_for 60 "the auto-saved result" test -s "$out/ss0000.bmp"
wait_for 30 "the composite to end" caption_is "$KESTRIN_CAPTION_READY"
e2e_screenshot retro

read -r cl ct cr cb < <(scene_rect client)
w=$((cr - cl)); h=$((cb - ct))
[ "$(identify -format '%w %h' "$out/ss0000.bmp")" = "$w $h" ] || fail "the result is not the client area's size"
# The GIF's frames are the samples, each lasting until the next was taken.
convert "$out/sgif0000.gif" -coalesce -depth 8 rgb:"$E2E_DIR/frames.rgb"
ffmpeg -v error -i "$out/savi0000.avi" -f rawvideo -pix_fmt rgb24 "$E2E_DIR/avi-frames.rgb"
convert "$out/ss0000.bmp" -depth 8 rgb:"$E2E_DIR/result.rgb"
python3 - "$E2E_DIR" "$w" "$h" "$(identify -format '%T ' "$out/sgif0000.gif")" <<'PY' || fail "the ring's result is not the exposure of its samples, or its AVI not their times"
import sys
folder, w, h, delays = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), [int(d) for d in sys.argv[4].split()]
size = w * h * 3
def frames_of(name):
    data = open(f"{folder}/{name}", 'rb').read()
    return [data[i * size:(i + 1) * size] for i in range(len(data) // size)]
frames, video = frames_of("frames.rgb"), frames_of("avi-frames.rgb")
n = len(frames)
# 20 when on time; a sample later than an interval (a busy machine) leaves its place empty.
if not 18 <= n <= 20:
    sys.exit(f"the ring gave {n} samples for 2 s at 10 a second")
# Each sample a tenth of a second after the one before: the square 10 pixels on (100/s),
# but where it wraps to the left edge.
def centre(frame):
    xs = [x for x in range(w) if frame[((h // 2) * w + x) * 3] > 200]
    return (xs[0] + xs[-1]) / 2 if xs else None
centres = [centre(f) for f in frames]
if None in centres:
    sys.exit("a sample lacks the square")
steps = [b - a for a, b in zip(centres, centres[1:]) if b >= a]
if len(steps) < n - 2 or not 6 <= sum(steps) / len(steps) <= 14:
    sys.exit(f"the samples are not a tenth of a second apart: steps {steps}")
weights = [i / n for i in range(1, n + 1)]
total = 0.0
for wt in weights:
    total += wt
result = open(f"{folder}/result.rgb", 'rb').read()
bad = 0
for k in range(size):
    acc = 0.0
    for f, wt in zip(frames, weights):
        acc += wt * f[k]
    bad += result[k] != min(255, int(acc / total))
if bad:
    sys.exit(f"{bad} of {size} values differ from the samples' composite")
# The AVI at 10 a second: the samples in order, each until the next one's frame, the newest
# last, as long as the GIF to within half a frame.
order = [next((k for k in range(n) if frames[k] == f), None) for f in video]
if None in order or order != sorted(order) or order[-1] != n - 1 or abs(10 * len(video) - sum(delays)) > 5:
    sys.exit(f"the AVI's frames {order} are not the samples lasting {delays} hundredths")
PY
pass "the ring's key gave the exposure of the last 2 seconds at once: samples 10 pixels apart, composited as a screenshot's, in a GIF and an AVI as they were timed"

# The foreground window's rectangle, frame and all, is cut out of the ring the same way.
# (F9 this time: Wine presses the lock keys itself when a window of its own gains the
# focus with their X state changed, as the focus on Kestrin that ends it just did.)
stop_kestrin
rm -f "$out"/*
e2e_set_ini SS_CLIENT 0; e2e_set_ini AVI_OUT 0; e2e_set_ini KEY_CODE4 120
start_kestrin
sleep 1
press scene F9
wait_for 60 "the window's result" test -s "$out/ss0000.bmp"
wait_for 30 "the composite to end" caption_is "$KESTRIN_CAPTION_READY"
read -r wl wt wr wb < <(scene_rect window)
[ "$(identify -format '%w %h' "$out/ss0000.bmp")" = "$((wr - wl)) $((wb - wt))" ] ||
  fail "the window's result is $(identify -format '%w x %h' "$out/ss0000.bmp"), the window $((wr - wl)) x $((wb - wt))"
pass "the foreground window's rectangle is cut out of the ring"

# Killed outright: the ring was only ever in memory, and the store's file goes with the process.
kill -9 "$kestrin_pid"
wait_for 30 "Kestrin to be gone" kestrin_exited
wait_for 30 "the store's file to go with it" test ! -e "$E2E_DIR/tmp.map"
[ -z "$(find "$E2E_DIR" -newer "$E2E_DIR/Kestrin.ini" -type f ! -path "$out/*" ! -name '*.png' ! -name 'scene-rect.txt' ! -name '*.rgb')" ] ||
  fail "a killed Kestrin left $(find "$E2E_DIR" -newer "$E2E_DIR/Kestrin.ini" -type f ! -path "$out/*")"
pass "a killed Kestrin leaves nothing of the ring"
