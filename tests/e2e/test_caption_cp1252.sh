#!/usr/bin/env bash
# The Japanese caption reads correctly when the system's ANSI code page is 1252, and the
# INI file still carries the Shift-JIS section name.
export LC_ALL=en_US.UTF-8
source "$(dirname "$0")/lib.sh"

e2e_prepare
start_kestrin
caption=$(kestrin_caption)
[ "$caption" = "$KESTRIN_CAPTION_READY" ] || fail "caption under code page 1252 reads '$caption'"
pass "caption under code page 1252"
stop_kestrin
[ "$KESTRIN_EXIT" -eq 0 ] || fail "exit code $KESTRIN_EXIT"
head -c 18 "$E2E_DIR/Kestrin.ini" | cmp -s - <(printf '[\x83\x81\x83\x43\x83\x93\x83\x45\x83\x42\x83\x93\x83\x68\x83\x45]') \
  || fail "the main-window section name is not the Shift-JIS bytes: $(head -c 18 "$E2E_DIR/Kestrin.ini" | xxd -p)"
pass "Shift-JIS section name under code page 1252"
