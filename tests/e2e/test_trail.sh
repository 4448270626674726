#!/usr/bin/env bash
# The program's point, end to end: the hot key over a moving square leaves a trail. The
# auto-saved composite must equal an independent recomputation from the samples, which
# the program also wrote as AVI frames (read back with ffmpeg). Ctrl+C puts it on the
# clipboard, where X programs read it as PNG. With the pointer drawn into the samples and
# the lighten mode, the pointer moved across the scene leaves a bright trail, and the
# result is copied to the clipboard as soon as it is shown.
source "$(dirname "$0")/lib.sh"

e2e_prepare
# Double-precision sums make the recomputation in Python exact to the last bit.
e2e_write_ini_out <<INI
[OPTION]
S_FPS=15
S_TIME=1.0
REDUCE_PER=1.0
COLOR_DOUBLE=1
AUTO_SAVE=1
AVI_OUT=1
GIF_OUT=1
INI
start_scene moving 300 500 640 120 150
start_kestrin
press scene Print
wait_for 60 "the auto-saved BMP" test -s "$out/ss0000.bmp"
wait_for 30 "the capture to end" caption_is "$KESTRIN_CAPTION_READY"
[ -s "$out/savi0000.avi" ] || fail "no AVI beside the BMP with AVI_OUT and AUTO_SAVE on"
e2e_screenshot trail

read -r cl ct cr cb < <(scene_rect client)
w=$((cr - cl)); h=$((cb - ct))
probe=$(ffprobe -v error -select_streams v:0 -count_frames \
        -show_entries stream=codec_name,pix_fmt,width,height,r_frame_rate,nb_read_frames -of csv=p=0 "$out/savi0000.avi")
[ "$probe" = "rawvideo,$w,$h,bgr24,15/1,15" ] || fail "ffprobe reads the AVI as '$probe'"
pass "AVI: one rawvideo bgr24 stream, ${w}x$h, 15 fps, 15 frames"

ffmpeg -v error -i "$out/savi0000.avi" -f rawvideo -pix_fmt rgb24 "$E2E_DIR/frames.rgb"
convert "$out/ss0000.bmp" -depth 8 rgb:"$E2E_DIR/result.rgb"

# The GIF beside them: a frame per sample lasting 1/15 s in hundredths (7 or 6, a second in
# all), looping for ever, its last frame the last sample's pixels (the scene has few colours).
gif="$out/sgif0000.gif"
[ -s "$gif" ] || fail "no GIF beside the BMP with GIF_OUT and AUTO_SAVE on"
frames=$(ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of csv=p=0 "$gif")
delays=$(ffprobe -v error -show_entries packet=duration -of csv=p=0 "$gif" | tr '\n' ' ')
read -r magick_frames magick_delays < <(identify -format '%T ' "$gif" | awk '{ s = 0; ok = 1; for (i = 1; i <= NF; i++) { s += $i; if ($i != 6 && $i != 7) ok = 0 } print NF, (ok ? s : "bad:" $0) }')
loop=$(identify -verbose "$gif[0]" | awk '/Iterations:/ { print $2; exit }')
[ "$frames,$magick_frames,$magick_delays,$loop" = "15,15,100,0" ] ||
  fail "the GIF reads as $frames frames (ImageMagick $magick_frames, delays $delays summing to $magick_delays), loop '$loop'"
convert "$gif" -coalesce -delete 0--2 -depth 8 rgb:"$E2E_DIR/gif-last.rgb"
tail -c $((w * h * 3)) "$E2E_DIR/frames.rgb" | cmp -s - "$E2E_DIR/gif-last.rgb" ||
  fail "the GIF's last frame differs from the last AVI frame"
pass "GIF: 15 frames of 1/15 s ($delays), looping, the last one the last sample"

# The menu's GIF save reads the same samples back from the store: the same file's bytes.
again winprobe command DEFAULT 40037  # GIFで保存
wait_for 20 "the GIF save dialog" window_present 'GIFファイルを保存'
sleep 0.5
# Opened by a command from outside, the dialog may not have the keyboard: the name goes
# into its file-name box (1148) and OK (1) is clicked through the window, not the keys.
again winprobe text 'GIFファイルを保存' 1148 "$(winpath "$E2E_DIR/mine.gif")"
again winprobe click 'GIFファイルを保存' 1
wait_for 30 "the saved GIF equal to sgif0000.gif" cmp "$gif" "$E2E_DIR/mine.gif"
pass "GIFで保存 writes the shown result's samples under the chosen name"
python3 - "$E2E_DIR/frames.rgb" "$E2E_DIR/result.rgb" "$w" "$h" <<'PY' || fail "the composite differs from the recomputation"
import sys
frames_path, result_path, w, h = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
frame_bytes = w * h * 3
data = open(frames_path, 'rb').read()
n = len(data) // frame_bytes
frames = [data[i * frame_bytes:(i + 1) * frame_bytes] for i in range(n)]
weights = [(i / n) ** 1.0 for i in range(1, n + 1)]
total = 0.0
for wt in weights:
    total += wt
