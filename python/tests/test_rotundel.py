"""The rotundel module against the rotundel program: same bytes, same
numbers, same refusals."""
import csv
import json
import os
import signal
import subprocess
import threading
import time
from collections import defaultdict
from fractions import Fraction
from pathlib import Path

import numpy as np
import pytest

import rotundel

PROGRAM = os.environ.get("ROTUNDEL_PROGRAM", "rotundel")
SOURCE = Path(os.environ.get("ROTUNDEL_SOURCE", Path(__file__).parents[2]))
EXAMPLES = sorted((SOURCE / "examples").glob("*.one"))


def program(*args):
    return subprocess.run([PROGRAM, *map(str, args)], check=True, capture_output=True, text=True).stdout


def test_starter_bytes_equal_the_program(tmp_path):
    program("new", tmp_path / "cli.one")
    rotundel.new().save(tmp_path / "py.one")
    assert (tmp_path / "py.one").read_bytes() == (tmp_path / "cli.one").read_bytes()


@pytest.mark.parametrize("example", EXAMPLES, ids=lambda p: p.stem)
def test_examples_round_trip(tmp_path, example):
    rotundel.load(example).save(tmp_path / "copy.one")
    assert (tmp_path / "copy.one").read_bytes() == example.read_bytes()


@pytest.mark.parametrize("name", ["flower", "tilted-chain", "dynamic"])
def test_paths_equal_the_csv_export(tmp_path, name):
    program("export", SOURCE / "examples" / f"{name}.one", "-o", tmp_path / "p.csv")
    rows = defaultdict(list)
    with open(tmp_path / "p.csv", newline="") as f:
        for r in csv.DictReader(f):
            rows[(r["sphere"], int(r["point"]))].append([float(r[k]) for k in "xyz"])
    paths = rotundel.load(SOURCE / "examples" / f"{name}.one").paths()
    assert {(p.sphere.name, p.point) for p in paths} == set(rows)
    for p in paths:
        # The CSV writes each float (or its double) in its shortest form.
        expected = np.array(rows[(p.sphere.name, p.point)], dtype=np.float64).astype(np.float32)
        assert np.array_equal(p.xyz.astype(np.float32), expected)


@pytest.mark.parametrize(
    "name, options",
    [("x.csv", {}), ("x.svg", {}), ("x.stl", {}), ("x.obj", {"sides": 5}), ("x.ply", {}),
     ("x.glb", {"size": "100mm"}), ("x.3mf", {"tube_radius": 0.05}), ("x.thr", {"point": "B:0"}),
     ("x.svg", {"plotter": True, "page": "A5", "landscape": True, "tolerance": "0.1mm"}),
     ("x.thr", {"point": "all", "start": "rim", "tolerance": 0.001}),
     ("x.gcode", {"plotter": True, "scale": "2mm", "pen_up": "M3 S0", "feed": 1200,
                  "grid": "2x1"}),
     ("x.gcode", {"plotter": True, "pen_dwell": 150, "pen_change": "M0"}),
     ("x.stl", {"orient": "document", "size": "50mm"}), ("x.obj", {"point": "B:0", "no_centres": True}),
     ("x.svg", {"plotter": True, "point": "traced"})],
    ids=lambda v: v if isinstance(v, str) else ",".join(v))
def test_exports_equal_the_programs(tmp_path, name, options):
    example = SOURCE / "examples" / "dynamic.one"
    flags = []
    for key, value in options.items():
        flags += [f"--{key.replace('_', '-')}"] + ([] if value is True else [str(value)])
    (tmp_path / "cli").mkdir()
    (tmp_path / "py").mkdir()
    program("export", example, "-o", tmp_path / "cli" / name, *flags)
    a = rotundel.load(example)
    a.paths()  # the first frame is computed once, whatever asks for it first
    a.export(tmp_path / "py" / name, **options)
    for made in (tmp_path / "cli").iterdir():
        assert (tmp_path / "py" / made.name).read_bytes() == made.read_bytes(), made.name


