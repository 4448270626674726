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
med = statistics.median
target = 10000 // rate
step = med(grab) + med(copy)
median_ok = abs(med(intervals) - target) <= 2
p99_ok = pct(intervals, 99) <= target * 1.1
verdict = "meets both goals" if median_ok and p99_ok else \
    "misses " + " and ".join(n for n, ok in (("median", median_ok), ("p99", p99_ok)) if not ok)
if step >= target:
    verdict += f"; the step ({step:.1f}) does not fit the interval: the {'grab' if med(grab) >= med(copy) else 'copy'} is the cost"
elif not p99_ok:
    slow = [(b[0] - a[0], a) for a, b in zip(rows, rows[1:]) if ticks(b[0] - a[0]) > target * 1.1]
    g = sum(ticks(a[1] - a[0]) for _, a in slow) / len(slow)
    c = sum(ticks(a[2] - a[1]) for _, a in slow) / len(slow)
    verdict += f"; before the late steps the grab took {g:.1f} and the copy {c:.1f} on average"
    if g + c < target:
        verdict += ": the steps fit, the time was lost in the wait"
print(f"samples {len(rows):4d}  interval median {med(intervals):6.1f} p99 {pct(intervals, 99):6.1f}"
      f" worst {intervals[-1]:6.1f} (target {target})  grab median {med(grab):5.1f} p99 {pct(grab, 99):5.1f}"
      f"  copy median {med(copy):5.1f} p99 {pct(copy, 99):5.1f}  sustains {10000 / step:4.0f}/s  -- {verdict}")
PY
}

# MODE: client | desktop | avi-client | avi-desktop; KESTRIN_SCENE: moving (the default) or
# colourful (every sample changes everywhere, in many colours: a recording's GIF works hard).
run_case() {  # run_case LABEL MODE RATE [TEMPPATH] [OPTION-LINE] [AVIMODE-OPTION-LINE]
  local label=$1 mode=$2 rate=$3 temp=${4:-} option=${5:-} avioption=${6:-}
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
$option
${temp:+[PATH]
TEMPPATH=$temp}
[AVIMODE_OPTION]
AVI_FPS=$avifps
AVI_TIME=4
$avioption
INI
  export KESTRIN_CADENCE_LOG
  KESTRIN_CADENCE_LOG="$(winpath "$E2E_DIR/cadence.log")"
  start_scene "${KESTRIN_SCENE:-moving}" 200 150 640 480 300
  local scene=${e2e_pids[-1]}
  start_kestrin
  if [ "${mode#avi-}" != "$mode" ]; then press "$(scene_window)" Prior; else press "$(scene_window)" Print; fi
  wait_for 30 "the capture to start" caption_matches '\( [0-9]+ / [0-9]+ \)'
  wait_for 120 "the capture to end" test -s "$E2E_DIR/cadence.log"
  wait_for 120 "the caption to return" caption_is "$KESTRIN_CAPTION_READY"
  printf '%-34s ' "$label"
  stats "$E2E_DIR/cadence.log" "$rate"
  [ -z "${CADENCE_KEEP:-}" ] || cp "$E2E_DIR/cadence.log" "$CADENCE_KEEP/cadence-${label//[^A-Za-z0-9=]/_}.log"
  stop_kestrin
  # A scene left running would load the later cases and the idle measurement.
  kill "$scene" 2>/dev/null || true
  wait "$scene" 2>/dev/null || true
  unset KESTRIN_CADENCE_LOG
}

cpu_seconds() {  # user + system seconds of a Linux process
  awk -v hz="$(getconf CLK_TCK)" '{ print ($14 + $15) / hz }' "/proc/$1/stat"
}

# The Linux process behind Kestrin's window (Wine sets the window's _NET_WM_PID). The
# name alone would also find other runs' processes on a shared machine.
kestrin_linux_pid() {
  if [ -n "$kestrin_pid" ] && [ -r "/proc/$kestrin_pid/stat" ]; then echo "$kestrin_pid"; return; fi
  xdotool getwindowpid "$(kestrin_window)"
}

