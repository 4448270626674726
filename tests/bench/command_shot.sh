#!/usr/bin/env bash
# Benchmark (not a test): a `shot` of 1 s at 15 samples a second typed in a shell with no
# Kestrin running, from the command's start until it has exited with its PNG whole (start-up,
# the samples, the composite, the PNG, shutdown), beside the hot key's time over the same
# scene from its press until the auto-saved PNG is whole. Needs the run's DISPLAY, WINEPREFIX
# and a running wineserver (scripts/bench sets them up).
source "$(dirname "$0")/../e2e/lib.sh"

e2e_prepare
e2e_write_ini_out <<INI
[OPTION]
S_FPS=15
S_TIME=1.0
SAVE_TYPE=1
INI
start_scene moving 10 470 600 280 200
tries=${COMMAND_TRIES:-7}
command_times=()
for try in $(seq 1 "$tries"); do
  rm -f "$E2E_DIR/cmd.png"
  t0=${EPOCHREALTIME/./}
  (cd "$E2E_DIR" && "$KESTRIN_WINE" Kestrin.exe shot --client -o cmd.png >/dev/null 2>&1) || fail "the shot command failed"
  t1=${EPOCHREALTIME/./}
  [ -s "$E2E_DIR/cmd.png" ] || fail "the shot command wrote no PNG"
  command_times+=($(((t1 - t0) / 1000)))
done
start_kestrin
key_times=()
for try in $(seq 1 "$tries"); do
  serial=$(printf '%04d' $((try - 1)))
  focus scene
  t0=${EPOCHREALTIME/./}
  xdotool key Print
  # The name is claimed before the write: the file is whole once the capture has ended.
  until [ -s "$out/ss$serial.png" ] && caption_is "$KESTRIN_CAPTION_READY" >/dev/null; do
    [ $(((${EPOCHREALTIME/./} - t0) / 1000000)) -lt 30 ] || fail "no ss$serial.png within 30 s of the key"
  done
  t1=${EPOCHREALTIME/./}
  key_times+=($(((t1 - t0) / 1000)))
done
stop_kestrin
python3 - "${command_times[*]}" "${key_times[*]}" <<'PY'
import sys, statistics
for name, text in (("shot command, no Kestrin running", sys.argv[1]), ("hot key in a running Kestrin", sys.argv[2])):
    t = sorted(int(x) for x in text.split())
    print(f"{name}: 1 s at 15/s to a whole PNG, {len(t)} tries, median {statistics.median(t)} ms, worst {t[-1]} ms (goal 1500 ms)")
PY
