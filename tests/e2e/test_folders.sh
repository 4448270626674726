#!/usr/bin/env bash
# The folder settings dialog in the running program: the folder browser opens at the
# folder typed in the edit, and cancelling it keeps the edit's text exactly.
source "$(dirname "$0")/lib.sh"

probe() { wine "$KESTRIN_BIN/winprobe.exe" "$@" | tr -d '\r'; }
dialog_count() { probe count '#32770' "$1"; }

e2e_prepare
# A short path keeps the selected folder in view of the browser's tree.
pick_dir=$(mktemp -d /tmp/kestrin-pick.XXXXXX)
trap 'rm -rf "$pick_dir"; e2e_cleanup' EXIT
mkdir -p "$pick_dir/inner"
typed="$(winpath "$pick_dir/inner")"
start_kestrin
press "$(kestrin_window)" ctrl+o
wait_for 20 "the options dialog" bash -c "[ \"\$(wine '$KESTRIN_BIN/winprobe.exe' count '#32770' 'オプション' | tr -d '\r')\" = 1 ]"
probe click 'オプション' 1027
wait_for 20 "the folder dialog" bash -c "[ \"\$(wine '$KESTRIN_BIN/winprobe.exe' count '#32770' '各種フォルダ設定' | tr -d '\r')\" = 1 ]"
probe text '各種フォルダ設定' 1028 "$typed"
probe click '各種フォルダ設定' 1029
browser_window() { xdotool search --name '^フォルダーの参照$' 2>/dev/null | head -n1 | grep .; }
wait_for 20 "the folder browser" browser_window
sleep 1.5
e2e_screenshot folder-browser
press "$(browser_window)" Escape
wait_for 20 "the browser to close" bash -c "! xdotool search --name '^フォルダーの参照$' | grep -q ."
text=$(probe gettext '各種フォルダ設定' 1028)
[ "$text" = "$typed" ] || fail "after cancelling the browser the edit reads '$text', not '$typed'"
pass "cancelling the browser keeps the edit's text exactly"

# The browser opens with the typed folder selected: OK hands that folder back. The
# browser selects it only once its tree has been filled, which takes longer on a busy
# machine, so an OK pressed before then is tried again with a longer wait.
for settle in 1 3 6; do
  probe text '各種フォルダ設定' 1028 "$(winpath "$pick_dir")"
  probe click '各種フォルダ設定' 1029
  wait_for 20 "the folder browser" browser_window
  sleep "$settle"
  press "$(browser_window)" Return
  wait_for 20 "the browser to close" bash -c "! xdotool search --name '^フォルダーの参照$' | grep -q ."
  text=$(probe gettext '各種フォルダ設定' 1028)
  [ "$text" = "$(winpath "$pick_dir")" ] && break
  echo "note ($E2E_NAME): OK after ${settle}s gave '$text'; the browser had not selected the folder yet" >&2
done
[ "$text" = "$(winpath "$pick_dir")" ] || fail "OK in the browser gave '$text', not the typed folder"
pass "the browser opens at the typed folder"
probe click '各種フォルダ設定' 2
wait_for 20 "the folder dialog to close" bash -c "[ \"\$(wine '$KESTRIN_BIN/winprobe.exe' count '#32770' '各種フォルダ設定' | tr -d '\r')\" = 0 ]"
probe click 'オプション' 1005
wait_for 20 "the options dialog to close" bash -c "[ \"\$(wine '$KESTRIN_BIN/winprobe.exe' count '#32770' 'オプション' | tr -d '\r')\" = 0 ]"
stop_kestrin
[ "$KESTRIN_EXIT" -eq 0 ] || fail "exit code $KESTRIN_EXIT"