# The wineserver of this run's prefix: it works in a folder named after the prefix's
# device and inode; other runs on the machine have their own.
our_wineserver() {
  local want p
  want=$(printf 'server-%x-%x' $(stat -L -c '%d %i' "$WINEPREFIX"))
  for p in $(pgrep wineserver); do
    case "$(readlink "/proc/$p/cwd" 2>/dev/null)" in */"$want") echo "$p"; return ;; esac
  done
}

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
  server=$(our_wineserver)
  [ -n "$server" ] || fail "the run's wineserver was not found"
  before=$(cpu_seconds "$pid"); sbefore=$(cpu_seconds "$server")
  sleep 30
  after=$(cpu_seconds "$pid"); safter=$(cpu_seconds "$server")
  awk -v a="$before" -v b="$after" -v c="$sbefore" -v d="$safter" \
    'BEGIN { printf "idle 30 s: Kestrin %.2f%% of one core, wineserver %.2f%%\n", (b - a) * 100 / 30, (d - c) * 100 / 30 }'

  stop_kestrin

  # During a 10-second capture of the desktop at 15 samples per second.
  e2e_write_ini <<'INI'
[OPTION]
AUTO_SAVE=0
S_FPS=15
S_TIME=10.0
SS_ACTIVE=0
INI
  start_kestrin
  pid=$(kestrin_linux_pid)
  server=$(our_wineserver)
  press "$(kestrin_window)" Print
  wait_for 30 "the capture to start" caption_matches '\( [0-9]+ / [0-9]+ \)'
  before=$(cpu_seconds "$pid"); sbefore=$(cpu_seconds "$server")
  local start; start=$(date +%s.%N)
  wait_for 120 "the capture to end" caption_is "$KESTRIN_CAPTION_READY"
  after=$(cpu_seconds "$pid"); safter=$(cpu_seconds "$server")
  awk -v a="$before" -v b="$after" -v c="$sbefore" -v d="$safter" -v t0="$start" -v t1="$(date +%s.%N)" \
    'BEGIN { printf "during a 10 s desktop capture at 15/s: Kestrin %.1f%% of one core, wineserver %.1f%%\n", (b - a) * 100 / (t1 - t0), (d - c) * 100 / (t1 - t0) }'
  stop_kestrin
}

# The ring of the last seconds at 10 per second, kept while idle: what Kestrin and
# wineserver spend on it for 15 s once it is full, and the private memory it then holds,
# on a still desktop and with the moving square (a 40 x 40 square crossing 640 x 480 at
# 300 pixels a second), beside the same Kestrin with the ring off.
ring_cost() {
  local scene scene_pid pid server before after sbefore safter ready=$KESTRIN_CAPTION_READY
  for scene in off still moving; do
    e2e_prepare
    e2e_write_ini <<INI
[OPTION]
AUTO_SAVE=0
RETRO=$([ $scene = off ] && echo 0 || echo 1)
RETRO_FPS=10
RETRO_TIME=5
INI
    scene_pid=""
    if [ $scene = moving ]; then start_scene moving 100 100 640 480 300; scene_pid=${e2e_pids[-1]}; fi
    [ $scene = off ] || KESTRIN_CAPTION_READY="$ready（直前 5 秒を記録中）"
    start_kestrin
    sleep 7
    pid=$(kestrin_linux_pid)
    server=$(our_wineserver)
    before=$(cpu_seconds "$pid"); sbefore=$(cpu_seconds "$server")
    sleep 15
    after=$(cpu_seconds "$pid"); safter=$(cpu_seconds "$server")
    awk -v a="$before" -v b="$after" -v c="$sbefore" -v d="$safter" -v s="$scene" -v m="$(again procprobe usage Kestrin.exe)" \
      'BEGIN { printf "ring %s, 10/s over 15 s: Kestrin %.1f%% of one core, wineserver %.1f%%; %s\n", s, (b - a) * 100 / 15, (d - c) * 100 / 15, m }'
    stop_kestrin
    [ -z "$scene_pid" ] || { kill "$scene_pid" 2>/dev/null; wait "$scene_pid" 2>/dev/null || true; }
    KESTRIN_CAPTION_READY=$ready
  done
}

