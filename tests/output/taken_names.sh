#!/usr/bin/env bash
# Runs an output test program with KESTRIN_FULL_FOLDER: a folder in which every serial name
# (ss0000.bmp ... ss9999.bmp, savi0000.avi ... savi9999.avi) is taken by an empty file,
# made here at once. Under Wine each name made from inside costs milliseconds (a name that
# is not there is looked for through the whole folder), 40 s for a full folder.
# Usage: taken_names.sh FOLDER PROGRAM [ARGUMENTS...]
set -euo pipefail
folder=$1; shift
rm -rf "$folder"
mkdir -p "$folder"
(cd "$folder" && touch ss{0000..9999}.bmp savi{0000..9999}.avi)
export KESTRIN_FULL_FOLDER="Z:${folder//\//\\}"
status=0
"$@" || status=$?
rm -rf "$folder"
exit "$status"
