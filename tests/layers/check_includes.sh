#!/usr/bin/env bash
# The program's folders form layers, and an include may only go down or stay in its own
# folder: app/ on top; ui/ and output/ beside each other; encode/ (the file formats built in
# memory) under output/; composite/ (the kernels and the composite read from the store);
# capture/ (slots, grabs, the store); core/ at the bottom; hook/ and resources/ on their own. Prints every include that goes the wrong way.
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
declare -A may=(
  [app]="app ui output encode composite capture core hook resources"
  [ui]="ui composite capture core hook resources"
  [output]="output encode composite capture core hook resources"
  [encode]="encode core"
  [composite]="composite capture core"
  [capture]="capture core hook"
  [core]="core"
  [hook]="hook"
  [resources]="resources"
)
wrong=0
checked=0
for folder in "${!may[@]}"; do
  [ -d "$root/$folder" ] || continue
  while IFS= read -r -d '' file; do
    while IFS=: read -r line target; do
      checked=$((checked + 1))
      case " ${may[$folder]} " in
        *" ${target%%/*} "*) ;;
        *) echo "${file#"$root"/}:$line includes $target: $folder/ may include only ${may[$folder]}"; wrong=1 ;;
      esac
    done < <(grep -no '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]*/[^"]*"' "$file" |
             sed 's/^\([0-9]*\):.*"\(.*\)"$/\1:\2/')
  done < <(find "$root/$folder" -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.rc' \) -print0)
done
[ "$checked" -gt 0 ] || { echo "no includes found under $root"; exit 1; }
[ "$wrong" -eq 0 ] && echo "$checked includes, all going down"
exit "$wrong"
