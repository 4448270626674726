#!/usr/bin/env bash
# Hostile INI files: random bytes, a file that is not text, huge and empty files, NULs,
# numbers out of every range, "nan" and "inf", values thousands of characters long,
# duplicated and missing sections and keys, paths that cannot work. Every one: the program
# starts, shows its window, takes a capture with the one hot-key press every instance's
# hook sees, answers for itself (message boxes are answered), exits with
# code 0, rewrites its INI file and leaves no "tmp.map".
source "$(dirname "$0")/lib.sh"

COUNT=${HOSTILE_INI_COUNT:-210}
BATCH=${HOSTILE_INI_BATCH:-8}
e2e_prepare
python3 "$KESTRIN_SOURCE/tests/e2e/hostile_ini.py" "$E2E_DIR/ini" "$COUNT"
start_scene pattern 600 420 320 240
scene=$(scene_window)

failures=0
captured_total=0
seen_total=0
# The sampling timeline gets its "capture" line when a capture ends, with or without samples.
start_instance() {  # start_instance ID
  local dir="$E2E_DIR/ini/$1"
  (cd "$dir" && KESTRIN_CADENCE_LOG=$(winpath "$dir/capture.log") exec "$KESTRIN_WINE" Kestrin.exe) &
  pid_of[$1]=$!; e2e_pids+=("$!"); starts[$1]=$((${starts[$1]:-0} + 1))
}

