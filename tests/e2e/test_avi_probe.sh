#!/usr/bin/env bash
# The recorder's files as an outside reader sees them: ffprobe for the stream, ffmpeg
# for the pictures, compared with the samples they were written from.
set -euo pipefail
: "${KESTRIN_BIN:?}" "${KESTRIN_SOURCE:?}"
if [ -z "${DISPLAY:-}" ]; then
  source "$KESTRIN_SOURCE/scripts/wine-env.sh"
  trap kestrin_stop_all EXIT
  kestrin_start_xvfb
  kestrin_start_wine
fi
export WINEDEBUG=-all LC_ALL=${LC_ALL:-ja_JP.UTF-8}
source "$(dirname "$0")/loader.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"; [ "$(type -t kestrin_stop_all)" = function ] && kestrin_stop_all || true' EXIT
out="$work/videos"
mkdir -p "$out"
"$KESTRIN_WINE" "$KESTRIN_BIN/avi_probe_writer.exe" "Z:${out//\//\\}" || { echo "probe writer failed ($?)"; exit 1; }

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# file width height rate frames
check_stream() {
  local file="$out/$1" info
  [ -f "$file" ] || { fail "$1 missing"; return; }
  info=$(ffprobe -v error -count_frames -select_streams v -show_entries \
    stream=codec_name,pix_fmt,width,height,r_frame_rate,nb_read_frames -of default=nw=1 "$file")
  local streams
  streams=$(ffprobe -v error -show_entries stream=index -of csv=p=0 "$file" | wc -l)
  [ "$streams" = 1 ] || fail "$1: $streams streams"
  local want="codec_name=rawvideo
width=$2
height=$3
pix_fmt=bgr24
r_frame_rate=$4/1
nb_read_frames=$5"
  [ "$info" = "$want" ] || fail "$1: got
$info
want
$want"
}

check_stream savi0000.avi 641 480 15 15
check_stream savi0001.avi 64 48 15 7
check_stream savi0002.avi 32 24 10 100
[ -f "$out/savi0003.avi" ] || fail "savi0003.avi missing"
# A recording without samples: a readable stream of the capture size, length 0, no packets.
empty=$(ffprobe -v error -show_entries stream=codec_name,width,height,duration -of csv=p=0 "$out/savi0003.avi" || true)
[ "$empty" = "rawvideo,32,24,0.000000" ] || fail "savi0003.avi: '$empty'"
packets=$(ffprobe -v error -show_packets -of csv=p=0 "$out/savi0003.avi" | wc -l)
[ "$packets" = 0 ] || fail "savi0003.avi: $packets packets"
# A recording past the file limit: three files, each a stream of its own, whose frames
# add up to the samples taken, in order.
check_stream savi0004.avi 32 24 10 3
check_stream savi0005.avi 32 24 10 3
check_stream savi0006.avi 32 24 10 2
[ ! -e "$out/savi0007.avi" ] || fail "an extra file was written"
check_split_frame() {  # file frame sample
  local decoded="$work/decoded.bgr"
  ffmpeg -v error -y -i "$out/$1" -vf "select=eq(n\,$2)" -frames:v 1 -f rawvideo -pix_fmt bgr24 "$decoded"
  cmp -s "$decoded" "$out/frame4_$3.bgr" || fail "$1 frame $2 is not sample $3"
}
check_split_frame savi0004.avi 0 0
check_split_frame savi0005.avi 0 3
check_split_frame savi0006.avi 1 7

# Decoded pictures are upright and equal to their samples.
check_frame() {
  local n=$1 k=$2 decoded="$work/decoded.bgr"
  ffmpeg -v error -y -i "$out/savi000$n.avi" -vf "select=eq(n\,$k)" -frames:v 1 -f rawvideo -pix_fmt bgr24 "$decoded"
  cmp -s "$decoded" "$out/frame${n}_$k.bgr" || fail "savi000$n.avi frame $k differs from its sample"
}
for k in 0 7 14; do check_frame 0 $k; done
for k in 0 6; do check_frame 1 $k; done
for k in 0 50 99; do check_frame 2 $k; done

[ "$failures" = 0 ] && echo "all AVI checks passed"
exit "$failures"
