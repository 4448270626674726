#!/usr/bin/env bash
# Output folders at the length limit (an auto-save folder of 229 bytes saves, 230 saves
# nothing and says nothing; an AVI folder of 230 records, 231 does not), a folder that
# cannot be created, one that cannot be written to, and a foreground window whose client
# area is empty.
source "$(dirname "$0")/lib.sh"

# A Unix folder whose Windows path (Z:...) is exactly N bytes long.
folder_of_length() {
  local n=$1 base="$E2E_DIR/L" w
  w=$(winpath "$base")
  local pad=$((n - ${#w} - 1))
  printf '%s/%s' "$base" "$(head -c $pad /dev/zero | tr '\0' 'a')"
}

e2e_prepare
a229=$(folder_of_length 229); a230=$(folder_of_length 230); a231=$(folder_of_length 231)
[ ${#a229} -gt 0 ] && [ "$(winpath "$a229" | wc -c)" = 229 ] || fail "could not build a 229-byte path"
e2e_write_ini <<INI
[PATH]
AUTOSAVEPATH=x
AVISAVEPATH=x
[OPTION]
S_FPS=4
S_TIME=0.5
AVI_OUT=1
INI
e2e_set_ini AUTOSAVEPATH "$(winpath "$a229")"; e2e_set_ini AVISAVEPATH "$(winpath "$a230")"
start_scene pattern 600 420 320 240
start_kestrin
capture_answering
[ -s "$a229/ss0000.bmp" ] || fail "a 229-byte auto-save folder saved nothing"
[ -s "$a230/savi0000.avi" ] || fail "a 230-byte AVI folder recorded nothing"
[ "$TOLD" = 0 ] || fail "a message at the length limit"
stop_kestrin
e2e_set_ini AUTOSAVEPATH "$(winpath "$a230")"; e2e_set_ini AVISAVEPATH "$(winpath "$a231")"
start_kestrin
capture_answering
[ "$TOLD" = 0 ] || fail "a folder one byte too long was reported"
[ ! -e "$a230/ss0000.bmp" ] && [ ! -e "$a231" ] || fail "a folder one byte too long was written to"
pass "229/230-byte auto-save and 230/231-byte AVI folders at their limits"

# A folder that cannot be created: told, and the next capture into a good folder works.
stop_kestrin
mkdir -p "$E2E_DIR/ro"; : > "$E2E_DIR/ro/file"
e2e_set_ini AUTOSAVEPATH "$(winpath "$E2E_DIR/ro/file/below")"; e2e_set_ini AVISAVEPATH "$(winpath "$E2E_DIR/ro/file/below")"
start_kestrin
capture_answering
[ "$TOLD" = 1 ] || fail "a folder that cannot be created was not reported"
stop_kestrin

# A folder that exists but cannot be written to (a read-only file system; the tests run
# as root, to whom permissions are no obstacle): told, nothing left in it.
rofs="$E2E_DIR/rofs"
mkdir -p "$rofs"
if mount -t tmpfs -o size=1m kestrin-ro "$rofs" 2>/dev/null; then
  e2e_at_exit 'umount "$rofs" 2>/dev/null || umount -l "$rofs" 2>/dev/null || true'
  mkdir -p "$rofs/shots"
  mount -o remount,ro "$rofs" || fail "could not make the small file system read-only"
  e2e_set_ini AUTOSAVEPATH "$(winpath "$rofs/shots")"; e2e_set_ini AVISAVEPATH "$(winpath "$rofs/shots")"
  start_kestrin
  capture_answering
  [ "$TOLD" = 1 ] || fail "a folder that cannot be written to was not reported"
  [ -z "$(ls -A "$rofs/shots")" ] || fail "something was left in the read-only folder"
  stop_kestrin
  [ "$KESTRIN_EXIT" -eq 0 ] || fail "exit code $KESTRIN_EXIT after the read-only folder"
  pass "a folder that cannot be written to is reported"
else
  echo "SKIP ($E2E_NAME): cannot mount a file system here (needs root); read-only folder not tried"
fi
e2e_set_ini AUTOSAVEPATH "$(winpath "$E2E_DIR/good")"; e2e_set_ini AVISAVEPATH "$(winpath "$E2E_DIR/good")"
start_kestrin
capture_answering
identify "$E2E_DIR/good/ss0000.bmp" >/dev/null 2>&1 || fail "no good result after the failed folder"
pass "a folder that cannot be created is reported; the next capture saves"

# An empty client area: told, no result file, and the program goes on. The window keeps
# its caption wide enough that the click which brings it forward lands on no button.
again procprobe place KestrinScene 600 420 220 6
capture_answering
[ "$TOLD" = 1 ] || fail "an empty capture area was not reported"
[ ! -e "$E2E_DIR/good/ss0001.bmp" ] || fail "an empty capture area saved a file"
again procprobe place KestrinScene 600 420 300 200
capture_answering
identify "$E2E_DIR/good/ss0001.bmp" >/dev/null 2>&1 || fail "no result after the empty area"
pass "an empty client area is reported and the next capture works"
stop_kestrin
[ "$KESTRIN_EXIT" -eq 0 ] || fail "exit code $KESTRIN_EXIT"