def test_names_are_utf8_or_windows_1252(tmp_path):
    a = rotundel.new()
    a["B"].name = "B\u00e9"
    a.save(tmp_path / "u.one")
    assert rotundel.load(tmp_path / "u.one").info()["spheres"][1]["name"] == "B\u00e9"
    assert json.loads(program("info", tmp_path / "u.one", "--json"))["spheres"][1]["name"] == "B\u00e9"
    # An older program's file holds the name in Windows-1252: one byte 0xe9
    # (names are stored as lines).
    data = (tmp_path / "u.one").read_bytes()
    utf8, cp1252 = b"\nB\xc3\xa9\n", b"\nB\xe9\n"
    assert utf8 in data
    (tmp_path / "w.one").write_bytes(data.replace(utf8, cp1252))
    assert json.loads(program("info", tmp_path / "w.one", "--json"))["spheres"][1]["name"] == "B\u00e9"
    assert rotundel.load(tmp_path / "w.one")["B\u00e9"].name == "B\u00e9"


def test_info_has_the_programs_facts():
    example = SOURCE / "examples" / "epicycloid.one"
    facts = json.loads(program("info", example, "--json"))
    facts.pop("curves", None)
    info = rotundel.load(example).info()
    curves = info.pop("curves")
    as_text = json.loads(json.dumps(info, default=str))
    assert as_text == facts
    assert all(isinstance(p["period"], Fraction) for p in info["paths"])
    assert [(c["sphere"].name, c["symmetry"]) for c in curves] == [("B", 5)]


@pytest.mark.parametrize("symmetry, levels", [(3, 2), (5, 3), (7, 4)])
def test_designs_have_the_symmetry_asked_for(tmp_path, symmetry, levels):
    designs = rotundel.design(symmetry=symmetry, levels=levels, count=3)
    assert len(designs) == 3
    for a in designs:
        assert len(a.spheres) == levels
        # point 0 is each sphere's centre; the traced points follow it
        assert {c["symmetry"] for c in a.curves() if c["point"] > 0} == {symmetry}
        assert all(s.points[0].distance == 0 for s in a.spheres)
        a.save(tmp_path / "d.one")
        assert rotundel.load(tmp_path / "d.one").curves()[-1]["symmetry"] == symmetry


def test_turned_copies_read_alike_and_knots_say_how_far_they_are_told():
    # the flower's six spheres stand 60 degrees apart: one curve, turned
    flower = rotundel.load(SOURCE / "examples" / "flower.one").curves()
    assert len(flower) == 6
    assert all(c["mirror"] for c in flower)
    assert len({c["description"].split(",", 1)[1] for c in flower}) == 1
    assert all(c["knot_status"] is None for c in flower)  # cusps: no knot
    starter = rotundel.new()
    (circle,) = starter.curves()
    assert (circle["knot"], circle["knot_status"], circle["alexander_of"]) == (
        "unknot", "named", None)


def test_random_is_the_same_for_a_seed(tmp_path):
    for name in ["a.one", "b.one"]:
        rotundel.random(2024).save(tmp_path / name)
    assert (tmp_path / "a.one").read_bytes() == (tmp_path / "b.one").read_bytes()
    assert rotundel.random(2025).curves()


def test_arrays_share_memory_and_outlive_edits():
    a = rotundel.load(SOURCE / "examples" / "flower.one")
    first = a.paths()[-1]
    xyz, kept = first.xyz, first.xyz.copy()
    assert not xyz.flags.writeable and not xyz.flags.owndata
    assert a.paths()[-1].xyz.__array_interface__["data"] == xyz.__array_interface__["data"]
    first.sphere.rate = "5/3"
    first.sphere.destroy()
    a.paths()
    assert np.array_equal(xyz, kept)


def build_and_trace():
    a = rotundel.new()
    b = a.root.children[0]
    c = b.create_child(radius=Fraction(1, 3), rate="2 4/6", inside=True)
    c.add_point(angle_z=30, angle_x=90, distance=2)
    return a, b, c


