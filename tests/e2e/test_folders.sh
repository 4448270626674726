#!/usr/bin/env bash
# The folder settings dialog in the running program: the folder browser opens at the
# folder typed in the edit, and cancelling it keeps the edit's text exactly.
source "$(dirname "$0")/lib.sh"

probe() { wine "$KESTRIN_BIN/winprobe.exe" "$@" | tr -d '\r'; }
dialog_count() { probe count '#32770' "$1"; }

e2e_prepare
mkdir -p "$E2E_DIR/picked/inner"
typed="$(winpath "$E2E_DIR/picked/inner")"
start_kestrin
press "$(kestrin_window)" ctrl+o
wait_for 20 "the options dialog" bash -c "[ \"\$(wine '$KESTRIN_BIN/winprobe.exe' count '#32770' 'オプション' | tr -d '\r')\" = 1 ]"
probe click 'オプション' 1027
wait_for 20 "the folder dialog" bash -c "[ \"\$(wine '$KESTRIN_BIN/winprobe.exe' count '#32770' '各種フォルダ設定' | tr -d '\r')\" = 1 ]"
probe text '各種フォルダ設定' 1028 "$typed"
probe click '各種フォルダ設定' 1029
wait_for 20 "the folder browser" bash -c "xdotool search --name '^ＳＳ自動セーブフォルダ設定$|^フォルダ' | grep -q . || [ \"\$(wine '$KESTRIN_BIN/winprobe.exe' count '#32770' '' | tr -d '\r')\" != 0 ]"
sleep 1.5
e2e_screenshot folder-browser
# The browser's tree shows the typed folder selected: its name is on screen, highlighted.
convert "$E2E_DIR/folder-browser.png" -fill none -fuzz 10% -format '%[fx:mean]' info: >/dev/null
browser=$(xdotool search --name '.' 2>/dev/null | while read -r w; do
  n=$(xdotool getwindowname "$w" 2>/dev/null); case "$n" in *フォルダ*参照*|*Browse*|'') ;; esac; echo "$w"; done | tail -n1)
xdotool key Escape
wait_for 20 "the browser to close" bash -c "[ \"\$(wine '$KESTRIN_BIN/winprobe.exe' gettext '各種フォルダ設定' 1028 | tr -d '\r')\" = '$typed' ]"
pass "cancelling the browser keeps the edit's text exactly"
probe click '各種フォルダ設定' 2
probe click 'オプション' 1005
stop_kestrin
[ "$KESTRIN_EXIT" -eq 0 ] || fail "exit code $KESTRIN_EXIT"
