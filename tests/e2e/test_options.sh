#!/usr/bin/env bash
# The options dialog in the running program: Ctrl+O opens one dialog only, the main
# window's accelerators act while it has the focus, Apply re-arms the hot keys, and
# closing the main window discards unapplied edits and shuts down.
source "$(dirname "$0")/lib.sh"

probe() { winprobe "$@"; }
options_open() { [ "$(probe count '#32770' 'オプション')" = 1 ]; }
options_closed() { [ "$(probe count '#32770' 'オプション')" = 0 ]; }
options_window() { titled_window 'オプション'; }

e2e_prepare
e2e_write_ini <<'INI'
[OPTION]
AUTO_SAVE=0
INI
start_scene pattern 640 480 120 80
start_kestrin

press kestrin ctrl+o
wait_for 20 "the options dialog" options_open
sleep 0.5
e2e_screenshot options-dialog
press "$(options_window)" ctrl+o
sleep 1
[ "$(probe count '#32770' 'オプション')" = 1 ] || fail "a second Ctrl+O opened another dialog"
pass "Ctrl+O opens the dialog once"

# Ctrl+S reaches the main window while the dialog has the focus: no result yet, so it says so.
press "$(options_window)" ctrl+s
wait_for 20 "the save refusal" window_present 'ファイル保存エラー'
press "$(titled_window 'ファイル保存エラー')" Return
wait_for 20 "the message box to close" window_absent 'ファイル保存エラー'
pass "Ctrl+S acts while the dialog has the focus"

# Ctrl+C in an edit box copies its selected text, not the (absent) result.
# (xclip stays to serve what it put there: its output must not hold the test's.)
printf 'before' | xclip -selection clipboard >/dev/null 2>&1
focus "$(options_window)"
again probe select 'オプション' 1006
xdotool key ctrl+c
wait_for 10 "the shutter time on the clipboard" \
  sh -c '[ "$(xclip -o -selection clipboard 2>/dev/null)" = 1.00 ]'
pass "Ctrl+C in an edit box copies its text"

# Screenshot key F1 (row 3), then Apply: the INI file and the hook library take it.
again probe combo 'オプション' 1019 3
probe click 'オプション' 1004
wait_for 20 "Apply to close the dialog" options_closed
iconv -f CP932 -t UTF-8 "$E2E_DIR/Kestrin.ini" | tr -d '\r' | grep -qx 'KEY_CODE=112' || fail "Apply did not save KEY_CODE=112"
press scene Print
sleep 1.5
caption_is "$KESTRIN_CAPTION_READY" || fail "the old screenshot key still starts a capture"
press scene F1
wait_for 20 "a capture started by F1" caption_matches '/ 15 \)'
wait_for 30 "the capture to end" caption_is "$KESTRIN_CAPTION_READY"
pass "Apply re-arms the hook library with the new key"

# An unapplied edit is discarded when the main window closes under the dialog.
press kestrin ctrl+o
wait_for 20 "the options dialog" options_open
again probe text 'オプション' 1007 30
# Ctrl+E pressed in the dialog reaches the main window, which closes the dialog first.
press "$(options_window)" ctrl+e
wait_for 60 "Kestrin to exit" kestrin_exited
set +e; wait "$kestrin_pid"; KESTRIN_EXIT=$?; set -e
[ "$KESTRIN_EXIT" -eq 0 ] || fail "exit code $KESTRIN_EXIT after Ctrl+E in the dialog"
[ ! -e "$E2E_DIR/tmp.map" ] || fail "tmp.map left behind after closing under the options dialog"
ini=$(iconv -f CP932 -t UTF-8 "$E2E_DIR/Kestrin.ini" | tr -d '\r')
grep -qx 'S_FPS=15' <<<"$ini" || fail "an unapplied S_FPS edit reached the INI file"
grep -qx 'KEY_CODE=112' <<<"$ini" || fail "the applied key was lost"
pass "closing the main window discards the dialog's edits and shuts down"
