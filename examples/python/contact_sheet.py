#!/usr/bin/env python3
"""Twelve 5-fold curves on one page, as an SVG a pen plotter can draw.

Each automaton is a sphere rolling on the root whose radius is q/5 of the
root's, with q prime to 5: the curve closes after q turns and repeats five
times around the axis. The curves are drawn from above (along the root's
axis), each fitted to its cell of a 4 x 3 grid on an A4 page.

    python3 contact_sheet.py [OUT.svg]
"""
import sys
from fractions import Fraction

import numpy as np

import rotundel

CELL, COLUMNS, ROWS, MARGIN = 65.0, 3, 4, 7.5  # millimetres


def design(q, inside):
    a = rotundel.new()
    b = a["B"]
    b.radius = Fraction(q, 5)
    b.inside = inside
    b.add_point(angle_x=90, distance=1)  # on the rim, in the rolling plane
    return a


def polyline(xy, x0, y0):
    """The curve fitted into the cell whose corner is (x0, y0)."""
    lo, hi = xy.min(axis=0), xy.max(axis=0)
    scale = (CELL - 2 * MARGIN) / max(hi - lo)
    centre = (lo + hi) / 2
    pts = (xy - centre) * scale + (x0 + CELL / 2, y0 + CELL / 2)
    return " ".join(f"{x:.2f},{y:.2f}" for x, y in pts)


def main(out="contact-sheet.svg"):
    designs = [design(q, False) for q in (1, 2, 3, 4, 6, 7, 8, 9)]
    designs += [design(q, True) for q in (1, 2, 3, 4)]  # inside: smaller than the root
    width, height = COLUMNS * CELL, ROWS * CELL
    lines = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}mm" height="{height}mm" '
             f'viewBox="0 0 {width} {height}">',
             '<g fill="none" stroke="black" stroke-width="0.3">']
    for n, a in enumerate(designs):
        path = a.paths()[-1]
        xy = np.asarray(path.xyz[:, :2])
        x0, y0 = (n % COLUMNS) * CELL, (n // COLUMNS) * CELL
        lines.append(f'<polygon points="{polyline(xy, x0, y0)}"/>')
    lines += ["</g>", "</svg>"]
    with open(out, "w") as f:
        f.write("\n".join(lines) + "\n")
    print(f"{out}: {len(designs)} curves")


if __name__ == "__main__":
    main(*sys.argv[1:])
