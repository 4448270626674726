#!/usr/bin/env bash
# The files users run, as the release zips hold them (the 32-bit ones cannot run here):
# HOOKDLL.dll exports ordinals 2 to 14 (and the later keys' after them, as hook/hookdll.def
# lists them) and no names, Kestrin.exe imports them by ordinal
# only and exports DLL_g_bkc, each file is PE32 (win32) or PE32+ (win64) and the program
# large-address-aware, both carry a version resource in Japanese and English that names
# the VERSION file's version, and no benchmark hook is built in; Kestrin.com beside it is a
# console program of the same kind.
# Usage: check_release_files.sh VERSION-FILE ZIP...
set -euo pipefail
version=$(head -n1 "$1" | tr -d '\r')
# The thirteen operations keep ordinals 2 to 14; the program's own keys come after them.
last=$(grep -o '@[0-9]*' "$(dirname "$1")/hook/hookdll.def" | tr -d @ | sort -n | tail -n1)
shift
[ "${last:-0}" -ge 14 ] || { echo "FAIL hook/hookdll.def ends at ordinal '$last', before 14"; exit 1; }
# windres writes a resource string with non-ASCII characters as L"...\xNNNN...".
version_rc=$(python3 -c 'import sys; v = sys.argv[1]
print(("L" if any(ord(c) > 127 for c in v) else "") + "\"" + "".join(c if ord(c) < 128 else "\\x%04x" % ord(c) for c in v) + "\"")' "$version")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
bad() { echo "FAIL $zip: $*"; failed=1; zip_failed=1; }

for zip in "$@"; do
  case $zip in
    *-win32.zip) arch=i686 magic="(PE32)" ;;
    *-win64.zip) arch=x86_64 magic="(PE32+)" ;;
    *) echo "FAIL $zip: neither -win32.zip nor -win64.zip"; exit 1 ;;
  esac
  zip_failed=0
  dir="$work/$arch"
  unzip -q "$zip" Kestrin.exe HOOKDLL.dll -d "$dir"
  # objdump speaks the locale's language; its English headings are read below.
  exe=$(LC_ALL=C "$arch-w64-mingw32-objdump" -p "$dir/Kestrin.exe")
  dll=$(LC_ALL=C "$arch-w64-mingw32-objdump" -p "$dir/HOOKDLL.dll")

  exported=$(awk '/^Export Address Table/ { e = 1; next } e && /^$/ { e = 0 }
    e && match($0, /base\[ *[0-9]+\]/) { printf "%d ", substr($0, RSTART + 5, RLENGTH - 6) }' <<<"$dll")
  [ "$exported" = "$(seq -s ' ' 2 "$last") " ] || bad "HOOKDLL.dll exports ordinals '$exported', not 2 to $last"
  names() { awk '/^\[Ordinal\/Name Pointer\] Table/ { n = 1; next } n && /^$/ { n = 0 } n { printf "%s ", $NF }'; }
  [ -z "$(names <<<"$dll")" ] || bad "HOOKDLL.dll exports names: $(names <<<"$dll")"
  [ "$(names <<<"$exe")" = "DLL_g_bkc " ] || bad "Kestrin.exe exports '$(names <<<"$exe")', not DLL_g_bkc alone"
  # An import by ordinal has the top bit of its entry set and the ordinal in the low bits.
  imported=$(awk '/DLL Name:/ { h = ($3 == "HOOKDLL.dll"); next } h && /^$/ { h = 0 }
    h && /^\t[0-9a-f]+\t/ { print $1, $NF }' <<<"$exe" |
    while read -r entry name; do
      if [[ $entry == 8* && $name == "<none>" ]]; then echo $((16#${entry: -4})); else echo "$name"; fi
    done | sort -n | tr '\n' ' ')
  [ "$imported" = "$(seq -s ' ' 2 "$last") " ] || bad "Kestrin.exe imports '$imported' from HOOKDLL.dll, not ordinals 2 to $last"

  for file in Kestrin.exe HOOKDLL.dll; do
    [ "$file" = Kestrin.exe ] && dump=$exe || dump=$dll
    grep -qF "$magic" <<<"$dump" || bad "$file is not $magic"
    rc=$("$arch-w64-mingw32-windres" -i "$dir/$file" -O rc 2>&1) || bad "$file: windres cannot read its resources"
    for block in 041104b0 040904b0; do
      strings=$(sed -n "/BLOCK \"$block\"/,/END/p" <<<"$rc")
      for key in ProductVersion FileVersion; do
        grep -qF "VALUE \"$key\", $version_rc" <<<"$strings" || bad "$file: $block has no $key $version_rc"
      done
      grep -q 'VALUE "FileDescription", .' <<<"$strings" || bad "$file: $block has no FileDescription"
    done
    ! grep -q KESTRIN_CADENCE_LOG "$dir/$file" || bad "$file has the benchmarks' sampling timeline built in"
  done
  grep -q "large address aware" <<<"$exe" || bad "Kestrin.exe is not large-address-aware"
  unzip -q "$zip" Kestrin.com -d "$dir" || bad "the zip holds no Kestrin.com"
  com=$(LC_ALL=C "$arch-w64-mingw32-objdump" -p "$dir/Kestrin.com" 2>/dev/null || true)
  grep -qF "$magic" <<<"$com" && grep -q "Windows CUI" <<<"$com" || bad "Kestrin.com is not a $magic console program"
  [ "$zip_failed" -eq 1 ] || echo "ok $zip"
done
exit "$failed"