for ((first = 0; first < COUNT; first += BATCH)); do
  declare -A pid_of=() seen=() told=() starts=()
  ids=()
  for ((n = first; n < first + BATCH && n < COUNT; n++)); do
    id=$(printf 'i%03d' "$n"); dir="$E2E_DIR/ini/$id"
    cp "$dir/Kestrin.ini" "$dir/given.ini"
    # Copies, not links: Wine names a process after the first path of the file's inode.
    cp "$E2E_DIR/Kestrin.exe" "$E2E_DIR/HOOKDLL.dll" "$dir/"
    start_instance "$id"; ids+=("$id")
  done
  # All windows up (a start-up message box is answered like any other). Wine's start of a
  # process can fail on a busy machine: exit 1 before any window (Kestrin itself ends a
  # failed start-up with 0). Such an instance is started again, twice at most; any other
  # end before its window is a fault.
  deadline=$((SECONDS + 90))
  while :; do
    answer_message_boxes error >/dev/null
    list=$(window_list)
    ready=0
    waiting=""
    for id in "${ids[@]}"; do
      if grep -F "\\$id\\Kestrin.exe" <<<"$list" | grep -qP '\tDEFAULT\tKestrin Ver 0\.03改$'; then
        ready=$((ready + 1)); continue
      fi
      if kill -0 "${pid_of[$id]}" 2>/dev/null; then waiting="$waiting $id (running)"; continue; fi
      code=0; wait "${pid_of[$id]}" || code=$?
      [ "$code" -eq 1 ] && [ "${starts[$id]}" -lt 3 ] ||
        fail "batch $first: $id ended with exit code $code before its window was ready"
      echo "$id: Wine did not start it (exit 1, no window); started again" >&2
      cp "$E2E_DIR/ini/$id/given.ini" "$E2E_DIR/ini/$id/Kestrin.ini"
      start_instance "$id"
      waiting="$waiting $id (started again)"
    done
    [ "$ready" -eq "${#ids[@]}" ] && break
    [ $SECONDS -lt $deadline ] || fail "batch $first: only $ready of ${#ids[@]} windows became ready; waiting for$waiting"
    sleep 0.3
  done
  # One press of the hot key with the scene in front.
  xdotool windowraise "$scene" 2>/dev/null || true
  focus "$scene"
  xdotool key Print
  # Each instance ends its capture and comes back to the ready caption with no message box
  # left open. (How many showed it, by a sampling caption, a message or the file, is counted.)
  deadline=$((SECONDS + 120))
  while :; do
    list=$(window_list)
    done_count=0
    for id in "${ids[@]}"; do
      mine=$(grep -F "\\$id\\Kestrin.exe" <<<"$list" || true)
      if grep -qP '\t#32770\t' <<<"$mine"; then told[$id]=1; fi
      if grep -qP '\tDEFAULT\tKestrin Ver 0\.03改 *\(' <<<"$mine" || [ -n "${told[$id]:-}" ] ||
         ls "$E2E_DIR/ini/$id"/screenshot/ss*.bmp >/dev/null 2>&1; then
        seen[$id]=1
      fi
      if grep -qs '^capture' "$E2E_DIR/ini/$id/capture.log" && grep -qP '\tDEFAULT\tKestrin Ver 0\.03改$' <<<"$mine" &&
         ! grep -qP '\t#32770\t' <<<"$mine"; then
        done_count=$((done_count + 1))
      fi
    done
    [ "$done_count" -eq "${#ids[@]}" ] && break
    owners=$(procprobe answer-owners "${KESTRIN_MESSAGE_TITLES[@]}" error || true)
    for id in "${ids[@]}"; do
      if grep -qF "\\$id\\Kestrin.exe" <<<"$owners"; then told[$id]=1; fi
    done
    if [ $SECONDS -ge $deadline ]; then
      echo "batch $first: $done_count of ${#ids[@]} finished; windows:" >&2; echo "$list" >&2
      break
    fi
    sleep 0.2
  done
  # A close asks each instance once; the probe's own start can fail on a busy machine,
  # so a close that did not get through is tried again while the instance still runs
  # (a second close of a closing Kestrin changes nothing).
  for id in "${ids[@]}"; do
    for try in 1 2 3; do
      if procprobe close "\\$id\\kestrin.exe"; then break; fi
      kill -0 "${pid_of[$id]}" 2>/dev/null || break
      sleep 0.3
    done
  done
  for id in "${ids[@]}"; do
    deadline=$((SECONDS + 60))
    while kill -0 "${pid_of[$id]}" 2>/dev/null && [ $SECONDS -lt $deadline ]; do answer_message_boxes error >/dev/null; sleep 0.2; done
    code=0; wait "${pid_of[$id]}" || code=$?
    dir="$E2E_DIR/ini/$id"
    problem=""
    [ "$code" -eq 0 ] || problem="exit code $code"
    grep -qs '^capture' "$dir/capture.log" || problem="$problem; no capture ended"
    [ -e "$dir/tmp.map" ] && problem="$problem; tmp.map left behind"
    # What the program made of the file is what it saved: the capture of 1..50 samples
    # that the file allows must have reached ss0000.bmp whole, or the user was told why
    # not (another instance's message box, once answered, can leave no foreground window
    # for an instance that captures the foreground window's client area).
    n=$(tr -d '\r' < "$dir/Kestrin.ini" | LC_ALL=C awk -F= '
      $1 == "S_FPS" { f = $2 } $1 == "S_TIME" { t = $2 } END { printf "%d", f * t + 1e-9 }' || true)
    # A file whose rate and time give no sample at all composes nothing visible.
    [ -n "${seen[$id]:-}" ] && seen_total=$((seen_total + 1))
    if [ "$(cat "$dir/expect")" = bmp ] && [ "${n:-0}" -ge 1 ] && [ "${n:-0}" -le 50 ] && [ -z "${told[$id]:-}" ]; then
      if ! identify "$dir/screenshot/ss0000.bmp" >/dev/null 2>&1; then
        problem="$problem; no readable ss0000.bmp (N=$n)"
      fi
    fi
    ls "$dir"/screenshot/ss*.bmp >/dev/null 2>&1 && captured_total=$((captured_total + 1))
    rm -f "$dir/Kestrin.exe" "$dir/HOOKDLL.dll"
    if [ -n "$problem" ]; then
      echo "FAIL $id: ${problem#; }" >&2
      failures=$((failures + 1))
    fi
  done
  unset pid_of seen told starts
done
[ "$failures" -eq 0 ] || fail "$failures of $COUNT hostile INI files failed"
pass "$COUNT hostile INI files: each started, captured, exited 0, left no tmp.map ($seen_total showed their capture, $captured_total auto-saved a BMP)"
