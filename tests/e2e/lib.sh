# Shared by the end-to-end tests: each test gets its own program folder under the build
# tree, starts the real Kestrin.exe and the scene program under the run's Xvfb and Wine,
# drives them with xdotool, waits for conditions (never fixed times) and ends what it
# started on every exit path.
set -Eeuo pipefail

: "${KESTRIN_BIN:?KESTRIN_BIN must name the bin folder of the build}"
: "${KESTRIN_SOURCE:?KESTRIN_SOURCE must name the source folder}"
: "${DISPLAY:?the end-to-end tests need the X display of the run}"
export WINEDEBUG=-all
source "$(dirname "${BASH_SOURCE[0]}")/loader.sh"
: "${WINEPREFIX:=$(cd "$KESTRIN_BIN/../.." && pwd)/wineprefix}"
export WINEPREFIX
{ export LC_ALL=${LC_ALL:-ja_JP.UTF-8}; } 2>/dev/null

E2E_NAME=$(basename "$0" .sh)
E2E_DIR=${E2E_DIR:-"$(cd "$KESTRIN_BIN/.." && pwd)/e2e/$E2E_NAME"}
KESTRIN_CAPTION_READY="Kestrin Ver 0.03改"
e2e_pids=()
kestrin_pid=""

fail() {
  echo "FAIL ($E2E_NAME): $*" >&2
  e2e_keep_evidence failure
  exit 1
}

pass() { echo "ok ($E2E_NAME): $*"; }

