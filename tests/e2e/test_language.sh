#!/usr/bin/env bash
# With LANGUAGE unset the program speaks the Windows display language: under an English
# locale no Japanese reaches the caption, the menu, a message box, the options dialog or
# the save dialog's title through a whole journey; under a Japanese one the texts are the
# Japanese ones. Then the language box switches a running program to English at once.
source "$(dirname "$0")/lib.sh"

base=$E2E_DIR
misses=()
# Japanese in what the English program shows is noted (the version, "0.03改", is a name);
# the notes fail the test at its end, once the rest has run.
no_japanese() {
  [ "$speaking" = en ] || return 0
  local found; found=$(sed 's/0\.03改//g' <<<"$2" | LC_ALL=C grep -P '[^\x00-\x7F]' | tr '\n' ' ') || true
  [ -z "$found" ] || misses+=("$1: $found")
}
holds() { grep -qxF -- "$2" <<<"$1" || fail "no '$2' among: $(tr '\n' '|' <<<"$1")"; }
# The title of the dialog or box Kestrin shows (one at a time here).
kestrin_dialog() { window_list | awk -F'\t' 'tolower($1) ~ /\\kestrin\.exe$/ && $2 == "#32770" { print $3; f = 1; exit } END { exit !f }'; }
dialog_gone() { ! kestrin_dialog >/dev/null; }
# Presses a box's OK (a key pressed in it can be lost under Xvfb) and tells if it is gone.
answered() { procprobe answer "$1" >/dev/null; sleep 0.3; dialog_gone; }
open_dialog() { press kestrin "$1"; wait_for 20 "a dialog after $1" kestrin_dialog; title=$(kestrin_dialog); }
ini_holds() { iconv -f CP932 -t UTF-8 "$E2E_DIR/Kestrin.ini" | tr -d '\r' | grep -qx "$1"; }

declare -A ja=([file]=ファイル [save]=$'\tファイルに保存( ^S )' [options]='オプション( ^O )'
  [refused]=ファイル保存エラー [nothing]=保存するデータがありません [dialog]=オプション
  [windows]='Windows の設定に従う' [saving]=ビットマップファイルを保存)
declare -A en=([file]='&File' [save]=$'\t&Save As...\tCtrl+S' [options]='&Options'
  [refused]='Save Error' [nothing]='There is nothing to save.' [dialog]=Options
  [windows]='Same as Windows' [saving]='Save Bitmap')

journey() {  # journey ja|en
  local -n t=$1
  local menu controls
  speaking=$1 E2E_DIR=$base/$1
  e2e_prepare
  e2e_write_ini_out <<<$'[OPTION]\nS_FPS=2\nS_TIME=1.0'
  start_kestrin
  menu=$(again winprobe menu DEFAULT)
  holds "$menu" "${t[file]}"; holds "$menu" "${t[save]}"; holds "$menu" "${t[options]}"

  open_dialog ctrl+s  # nothing to save yet: a box says so
  controls=$(again winprobe controls "$title" | cut -f2)
  [ "$title" = "${t[refused]}" ] || fail "the refusal is titled '$title'"
  holds "$controls" "${t[nothing]}"
  wait_for 20 "the box to be answered and gone" answered "$title"
  no_japanese "the caption" "$(kestrin_caption)"
  no_japanese "the menu" "$menu"
  no_japanese "the refusal" "$title"$'\n'"$controls"

  open_dialog ctrl+o
  controls=$(again winprobe controls "$title")
  e2e_screenshot "options-$1"
  [ "$title" = "${t[dialog]}" ] || misses+=("the options dialog is titled '$title'")
  holds "$controls" $'1059\t'"${t[windows]}"
  no_japanese "the options dialog" "$title"$'\n'"$controls"
  again winprobe click "$title" 1004
  wait_for 20 "Apply to close the options dialog" dialog_gone

  press kestrin Print
  wait_for 60 "the auto-saved screenshot" test -s "$out/ss0000.bmp"
  wait_for 30 "the capture to end" caption_is "$KESTRIN_CAPTION_READY"
  open_dialog ctrl+s
  [ "$title" = "${t[saving]}" ] || fail "the save dialog is titled '$title'"
  again winprobe text "$title" 1148 "$(winpath "$E2E_DIR")\\saved.bmp"  # the file name box
  again winprobe click "$title" 1
  wait_for 30 "the saved file" test -s "$E2E_DIR/saved.bmp"
  stop_kestrin
  [ "$KESTRIN_EXIT" -eq 0 ] || fail "exit code $KESTRIN_EXIT"
  ini_holds LANGUAGE=0 || fail "LANGUAGE is not 0 after the journey"
  pass "the journey in $1"
}

LC_ALL=C.UTF-8 journey en
journey ja

# The switch, with the ring on: its caption has words in it.
E2E_DIR=$base/switch
e2e_prepare
e2e_write_ini <<<$'[OPTION]\nRETRO=1'
KESTRIN_CAPTION_READY="Kestrin Ver 0.03改（直前 5 秒を記録中）"
start_kestrin
open_dialog ctrl+o
again winprobe combo "$title" 1059 2
KESTRIN_CAPTION_READY="Kestrin Ver 0.03改 (Keeping the last 5 seconds)"
wait_for 20 "the English caption" caption_is "$KESTRIN_CAPTION_READY"
holds "$(again winprobe menu DEFAULT)" '&File'
# The dialog is made again in English where it was (a miss here lets the rest run).
deadline=$((SECONDS + 20))
until title=$(kestrin_dialog) && [ "$title" = Options ] || [ $SECONDS -ge $deadline ]; do sleep 0.2; done
[ "$title" = Options ] || misses+=("the rebuilt options dialog is titled '$title'")
e2e_screenshot switched
again winprobe click "$title" 1004
wait_for 20 "Apply to close the options dialog" dialog_gone
ini_holds LANGUAGE=2 || fail "Apply did not store LANGUAGE=2"
caption_is "$KESTRIN_CAPTION_READY" || fail "the caption went back from English"
stop_kestrin
[ "$KESTRIN_EXIT" -eq 0 ] || fail "exit code $KESTRIN_EXIT"
pass "the language box switches the caption and the menu at once"

[ ${#misses[@]} -eq 0 ] || fail "Japanese where English was due:$(printf '\n  %s' "${misses[@]}")"
