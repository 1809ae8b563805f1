#!/usr/bin/env bash
# The programs' icon, resources/quintaro.ico, from its drawing: resources/icon.svg rendered
# at each size the icon holds, except where resources/icon-N.svg exists, the N-pixel
# image's own drawing (16 pixels: the moon and the stars would be a smudge there). The
# .ico is committed, so a Windows build needs none of these tools.
#
#   tools/make-icon.sh           renders the drawings and packs them into the .ico
#   tools/make-icon.sh --check   renders them again and compares with the committed .ico's
#                                images; fails, saying which pixels differ, when a drawing
#                                was changed without making the .ico again
#
# Needs rsvg-convert (librsvg2-bin), icotool (icoutils) and, to check, ImageMagick.
set -euo pipefail

case "${1:-}" in
    "" | --check) ;;
    *)
        echo "usage: tools/make-icon.sh [--check]" >&2
        exit 2
        ;;
esac

cd "$(dirname "$0")/.."
icon=resources/quintaro.ico
sizes=(16 24 32 48)
# Another version of the renderer may draw an edge pixel a level or two lighter or darker;
# a pixel differs when its colour is further than this from the other's (about five levels
# of 255), so an edited colour shows up while such shades do not.
fuzz=2%

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

drawing() {
    local own=resources/icon-$1.svg
    if [ -f "$own" ]; then echo "$own"; else echo resources/icon.svg; fi
}

rendered=()
for size in "${sizes[@]}"; do
    rsvg-convert --width "$size" --height "$size" --output "$work/$size.png" "$(drawing "$size")"
    rendered+=("$work/$size.png")
done

if [ "${1:-}" != "--check" ]; then
    icotool --create --output "$icon" "${rendered[@]}"
    icotool --list "$icon"
    exit 0
fi

# icotool picks each image's bit depth from its pixels; the programs need 32 bits
# (alpha) in every size.
expected=$(for size in "${sizes[@]}"; do printf '%sx%sx32 ' "$size" "$size"; done)
held=$(icotool --list "$icon" |
    sed -E 's/.*--width=([0-9]+) --height=([0-9]+) --bit-depth=([0-9]+).*/\1x\2x\3/' | tr '\n' ' ')
if [ "$held" != "$expected" ]; then
    echo "make-icon: $icon holds $held(width x height x bits) instead of $expected" >&2
    echo "make-icon: run tools/make-icon.sh and commit $icon" >&2
    exit 1
fi

icotool --extract --output "$work" "$icon"
failed=0
for size in "${sizes[@]}"; do
    drawn=$work/$size.png
    packed=$(echo "$work"/quintaro_*_"${size}x${size}x32".png)
    # compare prints the count of differing pixels and exits 1 when there are any.
    count=$(compare -metric AE -fuzz "$fuzz" "$drawn" "$packed" null: 2>&1) || true
    if [ "$count" = 0 ]; then
        echo "make-icon: ${size} px matches $(drawing "$size")"
        continue
    fi
    failed=1
    echo "make-icon: ${size} px differs from $(drawing "$size") in $count pixels, such as:" >&2
    # The differing pixels white on black, as text, one line a pixel: "x,y: ... white".
    { compare -fuzz "$fuzz" -highlight-color white -lowlight-color black -compose src \
        "$drawn" "$packed" txt:- 2>/dev/null || true; } | grep -m 8 -E 'white|#FFFFFF' |
        while IFS=':, ' read -r x y _; do
            pixel="%[pixel:p{$x,$y}]"
            echo "    at $x,$y the drawing gives $(identify -format "$pixel" "$drawn")," \
                "the .ico $(identify -format "$pixel" "$packed")" >&2
        done
done
if [ "$failed" -ne 0 ]; then
    echo "make-icon: $icon is out of date: run tools/make-icon.sh and commit it" >&2
    exit 1
fi
