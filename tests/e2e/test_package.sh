#!/usr/bin/env bash
# The 64-bit download as a user gets it: unzipped into a fresh folder and started with
# nothing but what the zip holds (no INI file, every default), it takes a long exposure of
# the foreground window with PrintScreen, auto-saves it into the screenshot folder beside
# it, and exits with Ctrl+E, leaving its settings beside it and no temporary file. Its
# Kestrin.com carries a typed command out through Kestrin.exe and relays its words and code.
source "$(dirname "$0")/lib.sh"
: "${KESTRIN_PACKAGE:?KESTRIN_PACKAGE must name the release zip of the build}"

e2e_prepare
rm -f "$E2E_DIR/Kestrin.exe" "$E2E_DIR/HOOKDLL.dll"
unzip -q "$KESTRIN_PACKAGE" -d "$E2E_DIR"
held=$(cd "$E2E_DIR" && ls | tr '\n' ' ')
[ "$held" = "HOOKDLL.dll Kestrin.com Kestrin.exe LICENSE.txt README.txt " ] || fail "the zip holds '$held'"

start_scene pattern 640 480 203 121
start_kestrin
pass "the unzipped program starts and shows '$KESTRIN_CAPTION_READY'"

press "$(scene_window)" Print
shot="$E2E_DIR/screenshot/ss0000.bmp"
wait_for 60 "the auto-saved screenshot/ss0000.bmp" test -s "$shot"
wait_for 30 "the capture to end" caption_is "$KESTRIN_CAPTION_READY"
read -r cl ct cr cb < <(scene_rect client)
size=$(identify -format '%w %h' "$shot")
[ "$size" = "$((cr - cl)) $((cb - ct))" ] || fail "the screenshot is $size, not the scene's client area"
colours=$(convert "$shot" -format %k info:)
[ "$colours" -gt 1 ] || fail "the screenshot is one plain colour"
pass "PrintScreen saved the scene's client area ($size, $colours colours)"

stop_kestrin
[ "$KESTRIN_EXIT" -eq 0 ] || fail "exit code $KESTRIN_EXIT after Ctrl+E"
[ ! -e "$E2E_DIR/tmp.map" ] || fail "tmp.map is left behind after exit"
[ -s "$E2E_DIR/Kestrin.ini" ] || fail "no Kestrin.ini beside the program after exit"
pass "Ctrl+E exits with code 0, settings beside the program, no tmp.map"

said=$(cd "$E2E_DIR" && "$KESTRIN_WINE" Kestrin.com shot --desktop --seconds 0.2 -o relayed.png 2>/dev/null | tr -d '\r') ||
  fail "Kestrin.com shot exited $?: $said"
grep -q "relayed.png" <<<"$said" && [ -s "$E2E_DIR/relayed.png" ] || fail "Kestrin.com relayed '$said'"
code=0; (cd "$E2E_DIR" && "$KESTRIN_WINE" Kestrin.com shot -o bad.jpg >/dev/null 2>&1) || code=$?
[ "$code" = 2 ] || fail "Kestrin.com returned $code for a bad extension, not 2"
pass "Kestrin.com relayed a command's words and its codes 0 and 2"
