#!/usr/bin/env bash
# Benchmark helper (not a test): puts a real desktop on the run's Xvfb and grabs the whole
# screen as raw bgr24 into FILE, the background of the GIF bench's desktop clip: Kestrin's
# main window and its options dialog, Wine's registry editor, Notepad holding a page of
# this project's notes in an anti-aliased face (the dialogs' small type is not smoothed)
# and Wine's configuration dialog at the page with its shaded logo. Prints the grab's
# colour count. Needs the run's DISPLAY, WINEPREFIX and wineserver (scripts/bench sets
# them up); ends every program it started. Notepad's face is set in the prefix's registry.
#   KESTRIN_BIN=... KESTRIN_SOURCE=... KESTRIN_WINE=... bash tests/bench/gif_desktop.sh FILE
source "$(dirname "$0")/../e2e/lib.sh"
grab=${1:?the file to grab the screen into}

e2e_prepare
e2e_write_ini <<'INI'
[OPTION]
AUTO_SAVE=0
INI
start_kestrin
again procprobe place DEFAULT 0 0 600 200
# Each window waited for by its caption, then put in its place.
winprobe command DEFAULT 40035  # the options dialog, as its menu item opens it
wait_for 20 "the options dialog" window_present 'オプション'
again procprobe place '#32770' 0 34 529 734 'オプション'
sed -n '1,60p' "$KESTRIN_SOURCE/docs/performance.md" > "$E2E_DIR/notes.txt"
"$KESTRIN_WINE" reg add 'HKCU\Software\Microsoft\Notepad' /v lfFaceName /t REG_SZ /d 'DejaVu Sans' /f >/dev/null 2>&1
"$KESTRIN_WINE" reg add 'HKCU\Software\Microsoft\Notepad' /v iPointSize /t REG_DWORD /d 110 /f >/dev/null 2>&1
(cd "$E2E_DIR" && exec "$KESTRIN_WINE" notepad notes.txt) &
e2e_pids+=("$!")
wait_for 30 "Notepad" window_present 'notes.txt - メモ帳'
again procprobe place Notepad 440 0 584 290
(exec "$KESTRIN_WINE" regedit) &
e2e_pids+=("$!")
wait_for 30 "the registry editor" window_present 'レジストリ エディター'
again procprobe place RegEdit_RegEdit 560 300 464 240
(exec "$KESTRIN_WINE" winecfg) &
e2e_pids+=("$!")
wait_for 30 "Wine's configuration dialog" window_present 'Wine 設定'
again procprobe place '#32770' 606 279 416 489 'Wine 設定'
# Its "Wine について" tab shows a shaded logo: clicked, once the dialog is in its place (a
# click before would raise the registry editor over it), until the logo is there.
in_place() {
  local w; w=$(titled_window 'Wine 設定' 5) || return 1
  xdotool getwindowgeometry --shell "$w" | grep -qx 'X=606' || { xdotool getwindowgeometry "$w"; return 1; }
}
wait_for 30 "Wine's configuration dialog in its place" in_place
about_page() {
  xdotool mousemove 936 317 click 1
  sleep 0.3
  local colours
  colours=$(import -window root -crop 150x230+620+350 -format '%k' info: 2>/dev/null) || return 1
  [ "$colours" -ge 500 ] || { echo "$colours colours where the logo should be"; return 1; }
}
wait_for 30 "the page with Wine's logo" about_page

# The screen is ready once two grabs half a second apart differ in no more than a caret.
settled() {
  import -window root -depth 8 "bgr:$E2E_DIR/a.raw" 2>/dev/null || return 1
  sleep 0.5
  import -window root -depth 8 "bgr:$E2E_DIR/b.raw" 2>/dev/null || return 1
  local differ
  differ=$(compare -metric AE -size 1024x768 -depth 8 "bgr:$E2E_DIR/a.raw" "bgr:$E2E_DIR/b.raw" null: 2>&1) || true
  [ "${differ%% *}" -le 64 ] 2>/dev/null || { echo "$differ pixels changed in half a second"; return 1; }
}
wait_for 60 "the desktop to settle" settled
mv "$E2E_DIR/b.raw" "$grab"
[ "$(stat -c %s "$grab")" -eq $((1024 * 768 * 3)) ] || fail "the grab is not 1024 x 768 x 3 bytes"
echo "desktop grab: $(identify -size 1024x768 -depth 8 -format '%k' "bgr:$grab") colours"
