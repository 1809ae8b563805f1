#!/usr/bin/env bash
# The programs' icon, resources/quintaro.ico, from its drawing: resources/icon.svg rendered
# at each size the icon holds, except where resources/icon-N.svg exists, the N-pixel
# image's own drawing (16 pixels: the moon and the stars would be a smudge there). The
# .ico is committed, so a Windows build needs none of these tools.
#
# It holds two sets of images, for the two ways Windows draws an icon:
# - 32 bits (alpha) at 16, 24, 32 and 48 pixels. XP and later blend them by their alpha.
#   Windows 95 to 2000 ignore the alpha: they AND the mask onto the screen, then XOR the
#   colour. So the mask is set only where alpha is 0, and the colour there is black:
#   a coloured pixel under a set mask bit would invert the screen behind it.
# - 4 bits at 16 and 32 pixels, in colours of the standard VGA palette, for 16- and
#   256-colour displays: Windows 95 to 2000 take a 16-colour image there when there is
#   one, and the 32-bit image otherwise (it treats every depth of 8 bits and more alike,
#   and takes the first of those; MSDN Library, "Icon Display"). XP and later take the
#   deepest image no deeper than the display (LookupIconIdFromDirectoryEx). Each size has
#   one image of each kind, so neither system's choice depends on their order.
#   The drawing's colours become the nearest VGA ones (the night blue navy, the tile blue,
#   the moon yellow), without dithering, and an edge pixel is drawn or not, by its alpha.
#
#   tools/make-icon.sh           renders the drawings and packs them into the .ico
#   tools/make-icon.sh --check   renders them again and compares with the committed .ico's
#                                images, saying which pixels differ; and checks every image
#                                as Windows before XP draws it (mask set only over black,
#                                alpha 0 always masked; the 4-bit images present)
#   tools/make-icon.sh --draw-old DIR   the images drawn the pre-XP way on grey and white,
#                                as PNG pictures in DIR
#
# Needs rsvg-convert (librsvg2-bin), icotool (icoutils) and ImageMagick.
set -euo pipefail

usage() {
    echo "usage: tools/make-icon.sh [--check | --draw-old DIR]" >&2
    exit 2
}
case "${1:-}" in
    "" | --check) ;;
    --draw-old) [ $# -eq 2 ] || usage ;;
    *) usage ;;
esac

cd "$(dirname "$0")/.."
icon=resources/quintaro.ico
sizes=(16 24 32 48)
vga_sizes=(16 32)
# The VGA colours the 4-bit images use (black only under the mask).
vga_colours=('#000000' '#000080' '#0000FF' '#FFFF00' '#FFFFFF')
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

# The .ico's bytes through tools/lib/ico.awk (its modes: list, check, draw).
ico() { od -An -v -tu1 -w1 "$icon" | awk "$@" -f tools/lib/ico.awk; }

if [ "${1:-}" = --draw-old ]; then
    mkdir -p "$2"
    ico -v mode=list | while read -r index size bits; do
        for background in c0c0c0 ffffff; do
            ico -v mode=draw -v image="$index" -v bg="$background" |
                convert ppm:- -scale 800% "$2/icon-$size-${bits}bit-on-$background.png"
        done
    done
    ls "$2"
    exit 0
fi

rendered=()
for size in "${sizes[@]}"; do
    rsvg-convert --width "$size" --height "$size" --output "$work/$size.png" "$(drawing "$size")"
    rendered+=(--bit-depth=32 "$work/$size.png")
done
convert "${vga_colours[@]/#/xc:}" +append "$work/vga.png"
for size in "${vga_sizes[@]}"; do
    sed -e 's/#0E2752/#000080/I' -e 's/#2A5BAE/#0000FF/I' -e 's/#F6C945/#FFFF00/I' \
        "$(drawing "$size")" >"$work/vga-$size.svg"
    rsvg-convert --width "$size" --height "$size" --output "$work/vga-$size-drawn.png" \
        "$work/vga-$size.svg"
    # The colours remapped without the alpha (a remap drops it), then the alpha put back.
    convert "$work/vga-$size-drawn.png" -channel A -threshold 50% +channel -background black \
        -alpha background \( -clone 0 -alpha off +dither -remap "$work/vga.png" \) \
        \( -clone 0 -alpha extract \) -delete 0 -compose CopyOpacity -composite \
        "PNG32:$work/vga-$size.png"
    rendered+=(--bit-depth=4 "$work/vga-$size.png")
done

if [ "${1:-}" != "--check" ]; then
    # Alpha 0 alone is masked: the threshold is the highest alpha that counts as transparent.
    icotool --create --alpha-threshold=0 --output "$icon" "${rendered[@]}"
    icotool --list "$icon"
    ico -v mode=check
    exit 0
fi

if ! ico -v mode=check >&2; then
    echo "make-icon: $icon would be drawn wrong by Windows 95 to 2000:" \
        "run tools/make-icon.sh and commit it" >&2
    exit 1
fi
expected=$(for size in "${sizes[@]}"; do printf '%sx%sx32 ' "$size" "$size"; done)
expected+=$(for size in "${vga_sizes[@]}"; do printf '%sx%sx4 ' "$size" "$size"; done)
held=$(icotool --list "$icon" |
    sed -E 's/.*--width=([0-9]+) --height=([0-9]+) --bit-depth=([0-9]+).*/\1x\2x\3/' | tr '\n' ' ')
if [ "$held" != "$expected" ]; then
    echo "make-icon: $icon holds $held(width x height x bits) instead of $expected" >&2
    echo "make-icon: run tools/make-icon.sh and commit $icon" >&2
    exit 1
fi

icotool --extract --output "$work" "$icon"
failed=0
for image in "${sizes[@]/%/x32}" "${vga_sizes[@]/%/x4}"; do
    size=${image%x*}
    if [ "${image#*x}" = 32 ]; then drawn=$work/$size.png; else drawn=$work/vga-$size.png; fi
    packed=$(echo "$work"/quintaro_*_"${size}x${image}".png)
    # compare prints the count of differing pixels and exits 1 when there are any.
    count=$(compare -metric AE -fuzz "$fuzz" "$drawn" "$packed" null: 2>&1) || true
    if [ "$count" = 0 ]; then
        echo "make-icon: ${size} px, ${image#*x} bits, matches $(drawing "$size")"
        continue
    fi
    failed=1
    echo "make-icon: ${size} px, ${image#*x} bits, differs from $(drawing "$size") in $count" \
        "pixels, such as:" >&2
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
