#!/usr/bin/python3
"""Pixel checks of the viewer's pictures (PPM files, as ImageMagick's convert writes them).

    view_pictures.py same-lines LINUX.ppm WINE.ppm   the same size, every line on the same pixels
    view_pictures.py drawn WINDOW.ppm                 a screenshot with charts and a table in it

Exits 1 with the reason when a check fails.
"""
import sys

# The viewer's series palette (view/chart_palette.h): the lines, the lanes and the fault marks.
# Text and grid lines are drawn in other colours.
PALETTE = [(31, 119, 180), (255, 127, 14), (44, 160, 44), (214, 39, 40), (148, 103, 189),
           (140, 86, 75), (227, 119, 194), (127, 127, 127), (188, 189, 34), (23, 190, 207)]
# Of each colour's pixels in either picture, this share must be that colour in both. The lines
# are drawn by the same code, so they fall on the same pixels; where a label in another font
# touches a line, a few of its pixels may be covered on one side only.
SAME_PIXELS = 0.97


def read_ppm(path):
    data = open(path, "rb").read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    if fields[0] != b"P6" or fields[3] != b"255":
        sys.exit("%s: not an 8-bit binary PPM" % path)
    return int(fields[1]), int(fields[2]), data[pos + 1:]


def pixels_of(pixels, colour):
    key = bytes(colour)
    return {i for i in range(0, len(pixels), 3) if pixels[i:i + 3] == key}


def same_lines(linux_path, wine_path):
    lw, lh, linux = read_ppm(linux_path)
    ww, wh, wine = read_ppm(wine_path)
    if (lw, lh) != (ww, wh):
        sys.exit("%dx%d under Wine, %dx%d on Linux" % (ww, wh, lw, lh))
    worst = 1.0
    for colour in PALETTE:
        on_linux, on_wine = pixels_of(linux, colour), pixels_of(wine, colour)
        union = on_linux | on_wine
        if not union:
            continue
        share = len(on_linux & on_wine) / len(union)
        worst = min(worst, share)
        if share < SAME_PIXELS:
            sys.exit("colour %r: %d pixels on Linux, %d under Wine, %.3f of them shared"
                     % (colour, len(on_linux), len(on_wine), share))
    print("%dx%d, every line on the same pixels (worst colour: %.3f shared)" % (lw, lh, worst))


def drawn(window_path):
    _, _, pixels = read_ppm(window_path)
    counts = {colour: len(pixels_of(pixels, colour)) for colour in PALETTE}
    dark = sum(1 for i in range(0, len(pixels), 3) if max(pixels[i:i + 3]) < 80)
    colours = [c for c, n in counts.items() if n >= 200]
    # The temperature lines of at least three sensors, and text: the table's cells and labels.
    if len(colours) < 3 or dark < 20000:
        sys.exit("series colours %r, %d dark (text) pixels" % (counts, dark))
    print("%d series colours drawn, %d text pixels" % (len(colours), dark))


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "same-lines":
        same_lines(sys.argv[2], sys.argv[3])
    elif len(sys.argv) == 3 and sys.argv[1] == "drawn":
        drawn(sys.argv[2])
    else:
        sys.exit(__doc__)
