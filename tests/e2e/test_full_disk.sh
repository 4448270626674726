#!/usr/bin/env bash
# A full disk: the auto-save folder, the AVI folder and TEMPPATH on a small tmpfs mapped
# to a drive letter of the Wine prefix. A capture on the full disk tells the user, leaves
# no cut-off BMP, PNG or AVI that looks complete, and the program goes on: once the disk
# has room again the next capture is saved whole.
source "$(dirname "$0")/lib.sh"

e2e_prepare
disk="$E2E_DIR/disk"
mkdir -p "$disk"
if ! mount -t tmpfs -o size=3m kestrin-full "$disk" 2>/dev/null; then
  echo "skipped ($E2E_NAME): cannot mount a tmpfs here (needs root)"
  exit 77
fi
drive=""
for letter in k l m n o p q r s t u v w; do
  [ -e "$WINEPREFIX/dosdevices/$letter:" ] || { drive=$letter; break; }
done
[ -n "$drive" ] || fail "no free drive letter in the prefix"
ln -s "$disk" "$WINEPREFIX/dosdevices/$drive:"
unmount_disk() {
  rm -f "$WINEPREFIX/dosdevices/$drive:"
  umount "$disk" 2>/dev/null || umount -l "$disk" 2>/dev/null || true
}
e2e_at_exit unmount_disk
D=${drive^^}

mkdir -p "$disk/shots" "$disk/avi" "$disk/tmp"
e2e_write_ini <<INI
[PATH]
AUTOSAVEPATH=$D:\\shots
AVISAVEPATH=$D:\\avi
TEMPPATH=$D:\\tmp
[OPTION]
MAP_SIZE=1048576
S_FPS=4
S_TIME=1.0
AUTO_SAVE=1
AVI_OUT=1
REDUCE_FIXED=1
INI
start_scene pattern 600 420 320 240
start_kestrin
# A store of 1 MB (four samples of the scene) fits the disk: it starts there.
[ -e "$disk/tmp/tmp.map" ] || fail "the sample store did not start in TEMPPATH on the small disk"

messages_seen=0
# Presses the hot key and waits for the capture to end, answering every message box; the
# texts it answered are in $E2E_DIR/messages.txt, one box a line.
capture() {
  press scene "${1:-Print}"
  capture_ends
}
capture_ends() {
  local deadline=$((SECONDS + 90)) started=0
  while [ $SECONDS -lt $deadline ]; do
    local texts=""
    if xdotool search --name "$KESTRIN_MESSAGE_PATTERN" >/dev/null 2>&1; then
      texts=$(procprobe answer-texts "${KESTRIN_MESSAGE_TITLES[@]}")
    fi
    if [ -n "$texts" ]; then
      printf '%s\n' "$texts" >> "$E2E_DIR/messages.txt"
      messages_seen=$((messages_seen + $(wc -l <<<"$texts")))
      sleep 0.3
      continue
    fi
    caption_matches '\(' && started=1
    if [ $started = 1 ] || [ $((deadline - SECONDS)) -lt 80 ]; then
      # The quick look for a box above can miss one (a search racing a closing window).
      caption_is "$KESTRIN_CAPTION_READY" >/dev/null && no_message_box && return 0
    fi
    sleep 0.1
  done
  fail "the capture did not end"
}

