"""Web pages in a real browser: headless Chromium with software WebGL opens
each page in its self-test mode, which decodes the data, draws, drags the
view with synthetic pointer events and reports in <body data-selftest>.
What it decoded is held against the program's own CSV and info --json."""
import csv
import html
import json
import os
import re
import shutil
import subprocess

import pytest

PROGRAM = os.environ["ROTUNDEL_PROGRAM"]
SOURCE = os.environ["ROTUNDEL_SOURCE"]
CHROMIUM = shutil.which("chromium")
pytestmark = pytest.mark.skipif(CHROMIUM is None, reason="Debian's chromium is not installed")


def example(name):
    return os.path.join(SOURCE, "examples", name + ".one")


def browse(url, tmp_path):
    """The page's DOM after it has run, and the browser's log."""
    run = subprocess.run(
        [CHROMIUM, "--headless=new", "--no-sandbox", "--use-angle=swiftshader",
         "--enable-unsafe-swiftshader", "--enable-logging=stderr", "--no-first-run",
         "--user-data-dir=" + str(tmp_path / "profile"), "--virtual-time-budget=20000",
         "--dump-dom", url],
        capture_output=True, text=True, timeout=120, check=False)
    return run.stdout, run.stderr


def selftest(dom):
    found = re.search(r'data-selftest="([^"]*)"', dom)
    assert found, "the page reported nothing"
    return json.loads(html.unescape(found.group(1)))


def program(*args):
    return subprocess.run([PROGRAM, *args], capture_output=True, text=True, check=True).stdout


# Each page under its size, with the examples' variety: many spheres, two
# points on one sphere, a dynamic sphere, a long chain.
PAGES = [("flower", 100_000), ("tilted-chain", 100_000), ("many-points", 100_000),
         ("dynamic", 100_000), ("deep-chain", 1_000_000)]


@pytest.mark.parametrize("name,most", PAGES)
def test_page_draws_the_programs_curves(name, most, tmp_path):
    page = tmp_path / (name + ".html")
    table = tmp_path / (name + ".csv")
    program("export", example(name), "-o", str(page))
    program("export", example(name), "-o", str(table))
    text = page.read_text(encoding="utf-8")
    assert len(text.encode()) < most
    # Nothing fetched from elsewhere: no address, no attribute that loads.
    assert "//" not in text and "http" not in text.lower()
    assert not re.search(r"\b(src|href|srcset|poster)\s*=|url\(|@import", text)

    dom, log = browse(page.as_uri() + "#selftest=coords", tmp_path)
    result = selftest(dom)
    assert result["ok"], result
    assert "CONSOLE" not in log, [line for line in log.splitlines() if "CONSOLE" in line]
    info = json.loads(program("info", "--json", example(name)))
    with open(table, newline="", encoding="utf-8") as f:
        rows = list(csv.DictReader(f))
    assert result["curves"] == len(info["curves"])
    assert result["vertices"] == len(rows)
    shown = re.search(r'<pre id="selftest-coords"[^>]*>(.*?)</pre>', dom, re.S).group(1)
    decoded = [line.split(",") for line in html.unescape(shown).splitlines()]
    assert len(decoded) == len(rows)
    step = result["step"]
    for row, got in zip(rows, decoded):
        assert [row["sphere"], row["point"], row["sample"]] == got[:3]
        for axis, key in enumerate("xyz"):
            # Half a level of the 16-bit grid, and the printed digits.
            assert abs(float(got[3 + axis]) - float(row[key])) <= step[axis] * 0.5 + 1e-9 * (
                1 + abs(float(row[key])))


def test_notebook_shows_the_page(tmp_path):
    notebook = tmp_path / "curve.ipynb"
    source = "import rotundel\nrotundel.load(%r)" % example("flower")
    notebook.write_text(json.dumps({
        "cells": [{"cell_type": "code", "execution_count": None, "metadata": {},
                   "outputs": [], "source": source}],
        "metadata": {"kernelspec": {"name": "python3", "display_name": "Python 3",
                                    "language": "python"}},
        "nbformat": 4, "nbformat_minor": 5}))
    # The basic template: the cells' output alone, no scripts from elsewhere.
    subprocess.run(["jupyter", "nbconvert", "--to", "html", "--template", "basic", "--execute",
                    str(notebook)], check=True, capture_output=True, timeout=300)
    shown = tmp_path / "curve.html"
    framed = re.search(r'srcdoc="([^"]*)"', shown.read_text(encoding="utf-8"))
    assert framed, "the notebook shows no page"
    page = tmp_path / "flower.html"
    program("export", example("flower"), "-o", str(page))
    assert html.unescape(framed.group(1)) == page.read_text(encoding="utf-8")
    dom, _ = browse(shown.as_uri() + "#selftest", tmp_path)
    assert selftest(dom)["ok"]
