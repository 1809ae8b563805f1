# Reads a Windows .ico file, given as one decimal byte a line (od -An -v -tu1 -w1), and
# looks at each image's two halves as Windows before XP uses them: the AND mask, then the
# colour bits XORed onto the screen. Those systems ignore the alpha channel, so wherever
# the mask is set and the colour is not black, they invert what is behind the icon.
#
#   mode=list    one line an image: index, size, bits per pixel
#   mode=check   fails, saying where, unless in every image a set mask bit has black
#                under it, and in every 32-bit image alpha 0 has the mask set
#   mode=draw    image=N (from 1) bg=RRGGBB: the image drawn the pre-XP way on that
#                background, as a plain PPM picture
BEGIN { n = 0 }
{ b[n++] = $1 + 0 }

function u16(o) { return b[o] + 256 * b[o + 1] }
function u32(o) { return u16(o) + 65536 * u16(o + 2) }

# Reads image i's header into the globals: w, h, bpp, palette at pal, XOR bits at xbits,
# AND mask at abits; row strides xstride, astride.
function read_image(i,    e, off, colours) {
    e = 6 + 16 * i
    off = u32(e + 12)
    w = u32(off + 4)
    h = u32(off + 8) / 2
    bpp = u16(off + 14)
    colours = u32(off + 32)
    if (bpp <= 8 && colours == 0) colours = 2 ^ bpp
    if (bpp > 8) colours = 0
    pal = off + u32(off)
    xbits = pal + 4 * colours
    xstride = int((w * bpp + 31) / 32) * 4
    abits = xbits + xstride * h
    astride = int((w + 31) / 32) * 4
}

# The pixel (x, y), y from the top, into r, g, bl, a; its mask bit into m.
function pixel(x, y,    row, o, v, idx) {
    row = h - 1 - y
    o = xbits + row * xstride
    a = 255
    if (bpp == 32) {
        o += 4 * x; bl = b[o]; g = b[o + 1]; r = b[o + 2]; a = b[o + 3]
    } else if (bpp == 24) {
        o += 3 * x; bl = b[o]; g = b[o + 1]; r = b[o + 2]
    } else {
        v = b[o + int(x * bpp / 8)]
        idx = int(v / 2 ^ (8 - bpp - (x * bpp) % 8)) % 2 ^ bpp
        bl = b[pal + 4 * idx]; g = b[pal + 4 * idx + 1]; r = b[pal + 4 * idx + 2]
    }
    v = b[abits + row * astride + int(x / 8)]
    m = int(v / 2 ^ (7 - x % 8)) % 2
}

function and_bits(s, mbit) { return mbit ? s : 0 }
function hex(t,    v, k) {
    v = 0
    for (k = 1; k <= length(t); k++) v = 16 * v + index("0123456789abcdef", tolower(substr(t, k, 1))) - 1
    return v
}
function xor8(p, q,    out, bit) {
    out = 0
    for (bit = 1; bit < 256; bit *= 2)
        if ((int(p / bit) % 2) != (int(q / bit) % 2)) out += bit
    return out
}

END {
    count = u16(4)
    if (u16(0) != 0 || u16(2) != 1 || count == 0) { print "ico: not an icon file"; exit 2 }
    if (mode == "list") {
        for (i = 0; i < count; i++) { read_image(i); printf "%d %dx%d %d\n", i + 1, w, h, bpp }
        exit 0
    }
    if (mode == "draw") {
        read_image(image - 1)
        br = hex(substr(bg, 1, 2)); bgg = hex(substr(bg, 3, 2)); bb = hex(substr(bg, 5, 2))
        printf "P3\n%d %d\n255\n", w, h
        for (y = 0; y < h; y++)
            for (x = 0; x < w; x++) {
                pixel(x, y)
                printf "%d %d %d\n", xor8(and_bits(br, m), r), xor8(and_bits(bgg, m), g),
                    xor8(and_bits(bb, m), bl)
            }
        exit 0
    }
    bad = 0
    for (i = 0; i < count; i++) {
        read_image(i)
        inverting = 0; unmasked = 0
        for (y = 0; y < h; y++)
            for (x = 0; x < w; x++) {
                pixel(x, y)
                if (m && (r || g || bl)) {
                    if (!inverting++) first_inverting = x "," y
                }
                if (bpp == 32 && a == 0 && !m) {
                    if (!unmasked++) first_unmasked = x "," y
                }
            }
        if (inverting) {
            printf "ico: image %d (%dx%d, %d bits): %d pixels with the mask set over a colour, " \
                "which invert the screen before XP (the first at %s)\n",
                i + 1, w, h, bpp, inverting, first_inverting
            bad = 1
        }
        if (unmasked) {
            printf "ico: image %d (%dx%d, %d bits): %d pixels of alpha 0 without the mask " \
                "(the first at %s)\n", i + 1, w, h, bpp, unmasked, first_unmasked
            bad = 1
        }
    }
    exit bad
}