def test_building_matches_the_arguments(tmp_path):
    a, b, c = build_and_trace()
    assert (c.name, c.parent, c.radius, c.rate, c.inside) == ("C", b, Fraction(1, 3), Fraction(8, 3), True)
    assert [p.sphere.name for p in a.paths()] == ["B", "C", "C"]
    a.export(tmp_path / "c.stl", tube_radius=0.05, sides=5)
    a.render(tmp_path / "c.png", width=160, height=120)
    for f in ["c.stl", "c.png"]:
        assert (tmp_path / f).stat().st_size > 100


@pytest.mark.parametrize(
    "field, value",
    [("name", "Zed"), ("colour", "#ff8000"), ("surface", "mesh"), ("texture", "wood.bmp"),
     ("inside", False), ("anticlockwise", True), ("axis", (30.0, 45.0)), ("initial_revolution", 90.0),
     ("initial_spin", 10.0), ("radius", Fraction(2, 3)), ("rate", Fraction(5, 2)), ("dynamic", True),
     ("dynamic_axis_z", True), ("dynamic_axis_x", True), ("show_centres_line", True),
     ("show_perpendicular_axis", False), ("show_revolution_axis", False), ("show_great_circle", False),
     ("show_rotation_axis", False), ("show_point_paths", False)],
)
def test_every_field_is_saved(tmp_path, field, value):
    a, b, c = build_and_trace()
    setattr(c, field, value)
    c.set_point(1, angle_z=45, distance=3)
    a.stationary, a.accuracy = b, 70
    a.save(tmp_path / "f.one")
    back = rotundel.load(tmp_path / "f.one")
    again = back[c.name]
    assert getattr(again, field) == value
    assert again.points[1] == (45.0, 90.0, 3.0)
    assert (back.stationary.name, back.accuracy) == ("B", 70)


def seventh_point(a, b, c):
    for _ in range(5):
        c.add_point()


def destroyed(a, b, c):
    b.destroy()
    c.name


def hostile_file(tmp_path):
    corpus = SOURCE / "fuzz" / "corpus" / "onefile" / "chain.one"
    cut = tmp_path / "cut.one"
    cut.write_bytes(corpus.read_bytes()[:60])
    rotundel.load(cut)


@pytest.mark.parametrize(
    "act, error, message",
    [
        (lambda a, b, c: b.create_child(radius=0), ValueError, "Radius must be greater than 0"),
        (lambda a, b, c: setattr(c, "rate", "0/4"), ValueError, "Rate must be greater than 0"),
        (lambda a, b, c: setattr(c, "rate", -2), ValueError, "Rate must be greater than 0"),
        (lambda a, b, c: setattr(c, "rate", 2000), ValueError, "The whole number of rate must be from 0 to 1000"),
        (lambda a, b, c: setattr(c, "radius", Fraction(1, 1001)), ValueError, "The denominator of radius must be"),
        (lambda a, b, c: setattr(a, "accuracy", 150), ValueError, "Accuracy must be a whole number from 0 to 100"),
        (lambda a, b, c: setattr(c, "rate", "3 halves"), ValueError, "is not a factor"),
        (lambda a, b, c: setattr(c, "rate", 1.5), TypeError, "A factor is exact"),
        (seventh_point, ValueError, "You can only specify 6 points per sphere."),
        (lambda a, b, c: c.remove_point(0), ValueError, "Point 0 is the sphere's centre: it cannot be removed or changed"),
        (lambda a, b, c: c.set_point(0, angle_z=10), ValueError, "Point 0 is the sphere's centre"),
        (lambda a, b, c: setattr(c, "name", "A"), ValueError, "A sphere named A already exists."),
        (lambda a, b, c: setattr(c, "name", "A "), ValueError, "A sphere named A already exists."),
        (lambda a, b, c: setattr(c, "name", " "), ValueError, "A sphere needs a name."),
        (lambda a, b, c: b.create_child(name="\tB"), ValueError, "A sphere named B already exists."),
        (lambda a, b, c: b.create_child(name="ZEROOREZ"), ValueError, "ZEROOREZ stands for"),
        (lambda a, b, c: setattr(b, "rate", 2), ValueError, "B sets the clock"),
        (lambda a, b, c: setattr(b, "radius_reference", c), ValueError, "it depends on B"),
        (destroyed, ValueError, "This sphere has been destroyed."),
        (lambda a, b, c: rotundel.load("/nonexistent/x.one"), FileNotFoundError, "Failed to open document"),
        (lambda a, b, c: a.save("/nonexistent/x.one"), OSError, "Cannot write /nonexistent/x.one"),
        (lambda a, b, c: a.export("x.doc"), ValueError, "Cannot write x.doc: an export writes"),
        (lambda a, b, c: (a.root.destroy(), a.save("x.one")), ValueError, "without spheres cannot be saved"),
        (lambda a, b, c: a.export("x.stl", sides=2), ValueError, "sides needs a whole number"),
        (lambda a, b, c: a.save("x\0.one"), ValueError, "cannot hold a NUL character"),
        (lambda a, b, c: a.export("x\0.csv"), ValueError, "cannot hold a NUL character"),
        (lambda a, b, c: rotundel.load(""), ValueError, "cannot be empty"),
    ],
)
def test_refusals_raise_with_the_programs_message(act, error, message):
    a, b, c = build_and_trace()
    with pytest.raises(error, match=message.replace("(", r"\(").replace(".", r"\.")):
        act(a, b, c)


