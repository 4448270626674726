#!/usr/bin/env bash
# Commands from a shell, end to end: with no Kestrin running, `shot --client` over the scene
# writes the same PNG the hot key does with the same settings, `shot --region` exactly that
# size, `record -o x.gif` one frame a sample, and the INI file stays as it was; bad
# arguments give 2 and the usage, a folder that is not there 1 and no file. With a Kestrin
# running, `last` is composited by it from its ring, a shot meanwhile it records is busy
# (3), and `record --stop` ends that recording early.
source "$(dirname "$0")/lib.sh"

e2e_prepare
e2e_write_ini_out <<INI
[OPTION]
S_FPS=5
S_TIME=1.0
SAVE_TYPE=1
RETRO=1
RETRO_TIME=3
RETRO_FPS=10
INI
# A still square: two exposures at different moments are equal only where nothing moves.
start_scene moving 200 470 400 200 0
still_scene=${e2e_pids[-1]}

# kestrin ARGS...: runs a command as a shell would; its output in $said, its code in $code.
kestrin() {
  code=0
  said=$(cd "$E2E_DIR" && "$KESTRIN_WINE" Kestrin.exe "$@" 2>/dev/null) || code=$?
  said=${said//$'\r'/}
}
expect_code() {  # expect_code CODE WHAT
  [ "$code" = "$1" ] || fail "$2: exit code $code, expected $1; it said: $said"
}

# The hot key's result first, from a Kestrin started as always.
KESTRIN_CAPTION_READY="Kestrin Ver 0.03改（直前 3 秒を記録中）"
start_kestrin
focus scene
xdotool key Print
wait_for 60 "the hot key's result" test -s "$out/ss0000.png"
wait_for 30 "the capture to end" caption_is "$KESTRIN_CAPTION_READY"

# The ring is kept by the running Kestrin: `last` is carried out there.
sleep 3.5
kestrin last --seconds 2 --mode lighten -o "$(winpath "$E2E_DIR/last.png")"
expect_code 0 "last with a running Kestrin"
identify "$E2E_DIR/last.png" >/dev/null || fail "last wrote no image"

# A recording under way makes a shot busy, and record --stop ends it.
(cd "$E2E_DIR" && "$KESTRIN_WINE" Kestrin.exe record --desktop --seconds 30 --fps 5 -o "$(winpath "$E2E_DIR/long.avi")" \
  >"$E2E_DIR/long.txt" 2>/dev/null; echo $? >"$E2E_DIR/long.code") &
e2e_pids+=("$!")
wait_for 30 "the recording's first samples" grep -q "3 / 150" "$E2E_DIR/long.txt"
kestrin shot -o "$(winpath "$E2E_DIR/busy.png")"
expect_code 3 "a shot during a recording"
[ ! -e "$E2E_DIR/busy.png" ] || fail "a busy shot wrote a file"
kestrin record --stop
expect_code 0 "record --stop"
wait_for 60 "the stopped recording's code" test -s "$E2E_DIR/long.code"
[ "$(cat "$E2E_DIR/long.code")" = 0 ] || fail "the stopped recording ended with $(cat "$E2E_DIR/long.code"): $(cat "$E2E_DIR/long.txt")"
frames=$(ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of csv=p=0 "$E2E_DIR/long.avi")
[ "$frames" -gt 0 ] && [ "$frames" -lt 150 ] || fail "the stopped recording holds $frames frames"
stop_kestrin
KESTRIN_CAPTION_READY="Kestrin Ver 0.03改"
pass "a running Kestrin composited last, refused a shot while recording (3), and stopped the recording ($frames frames)"

# No Kestrin runs from here on: each command is carried out by its own, hidden, process.
ini_before=$(md5sum < "$E2E_DIR/Kestrin.ini")
focus scene
kestrin shot --client -o "$(winpath "$E2E_DIR/client.png")"
expect_code 0 "shot --client"
grep -q "5 / 5" <<<"$said" || fail "shot --client did not say its samples: $said"
diff=$(compare -metric AE "$E2E_DIR/client.png" "$out/ss0000.png" null: 2>&1 || true)
[ "$diff" = 0 ] || fail "shot --client differs from the hot key's result in $diff pixels"
pass "shot --client wrote the hot key's result"

kestrin shot --region 13,17,201,99 --seconds 0.4 --mode median -o "$(winpath "$E2E_DIR/region.bmp")"
expect_code 0 "shot --region"
[ "$(head -c2 "$E2E_DIR/region.bmp")$(identify -format ' %w %h' "$E2E_DIR/region.bmp")" = "BM201 99" ] || fail "the region is not a 201 x 99 BMP"

# Every sample of a moving square differs from the one before: one GIF frame each.
kill "$still_scene"
wait_for 30 "the still scene to go" window_absent KestrinScene
start_scene moving 200 470 400 200 300
kestrin record -o "$(winpath "$E2E_DIR/x.gif")" --seconds 2 --fps 10 --desktop
expect_code 0 "record to a GIF"
frames=$(identify "$E2E_DIR/x.gif" | wc -l)
[ "$frames" = 20 ] || fail "the recorded GIF has $frames frames, expected 20"
[ "$(md5sum < "$E2E_DIR/Kestrin.ini")" = "$ini_before" ] || fail "a command changed the INI file"
pass "shot --region wrote 201 x 99, record wrote 20 GIF frames, the INI file is unchanged"

# Made to fit: 3 s of a scrolling field of colour, megabytes as it is, recorded within GIF_MAX_MB=1; the file
# reads whole to ffprobe and ImageMagick, and the command says what was given up.
kill "${e2e_pids[-1]}"
wait_for 30 "the moving scene to go" window_absent KestrinScene
start_scene colourful 200 400 400 300 200
read -r cl ct cr cb < <(scene_rect client)
e2e_set_ini GIF_MAX_MB 1
kestrin record -o "$(winpath "$E2E_DIR/fit.gif")" --seconds 3 --fps 10 --region "$cl,$ct,$((cr - cl)),$((cb - ct))"
expect_code 0 "a recording made to fit"
size=$(stat -c %s "$E2E_DIR/fit.gif")
frames=$(ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of csv=p=0 "$E2E_DIR/fit.gif")
[ "$size" -le 1048576 ] && [ "$frames" -gt 0 ] && [ "$(identify "$E2E_DIR/fit.gif" | wc -l)" = "$frames" ] ||
  fail "the GIF made to fit 1 MB is $size bytes, $frames frames to ffprobe, $(identify "$E2E_DIR/fit.gif" | wc -l) to ImageMagick"
grep -q "1 MB" <<<"$said" || fail "the command did not say what was given up: $said"
pass "a recording of a colourful field came out at $size bytes within GIF_MAX_MB=1, $frames frames: $(grep "MB" <<<"$said" | head -n1)"

# Bad arguments: 2 and the usage; nothing written.
for bad in "shot --fps 0 -o a.png" "shot -o a.jpg" "shot --region 0,0,0,10 -o a.png" "shot --region 9000,9000,10,10 -o a.png" \
           "snap -o a.png" "last --pointer -o a.png" "record --seconds 2 -o a.png"; do
  read -r -a words <<<"$bad"
  kestrin "${words[@]}"
  expect_code 2 "'$bad'"
done
kestrin shot --bogus -o a.png
expect_code 2 "an unknown option"
grep -q -- "--seconds" <<<"$said" || fail "bad arguments printed no usage: $said"
[ -z "$(ls "$E2E_DIR" | grep '^a\.')" ] || fail "bad arguments wrote a file"
# A folder that is not there (here a file stands where it would be): 1, before any sample.
kestrin shot --seconds 5 -o "$(winpath "$E2E_DIR/Kestrin.ini/x.png")"
expect_code 1 "a folder that does not exist"
! grep -q " / " <<<"$said" || fail "a missing folder was found only after sampling: $said"
pass "bad arguments gave 2 with the usage, a missing folder 1"
