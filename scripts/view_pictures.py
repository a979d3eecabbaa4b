#!/usr/bin/python3
"""Pixel checks of the viewer's pictures (PPM files, as ImageMagick's convert writes them).

    view_pictures.py same-lines LINUX.ppm WINE.ppm   the same size, every series drawn on both
    view_pictures.py drawn WINDOW.ppm                 a screenshot with charts and a table in it

Exits 1 with the reason when a check fails.
"""
import sys

# The viewer's series palette (view/chart_palette.h): the lines, the lanes and the fault marks.
# Text and grid lines are drawn in other colours.
PALETTE = [(31, 119, 180), (255, 127, 14), (44, 160, 44), (214, 39, 40), (148, 103, 189),
           (140, 86, 75), (227, 119, 194), (127, 127, 127), (188, 189, 34), (23, 190, 207)]
# The lines are drawn by the same code from the same points, but the plot areas are laid out
# around the axis labels, which are as wide as their font makes them (Tahoma under Wine, DejaVu
# Sans on Linux), and the series switches' captions are drawn in the series' colours in that
# font: so the pictures are compared by each colour being drawn on both sides to about the same
# extent, and how much of it lies within NEAR pixels of the other side's is reported.
NEAR = 6


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


def near_share(ours, theirs, width):
    """Of the pixels in `ours`, the share with a pixel of `theirs` within NEAR pixels."""
    if not ours:
        return 1.0
    found = 0
    for index in ours:
        x, y = (index // 3) % width, (index // 3) // width
        if any(((y + dy) * width + (x + dx)) * 3 in theirs
               for dy in range(-NEAR, NEAR + 1) for dx in range(-NEAR, NEAR + 1)):
            found += 1
    return found / len(ours)


def same_lines(linux_path, wine_path):
    lw, lh, linux = read_ppm(linux_path)
    ww, wh, wine = read_ppm(wine_path)
    if (lw, lh) != (ww, wh):
        sys.exit("%dx%d under Wine, %dx%d on Linux" % (ww, wh, lw, lh))
    shares = []
    for colour in PALETTE:
        on_linux, on_wine = pixels_of(linux, colour), pixels_of(wine, colour)
        # Every series drawn on both sides, to about the same extent.
        if len(on_wine) < len(on_linux) / 2 or len(on_linux) < len(on_wine) / 2:
            sys.exit("colour %r: %d pixels on Linux, %d under Wine"
                     % (colour, len(on_linux), len(on_wine)))
        shares.append(min(near_share(on_linux, on_wine, lw), near_share(on_wine, on_linux, lw)))
    # Told, not judged: how much of each colour lies within NEAR pixels of the other side's.
    print("%dx%d, every series drawn; share of each colour within %d px of the other side's: %s"
          % (lw, lh, NEAR, " ".join("%.2f" % share for share in shares)))


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
