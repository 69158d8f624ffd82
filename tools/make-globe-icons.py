#!/usr/bin/env python3
"""Draw the program's icon (a globe): two small XPM files for the window,
PNG files at the usual sizes of the desktop's hicolor icon theme, and a Windows
icon file of some of them for the program file.

Run from the repository root:  python3 tools/make-globe-icons.py
Writes app/icons/globe32.xpm and app/icons/globe16.xpm, which the window compiles
in, and data/icons/globeN.png for N in PNG_SIZES and data/icons/globe.ico, which
the desktop and Windows read.  Standard library only; the output
is deterministic, so re-running it gives identical files.
"""

import math
import os
import struct
import zlib

# Fixed palette: XPM icons stay tiny and every size shares the same colours.
# Keys are the one-character XPM symbols; ' ' is the transparent ground.
PALETTE = [
    (" ", None),
    (".", "#0B2350"),  # rim of the disc
    ("o", "#123F8C"),  # ocean, shadow side
    ("O", "#1F62C4"),  # ocean
    ("*", "#3F8DE8"),  # ocean, lit side
    ("+", "#9CCBFF"),  # ocean, glint
    ("l", "#1D6A24"),  # land, shadow side
    ("L", "#2E9A35"),  # land
    ("g", "#5CC54A"),  # land, lit side
    ("G", "#B2EC86"),  # land, glint
]

# Coarse coastlines as (longitude, latitude) polygons.  Only their outline
# at icon size matters, so a few dozen points per continent are plenty.
LAND = [
    # Africa
    [(-10, 35.8), (-2, 35.2), (10, 37), (11, 33), (20, 31), (32, 31.5),
     (34, 28), (39, 16), (43, 12), (51, 12), (51, 10), (48, 5), (41, -2),
     (40, -10), (35, -24), (32, -29), (27, -34), (20, -35), (18, -32),
     (15, -27), (12, -18), (13, -12), (9, -1), (9, 4), (5, 5), (-2, 5),
     (-8, 4.5), (-13, 8), (-17, 14), (-17, 21), (-13, 27), (-10, 30)],
    # Madagascar
    [(44, -25), (47, -25.5), (50.5, -15), (49.5, -12), (44, -16.5)],
    # Europe and Asia, cut off well behind the visible limb
    [(-9, 37), (-9, 43.5), (-1.5, 43.5), (-1, 46), (-4.5, 48), (2, 51),
     (5, 53), (8.5, 54), (8, 57), (10.5, 57.7), (11, 55), (14, 54),
     (20, 54.5), (21, 57), (24, 59.5), (30, 60), (30, 65), (40, 66),
     (45, 68), (60, 69), (70, 73), (80, 73), (120, 75), (120, 15),
     (95, 16), (92, 22), (88, 22), (80, 15), (77, 8), (73, 20), (67, 25),
     (57, 25), (56, 27), (50, 30), (48, 30), (56, 24), (59, 22), (52, 16),
     (44, 12.5), (43, 14), (39, 21), (35, 28), (34, 31.5), (36, 36),
     (30, 36.5), (27, 37), (26, 40.5), (23, 40), (22, 37), (19.5, 40),
     (13.5, 45.5), (12.5, 44.5), (16, 41), (18.5, 40), (16, 38),
     (15.7, 38), (12, 42), (10, 44), (7, 43.5), (3, 43), (3, 42),
     (0, 39), (-2, 36.7), (-5.6, 36)],
    # Scandinavia and Finland
    [(5.5, 58), (5, 62), (12, 66.5), (18, 69.8), (25, 71), (31, 70),
     (30, 61), (23, 60), (24, 65.5), (21, 64), (17.5, 61), (19, 59.5),
     (16.5, 56.5), (12.8, 55.5), (11, 58.9), (8, 58)],
    # Great Britain
    [(-5.5, 50), (1.5, 51), (1.7, 53), (-2, 56), (-1.8, 57.6), (-5, 58.6),
     (-6.2, 56.5), (-3, 54.6), (-4.5, 53.3), (-5, 51.6)],
    # Ireland
    [(-6, 52), (-6, 54.5), (-8, 55.2), (-10, 53.5), (-10, 51.5)],
    # Iceland
    [(-24, 65.5), (-22, 66.4), (-15, 66.5), (-13.5, 65), (-18, 63.4),
     (-22.5, 63.8)],
    # Greenland
    [(-45, 60), (-42, 62), (-22, 70), (-20, 80), (-60, 82), (-72, 78),
     (-55, 70), (-50, 64)],
    # South America
    [(-77, 8), (-72, 12), (-62, 10.5), (-52, 5), (-50, 0), (-44, -2.5),
     (-35, -5), (-35, -9), (-39, -13), (-41, -22), (-48, -26), (-53, -34),
     (-58, -38), (-65, -41), (-65, -55), (-75, -50), (-73, -37),
     (-71, -18), (-81, -6), (-80, 1)],
    # North America, eastern part
    [(-52, 47), (-56, 52), (-62, 58), (-65, 60), (-78, 62), (-100, 62),
     (-100, 26), (-90, 29), (-83, 29), (-80, 25), (-81, 31), (-76, 35),
     (-74, 40.5), (-70, 42), (-66, 44), (-60, 46)],
]

