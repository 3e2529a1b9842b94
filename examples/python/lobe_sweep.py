#!/usr/bin/env python3
"""How many lobes a curve has as one rate changes: C rolls on B, which rolls
on the root; C's rate runs over small fractions and the lobes of C's point
(local maxima of its distance from the axis over one period, as curves()
counts them) are plotted against it, with matplotlib when it is installed,
otherwise written as CSV.

    python3 lobe_sweep.py [OUT.png|OUT.csv]
"""
import sys
from fractions import Fraction

import rotundel


def sweep():
    a = rotundel.new()
    c = a["B"].create_child(radius=Fraction(1, 3))
    c.add_point(angle_x=90, distance=1)
    rates = sorted({Fraction(p, q) for q in range(1, 5) for p in range(1, 4 * q + 1)})
    for rate in rates:
        c.rate = rate
        yield rate, a.curves()[-1]["lobes"]


def main(out=None):
    results = list(sweep())
    try:
        import matplotlib
        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
    except ImportError:
        plt = None
    if plt is None or (out and out.endswith(".csv")):
        f = open(out, "w") if out else sys.stdout
        f.write("rate,lobes\n" + "".join(f"{r},{n}\n" for r, n in results))
        return
    fig, ax = plt.subplots(figsize=(8, 4))
    ax.plot([float(r) for r, _ in results], [n for _, n in results], "o-")
    ax.set_xlabel("rate of C (x the time master's)")
    ax.set_ylabel("lobes")
    fig.savefig(out or "lobe-sweep.png", dpi=120)


if __name__ == "__main__":
    main(*sys.argv[1:])
