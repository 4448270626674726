#!/usr/bin/env bash
# The folder settings dialog in the running program: the folder browser opens at the
# folder typed in the edit, and cancelling it keeps the edit's text exactly.
source "$(dirname "$0")/lib.sh"

probe() { winprobe "$@"; }
dialog_count() { probe count '#32770' "$1"; }

e2e_prepare
# The folders are on the run's own small drive: the browser's tree walks to them quickly
# and sees nothing else (on Z:, the machine's root, it must walk whatever is there).
: "${KESTRIN_TEST_DRIVE:?scripts/test gives the tests a drive of their own}"
pick_dir="$KESTRIN_TEST_DRIVE_DIR/$E2E_NAME"
rm -rf "$pick_dir"
e2e_at_exit 'rm -rf "$pick_dir"'
mkdir -p "$pick_dir/inner"
typed="$KESTRIN_TEST_DRIVE:\\$E2E_NAME\\inner"
picked="$KESTRIN_TEST_DRIVE:\\$E2E_NAME"
start_kestrin
press kestrin ctrl+o
wait_for 20 "the options dialog" bash -c "[ \"\$('$KESTRIN_WINE' '$KESTRIN_BIN/winprobe.exe' count '#32770' 'オプション' | tr -d '\r')\" = 1 ]"
probe click 'オプション' 1027
wait_for 20 "the folder dialog" bash -c "[ \"\$('$KESTRIN_WINE' '$KESTRIN_BIN/winprobe.exe' count '#32770' '各種フォルダ設定' | tr -d '\r')\" = 1 ]"
again probe text '各種フォルダ設定' 1028 "$typed"
probe click '各種フォルダ設定' 1029
# The browser fills its tree and selects the typed folder in its own thread before it
# answers a message: a control's text read through a sent message waits for that.
browser_settled() { window_present 'フォルダーの参照' && probe gettext 'フォルダーの参照' 1 >/dev/null; }
wait_for 30 "the folder browser to open and settle" browser_settled
e2e_screenshot folder-browser
# Its buttons are pressed by message: a key sent to it could land before it has the focus.
probe click 'フォルダーの参照' 2
wait_for 20 "the browser to close" window_absent 'フォルダーの参照'
text=$(probe gettext '各種フォルダ設定' 1028)
[ "$text" = "$typed" ] || fail "after cancelling the browser the edit reads '$text', not '$typed'"
pass "cancelling the browser keeps the edit's text exactly"

# The browser opens with the typed folder selected: OK at once hands that folder back.
again probe text '各種フォルダ設定' 1028 "$picked"
probe click '各種フォルダ設定' 1029
wait_for 30 "the folder browser to open and settle" browser_settled
probe click 'フォルダーの参照' 1
wait_for 20 "the browser to close" window_absent 'フォルダーの参照'
text=$(probe gettext '各種フォルダ設定' 1028)
[ "$text" = "$picked" ] || fail "OK in the browser gave '$text', not the typed folder"
pass "the browser opens at the typed folder"
probe click '各種フォルダ設定' 2
wait_for 20 "the folder dialog to close" bash -c "[ \"\$('$KESTRIN_WINE' '$KESTRIN_BIN/winprobe.exe' count '#32770' '各種フォルダ設定' | tr -d '\r')\" = 0 ]"
probe click 'オプション' 1005
wait_for 20 "the options dialog to close" bash -c "[ \"\$('$KESTRIN_WINE' '$KESTRIN_BIN/winprobe.exe' count '#32770' 'オプション' | tr -d '\r')\" = 0 ]"
stop_kestrin
[ "$KESTRIN_EXIT" -eq 0 ] || fail "exit code $KESTRIN_EXIT"