expected = bytearray(frame_bytes)
for k in range(frame_bytes):
    acc = 0.0
    for f, wt in zip(frames, weights):
        acc += wt * f[k]
    expected[k] = min(255, int(acc / total))
result = open(result_path, 'rb').read()
if result != bytes(expected):
    bad = sum(1 for a, b in zip(result, expected) if a != b)
    print(f"{bad} of {frame_bytes} channel values differ", file=sys.stderr)
    sys.exit(1)
# The trail: along the square's row a later position is brighter than an earlier one.
# The scene's square wraps to the left edge now and then, so take the longest stretch
# of samples in which it only moved right.
def square_centre(frame):
    row = h // 2
    xs = [x for x in range(w) if frame[(row * w + x) * 3] > 200]
    return (xs[0] + xs[-1]) // 2 if xs else None
centres = [square_centre(f) for f in frames]
if None in centres:
    print("a sample lacks the square", file=sys.stderr)
    sys.exit(1)
runs, start = [], 0
for i in range(1, n + 1):
    if i == n or centres[i] < centres[i - 1]:
        runs.append((start, i - 1))
        start = i
first, last = max(runs, key=lambda r: r[1] - r[0])
old_x, new_x = centres[first], centres[last]
if new_x - old_x < 40:
    print(f"the square moved only {new_x - old_x} pixels", file=sys.stderr)
    sys.exit(1)
