#!/usr/bin/env bash
# Benchmark (not a test): how soon the region overlay is up after its key. Needs the run's
# DISPLAY, WINEPREFIX and a running wineserver (scripts/bench sets them up). Each try
# presses the key and looks for the overlay's X window as fast as xdotool can, so the
# figure includes xdotool's own start-up: an upper bound. Esc closes it again.
source "$(dirname "$0")/../e2e/lib.sh"

e2e_prepare
e2e_write_ini <<INI
[OPTION]
KEY_CODE5=19
AUTO_SAVE=0
INI
start_scene pattern 10 470 600 280
start_kestrin
title="範囲を指定して撮影"
times=()
for try in $(seq 1 ${REGION_TRIES:-20}); do
  focus scene
  sleep 0.3
  t0=${EPOCHREALTIME/./}
  xdotool key Pause
  deadline=$((SECONDS + 15))
  until overlay=$(xdotool search --name "^$title\$" 2>/dev/null | head -n1) && [ -n "$overlay" ]; do
    [ $SECONDS -lt $deadline ] || fail "no overlay within 15 s of its key"
  done
  t1=${EPOCHREALTIME/./}
  times+=($(((t1 - t0) / 100)))
  xdotool windowfocus --sync "$overlay" 2>/dev/null || true
  xdotool key Escape
  wait_for 15 "the overlay to close" window_absent "$title"
done
stop_kestrin
printf '%s\n' "${times[@]}" | python3 -c '
import sys, statistics
t = sorted(int(x) / 10.0 for x in sys.stdin)
print(f"region overlay after its key: {len(t)} tries, median {statistics.median(t):.1f} ms, worst {t[-1]:.1f} ms (goal 100 ms)")'
