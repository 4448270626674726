#!/usr/bin/env bash
# Benchmark (not a test): the real program's sampling cadence and idle cost under Xvfb and
# Wine. Needs the run's DISPLAY, WINEPREFIX and a running wineserver (scripts/bench sets
# them up). Prints one line per case; numbers are 0.1 ms ticks unless marked.
source "$(dirname "$0")/../e2e/lib.sh"

stats() {  # reads "capture FREQ" then "begin grabbed stored" lines; prints interval and cost figures
  python3 - "$1" "$2" <<'PY'
import sys, statistics
path, rate = sys.argv[1], int(sys.argv[2])
freq, rows = None, []
for line in open(path):
    parts = line.split()
    if parts[0] == 'capture':
        freq = int(parts[1]); continue
    rows.append(tuple(int(p) for p in parts))
ticks = lambda c: c * 10000.0 / freq
intervals = sorted(ticks(b[0] - a[0]) for a, b in zip(rows, rows[1:]))
grab = sorted(ticks(r[1] - r[0]) for r in rows)
copy = sorted(ticks(r[2] - r[1]) for r in rows)
pct = lambda xs, p: xs[min(len(xs) - 1, int(round(p / 100.0 * (len(xs) - 1))))]
target = 10000 // rate
step = statistics.median(grab) + statistics.median(copy)
fits = step < target
print(f"samples {len(rows):4d}  interval median {statistics.median(intervals):7.1f}  p99 {pct(intervals, 99):7.1f}"
      f"  worst {intervals[-1]:7.1f}  (target {target})  grab median {statistics.median(grab):6.1f}"
      f"  copy median {statistics.median(copy):5.1f}  sustains up to {10000 / step:5.0f}/s"
      + ("" if fits else f"  -- step {step:.1f} does not fit the interval {target}: the grab is the cost"))
PY
}

run_case() {  # run_case LABEL MODE RATE  (MODE: client | desktop | avi-client | avi-desktop)
  local label=$1 mode=$2 rate=$3
  e2e_prepare
  local active=1 fps=$rate avifps=15
  case "$mode" in *desktop) active=0 ;; esac
  case "$mode" in avi-*) fps=15; avifps=$rate ;; esac
  e2e_write_ini <<INI
[OPTION]
S_FPS=$fps
S_TIME=4.0
AUTO_SAVE=0
SS_ACTIVE=$active
SS_CLIENT=1
MAP_SIZE=0
[AVIMODE_OPTION]
AVI_FPS=$avifps
AVI_TIME=4
INI
  export KESTRIN_CADENCE_LOG
  KESTRIN_CADENCE_LOG="$(winpath "$E2E_DIR/cadence.log")"
  start_scene moving 200 150 640 480 300
  start_kestrin
  if [ "${mode#avi-}" != "$mode" ]; then press "$(scene_window)" Prior; else press "$(scene_window)" Print; fi
  wait_for 30 "the capture to start" caption_matches '\( [0-9]+ / [0-9]+ \)'
  wait_for 120 "the capture to end" test -s "$E2E_DIR/cadence.log"
  wait_for 120 "the caption to return" caption_is "$KESTRIN_CAPTION_READY"
  printf '%-28s ' "$label"
  stats "$E2E_DIR/cadence.log" "$rate"
  stop_kestrin
  unset KESTRIN_CADENCE_LOG
}

cpu_seconds() {  # user + system seconds of a Linux process
  awk -v hz="$(getconf CLK_TCK)" '{ print ($14 + $15) / hz }' "/proc/$1/stat"
}

kestrin_linux_pid() { pgrep -f 'Kestrin\.exe' | head -n1; }

idle_cost() {
  e2e_prepare
  e2e_write_ini <<'INI'
[OPTION]
AUTO_SAVE=0
INI
  start_kestrin
  sleep 2
  local pid server before after sbefore safter
  pid=$(kestrin_linux_pid)
  server=$(pgrep -x wineserver64 | head -n1 || pgrep wineserver | head -n1)
  before=$(cpu_seconds "$pid"); sbefore=$(cpu_seconds "$server")
  sleep 30
  after=$(cpu_seconds "$pid"); safter=$(cpu_seconds "$server")
  awk -v a="$before" -v b="$after" -v c="$sbefore" -v d="$safter" \
    'BEGIN { printf "idle 30 s: Kestrin %.2f%% of one core, wineserver %.2f%%\n", (b - a) * 100 / 30, (d - c) * 100 / 30 }'

  # During a 10-second capture of the desktop at 15 samples per second.
  sed -i 's/^AUTO_SAVE=0/AUTO_SAVE=0\r\nS_TIME=10.0\r\nSS_ACTIVE=0\r/' "$E2E_DIR/Kestrin.ini"
  stop_kestrin
  start_kestrin
  pid=$(kestrin_linux_pid)
  before=$(cpu_seconds "$pid")
  local start=$SECONDS
  press "$(kestrin_window)" Print
  wait_for 30 "the capture to start" caption_matches '\( [0-9]+ / [0-9]+ \)'
  wait_for 120 "the capture to end" caption_is "$KESTRIN_CAPTION_READY"
  after=$(cpu_seconds "$pid")
  awk -v a="$before" -v b="$after" -v t="$((SECONDS - start))" \
    'BEGIN { printf "during a 10 s desktop capture at 15/s: Kestrin %.1f%% of one core\n", (b - a) * 100 / t }'
  stop_kestrin
}

echo "== sampling cadence (ticks of 0.1 ms; client area 640x480, desktop 1024x768)"
for rate in 15 30 60; do
  run_case "client 640x480 S_FPS=$rate" client "$rate"
  run_case "desktop 1024x768 S_FPS=$rate" desktop "$rate"
done
run_case "client 640x480 AVI_FPS=15" avi-client 15
run_case "desktop 1024x768 AVI_FPS=15" avi-desktop 15
echo "== idle cost"
idle_cost