def test_names_are_trimmed_and_a_refused_child_is_not_made():
    a, b, c = build_and_trace()
    c.name = "  Moon "
    d = b.create_child(name=" Sun\t", radius="1/4")
    assert (c.name, d.name, a["Sun"]) == ("Moon", "Sun", d)
    # A given name still uses up a letter, as files record the next one.
    assert b.create_child().name == "E"
    before = len(a.spheres)
    with pytest.raises(ValueError, match="Radius must be greater than 0"):
        b.create_child(name="Star", radius=Fraction(0))
    with pytest.raises(ValueError, match="A sphere needs a name"):
        b.create_child(name="   ")
    assert len(a.spheres) == before


def test_hostile_file_raises(tmp_path):
    with pytest.raises(OSError, match="Unexpected file format"):
        hostile_file(tmp_path)


def test_ctrl_c_stops_the_path_pass():
    def long_pass():
        a = rotundel.load(SOURCE / "examples" / "long-period.one")
        a.accuracy = 100
        return a

    # The whole pass, undisturbed, is the yardstick for "stopped early".
    started = time.monotonic()
    long_pass().paths()
    whole = time.monotonic() - started
    a = long_pass()
    # A real SIGINT, as Ctrl+C sends it, from another thread.
    timer = threading.Timer(0.02, os.kill, (os.getpid(), signal.SIGINT))
    started = time.monotonic()
    timer.start()
    with pytest.raises(KeyboardInterrupt):
        a.paths()
    stopped_after = time.monotonic() - started
    timer.join()
    assert stopped_after < whole / 2, (stopped_after, whole)
    assert len(a.paths()) > 0


def big_chain():
    """A generative script's long chain: 299 spheres with coprime rates."""
    a = rotundel.new()
    s = a["B"]
    rates = ["997/991", "983/977", "971/967", "953/947", "941/937", "929/919"]
    for i in range(297):
        s = s.create_child(radius="99/100", rate=rates[i % 6])
        for k in range(5):
            s.add_point(angle_x=90, angle_z=60 * k, distance=1 + k * 0.3)
    a.accuracy = 100
    return a


def interrupted_while_computing(a, call):
    """Runs call() while a helper thread waits until the automaton is busy
    computing (its other calls refused) and then sends a real SIGINT."""
    finished = threading.Event()
    seen_busy = threading.Event()

    def watch():
        while not finished.is_set():
            try:
                a.accuracy
            except RuntimeError:
                seen_busy.set()
                os.kill(os.getpid(), signal.SIGINT)
                return

    helper = threading.Thread(target=watch)
    helper.start()
    try:
        call()
    finally:
        finished.set()
        helper.join()
    return seen_busy.is_set()