# Every BMP on the disk is whole: its size is what its header says, and it reads.
check_files_whole() {
  local f size
  for f in "$disk"/shots/*.bmp; do
    [ -e "$f" ] || continue
    size=$(stat -c %s "$f")
    [ "$size" = "$(od -An -tu4 -j2 -N4 "$f" | tr -d ' ')" ] || fail "$(basename "$f") is cut off at $size bytes"
    identify "$f" >/dev/null 2>&1 || fail "$(basename "$f") does not read"
  done
  for f in "$disk"/shots/*.png; do
    [ -e "$f" ] || continue
    identify "$f" >/dev/null 2>&1 || { cp "$f" "$E2E_DIR/broken-$(basename "$f")"; fail "$(basename "$f") is a cut-off PNG left behind"; }
  done
  for f in "$disk"/avi/*.avi; do
    [ -e "$f" ] || continue
    ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of csv=p=0 "$f" >/dev/null 2>&1 ||
      { cp "$f" "$E2E_DIR/broken-$(basename "$f")"; fail "$(basename "$f") is a broken AVI left behind"; }
  done
}

# Disk nearly full: room for neither the samples, the AVI nor the BMP.
head -c $((3 * 1024 * 1024 - 200 * 1024)) /dev/zero > "$disk/filler" 2>/dev/null || true
before=$messages_seen
capture
check_files_whole
[ $messages_seen -gt $before ] || fail "the user was not told that the disk is full"
caption_is "$KESTRIN_CAPTION_READY" || fail "not ready after the failed capture"
[ ! -e "$disk/tmp/tmp.map" ] || fail "the sample store stayed in a file on the full disk"
pass "full disk: the samples moved to memory, the user is told ($((messages_seen - before)) messages), no cut-off file is left"

# A second capture on the still-full disk: same again, the program keeps working.
before=$messages_seen
capture
check_files_whole
[ $messages_seen -gt $before ] || fail "the second full-disk capture told nothing"

# Room again: the next capture is saved whole.
rm -f "$disk/filler"
capture
check_files_whole
bmp=$(ls "$disk"/shots/ss*.bmp 2>/dev/null | head -n1)
[ -n "$bmp" ] || fail "no BMP after the disk had room again"
[ "$(identify -format '%w %h' "$bmp")" = "320 240" ] || fail "the BMP after the full disk has the wrong size"
avi=$(ls "$disk"/avi/savi*.avi 2>/dev/null | head -n1)
[ -n "$avi" ] || fail "no AVI after the disk had room again"
frames=$(ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of csv=p=0 "$avi")
[ "$frames" = 4 ] || fail "the AVI after the full disk has $frames frames, not 4"
pass "with room again the next capture saves a whole BMP and a 4-frame AVI"

# PNG, without the AVI: on a disk without a free byte the PNG alone must tell the user.
stop_kestrin
e2e_set_ini SAVE_TYPE 1; e2e_set_ini AVI_OUT 0
rm -f "$disk"/shots/*
start_kestrin
cat /dev/zero > "$disk/filler" 2>/dev/null || true
before=$messages_seen
capture
check_files_whole
[ $messages_seen -gt $before ] || fail "a PNG that could not be written was not reported"
[ -z "$(ls -A "$disk/shots")" ] || fail "the full disk kept $(ls "$disk/shots")"
rm -f "$disk/filler"
capture
check_files_whole
[ "$(identify -format '%m %w %h' "$disk/shots/ss0000.png" 2>/dev/null)" = "PNG 320 240" ] ||
  fail "no whole PNG after the disk had room again"
pass "full disk: no PNG is left and the user is told; with room again the PNG is whole"

stop_kestrin
[ "$KESTRIN_EXIT" -eq 0 ] || fail "exit code $KESTRIN_EXIT"
[ ! -e "$disk/tmp/tmp.map" ] || fail "tmp.map left on the disk"
pass "exit code 0, tmp.map gone"

# The disk fills during a recording: 30 frames of 230 KB beside a screenshot, on a disk
# with room for about 12 (the samples elsewhere). The recording ends while its file can
# still be closed and the screenshot's own BMP still fits, and the user is asked; told to
# give the rest up, a whole AVI remains, with the frames the question gave.
sed -i -e 's/^SAVE_TYPE=.*/SAVE_TYPE=0\r/' -e 's/^AVI_OUT=.*/AVI_OUT=1\r/' -e 's/^S_FPS=.*/S_FPS=15\r/' \
  -e 's/^S_TIME=.*/S_TIME=2.0\r/' -e "s|^TEMPPATH=.*|TEMPPATH=$(winpath "$E2E_DIR" | sed 's/\\/\\\\/g')\r|" "$E2E_DIR/Kestrin.ini"
rm -rf "${disk:?}"/avi/* "${disk:?}"/shots/* "$disk/filler"
: > "$E2E_DIR/messages.txt"
start_kestrin
PROCPROBE_BUTTON=3 capture  # the question's 破棄 (IDABORT)
check_files_whole
avi=$(ls "$disk"/avi/savi*.avi 2>/dev/null | head -n1)
[ -n "$avi" ] || fail "the recording that filled the disk left no AVI; messages: $(cat "$E2E_DIR/messages.txt")"
frames=$(ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of csv=p=0 "$avi")
told=$(grep -o '30 フレームのうち [0-9]* フレーム' "$E2E_DIR/messages.txt" | sed 's/.*のうち //' | grep -o '[0-9]*' | head -n1)
[ -n "$told" ] || fail "no message gave the frames kept; messages: $(cat "$E2E_DIR/messages.txt")"
[ "$frames" = "$told" ] || fail "the AVI holds $frames frames, the message said $told"
[ "$frames" -gt 0 ] && [ "$frames" -lt 30 ] || fail "the AVI holds $frames frames of 30 on a disk with room for about 12"
[ "$(identify -format '%w %h' "$disk/shots/ss0000.bmp" 2>/dev/null)" = "320 240" ] ||
  fail "the screenshot's BMP was lost to the AVI beside it; messages: $(cat "$E2E_DIR/messages.txt")"
[ "$(wc -l < "$E2E_DIR/messages.txt")" = 1 ] || fail "more was said than the question: $(cat "$E2E_DIR/messages.txt")"
pass "the disk filled during a recording: the BMP is whole, and given up, a whole AVI of $frames frames remains, as the question said"
stop_kestrin
[ "$KESTRIN_EXIT" -eq 0 ] || fail "exit code $KESTRIN_EXIT"

# A recording the disks cannot hold whole is told before its first sample how long it can
# be, and is then exactly that long: with the AVI's disk the small one, and with the
# store's (the samples of 320 x 240 take 230 KB each, at 4 a second for up to 60 s).
for small in avi store; do
  rm -rf "${disk:?}"/avi/* "${disk:?}"/shots/* "${disk:?}"/tmp/* "$E2E_DIR/videos"
  if [ $small = avi ]; then avi_folder="$D:\\avi" temp_folder=$(winpath "$E2E_DIR"); avis="$disk/avi"
  else avi_folder=$(winpath "$E2E_DIR/videos") temp_folder="$D:\\tmp"; avis="$E2E_DIR/videos"; fi
  e2e_set_ini AVISAVEPATH "$avi_folder"; e2e_set_ini TEMPPATH "$temp_folder"
  e2e_set_ini AVI_FPS 4; e2e_set_ini AVI_TIME 60
  : > "$E2E_DIR/messages.txt"
  start_kestrin
  capture Prior
  told=$(grep -o '（[0-9]* フレーム）' "$E2E_DIR/messages.txt" | grep -o '[0-9]*' | head -n1)
  [ -n "$told" ] || fail "the $small disk: no length was told; messages: $(cat "$E2E_DIR/messages.txt")"
  [ "$(wc -l < "$E2E_DIR/messages.txt")" = 1 ] || fail "the $small disk: more was said: $(cat "$E2E_DIR/messages.txt")"
  avi=$(ls "$avis"/savi*.avi 2>/dev/null | head -n1)
  [ -n "$avi" ] || fail "the $small disk: the recording left no AVI"
  frames=$(ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of csv=p=0 "$avi")
  [ "$frames" = "$told" ] || fail "the $small disk: told $told frames, the AVI holds $frames"
  stop_kestrin
  pass "a recording too long for the $small disk was told $told frames and holds $told"
done

# Another program takes all but 4 KB of the disk.
fill_disk() { head -c $(($(df -B1 --output=avail "$disk" | tail -n1) - 4096)) /dev/zero > "$disk/filler" 2>/dev/null || true; }

# An AVI-only recording whose disk another program fills while it records: the samples are
# still held, so the user is asked; room made before the answer, the retry writes the AVI
# whole with every frame.
procprobe close scene.exe
wait_for 20 "the pattern scene to close" window_absent KestrinScene
start_scene moving 600 420 160 100 1000
rm -rf "${disk:?}"/avi/* "${disk:?}"/shots/* "$disk/filler"
e2e_set_ini AVISAVEPATH "$D:\\avi"; e2e_set_ini TEMPPATH "$(winpath "$E2E_DIR")"
e2e_set_ini AVI_FPS 8; e2e_set_ini AVI_TIME 5
: > "$E2E_DIR/messages.txt"
start_kestrin
press scene Prior
wait_for 20 "the recording to start" caption_matches '\( [0-9]+ / 40 \)'
fill_disk
question_up() { window_list | cut -f3 | grep -qx 'ビデオファイル作成エラー'; }
wait_for 90 "the question about the frames the disk could not take" question_up
rm -f "$disk/filler"
capture_ends  # answers the question with its default, 再試行
asked=$(grep -o '40 フレームのうち [0-9]* フレーム' "$E2E_DIR/messages.txt" | head -n1)
[ -n "$asked" ] || fail "the question did not name the frames; messages: $(cat "$E2E_DIR/messages.txt")"
[ "$(wc -l < "$E2E_DIR/messages.txt")" = 1 ] || fail "more was said than the question: $(cat "$E2E_DIR/messages.txt")"
avis=("$disk"/avi/savi*.avi)
[ "${#avis[@]}" = 1 ] && [ -e "${avis[0]}" ] || fail "the retry left ${#avis[@]} AVI files: ${avis[*]}"
frames=$(ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of csv=p=0 "${avis[0]}")
[ "$frames" = 40 ] || fail "after the retry the AVI holds $frames of 40 frames (asked: $asked)"
pass "the disk filled during a recording ($asked); room made, the retry wrote all 40 frames"

# Asked again, the user names a file on another disk: the recording is written whole there,
# and nothing of it stays on the full one.
rm -f "$disk"/avi/*
press scene Prior
wait_for 20 "the recording to start" caption_matches '\( [0-9]+ / 40 \)'
fill_disk
wait_for 90 "the question about the frames the disk could not take" question_up
answer_elsewhere() { [ "$(PROCPROBE_BUTTON=1102 answer_message_boxes)" -gt 0 ]; }  # 別の場所に保存...
wait_for 20 "the question answered with 別の場所に保存..." answer_elsewhere
wait_for 20 "the AVI save dialog" window_present 'AVIファイルを保存'
again winprobe text 'AVIファイルを保存' 1148 "$(winpath "$E2E_DIR/elsewhere.avi")"
again winprobe click 'AVIファイルを保存' 1
capture_ends
frames=$(ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of csv=p=0 "$E2E_DIR/elsewhere.avi" || true)
[ "$frames" = 40 ] || fail "the AVI saved elsewhere holds '$frames' of 40 frames"
[ -z "$(ls -A "$disk/avi")" ] || fail "the full disk kept $(ls "$disk/avi") beside the whole AVI elsewhere"
rm -f "$disk/filler"
pass "saved elsewhere, the recording is whole there with all 40 frames and nothing is left on the full disk"
stop_kestrin
[ "$KESTRIN_EXIT" -eq 0 ] || fail "exit code $KESTRIN_EXIT"

# An AVI-only recording written as GIF while its disk fills up: asked, and told to keep what
# fits, the file is cut after the last whole frame the disk holds, and reads whole with the
# frames the question named.
rm -rf "${disk:?}"/avi/* "${disk:?}"/shots/* "$disk/filler"
e2e_set_ini AVI_FPS 20; e2e_set_ini AVI_TIME 5; e2e_set_ini REC_GIF 1
: > "$E2E_DIR/messages.txt"
start_kestrin
press scene Prior
wait_for 20 "the GIF recording to start" caption_matches '\( [0-9]+ / 100 \)'
fill_disk
PROCPROBE_BUTTON=3 capture_ends
gif="$disk/avi/sgif0000.gif"
told=$(grep -o '100 フレームのうち [0-9]* フレーム' "$E2E_DIR/messages.txt" | sed 's/.*のうち //' | grep -o '[0-9]*' | head -n1)
[ -n "$told" ] && [ -s "$gif" ] || fail "no cut GIF or no question naming its frames; messages: $(cat "$E2E_DIR/messages.txt")"
frames=$(ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of csv=p=0 "$gif")
hundredths=$(identify -regard-warnings -format '%T\n' "$gif" | awk '{ s += $1 } END { print s }')
[ "$frames,$hundredths" = "$told,$((told * 5))" ] || fail "told $told frames, the GIF holds $frames lasting $hundredths/100 s"
[ "$told" -gt 0 ] && [ "$told" -lt 100 ] || fail "the GIF keeps $told of 100 frames on a disk with 4 KB left"
pass "the disk filled during a GIF recording: given up, a whole GIF of $told frames remains, as the question said"
stop_kestrin
[ "$KESTRIN_EXIT" -eq 0 ] || fail "exit code $KESTRIN_EXIT"
