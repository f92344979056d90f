#!/bin/bash
# Writes the gallery of courses listed in courses.list into DATA/gallery with the lab's course
# maker, and with a third argument a contact sheet of their maps (ImageMagick's montage).
# usage: make-gallery.sh ROADSIM_LAB DATA [SHEET.png]
set -euo pipefail
lab=$1 data=$2 sheet=${3:-}
list=$(dirname "$0")/courses.list
mkdir -p "$data/gallery"
rm -f "$data/gallery"/*.txt
maps=()
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
while read -r name seed knobs; do
    [[ -z $name || $name == \#* ]] && continue
    # shellcheck disable=SC2086 # the knobs are words of their own
    "$lab" --make-course "$seed" "$data/gallery/$name.txt" $knobs
    if [[ -n $sheet ]]; then
        "$lab" "$data/gallery/$name.txt" --map "$scratch/$name.png" >/dev/null
        maps+=(-label "$name" "$scratch/$name.png")
    fi
done <"$list"
if [[ -n $sheet ]]; then
    montage "${maps[@]}" -tile 4x -geometry 260x260+6+6 -font DejaVu-Sans -pointsize 16 "$sheet"
fi