# A 10 s AVI-only recording of the desktop at 15 per second, stopped by its key: the
# time from the key to the last file closed (the caption back to ready), beside dd
# writing the same bytes with fsync to the same folder. With "gif" the recording is
# written as GIF (fed to the encoder while it records) over the scene named second.
avi_stop_cost() {  # avi_stop_cost [gif SCENE]
  e2e_prepare
  local videos="$E2E_DIR/videos"
  mkdir -p "$videos"
  e2e_write_ini <<INI
[PATH]
AVISAVEPATH=$(winpath "$videos")
[OPTION]
AUTO_SAVE=0
SS_ACTIVE=0
[AVIMODE_OPTION]
AVI_FPS=15
AVI_TIME=60
REC_GIF=$([ "${1:-}" = gif ] && echo 1 || echo 0)
INI
  start_scene "${2:-moving}" 200 150 640 480 300
  local scene=${e2e_pids[-1]}
  start_kestrin
  press "$(scene_window)" Prior
  wait_for 30 "the recording to start" caption_matches '\( [0-9]+ / [0-9]+ \)'
  sleep 10
  press "$(scene_window)" Next
  local t0; t0=$(date +%s.%N)
  wait_for 300 "the recording to be written" caption_is "$KESTRIN_CAPTION_READY"
  local t1; t1=$(date +%s.%N)
  if [ "${1:-}" = gif ]; then
    local gif; gif=$(ls "$videos"/sgif*.gif)
    awk -v a="$t0" -v b="$t1" -v n="$(stat -c %s "$gif")" -v s="$2" \
      'BEGIN { printf "GIF recording 10 s of the desktop at 15/s, %s scene, %.1f MB: stop key to file written %.2f s\n", s, n / 1e6, b - a }'
    printf '  %s frames in the file\n' "$(ffprobe -v error -count_frames -select_streams v -show_entries stream=nb_read_frames -of csv=p=0 "$gif")"
    stop_kestrin
    kill "$scene" 2>/dev/null || true
    wait "$scene" 2>/dev/null || true
    return
  fi
  local bytes files; bytes=$(cat "$videos"/savi*.avi | wc -c); files=$(ls "$videos"/savi*.avi | wc -l)
  local d0 d1; d0=$(date +%s.%N)
  dd if=/dev/zero of="$videos/dd.bin" bs=1M count=$(( (bytes + 1048575) / 1048576 )) conv=fsync status=none
  d1=$(date +%s.%N)
  awk -v a="$t0" -v b="$t1" -v c="$d0" -v d="$d1" -v n="$bytes" -v f="$files" \
    'BEGIN { printf "AVI-only 10 s of the desktop at 15/s, %.0f MB in %d file(s): stop key to last file closed %.2f s; dd with fsync %.2f s (%.1fx)\n", n / 1e6, f, b - a, d - c, (b - a) / (d - c) }'
  rm -f "$videos/dd.bin"
  stop_kestrin
  kill "$scene" 2>/dev/null || true
  wait "$scene" 2>/dev/null || true
}

# AVI-only recordings, as AVI and written as GIF (the encoder's threads busy while it samples).
recording_cases() {
  run_case "client 640x480 AVI_FPS=15" avi-client 15
  run_case "desktop 1024x768 AVI_FPS=15" avi-desktop 15
  run_case "client AVI_FPS=15, GIF" avi-client 15 "" "" REC_GIF=1
  run_case "desktop AVI_FPS=15, GIF" avi-desktop 15 "" "" REC_GIF=1
  KESTRIN_SCENE=colourful run_case "desktop AVI_FPS=15, colourful" avi-desktop 15
  KESTRIN_SCENE=colourful run_case "desktop AVI_FPS=15, colourful, GIF" avi-desktop 15 "" "" REC_GIF=1
}

echo "== sampling cadence (ticks of 0.1 ms; client area 640x480, desktop 1024x768)"
# CADENCE_ONLY=recording: the AVI-only recordings alone, as AVI and as GIF.
if [ "${CADENCE_ONLY:-}" = recording ]; then
  recording_cases
  echo "== AVI-only recording, stop to last file closed"
  avi_stop_cost
  avi_stop_cost gif moving
  avi_stop_cost gif colourful
  exit 0
fi
for rate in 15 30 60; do
  run_case "client 640x480 S_FPS=$rate" client "$rate"
  run_case "desktop 1024x768 S_FPS=$rate" desktop "$rate"
done
recording_cases
# The same fastest case with the store in the paging file (a TEMPPATH that does not
# exist): what the file's writeback costs the cadence.
run_case "desktop S_FPS=60, paging file" desktop 60 'Z:\no\such\folder'
# The pointer drawn into every sample: what it adds to the grab.
run_case "desktop S_FPS=15, no pointer" desktop 15
run_case "desktop S_FPS=15, pointer" desktop 15 "" CURSOR_CAPTURE=1
echo "== idle cost"
idle_cost
echo "== the ring of the last seconds"
ring_cost
echo "== AVI-only recording, stop to last file closed"
avi_stop_cost
avi_stop_cost gif moving
avi_stop_cost gif colourful