@pytest.mark.parametrize(
    "what, call",
    [
        ("curves", lambda a, tmp: a.curves()),
        ("stl export", lambda a, tmp: a.export(tmp / "x.stl")),
        ("obj export", lambda a, tmp: a.export(tmp / "x.obj")),
        ("3mf export", lambda a, tmp: a.export(tmp / "x.3mf")),
    ],
)
def test_ctrl_c_stops_the_work_after_the_path_pass(tmp_path, what, call):
    out = tmp_path / ("x." + what.split()[0])
    a = big_chain()
    assert any(len(p.xyz) for p in a.paths())
    # On a loaded machine the watcher may only get the processor once the
    # call is over, and then it has nothing to interrupt: that try is
    # repeated rather than counted.
    for _ in range(5):
        try:
            if not interrupted_while_computing(a, lambda: call(a, tmp_path)):
                out.unlink(missing_ok=True)
                continue
        except KeyboardInterrupt:
            break
        # A signal after the export's last stop point: the file is written
        # whole and the script is told so, never that it was interrupted.
        if what.endswith("export") and out.exists():
            out.unlink()
            continue
        pytest.fail("the call went on after Ctrl+C")
    else:
        pytest.fail("the call was never seen computing")
    assert not out.exists()
    assert not (tmp_path / "x.mtl").exists()
    # Nothing is left half done: the same call completes afterwards.
    call(a, tmp_path)


def test_periods_too_long_to_work_out_are_named():
    a = big_chain()
    facts = a.info()
    notes = {p["sphere"]: p.get("note") for p in facts["paths"]}
    assert notes["C"] is None and facts["paths"][1]["period"] == Fraction(991)
    assert notes["E"] == "period longer than 1000000 turns"
    assert any(c["description"] == "period longer than 1000000 turns" for c in a.curves())


# Framed as the command line frames a document it reads: the camera's SVG and
# a picture are the command line's bytes for every example.
@pytest.mark.parametrize("example", EXAMPLES, ids=lambda p: p.stem)
def test_camera_outputs_equal_the_programs(tmp_path, example):
    program("export", example, "-o", tmp_path / "c.svg")
    program("export", example, "-o", tmp_path / "c.html")
    program("render", example, "-o", tmp_path / "c.png", "--width", "96", "--height", "72")
    rotundel.load(example).export(tmp_path / "p.svg")
    rotundel.load(example).export(tmp_path / "p.html")
    rotundel.load(example).render(tmp_path / "p.png", width=96, height=72)
    for kind in ("svg", "html", "png"):
        assert (tmp_path / f"p.{kind}").read_bytes() == (tmp_path / f"c.{kind}").read_bytes()


# show() hands the page to the system's browser ($BROWSER here) and keeps it.
def test_show_opens_the_page(tmp_path, monkeypatch):
    opened = tmp_path / "opened"
    monkeypatch.setenv("BROWSER", f"sh -c 'echo %s > {opened}'")
    page = Path(rotundel.load(SOURCE / "examples" / "flower.one").show())
    program("export", SOURCE / "examples" / "flower.one", "-o", tmp_path / "c.html")
    assert page.read_bytes() == (tmp_path / "c.html").read_bytes()
    deadline = time.monotonic() + 30
    while not (opened.exists() and opened.read_text().endswith("\n")) and time.monotonic() < deadline:
        time.sleep(0.05)
    assert opened.read_text().strip() == page.as_uri()


# What the command line says on its standard error, Python says as a
# RotundelWarning and returns.
@pytest.mark.parametrize("name, options", [
    ("thin.stl", {"size": "10mm", "tube_radius": "0.1mm"}),
    ("coarse.obj", {"max_triangles": 200}),
])
def test_notes_are_warnings(tmp_path, name, options):
    example = SOURCE / "examples" / "flower.one"
    flags = []
    for key, value in options.items():
        flags += [f"--{key.replace('_', '-')}", str(value)]
    said = subprocess.run([PROGRAM, "export", example, "-o", tmp_path / name, *flags],
                          check=True, capture_output=True, text=True).stderr.splitlines()
    said = [line.removeprefix("rotundel: ") for line in said]
    assert said
    with pytest.warns(rotundel.RotundelWarning) as caught:
        written = rotundel.load(example).export(tmp_path / ("py" + name), **options)
    assert written["said"] == said
    told = [str(w.message) for w in caught]
    assert [t.lower() for t in told] == [s.removeprefix("note: ").removeprefix("warning: ").lower()
                                         for s in said]