red = lambda x: result[((h // 2) * w + x) * 3]
background = frames[0][0]
if not (red(new_x) > red(old_x) > background):
    print(f"no fading trail: sample {last + 1} red {red(new_x)}, sample {first + 1} red {red(old_x)}, "
          f"background {background}", file=sys.stderr)
    sys.exit(1)
print(f"trail: sample {last + 1} red {red(new_x)} > sample {first + 1} red {red(old_x)} > background {background}")
PY
pass "the composite equals the recomputation from the samples and fades with age"

# The clipboard as X programs see it: the PNG Kestrin put there holds the saved pixels.
clipboard_is() {  # clipboard_is BMP
  xclip -selection clipboard -t image/png -o > "$E2E_DIR/clipboard.png" 2>/dev/null || return 1
  local diff; diff=$(compare -metric AE "$1" "$E2E_DIR/clipboard.png" null: 2>&1) || true
  [ "$diff" = 0 ] || { echo "the clipboard's PNG differs from $(basename "$1") in '$diff' pixels"; return 1; }
}
press kestrin ctrl+c
wait_for 20 "the result on the clipboard" clipboard_is "$out/ss0000.bmp"
pass "Ctrl+C: the clipboard's PNG holds the result's pixels"
# Ctrl+Shift+C: the samples' GIF as its bytes and as a file to drop (as X programs see
# them: image/gif and text/uri-list), the still beside them; the file goes at the exit.
# Each target is read again until it is right: the clipboard's owner answers one target at
# a time and may still hold the Ctrl+C contents when the first is asked for.
gif_on_clipboard() {
  xclip -selection clipboard -t image/gif -o > "$E2E_DIR/clipboard.gif" 2>/dev/null || return 1
  cmp -s "$gif" "$E2E_DIR/clipboard.gif" || { echo "the clipboard's GIF differs from sgif0000.gif"; return 1; }
}
# (wait_for runs it in a subshell: the file's name is left in dropped.txt.)
gif_file_on_clipboard() {
  local uri dropped
  uri=$(xclip -selection clipboard -t text/uri-list -o 2>/dev/null | tr -d '\r' | head -n 1) || return 1
  dropped=$(python3 -c 'import sys, urllib.parse; print(urllib.parse.unquote(urllib.parse.urlparse(sys.argv[1]).path))' "$uri")
  [ -n "$dropped" ] && cmp -s "$gif" "$dropped" || { echo "the dropped file '$dropped' ($uri) is not the GIF"; return 1; }
  printf '%s\n' "$dropped" > "$E2E_DIR/dropped.txt"
}
press kestrin ctrl+shift+c
wait_for 30 "the GIF on the clipboard" gif_on_clipboard
wait_for 20 "the GIF's file on the clipboard" gif_file_on_clipboard
dropped=$(cat "$E2E_DIR/dropped.txt")
wait_for 20 "the still beside the GIF on the clipboard" clipboard_is "$out/ss0000.bmp"
pass "Ctrl+Shift+C: the GIF's bytes and its file in the temporary folder, the still beside them"
stop_kestrin
[ "$KESTRIN_EXIT" -eq 0 ] || fail "exit code $KESTRIN_EXIT"
[ ! -e "$dropped" ] || fail "the GIF copy's file outlived the program"

e2e_set_ini AVI_OUT 0; e2e_set_ini CURSOR_CAPTURE 1; e2e_set_ini COMPOSITE_MODE 1; e2e_set_ini AUTO_COPY 1
e2e_set_ini GIF_WITH_RESULT 1
echo -n | xclip -selection clipboard >/dev/null 2>&1 || true
start_kestrin
# A capture with the pointer moved along a line a third of the way down the client area,
# over and over for as long as samples are taken, however late the capture starts. Its
# place follows the clock (500 pixels a second, again from the left after 520), not the
# count of moves, which the time each look at the caption takes would slow.
row=$((ct + h / 4))
capture_with_pointer_moving() {  # [pressed]: the hot key is pressed already
  [ "${1:-}" = pressed ] || press scene Print
  wait_for 20 "the capture to start" caption_matches '\('
  local started deadline ms
  started=$(date +%s%N) deadline=$((SECONDS + 60))
  until caption_is "$KESTRIN_CAPTION_READY" >/dev/null || [ $SECONDS -ge $deadline ]; do
    ms=$((($(date +%s%N) - started) / 1000000))
    xdotool mousemove $((cl + 40 + ms / 2 % 520)) "$row"
    sleep 0.02
  done
}
capture_with_pointer_moving
wait_for 60 "the auto-saved BMP" test -s "$out/ss0001.bmp"
wait_for 30 "the capture to end" caption_is "$KESTRIN_CAPTION_READY"
e2e_screenshot pointer-trail
wait_for 20 "the new result on the clipboard" clipboard_is "$out/ss0001.bmp"
# The pointer's grey and white pixels (the square's are yellow, the background blue-black)
# in the band it crossed, at many places along it: the newest white, older ones fading.
xs=$(pixels_of "$out/ss0001.bmp" -crop "${w}x24+0+$((row - ct))" +repage |
     awk '$3 >= 48 && $3 - $5 < 8 && $5 - $3 < 8 && $3 - $4 < 8 && $4 - $3 < 8 { print $1 }' | sort -n | uniq)
[ "$(pixels_of "$out/ss0001.bmp" | awk '$3 == 255 && $4 == 255 && $5 == 255' | wc -l)" -gt 0 ] ||
  fail "the newest pointer is not drawn at full brightness"
spread=$(awk 'NR == 1 { first = $1 } { last = $1; n++ } END { print (n ? last - first : 0), n + 0 }' <<<"$xs")
read -r span columns <<<"$spread"
[ "$span" -ge 300 ] || fail "the pointer's trail spans $span pixels (of about 500 travelled)"
pass "the pointer drawn into each sample leaves a bright trail of $span pixels; the result was copied as it was shown"

# With GIF_WITH_RESULT the GIF ends with the long exposure (many colours: within the palette's fidelity), held a second.
last_delay=$(identify -format '%T\n' "$out/sgif0001.gif" | tail -1)
[ "$last_delay" = 100 ] || fail "the GIF's last frame lasts $last_delay hundredths"
convert "$out/sgif0001.gif" -coalesce -delete 0--2 "$E2E_DIR/gif-result.png"
psnr=$(compare -metric PSNR "$out/ss0001.bmp" "$E2E_DIR/gif-result.png" null: 2>&1 || true)
awk -v p="$psnr" 'BEGIN { exit !(p == "inf" || p + 0 >= 30) }' || fail "the GIF's last frame is not the result (PSNR $psnr)"
pass "GIF_WITH_RESULT: the GIF ends with the result held a second (PSNR $psnr dB)"

# A window that sets no pointer shape has hidden the pointer: nothing stands in for it.
# The key is pressed with the pointer already hidden over the client area: a sample taken
# as it enters, before the window has answered, would show the shape it had outside.
: > "$E2E_DIR/hide-pointer"
focus scene
xdotool mousemove $((cl + 40)) "$row"
wait_for 10 "the scene to hide the pointer" winprobe pointer hidden
xdotool key Print
capture_with_pointer_moving pressed
wait_for 60 "the auto-saved BMP" test -s "$out/ss0002.bmp"
grey=$(pixels_of "$out/ss0002.bmp" -crop "${w}x24+0+$((row - ct))" +repage |
       awk '$3 >= 48 && $3 - $5 < 8 && $5 - $3 < 8 && $3 - $4 < 8 && $4 - $3 < 8' | wc -l)
[ "$grey" = 0 ] || fail "a pointer the window hid was drawn ($grey grey pixels along its path)"
pass "a pointer the window hid is not drawn"
stop_kestrin
[ "$KESTRIN_EXIT" -eq 0 ] || fail "exit code $KESTRIN_EXIT"
