#!/usr/bin/env python3
"""Twelve 5-fold curves on one page, as an SVG a pen plotter can draw.

rotundel.design() finds chains of three spheres whose traced point has
exactly 5-fold symmetry, simplest rates first. The curves are drawn from
above (along the stationary sphere's axis), each fitted to its cell of a
4 x 3 grid on an A4 page, with the design's one-line description beneath.

    python3 contact_sheet.py [OUT.svg]
"""
import sys
import numpy as np

import rotundel

CELL, COLUMNS, ROWS, MARGIN = 65.0, 3, 4, 7.5  # millimetres


def polyline(xy, x0, y0):
    """The curve fitted into the cell whose corner is (x0, y0)."""
    lo, hi = xy.min(axis=0), xy.max(axis=0)
    scale = (CELL - 2 * MARGIN) / max(hi - lo)
    centre = (lo + hi) / 2
    pts = (xy - centre) * scale + (x0 + CELL / 2, y0 + CELL / 2)
    return " ".join(f"{x:.2f},{y:.2f}" for x, y in pts)


def main(out="contact-sheet.svg"):
    designs = rotundel.design(symmetry=5, levels=3, count=COLUMNS * ROWS)
    width, height = COLUMNS * CELL, ROWS * CELL
    lines = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}mm" height="{height}mm" '
             f'viewBox="0 0 {width} {height}">',
             '<g fill="none" stroke="black" stroke-width="0.3">']
    for n, a in enumerate(designs):
        path = a.paths()[-1]
        xy = np.asarray(path.xyz[:, :2])
        x0, y0 = (n % COLUMNS) * CELL, (n // COLUMNS) * CELL
        lines.append(f'<polygon points="{polyline(xy, x0, y0)}"/>')
        label = a.curves()[-1]["description"].split(", length")[0]
        lines.append(f'<text x="{x0 + CELL / 2}" y="{y0 + CELL - 2}" font-size="2.2" '
                     f'text-anchor="middle" fill="black" stroke="none">{label}</text>')
    lines += ["</g>", "</svg>"]
    with open(out, "w") as f:
        f.write("\n".join(lines) + "\n")
    print(f"{out}: {len(designs)} curves")


if __name__ == "__main__":
    main(*sys.argv[1:])