# The globe faces the Atlantic: Africa and Europe on the right (the part
# of the earth the satellite pictures show), the Americas on the left.
CENTRE_LON = -20.0
CENTRE_LAT = 18.0

# Light from the upper left, slightly in front of the picture plane.
_L = (-0.55, -0.6, 0.58)
_n = math.sqrt(sum(c * c for c in _L))
LIGHT = tuple(c / _n for c in _L)


def point_in_polygon(lon, lat, poly):
    inside = False
    n = len(poly)
    j = n - 1
    for i in range(n):
        xi, yi = poly[i]
        xj, yj = poly[j]
        if (yi > lat) != (yj > lat):
            x = xi + (lat - yi) * (xj - xi) / (yj - yi)
            if lon < x:
                inside = not inside
        j = i
    return inside


# Bounding boxes spare the big icons most of the polygon tests.
_BOXES = [(min(x for x, _ in p), max(x for x, _ in p),
           min(y for _, y in p), max(y for _, y in p)) for p in LAND]


def is_land(lon, lat):
    return any(x0 <= lon <= x1 and y0 <= lat <= y1
               and point_in_polygon(lon, lat, p)
               for p, (x0, x1, y0, y1) in zip(LAND, _BOXES))


def unproject(x, y, z):
    """Sphere point in view space (x right, y down, z to viewer) to lon/lat."""
    # Undo the tilt that brings CENTRE_LAT to the middle of the disc.
    phi0 = math.radians(CENTRE_LAT)
    up = -y
    # Rotate about the x axis by -phi0.
    yy = up * math.cos(phi0) + z * math.sin(phi0)
    zz = -up * math.sin(phi0) + z * math.cos(phi0)
    lat = math.degrees(math.asin(max(-1.0, min(1.0, yy))))
    lon = math.degrees(math.atan2(x, zz)) + CENTRE_LON
    return lon, lat


def shade_level(x, y, z):
    """0..3: shadow, normal, lit, glint."""
    d = x * LIGHT[0] + y * LIGHT[1] + z * LIGHT[2]
    if d > 0.955:
        return 3
    if d > 0.62:
        return 2
    if d > 0.12:
        return 1
    return 0


def render(size, radius, land_share, glint=True, sub=8):
    """Return rows of XPM symbols for a size x size picture, and the share of
    each pixel the disc covers.  sub is the number of subsamples per axis, for
    coverage and coastline decisions."""
    cx = cy = size / 2.0
    rows = []
    coverage = [[0.0] * size for _ in range(size)]
    opaque = [[False] * size for _ in range(size)]
    land = [[False] * size for _ in range(size)]
    for py in range(size):
        for px in range(size):
            inside = 0
            landhits = 0
            for sy in range(sub):
                for sx in range(sub):
                    x = (px + (sx + 0.5) / sub - cx) / radius
                    y = (py + (sy + 0.5) / sub - cy) / radius
                    r2 = x * x + y * y
                    if r2 > 1.0:
                        continue
                    inside += 1
                    z = math.sqrt(1.0 - r2)
                    if is_land(*unproject(x, y, z)):
                        landhits += 1
            # Pixel centre inside the circle: gives the round outline pixel
            # artists use, without lone pixels sticking out at the poles.
            dx = px + 0.5 - cx
            dy = py + 0.5 - cy
            opaque[py][px] = dx * dx + dy * dy <= radius * radius
            coverage[py][px] = inside / (sub * sub)
            land[py][px] = inside > 0 and landhits >= land_share * inside
    for py in range(size):
        row = []
        for px in range(size):
            if not opaque[py][px]:
                row.append(" ")
                continue
            edge = any(
                not (0 <= qx < size and 0 <= qy < size and opaque[qy][qx])
                for qx, qy in ((px - 1, py), (px + 1, py),
                               (px, py - 1), (px, py + 1)))
            if edge:
                row.append(".")
                continue
            x = (px + 0.5 - cx) / radius
            y = (py + 0.5 - cy) / radius
            z = math.sqrt(max(0.0, 1.0 - x * x - y * y))
            level = shade_level(x, y, z)
            if level == 3 and not glint:
                level = 2
            row.append(("oO*+" if not land[py][px] else "lLgG")[level])
        rows.append("".join(row))
    return rows, coverage