# A command that stops a test through set -e says which it was, where, and how it ended.
# (Command substitutions run without set -e: a failure inside one stops nothing by itself.)
e2e_on_error() {
  local status=$?
  [ "$BASH_SUBSHELL" -eq 0 ] || return 0
  local i where=""
  for ((i = 1; i < ${#FUNCNAME[@]}; i++)); do
    where+="${where:+ <- }${BASH_SOURCE[i]##*/}:${BASH_LINENO[i - 1]} ${FUNCNAME[i]}"
  done
  echo "FAIL ($E2E_NAME): '$BASH_COMMAND' exited $status at $where" >&2
  e2e_keep_evidence failure
}
trap e2e_on_error ERR

# Ends every program this test started and waits until none of their windows is left, so
# the next test finds the display and the wineserver as this one found them. A window left
# behind is reported, and fails the test at its exit.
e2e_left_behind=0
e2e_cleanup() {
  local pid left
  for pid in "${e2e_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${e2e_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  e2e_pids=()
  if ! left=$(e2e_wait_windows_gone 15); then
    echo "FAIL ($E2E_NAME): windows of its programs are left after they were ended:" >&2
    printf '%s\n' "$left" >&2
    e2e_left_behind=1
  fi
}
# Commands the exit runs after the clean-up (unmounting, removing a drive letter, ...).
e2e_exit_commands=()
e2e_at_exit() { e2e_exit_commands+=("$1"); }
e2e_exit() {
  local status=$? command
  set +e
  e2e_cleanup
  for command in "${e2e_exit_commands[@]}"; do eval "$command"; done
  [ "$status" -ne 0 ] || status=$e2e_left_behind
  exit "$status"
}
trap e2e_exit EXIT

# The windows of the programs the end-to-end tests start (Kestrin from any test folder, the
# scene), one "EXE<TAB>CLASS<TAB>TITLE" a line.
e2e_program_windows() {
  local list
  list=$(window_list) || { echo "(the window list could not be read)"; return 0; }
  grep -iE '\\e2e\\[^\\]+\\.*kestrin\.exe'$'\t''|\\scene\.exe'$'\t' <<<"$list" || true
}
# Waits up to SECONDS until no such window is left; prints what is left when some are.
e2e_wait_windows_gone() {
  local deadline=$((SECONDS + $1)) left
  while :; do
    left=$(e2e_program_windows)
    [ -n "$left" ] || return 0
    [ $SECONDS -lt $deadline ] || { printf '%s\n' "$left"; return 1; }
    sleep 0.3
  done
}

# A fresh program folder with Kestrin.exe and HOOKDLL.dll; stdin, when not a terminal,
# becomes Kestrin.ini (Shift-JIS is written as given).
e2e_prepare() {
  # A Kestrin or scene left by an earlier test (one killed by a time-out ends without its
  # clean-up) would react to this test's hot keys or cover its windows: said, and ended.
  local left w pid
  if ! left=$(e2e_wait_windows_gone 10); then
    echo "note ($E2E_NAME): an earlier test left these windows; ending their programs:" >&2
    printf '%s\n' "$left" >&2
    for w in $(xdotool search --name '^(Kestrin Ver|KestrinScene$)' 2>/dev/null); do
      pid=$(xdotool getwindowpid "$w" 2>/dev/null) || continue
      kill -9 "$pid" 2>/dev/null || true
    done
    e2e_wait_windows_gone 15 >/dev/null || fail "windows of an earlier test cannot be ended"
  fi
  rm -rf "$E2E_DIR"
  mkdir -p "$E2E_DIR"
  cp "$KESTRIN_BIN/Kestrin.exe" "$KESTRIN_BIN/HOOKDLL.dll" "$E2E_DIR/"
}

# Sets KEY to VALUE in Kestrin.ini (a key the file already holds, as the program writes
# them all back at its exit), keeping the line's CR.
e2e_set_ini() {
  local value=${2//\\/\\\\}
  sed -i "s|^$1=[^\r]*|$1=$value|" "$E2E_DIR/Kestrin.ini"
}

# Writes Kestrin.ini from UTF-8 text on stdin, converted to Shift-JIS.
e2e_write_ini() {
  iconv -f UTF-8 -t CP932 | sed 's/$/\r/' > "$E2E_DIR/Kestrin.ini"
}

# The same after a [PATH] section that sends auto-saved images and videos to
# out=$E2E_DIR/out (set here for the test).
e2e_write_ini_out() {
  out="$E2E_DIR/out"
  { printf '[PATH]\nAUTOSAVEPATH=%s\nAVISAVEPATH=%s\n' "$(winpath "$out")" "$(winpath "$out")"; cat; } | e2e_write_ini
}

# Windows path (Z:\...) of a Unix path.
winpath() { printf 'Z:%s' "$(printf '%s' "$1" | sed 's|/|\\|g')"; }

# Runs COMMAND until it succeeds. On time-out the failure names what was awaited and what
# the command's last try found instead (its output, for the checks below that print it).
wait_for() {  # wait_for SECONDS DESCRIPTION COMMAND...
  local seconds=$1 what=$2; shift 2
  local deadline=$((SECONDS + seconds)) last
  while ! last=$("$@" 2>&1); do
    if [ $SECONDS -ge $deadline ]; then
      last=$(tail -n 5 <<<"$last" | cut -c1-300)
      fail "timed out after ${seconds}s waiting for $what${last:+; found instead: $last}"
    fi
    sleep 0.1
  done
}

# The first X window that `xdotool search ARGS` finds, tried again until SECONDS pass: a
# search fails outright when any window vanishes while it walks the window tree (a dialog
# just closed), so one empty answer proves nothing. On time-out it says on stderr what it
# looked for and which top-level windows there were instead.
find_window() {  # find_window SECONDS DESCRIPTION SEARCH-ARGS...
  local seconds=$1 what=$2; shift 2
  local deadline=$((SECONDS + seconds)) found
  while :; do
    found=$(xdotool search "$@" 2>/dev/null | head -n1)
    if [ -n "$found" ]; then echo "$found"; return 0; fi
    [ $SECONDS -lt $deadline ] || break
    sleep 0.1
  done
  { echo "no window for $what (xdotool search $*) within ${seconds}s; the windows are:"; window_list; } >&2
  return 1
}
# A window by its exact title.
titled_window() { find_window "${2:-15}" "'$1'" --name "^$1\$"; }
# A visible top-level window titled TITLE, read through Win32 (no race with a closing window);
# window_absent is its opposite, and both print the window list when they are false.
window_present() { local l; l=$(window_list) && cut -f3 <<<"$l" | grep -qxF "$1" || { echo "$l"; return 1; }; }
window_absent() { local l; l=$(window_list) && ! cut -f3 <<<"$l" | grep -qxF "$1" || { echo "$l"; return 1; }; }

# The main window of the Kestrin this test started (Wine names the process on its X windows).
kestrin_window() {
  if [ -n "$kestrin_pid" ]; then
    find_window 15 "Kestrin's main window (pid $kestrin_pid)" --all --pid "$kestrin_pid" --name "^Kestrin Ver"
  else
    find_window 15 "a Kestrin main window" --name "^Kestrin Ver"
  fi
}
# The caption of Kestrin's main window; caption_is and caption_matches print it when it differs.
kestrin_caption() { local w; w=$(kestrin_window) && xdotool getwindowname "$w"; }
caption_is() {
  local c; c=$(kestrin_caption) || return 1
  [ "$c" = "$1" ] || { echo "the caption reads '$c'"; return 1; }
}
caption_matches() {
  local c; c=$(kestrin_caption) || return 1
  grep -qE "$1" <<<"$c" || { echo "the caption reads '$c'"; return 1; }
}

start_kestrin() {
  (cd "$E2E_DIR" && exec "$KESTRIN_WINE" Kestrin.exe) &
  kestrin_pid=$!
  e2e_pids+=("$kestrin_pid")
  wait_for 60 "Kestrin's window to be ready" caption_is "$KESTRIN_CAPTION_READY"
}

# Ends Kestrin with Ctrl+E and returns its exit code in KESTRIN_EXIT.
stop_kestrin() {
  focus kestrin
  xdotool key ctrl+e
  wait_for 60 "Kestrin to exit" kestrin_exited
  set +e
  wait "$kestrin_pid"
  KESTRIN_EXIT=$?
  set -e
}
kestrin_exited() { ! kill -0 "$kestrin_pid" 2>/dev/null; }

# scene.exe MODE X Y W H [SPEED]; waits until it has written its rectangles.
start_scene() {
  rm -f "$E2E_DIR/scene-rect.txt"
  (cd "$E2E_DIR" && exec "$KESTRIN_WINE" "$KESTRIN_BIN/scene.exe" "$@") &
  e2e_pids+=("$!")
  wait_for 60 "the scene window" test -s "$E2E_DIR/scene-rect.txt"
  wait_for 30 "the scene's X window" scene_window
}
scene_window() { find_window 15 "the scene's window" --name "^KestrinScene$"; }
scene_rect() { tr -d '\r' < "$E2E_DIR/scene-rect.txt" | awk -v k="$1" '$1 == k { print $2, $3, $4, $5 }'; }

# Wine draws and activates its own windows here (no window manager): a click on the title
# bar makes a window the foreground window, as a user's click would, and gives it the keys.
# Two clicks on a title bar within the double-click time (500 ms) would maximise the window,
# and a maximised scene covers Kestrin: clicks are kept 600 ms apart.
e2e_last_click=0
# WINDOW is an X window id, or "scene" or "kestrin" for those looked up here.
focus() {
  local window=$1 now wait_us
  case $window in
    scene) window=$(scene_window) || fail "no scene window to focus" ;;
    kestrin) window=$(kestrin_window) || fail "no Kestrin main window to focus" ;;
  esac
  [ -n "$window" ] || fail "no window to focus"
  now=${EPOCHREALTIME/./}
  wait_us=$((e2e_last_click + 600000 - now))
  if ((wait_us > 0)); then sleep "$(printf '0.%06d' "$wait_us")"; fi
  wait_for 10 "the pointer on window $window ($1)" xdotool mousemove --window "$window" 60 8
  xdotool click 1
  e2e_last_click=${EPOCHREALTIME/./}
  xdotool windowfocus --sync "$window" 2>/dev/null || true
}

# Presses a key with the given window focused (the hook sees keys once a Wine window has focus).
press() {  # press WINDOW|scene|kestrin KEY
  focus "$1"
  xdotool key "$2"
}

e2e_screenshot() {
  mkdir -p "$E2E_DIR"
  import -window root "$E2E_DIR/$1.png" 2>/dev/null || true
}

# What a failure leaves to look at, in the test's folder: the screen (NAME.png), the INI
# file as it was (NAME-Kestrin.ini) and the window list (NAME-windows.txt, also printed).
e2e_keep_evidence() {
  e2e_screenshot "$1"
  [ ! -f "$E2E_DIR/Kestrin.ini" ] || cp "$E2E_DIR/Kestrin.ini" "$E2E_DIR/$1-Kestrin.ini"
  window_list > "$E2E_DIR/$1-windows.txt" 2>&1 || echo "(the window list could not be read)" >> "$E2E_DIR/$1-windows.txt"
  {
    echo "windows at the failure (EXE, class, title):"
    sed 's/^/  /' "$E2E_DIR/$1-windows.txt"
    echo "kept in $E2E_DIR: $1.png, $1-windows.txt$([ -f "$E2E_DIR/$1-Kestrin.ini" ] && echo ", $1-Kestrin.ini")"
  } >&2
}

# Pixels of a BMP or screen crop as "x,y: r,g,b" lines through ImageMagick.
pixels_of() { convert "$@" -depth 8 txt:- | sed -n 's/^\([0-9]*\),\([0-9]*\): (\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3 \4 \5/p'; }

procprobe() { "$KESTRIN_WINE" "$KESTRIN_BIN/procprobe.exe" "$@" 2>/dev/null | tr -d '\r'; }
winprobe() { "$KESTRIN_WINE" "$KESTRIN_BIN/winprobe.exe" "$@" 2>/dev/null | tr -d '\r'; }
# A helper program's start can fail on a busy machine (exit 1, no output). A call that only
# reads, or that does no harm when done twice, is tried again until it succeeds or 10 s pass.
again() {
  local deadline=$((SECONDS + 10)) out
  until out=$("$@"); do
    [ $SECONDS -lt $deadline ] || { echo "'$*' kept failing for 10 s" >&2; return 1; }
    sleep 0.2
  done
  [ -z "$out" ] || printf '%s\n' "$out"
}
# The top-level windows, "EXE<TAB>CLASS<TAB>TITLE" a line. Reading them changes nothing, so a
# start of the probe that fails on a busy machine (once in a loaded run: exit 1, no output)
# is simply tried again.
window_list() {
  local list try
  for try in 1 2 3; do
    if list=$(procprobe windows); then printf '%s\n' "$list"; return 0; fi
    sleep 0.3
  done
  return 1
}

# The titles of the boxes in which Kestrin tells the user that something failed.
KESTRIN_MESSAGE_TITLES=(エラー 自動保存エラー ビデオファイル作成エラー ファイル保存エラー)
KESTRIN_MESSAGE_PATTERN="^($(IFS='|'; echo "${KESTRIN_MESSAGE_TITLES[*]}"))\$"

# Presses OK in every such box that is open, wherever it lies and whatever covers it (a
# click could land on the window above it); prints how many it answered. Further titles
# may be given.
answer_message_boxes() {
  local extra; extra=$(IFS='|'; echo "$*")
  xdotool search --name "^(${extra:+$extra|}${KESTRIN_MESSAGE_PATTERN#^(}" >/dev/null 2>&1 || { echo 0; return 0; }
  procprobe answer "${KESTRIN_MESSAGE_TITLES[@]}" "$@"
}

# Presses the hot key over the scene and waits until the capture has ended, answering
# message boxes on the way; TOLD=1 when there was one.
capture_answering() {
  TOLD=0
  press scene Print
  local deadline=$((SECONDS + 60)) t0=$SECONDS answered
  while [ $SECONDS -lt $deadline ]; do
    answered=$(answer_message_boxes)
    if [ "${answered:-0}" -gt 0 ]; then TOLD=1; sleep 0.3; continue; fi
    if [ $((SECONDS - t0)) -ge 2 ] && caption_is "$KESTRIN_CAPTION_READY" >/dev/null; then
      # The quick look for a box above can miss one (a search racing a closing window).
      no_message_box && return 0
    fi
    sleep 0.1
  done
  fail "a capture did not end (ready caption and no message box awaited); $(caption_is "$KESTRIN_CAPTION_READY")"
}
no_message_box() { local l; l=$(window_list) && ! cut -f3 <<<"$l" | grep -qE "$KESTRIN_MESSAGE_PATTERN"; }