# One refusal, one sentence: the export service judges every request, and
# the command line and Python only say what it says.
@pytest.mark.parametrize("name, options", [
    ("y.gcode", {}),
    ("y.png", {}),
    ("y.mp4", {}),
    ("y.svg", {"plotter": True, "grid": "0x2"}),
    ("y.stl", {"size": "10kg"}),
    ("y.csv", {"colour": "red"}),
])
def test_refusals_are_the_programs_sentences(tmp_path, name, options):
    example = SOURCE / "examples" / "flower.one"
    flags = []
    for key, value in options.items():
        flags += [f"--{key.replace('_', '-')}"] + ([] if value is True else [str(value)])
    run = subprocess.run([PROGRAM, "export", example, "-o", tmp_path / name, *flags],
                         capture_output=True, text=True)
    assert run.returncode == 2
    said = run.stderr.strip().removeprefix("rotundel export: ")
    said = said.removesuffix("; for usage see rotundel export --help.")
    with pytest.raises(ValueError) as refused:
        rotundel.load(example).export(tmp_path / name, **options)
    assert str(refused.value).rstrip(".").lower() == said.lower()
    assert not (tmp_path / name).exists()


# A wrong type names the argument in one line; a range error is a
# ValueError; a long value is shortened; every message is one sentence.
@pytest.mark.parametrize(
    "act, error, message",
    [
        (lambda a, b, c: setattr(c, "axis", None), TypeError,
         "Axis must be a pair of angles (z, x) in degrees, not NoneType."),
        (lambda a, b, c: setattr(c, "surface", 5), TypeError, "Surface must be a str, not int."),
        (lambda a, b, c: setattr(a, "stationary", "B"), TypeError, "Stationary must be a rotundel.Sphere"),
        (lambda a, b, c: c.set_point(10**20, angle_z=1), IndexError, "There is no point 100000000000000000000"),
        (lambda a, b, c: a.export("p.svg", plotter=True, margin="1e9mm"), ValueError,
         "The margin leaves no room on the page."),
        (lambda a, b, c: a["x" * 100_000], KeyError, "xxx (100000 bytes)."),
        (lambda a, b, c: a.export("x.csv", **{"y" * 100_000: 1}), ValueError, "yyy (100002 bytes)."),
        (lambda a, b, c: rotundel.load(5), TypeError, "Path must be a str, bytes or os.PathLike, not int."),
        (lambda a, b, c: setattr(c, "name", "x" * 9_000_000), ValueError, "at most 4096 bytes"),
        (lambda a, b, c: b.create_child(name=7), TypeError, "Name must be a str, not int."),
    ],
)
def test_refusals_are_one_line_sentences(act, error, message):
    a, b, c = build_and_trace()
    with pytest.raises(error) as raised:
        act(a, b, c)
    text = str(raised.value.args[0])
    assert message in text
    assert "\n" not in text and text[0].isupper() and text.endswith("."), text
    assert len(text) < 400


def test_paths_may_be_bytes_or_path_like(tmp_path):
    a = build_and_trace()[0]
    a.save(os.fsencode(tmp_path / "b.one"))
    a.export(os.fsencode(tmp_path / "b.csv"))
    a.export(tmp_path / "p.csv")
    assert (tmp_path / "b.csv").read_bytes() == (tmp_path / "p.csv").read_bytes()
    rotundel.load(os.fsencode(tmp_path / "b.one")).save(tmp_path / "c.one")
    assert (tmp_path / "c.one").read_bytes() == (tmp_path / "b.one").read_bytes()