def xpm_text(name, rows):
    size = len(rows)
    used = {c for r in rows for c in r}
    colours = [(s, c) for s, c in PALETTE if s in used]
    lines = ["/* XPM */",
             "/* Generated by tools/make-globe-icons.py; edit that instead. */",
             "static const char *const %s[] = {" % name,
             '"%d %d %d 1",' % (size, size, len(colours))]
    for s, c in colours:
        lines.append('"%s c %s",' % (s, c if c else "None"))
    for i, r in enumerate(rows):
        lines.append('"%s"%s' % (r, "," if i + 1 < len(rows) else ""))
    lines.append("};")
    return "\n".join(lines) + "\n"


def png_bytes(rows, coverage):
    """An 8-bit RGBA PNG of the rows.  Pixels just outside the outline get
    the rim colour at the share the disc covers them, which smooths the
    outline of the big icons."""
    colours = dict(PALETTE)
    raw = bytearray()
    for row, shares in zip(rows, coverage):
        raw.append(0)  # no filter
        for symbol, share in zip(row, shares):
            colour = colours[symbol]
            alpha = 255
            if colour is None:
                colour = colours["."]
                alpha = round(255 * share)
            raw += bytes.fromhex(colour[1:]) + bytes([alpha])

    def chunk(kind, data):
        body = kind + data
        return (struct.pack(">I", len(data)) + body
                + struct.pack(">I", zlib.crc32(body)))

    size = len(rows)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


# The small icons count a pixel as land at a lower share so that continents
# keep their shape instead of dissolving into the sea; 16 and 32 pixels are
# tuned by eye, the others follow them.
XPM_JOBS = [("globe32", 32, 15.5, 0.5, True),
            ("globe16", 16, 8.0, 0.4, False)]
PNG_SIZES = [16, 22, 24, 32, 48, 64, 128, 256]
# What Windows shows of a program file: Explorer, the task bar, Alt+Tab.
ICO_SIZES = [16, 24, 32, 48, 64, 256]


def png_job(size):
    for _, s, radius, share, glint in XPM_JOBS:
        if s == size:
            return radius, share, glint, 8
    # Fewer subsamples as the icon grows, to keep the run short.
    return size * 15.5 / 32, 0.45 if size < 32 else 0.5, size > 24, \
        max(2, 256 // size)


def ico_bytes(pngs):
    """A Windows icon file whose pictures are the PNG files themselves, as
    Windows reads them since Vista.  pngs: (size, PNG bytes), smallest first."""
    header = struct.pack("<HHH", 0, 1, len(pngs))
    offset = len(header) + 16 * len(pngs)
    entries = b""
    for size, png in pngs:
        # Width and height of 256 are written as 0; one plane, 32 bits a pixel.
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1,
                               32, len(png), offset)
        offset += len(png)
    return header + entries + b"".join(png for _, png in pngs)


def main():
    outdir = os.path.join("app", "icons")
    os.makedirs(outdir, exist_ok=True)
    for name, size, radius, share, glint in XPM_JOBS:
        rows, _ = render(size, radius, share, glint)
        path = os.path.join(outdir, name + ".xpm")
        with open(path, "w", encoding="ascii", newline="\n") as f:
            f.write(xpm_text(name + "_xpm", rows))
        print("wrote", path)
    outdir = os.path.join("data", "icons")
    os.makedirs(outdir, exist_ok=True)
    pngs = {}
    for size in PNG_SIZES:
        radius, share, glint, sub = png_job(size)
        pngs[size] = png_bytes(*render(size, radius, share, glint, sub))
        path = os.path.join(outdir, "globe%d.png" % size)
        with open(path, "wb") as f:
            f.write(pngs[size])
        print("wrote", path)
    path = os.path.join(outdir, "globe.ico")
    with open(path, "wb") as f:
        f.write(ico_bytes([(size, pngs[size]) for size in ICO_SIZES]))
    print("wrote", path)


if __name__ == "__main__":
    main()
