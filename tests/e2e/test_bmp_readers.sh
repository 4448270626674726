#!/usr/bin/env bash
# ImageMagick and FFmpeg read BMP files written by Kestrin's writer and must see the
# test pattern: pixel (x, y) is red 255 - x, green 3y, blue 7x + y (all mod 256); the
# PNG files of the same results hold the BMPs' pixels, pixel for pixel.
set -euo pipefail
: "${KESTRIN_BIN:?}" "${KESTRIN_SOURCE:?}"
source "$(dirname "$0")/loader.sh"
out=$(mktemp -d)
cleanup() { rm -rf "$out"; }
trap cleanup EXIT
winout="Z:${out//\//\\}"
if ! KESTRIN_BMP_OUT="$winout" "$KESTRIN_WINE" "$KESTRIN_BIN/test_output.exe" \
     --gtest_filter='BmpWriterTest.WritesFilesForTheIndependentReaders' >"$out/log" 2>&1; then
  cat "$out/log"; echo "the writer failed"; exit 1
fi
fail() { echo "FAIL: $*"; exit 1; }
for f in pattern640x480.bmp pattern7x3.bmp pattern640x480.png pattern7x3.png; do
  [ -s "$out/$f" ] || fail "$f was not written"
done

[ "$(stat -c %s "$out/pattern640x480.bmp")" = 1228854 ] || fail "640x480 file size"
[[ "$(identify -format '%m %w %h' "$out/pattern640x480.bmp")" =~ ^BMP3?\ 640\ 480$ ]] || fail "identify 640x480"
probe=$(ffprobe -v error -show_entries stream=codec_name,width,height -of csv=p=0 "$out/pattern640x480.bmp")
[ "$probe" = "bmp,640,480" ] || fail "ffprobe says $probe"

expected() {  # the pattern's 7 x 3 pixels as rgb hex, top row first
  local x y
  for y in 0 1 2; do for x in 0 1 2 3 4 5 6; do
    printf '%d,%d #%02X%02X%02X\n' "$x" "$y" $(( (255 - x) & 255 )) $(( (3 * y) & 255 )) $(( (7 * x + y) & 255 ))
  done; done
}
# ImageMagick: every pixel, and none of them transparent.
magick_pixels=$(convert "$out/pattern7x3.bmp" txt:- | sed -n 's/^\([0-9]*,[0-9]*\): .* \(#[0-9A-F]\{6\}\).*/\1 \2/p')
[ "$magick_pixels" = "$(expected)" ] || { diff <(expected) <(echo "$magick_pixels"); fail "ImageMagick pixels"; }
channels=$(identify -format '%[channels]' "$out/pattern7x3.bmp")
[[ "$channels" != *a* ]] || fail "ImageMagick takes the fourth byte for alpha ($channels)"
# FFmpeg: decoded to rgb24, top row first.
ffmpeg_pixels=$(ffmpeg -v error -i "$out/pattern7x3.bmp" -f rawvideo -pix_fmt rgb24 - | od -An -v -tx1 | tr -s ' \n' ' ')
want=$(expected | awk '{print tolower(substr($2,2,2)) " " tolower(substr($2,4,2)) " " tolower(substr($2,6,2))}' | tr '\n' ' ')
[ "$(echo $ffmpeg_pixels)" = "$(echo $want)" ] || fail "FFmpeg pixels: $ffmpeg_pixels"
echo "PASS: ImageMagick and FFmpeg read the pattern"

# The PNGs: 8-bit RGB without alpha, and ImageMagick sees the BMPs' pixels in them.
for f in pattern640x480 pattern7x3; do
  [ "$(identify -format '%m %z %[channels]' "$out/$f.png")" = "PNG 8 srgb" ] ||
    fail "$f.png: $(identify -format '%m %z %[channels]' "$out/$f.png")"
  [ "$(od -An -tu1 -j25 -N1 "$out/$f.png" | tr -d ' ')" = 2 ] || fail "$f.png is not a truecolour PNG"
  diff=$(compare -metric AE "$out/$f.bmp" "$out/$f.png" null: 2>&1 || true)
  [ "$diff" = 0 ] || fail "$diff pixels of $f.png differ from $f.bmp"
done
echo "PASS: the PNGs hold the BMPs' pixels"
