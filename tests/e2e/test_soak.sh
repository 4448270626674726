#!/usr/bin/env bash
# A long run: back-to-back short captures with the options changed through the options
# dialog every few captures (rate, decay, precision, emphasis, plain mean, client area or
# whole window, AVI output). Every capture must be saved whole, and the process's GDI
# objects, handles and private bytes must stay flat once it has warmed up.
source "$(dirname "$0")/lib.sh"

CAPTURES=${SOAK_CAPTURES:-150}
EVERY=${SOAK_OPTIONS_EVERY:-5}
options_open() { [ "$(winprobe count '#32770' 'オプション')" = 1 ]; }
options_closed() { [ "$(winprobe count '#32770' 'オプション')" = 0 ]; }

e2e_prepare
e2e_write_ini_out <<INI
[OPTION]
S_FPS=20
S_TIME=0.1
AUTO_SAVE=1
INI
mkdir -p "$out"
start_scene moving 600 420 320 240 300
start_kestrin

# The probe reads the process's GDI objects, handles, windows and private bytes from where
# the system keeps them (Wine answers the usual calls for another process with 0); Linux's
# view of the same process, its anonymous resident memory and open descriptors, is
# judged beside them.
usage() {
  printf '%s rssanon=%s fds=%s\n' "$(again procprobe usage "\\test_soak\\kestrin.exe")" \
    "$(awk '/^RssAnon:/ { print $2 * 1024 }' "/proc/$kestrin_pid/status")" "$(ls "/proc/$kestrin_pid/fd" | wc -l)"
}
field() { sed -n "s/.*$1=\([0-9]*\).*/\1/p" <<<"$2"; }

change_options() {  # change_options ROUND
  local r=$1 odd=$(( $1 % 2 ))
  press kestrin ctrl+o
  wait_for 20 "the options dialog" options_open
  wait_for 10 "S_FPS typed" winprobe text 'オプション' 1007 $((20 + 10 * odd))
  wait_for 10 "the decay typed" winprobe text 'オプション' 1010 "$([ $odd = 1 ] && echo 2.00 || echo 0.50)"
  local id bit=1
  for id in 1017 1021 1024 1016 1026; do  # flipped every 1, 2, 3, 4 and 5 rounds
    wait_for 10 "check box $id set" procprobe check 'オプション' $id $(( (r / bit) % 2 ))
    bit=$((bit + 1))
  done
  wait_for 20 "Apply to close the dialog" apply_options
}
# Clicks Apply while the dialog is still there (a second Apply stores the same values again).
apply_options() { options_closed || { winprobe click 'オプション' 1004 || true; options_closed; }; }

bmp_count() { find "$out" -name 'ss*.bmp' 2>/dev/null | wc -l; }
baseline=""
for ((i = 1; i <= CAPTURES; i++)); do
  if (( i % EVERY == 0 )); then change_options $((i / EVERY)); fi
  before=$(bmp_count)
  # The scene keeps the focus from one capture to the next (which window is captured does
  # not matter here): it is clicked again only when something else took the focus.
  scene=$(scene_window) || fail "no scene window for capture $i"
  if [ "$(xdotool getwindowfocus 2>/dev/null)" = "$scene" ]; then xdotool key Print; else press "$scene" Print; fi
  wait_for 60 "capture $i to be saved" bash -c "[ \$(find '$out' -name 'ss*.bmp' | wc -l) -gt $before ]"
  wait_for 60 "capture $i to end" caption_is "$KESTRIN_CAPTION_READY"
  if (( i == 30 )); then baseline=$(usage); echo "after 30 captures: $baseline"; fi
done
final=$(usage)
echo "after $CAPTURES captures: $final"

# Every result is whole: its file size is what its header says.
for f in "$out"/ss*.bmp; do
  [ "$(stat -c %s "$f")" = "$(od -An -tu4 -j2 -N4 "$f" | tr -d ' ')" ] || fail "$(basename "$f") is cut off"
done
n=$(bmp_count)
[ "$n" -eq "$CAPTURES" ] || fail "$n results saved for $CAPTURES captures"
for f in "$out"/savi*.avi; do
  [ -e "$f" ] || continue
  ffprobe -v error -show_entries stream=codec_name -of csv=p=0 "$f" >/dev/null 2>&1 || fail "$(basename "$f") does not read"
done

if [ -n "$baseline" ]; then
  for key in gdi user handles fds private rssanon; do
    [ -n "$(field $key "$baseline")" ] && [ "$(field $key "$baseline")" -gt 0 ] || fail "no $key figure was read: $baseline"
  done
  for key in gdi user handles fds; do
    a=$(field $key "$baseline"); b=$(field $key "$final")
    [ $((b - a)) -le 8 ] || fail "$key grew from $a to $b over $((CAPTURES - 30)) captures"
  done
  for key in private rssanon; do
    a=$(field $key "$baseline"); b=$(field $key "$final")
    [ $((b - a)) -le $((16 * 1024 * 1024)) ] || fail "$key memory grew from $a to $b over $((CAPTURES - 30)) captures"
  done
fi
stop_kestrin
[ "$KESTRIN_EXIT" -eq 0 ] || fail "exit code $KESTRIN_EXIT"
[ ! -e "$E2E_DIR/tmp.map" ] || fail "tmp.map left behind"
pass "$CAPTURES captures with the options changed every $EVERY: all saved whole, resources flat ($baseline -> $final)"
