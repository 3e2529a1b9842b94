// The rotundel Python module: automata built, edited, saved and sampled with
// the document's own operations, so that a script gets what the window and
// the command line get, byte for byte and float for float.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <tuple>

#include "automatonreport.h"
#include "automatonstate.h"
#include "designs.h"
#include "documentrules.h"
#include "exports.h"
#include "relations.h"
#include "sphere.h"
#include "textcoding.h"
#include "values.h"

namespace py = pybind11;
using StatePtr = std::shared_ptr<AutomatonState>;

namespace {

// No reader takes a file without spheres back: writing one would report a
// save that cannot be opened again.
constexpr const char* kNothingToSave =
    "An automaton without spheres cannot be saved: create a root first.";

// A sphere as Python holds it: checked on every use, so that a handle kept
// after destroy() raises instead of reaching freed memory.
struct SphereRef {
    StatePtr state;
    const Sphere* sphere;
    std::uint64_t serial;

    Sphere& get() const { return state->resolve(sphere, serial); }
    Document& doc() const { return state->doc; }
};

// Names are bytes in files; the window writes UTF-8, old files may hold
// Latin-1.
// Names decoded as everywhere else: UTF-8, or Windows-1252 for an older file.
py::str text(const std::string& bytes) {
    return py::str(utf8Text(bytes));
}

py::object refOf(const StatePtr& state, Sphere* s) {
    if (!s) return py::none();
    return py::cast(SphereRef{state, s, state->serialOf(s)});
}

struct AutomatonRef {
    StatePtr state;
    Document& doc() const {
        state->checkIdle();
        return state->doc;
    }
};

// One traced point's closed path.
struct PathRef {
    py::object sphere;
    int point;
    py::array xyz;
};

[[noreturn]] void fileError(const char* action, const std::string& path, const DocResult& r) {
    const std::string text =
        values::sentence(std::string("Cannot ") + action + " " + path + ": " + r.why() + ".");
    std::error_code ec;
    if (std::string(action) == "read" && !std::filesystem::exists(path, ec))
        PyErr_SetString(PyExc_FileNotFoundError, text.c_str());
    else
        PyErr_SetString(PyExc_OSError, text.c_str());
    throw py::error_already_set();
}

std::string pathText(const py::object& path) {
    return values::filePath(path, "path");
}

// A sphere given where one is expected, or one line saying what was given.
SphereRef sphereArg(const py::handle& v, const std::string& argument) {
    if (!py::isinstance<SphereRef>(v)) values::wrongType(argument, "a rotundel.Sphere", v);
    return v.cast<SphereRef>();
}

// The angles (z, x) of an axis, refused in one line unless a pair.
std::pair<double, double> axisPair(const py::handle& v) {
    if (!py::isinstance<py::sequence>(v) || py::isinstance<py::str>(v))
        values::wrongType("axis", "a pair of angles (z, x) in degrees", v);
    auto pair = py::reinterpret_borrow<py::sequence>(v);
    if (py::len(pair) != 2) throw py::value_error("Axis is a pair of angles (z, x) in degrees.");
    return {values::angle(pair[0], "The rotation about the parent axis"),
            values::angle(pair[1], "The rotation about the perpendicular axis")};
}

int pointIndex(const py::handle& v) {
    const long long i = values::whole(v, "index");
    if (i < -1000 || i > 1000)
        throw py::index_error("There is no point " + py::str(v).cast<std::string>() +
                              ": a sphere has at most six.");
    return static_cast<int>(i);
}

AutomatonRef load(const py::object& file) {
    const std::string path = pathText(file);
    auto state = std::make_shared<AutomatonState>();
    DocResult r = state->doc.openDocument(path);
    if (!r) fileError("read", path, r);
    std::error_code ec;
    state->folder = std::filesystem::absolute(path, ec).parent_path().string();
    state->path = path;
    return {state};
}

AutomatonRef newAutomaton() {
    auto state = std::make_shared<AutomatonState>();
    state->doc.newDocument();
    return {state};
}

// Rename with the document's rules for names that files link by.
void rename(const SphereRef& ref, const std::string& name) {
    Document& doc = ref.doc();
    if (!doc.renameSphere(ref.get(), name)) throw py::value_error(doc.lastError());
}

void setRate(const SphereRef& ref, const py::handle& value) {
    Sphere& s = ref.get();
    Rational r = values::factor(value, "rate");
    if (std::string why = rules::rateFixed(ref.doc(), s); !why.empty()) throw py::value_error(why);
    s.rollingRate = r;
    ref.state->geometryChanged();
}

void setRadius(const SphereRef& ref, const py::handle& value) {
    Sphere& s = ref.get();
    Rational r = values::factor(value, "radius");
    if (std::string why = rules::radiusFixed(ref.doc(), s); !why.empty())
        throw py::value_error(why);
    s.radiusFactor = r;
    ref.state->geometryChanged(true);
}

void setReference(const SphereRef& ref, const SphereRef& value, int kind) {
    Sphere& s = ref.get();
    Sphere& to = value.get();
    Document& doc = ref.doc();
    if (value.state != ref.state)
        throw py::value_error("A reference must be a sphere of the same automaton.");
    if (std::string why = rules::referenceRefusal(doc, s, to, kind); !why.empty())
        throw py::value_error(why);
    doc.selectedSphere = &s;
    attach(s, to, kind);
    ref.state->geometryChanged(kind == kRadius);
}

py::object createChild(const SphereRef& ref, const py::object& name, const py::object& radius,
                       const py::object& rate, bool inside, bool anticlockwise,
                       const py::object& axis, const py::object& initialRevolution) {
    Sphere& parent = ref.get();
    Document& doc = ref.doc();
    // The values are read here; the document checks its rules on them
    // before it makes anything.
    SphereSettings settings;
    if (!radius.is_none()) settings.radius = values::factor(radius, "radius");
    if (!rate.is_none()) settings.rate = values::factor(rate, "rate");
    settings.inside = inside;
    settings.antiClockwise = anticlockwise;
    settings.axisZ = settings.axisX = 0.0;
    if (!axis.is_none()) std::tie(settings.axisZ, settings.axisX) = axisPair(axis);
    if (!initialRevolution.is_none())
        settings.initialRevolution =
            values::angle(initialRevolution, "The initial revolution angle");
    if (!name.is_none()) settings.name = values::text(name, "name");
    Sphere* s = doc.createSphere(&parent, settings);
    if (!s) throw py::value_error(doc.lastError());
    ref.state->geometryChanged(true);
    return refOf(ref.state, s);
}

void destroy(const SphereRef& ref) {
    Sphere& s = ref.get();
    Document& doc = ref.doc();
    doc.selectedSphere = &s;
    doc.destroySphere();
    ref.state->forgetDestroyed();
}

py::list children(const SphereRef& ref) {
    py::list out;
    for (Sphere* c = ref.get().firstChild(); c; c = c->nextChild()) out.append(refOf(ref.state, c));
    return out;
}

SpherePoint& pointAt(const SphereRef& ref, int index, bool forChange) {
    Sphere& s = ref.get();
    if (index < 0) index += s.pointCount();
    if (index < 0 || index >= s.pointCount())
        throw py::index_error(s.name + " has no point " + std::to_string(index) + ".");
    if (forChange)
        if (std::string why = rules::pointChangeRefusal(index); !why.empty())
            throw py::value_error(why);
    return s.points[static_cast<std::size_t>(index)];
}

py::object pointTuple(const SpherePoint& p) {
    static py::object type =
        py::module_::import("collections").attr("namedtuple")("Point", "angle_z angle_x distance");
    return type(p.pointAngleZ, p.pointAngleX, p.quantumDistance);
}

// The point with the coordinates given (None keeps one), checked as the
// Points page's ranges check them.
SpherePoint movedPoint(SpherePoint p, const py::object& z, const py::object& x,
                       const py::object& d) {
    if (!z.is_none()) p.pointAngleZ = values::angle(z, "The rotation about the sphere axis");
    if (!x.is_none()) p.pointAngleX = values::angle(x, "The rotation about the perpendicular axis");
    if (!d.is_none()) p.quantumDistance = values::within(d, 1, 7, "The distance");
    return p;
}

// A property of the sphere record that edits only how it looks.
template <class T>
void looks(py::class_<SphereRef>& c, const char* name, T Sphere::*field, const char* doc) {
    c.def_property(
        name, [field](const SphereRef& r) { return r.get().*field != 0; },
        [field](const SphereRef& r, bool on) {
            r.get().*field = on ? 1 : 0;
            r.state->appearanceChanged();
        },
        doc);
}

// One of the dynamic switches: they change what the paths are.
void dynamicFlag(py::class_<SphereRef>& c, const char* name, int Sphere::*field, const char* doc) {
    c.def_property(
        name, [field](const SphereRef& r) { return r.get().*field != 0; },
        [field](const SphereRef& r, bool on) {
            r.get().*field = on ? 1 : 0;
            r.state->geometryChanged();
        },
        doc);
}

py::list paths(const AutomatonRef& a) {
    std::shared_ptr<PathStore> store = a.state->paths();
    py::list out;
    for (PathStore::Entry& e : store->entries) {
        // The array looks into the store's memory; its base keeps the store.
        auto* keep = new std::shared_ptr<PathStore>(store);
        py::capsule base(keep, [](void* p) { delete static_cast<std::shared_ptr<PathStore>*>(p); });
        py::array xyz(
            py::dtype::of<double>(),
            {static_cast<py::ssize_t>(e.xyz.size()), static_cast<py::ssize_t>(3)},
            {static_cast<py::ssize_t>(sizeof(Vec3)), static_cast<py::ssize_t>(sizeof(double))},
            reinterpret_cast<const double*>(e.xyz.data()), base);
        py::detail::array_proxy(xyz.ptr())->flags &= ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
        py::object sphere =
            a.state->alive(e.sphere, e.serial) ? refOf(a.state, e.sphere) : py::none();
        out.append(PathRef{sphere, e.point, xyz});
    }
    return out;
}

py::list curvesOf(const AutomatonRef& a) {
    return designs::curves(*a.state, [&a](Sphere* s) { return refOf(a.state, s); });
}

// The facts of `rotundel info --json`, with exact values as Fractions.
py::object info(const AutomatonRef& a) {
    Document& doc = a.doc();
    a.state->settle();
    std::string json;
    a.state->interruptible([&] { json = AutomatonReport(doc).json(); }, true);
    py::object facts = py::module_::import("json").attr("loads")(json);
    std::function<py::object(py::handle, const std::string&)> exact =
        [&](py::handle v, const std::string& key) -> py::object {
        if (py::isinstance<py::dict>(v)) {
            py::dict out;
            for (auto [k, item] : py::reinterpret_borrow<py::dict>(v))
                out[k] = exact(item, k.cast<std::string>());
            return out;
        }
        if (py::isinstance<py::list>(v)) {
            py::list out;
            for (py::handle item : v) out.append(exact(item, key));
            return out;
        }
        const bool fractionKey = key == "radiusFactor" || key == "rollingRate" ||
                                 key.find("period") != std::string::npos ||
                                 key.find("Period") != std::string::npos;
        if (fractionKey && py::isinstance<py::str>(v))
            return values::fraction(v.cast<std::string>());
        return py::reinterpret_borrow<py::object>(v);
    };
    py::object out = exact(facts, "");
    // What each traced curve is, unless the report already says.
    // The report's own curve facts name spheres by name; these hold the
    // spheres themselves.
    out["curves"] = curvesOf(a);
    return out;
}

std::string sphereRepr(const SphereRef& r) {
    if (!r.state->alive(r.sphere, r.serial)) return "<rotundel.Sphere (destroyed)>";
    return "<rotundel.Sphere " + py::repr(text(r.sphere->name)).cast<std::string>() + ">";
}

}  // namespace

PYBIND11_MODULE(rotundel, m) {
    values::makeWarningCategory(m);
    // Every refusal is told as a sentence, long values shortened.
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const py::value_error& e) {
            PyErr_SetString(PyExc_ValueError, values::sentence(e.what()).c_str());
        } catch (const py::type_error& e) {
            PyErr_SetString(PyExc_TypeError, values::sentence(e.what()).c_str());
        } catch (const py::index_error& e) {
            PyErr_SetString(PyExc_IndexError, values::sentence(e.what()).c_str());
        } catch (const py::key_error& e) {
            PyErr_SetString(PyExc_KeyError, values::sentence(e.what()).c_str());
        }
    });
    m.doc() = R"(Rolling-sphere automata and the closed curves their points trace.

An automaton is a tree of spheres that roll on one another with exact
rational radii and rates. Build one, sample its curves as NumPy arrays, and
write the files the rotundel program writes:

    import rotundel
    from fractions import Fraction
    a = rotundel.new()                     # root "A" with child "B"
    c = a.root.children[0].create_child(radius=Fraction(1, 3), rate="3/2")
    c.add_point(angle_z=0, angle_x=90, distance=1)
    xyz = a.paths()[-1].xyz                # (n, 3) array of the curve
    a.export("curve.stl")                  # tubes, as `rotundel export` writes

Factors (radius, rate) take a fractions.Fraction, an int or a string such
as "3/2" or "2 4/6". Refused values raise ValueError with the window's
message; files that cannot be read or written raise OSError.)";

    py::class_<PathRef>(m, "Path", "The closed path of one marked point.")
        .def_readonly("sphere", &PathRef::sphere,
                      "The sphere that carries the point (None once destroyed).")
        .def_readonly("point", &PathRef::point, "The point's index in the sphere's list.")
        .def_readonly("xyz", &PathRef::xyz,
                      "Positions over one period, a read-only (n, 3) float64 NumPy array that "
                      "shares the program's memory. The placement works in single precision: "
                      "xyz.astype(numpy.float32) gives exactly the numbers of the CSV export.")
        .def("__repr__", [](const PathRef& p) {
            return "<rotundel.Path " + py::repr(p.sphere).cast<std::string>() + " point " +
                   std::to_string(p.point) + ", " + std::to_string(py::len(p.xyz)) + " samples>";
        });

    py::class_<SphereRef> sphere(m, "Sphere",
                                 "A sphere of an automaton. Handles stay valid until the sphere "
                                 "is destroyed; after that every use raises ValueError.");
    sphere
        .def_property(
            "name", [](const SphereRef& r) { return text(r.get().name); },
            [](const SphereRef& r, const py::handle& n) {
                rename(r, values::text(n, "name"));
                r.state->appearanceChanged();
            },
            "The sphere's name, unique within the automaton.")
        .def_property_readonly(
            "alive", [](const SphereRef& r) { return r.state->alive(r.sphere, r.serial); },
            "False once the sphere has been destroyed.")
        .def_property_readonly(
            "parent", [](const SphereRef& r) { return refOf(r.state, r.get().parent); },
            "The sphere this one rolls on (None for the root).")
        .def_property_readonly("children", &children, "The spheres rolling on this one, in order.")
        .def_property(
            "radius", [](const SphereRef& r) { return values::fraction(r.get().radiusFactor); },
            &setRadius, "Radius as a multiple X of the size reference's radius (exact).")
        .def_property(
            "rate", [](const SphereRef& r) { return values::fraction(r.get().rollingRate); },
            &setRate, "Rolling rate as a multiple X of the time reference's (exact).")
        .def_property(
            "radius_reference",
            [](const SphereRef& r) { return refOf(r.state, r.get().radiusReference); },
            [](const SphereRef& r, const py::handle& v) {
                setReference(r, sphereArg(v, "radius_reference"), kRadius);
            },
            "The sphere whose radius this one's radius multiplies.")
        .def_property(
            "time_reference",
            [](const SphereRef& r) { return refOf(r.state, r.get().timeReference); },
            [](const SphereRef& r, const py::handle& v) {
                setReference(r, sphereArg(v, "time_reference"), kTime);
            },
            "The sphere whose rolling this one's rate multiplies.")
        .def_property(
            "inside", [](const SphereRef& r) { return r.get().inside != 0; },
            [](const SphereRef& r, bool on) {
                r.get().inside = on ? 1 : 0;
                r.state->geometryChanged(true);
            },
            "Rolls inside its parent rather than outside.")
        .def_property(
            "anticlockwise", [](const SphereRef& r) { return r.get().antiClockwise != 0; },
            [](const SphereRef& r, bool on) {
                r.get().antiClockwise = on ? 1 : 0;
                r.state->geometryChanged();
            },
            "Rolls anti-clockwise rather than clockwise.")
        .def_property(
            "axis",
            [](const SphereRef& r) {
                return py::make_tuple(r.get().axisAngleZ, r.get().axisAngleX);
            },
            [](const SphereRef& r, const py::handle& v) {
                Sphere& s = r.get();
                const auto [z, x] = axisPair(v);
                s.axisAngleZ = z;
                s.axisAngleX = x;
                r.state->geometryChanged();
            },
            "Rotations (about the parent axis, about the perpendicular axis), degrees 0 to 360.")
        .def_property(
            "initial_revolution", [](const SphereRef& r) { return r.get().initialRevolution; },
            [](const SphereRef& r, py::handle v) {
                Sphere& s = r.get();
                s.initialRevolution = values::angle(v, "The initial revolution angle");
                r.state->geometryChanged();
            },
            "Where around its parent the sphere stands at time 0, degrees.")
        .def_property(
            "initial_spin", [](const SphereRef& r) { return r.get().initialSpin; },
            [](const SphereRef& r, py::handle v) {
                Sphere& s = r.get();
                s.initialSpin = values::angle(v, "The initial spin angle");
                r.state->geometryChanged();
            },
            "The sphere's turn about its own axis at time 0, degrees.")
        .def_property(
            "colour", [](const SphereRef& r) { return values::colourText(r.get().color); },
            [](const SphereRef& r, py::handle v) {
                Sphere& s = r.get();
                s.color = values::colour(v);
                r.state->appearanceChanged();
            },
            "\"#rrggbb\"; set it from that or from (red, green, blue), 0 to 255.")
        .def_property(
            "surface",
            [](const SphereRef& r) { return std::string(values::surfaceName(r.get().surface)); },
            [](const SphereRef& r, const py::handle& v) {
                Sphere& s = r.get();
                s.surface = values::surface(values::text(v, "surface"));
                r.state->appearanceChanged();
            },
            "\"solid\", \"transparent\", \"mesh\", \"texture\" or \"none\".")
        .def_property(
            "texture", [](const SphereRef& r) { return text(r.get().textureFile); },
            [](const SphereRef& r, const py::handle& value) {
                Sphere& s = r.get();
                const std::string v = values::text(value, "texture");
                if (v.find_first_of("\r\n") != std::string::npos)
                    throw py::value_error("A texture name must fit on one line.");
                s.textureFile = v;
                r.state->appearanceChanged();
            },
            "The picture file of the texture surface, looked for beside the document.")
        .def_property_readonly(
            "points",
            [](const SphereRef& r) {
                py::list out;
                for (const SpherePoint& p : r.get().points) out.append(pointTuple(p));
                return out;
            },
            "The marked points as (angle_z, angle_x, distance); point 0 is the centre.")
        .def(
            "add_point",
            [](const SphereRef& r, py::object z, py::object x, py::object d) {
                Sphere& s = r.get();
                if (std::string why = rules::addPointRefusal(s); !why.empty())
                    throw py::value_error(why);
                SpherePoint p = movedPoint(SpherePoint{}, z, x, d);
                s.addPoint(p.pointAngleZ, p.pointAngleX, p.quantumDistance);
                r.state->geometryChanged();
                return s.pointCount() - 1;
            },
            py::kw_only(), py::arg("angle_z") = 0, py::arg("angle_x") = 0, py::arg("distance") = 1,
            "Marks a point (at most six per sphere) and returns its index.")
        .def(
            "set_point",
            [](const SphereRef& r, const py::handle& i, py::object z, py::object x,
               py::object d) {
                SpherePoint& p = pointAt(r, pointIndex(i), true);
                SpherePoint moved = movedPoint(p, z, x, d);
                p.pointAngleZ = moved.pointAngleZ;
                p.pointAngleX = moved.pointAngleX;
                p.quantumDistance = moved.quantumDistance;
                r.state->geometryChanged();
            },
            py::arg("index"), py::kw_only(), py::arg("angle_z") = py::none(),
            py::arg("angle_x") = py::none(), py::arg("distance") = py::none(),
            "Moves point index (not 0, the centre); angles in degrees, distance in radii 1 to 7.")
        .def(
            "remove_point",
            [](const SphereRef& r, const py::handle& i) {
                const int index = pointIndex(i);
                pointAt(r, index, true);
                Sphere& s = r.get();
                s.removePoint(static_cast<std::size_t>(index < 0 ? index + s.pointCount() : index));
                r.state->geometryChanged();
            },
            py::arg("index"), "Removes point index (not 0, the centre).")
        .def("create_child", &createChild, py::kw_only(), py::arg("name") = py::none(),
             py::arg("radius") = py::none(), py::arg("rate") = py::none(),
             py::arg("inside") = false, py::arg("anticlockwise") = false,
             py::arg("axis") = py::none(), py::arg("initial_revolution") = py::none(),
             R"(Creates a sphere rolling on this one and returns it.

Unset values are what CREATE in the window gives: the next free letter as
name, radius 1/2 of this sphere, rate 1 of the time master, the centre as
its one point, and a start angle spread from identical siblings.)")
        .def("destroy", &destroy, "Destroys this sphere and every sphere below it.")
        .def("__repr__", &sphereRepr)
        .def(
            "__eq__",
            [](const SphereRef& a, const SphereRef& b) {
                return a.state == b.state && a.serial == b.serial;
            },
            py::is_operator())
        .def("__hash__", [](const SphereRef& r) { return std::hash<std::uint64_t>()(r.serial); });
    looks(sphere, "show_centres_line", &Sphere::showCentersLine, "Draws the line between centres.");
    looks(sphere, "show_perpendicular_axis", &Sphere::showPerpendicularAxis,
          "Draws the perpendicular axis.");
    looks(sphere, "show_revolution_axis", &Sphere::showRevolutionAxis,
          "Draws the revolution axis.");
    looks(sphere, "show_great_circle", &Sphere::showGreatCircle, "Draws the great circle.");
    looks(sphere, "show_rotation_axis", &Sphere::showRotationAxis, "Draws the rotation axis.");
    looks(sphere, "show_point_paths", &Sphere::showPointPaths, "Draws the paths of the points.");
    dynamicFlag(sphere, "dynamic", &Sphere::dynamic, "Turns the axes from frame to frame.");
    dynamicFlag(sphere, "dynamic_axis_z", &Sphere::dynamicAxisZ, "Turns the parent-axis rotation.");
    dynamicFlag(sphere, "dynamic_axis_x", &Sphere::dynamicAxisX,
                "Turns the perpendicular rotation.");

    py::class_<AutomatonRef>(m, "Automaton", "A tree of rolling spheres with its view settings.")
        .def_property_readonly(
            "root", [](const AutomatonRef& a) { return refOf(a.state, a.doc().root); },
            "The root sphere (None once destroyed).")
        .def_property_readonly(
            "spheres",
            [](const AutomatonRef& a) {
                py::list out;
                for (Sphere* s : treeSpheres(a.doc())) out.append(refOf(a.state, s));
                return out;
            },
            "Every sphere, a parent before its children.")
        .def(
            "__getitem__",
            [](const AutomatonRef& a, const py::handle& key) {
                const std::string name = values::text(key, "a sphere's name");
                Sphere* s = a.doc().findSphereByName(name);
                // A name an older program wrote in Windows-1252 is found by
                // the text Python shows for it.
                for (Sphere* t : a.doc().sphereTable)
                    if (!s && t && utf8Text(t->name) == name) s = t;
                if (!s) throw py::key_error("There is no sphere named " + name + ".");
                return refOf(a.state, s);
            },
            "The sphere of that name.")
        .def_property_readonly(
            "time_master", [](const AutomatonRef& a) { return refOf(a.state, a.doc().timeMaster); },
            "The sphere that sets the clock.")
        .def_property(
            "stationary",
            [](const AutomatonRef& a) { return refOf(a.state, a.doc().stationarySphere); },
            [](const AutomatonRef& a, const py::handle& v) {
                const SphereRef s = sphereArg(v, "stationary");
                Sphere& target = s.get();
                if (s.state != a.state)
                    throw py::value_error("The sphere belongs to another automaton.");
                a.doc().stationarySphere = &target;
                a.state->geometryChanged();
            },
            "The sphere the paths are seen from.")
        .def_property(
            "accuracy", [](const AutomatonRef& a) { return a.doc().pathAccuracy; },
            [](const AutomatonRef& a, py::handle v) {
                Document& doc = a.doc();
                if (!py::isinstance<py::int_>(v) || py::isinstance<py::bool_>(v))
                    throw py::type_error(rules::kAccuracy);
                long long n = v.cast<py::int_>() < py::int_(0)     ? -1
                              : v.cast<py::int_>() > py::int_(100) ? 101
                                                                   : v.cast<long long>();
                if (std::string why = rules::accuracyRefusal(n); !why.empty())
                    throw py::value_error(why);
                doc.pathAccuracy = static_cast<int>(n);
                doc.setPathAccuracy();
                a.state->geometryChanged();
            },
            "Path accuracy 0 to 100: finer sampling as it rises.")
        .def(
            "save",
            [](const AutomatonRef& a, const py::object& file) {
                const std::string path = pathText(file);
                a.state->settle();
                if (!a.doc().root) throw py::value_error(kNothingToSave);
                DocResult r = a.doc().saveDocument(path);
                if (!r) fileError("write", path, r);
            },
            py::arg("path"), "Writes the automaton as a .one file, as Save does.")
        .def(
            "create_root",
            [](const AutomatonRef& a) {
                Document& doc = a.doc();
                Sphere* s = doc.createSphere(nullptr, SphereSettings{});
                if (!s) throw py::value_error(doc.lastError());
                a.state->geometryChanged(true);
                return refOf(a.state, s);
            },
            "After the root was destroyed: a new root, as CREATE makes it in an empty window.")
        .def("paths", &paths, R"(The closed path of every traced point (list of Path).

Computed as the first frame after the last change, with other Python
threads free to run; Ctrl+C stops it with KeyboardInterrupt.)")
        .def("info", &info,
             "The facts of `rotundel info --json`, exact values as Fractions, and under \"curves\" "
             "what curves() says.")
        .def("curves", &curvesOf, R"(What each traced point's closed curve is (list of dict).

period (Fraction; None when it never closes), master_laps and sphere_laps
(laps of the time master and of the point's sphere in one period), symmetry
(k of the exact k-fold symmetry about the stationary axis; None for a circle
or when there is none), circle, lobes, mirror, length, reach (largest
distance from the origin), thickness (the largest tube radius that does not
cross itself), knot (its name, None unless the crossings settle it),
knot_status ("named", "not settled", "not in the table", "not found"; None
for a curve that meets itself), alexander_of (the knot whose polynomial an
unsettled knot has), knot_crossings, alexander, determinant, links and a
one-line description.)")
        .def(
            "export",
            [](const AutomatonRef& a, const py::object& file, const py::kwargs& options) {
                a.state->settle();
                return Exports::write(*a.state, pathText(file), options);
            },
            py::arg("path"), Exports::help())
        .def(
            "render",
            [](const AutomatonRef& a, const py::object& file, const py::kwargs& options) {
                a.state->settle();
                return Exports::render(*a.state, pathText(file), options);
            },
            py::arg("path"),
            "Renders the first frame as an image (.png .jpg .bmp .tif), without a display; "
            "width and height in pixels (640 x 480; one alone keeps 4:3), curves_only=True "
            "for the traced curves alone.")
        .def(
            "_repr_html_",
            [](const AutomatonRef& a) {
                a.state->settle();
                // The page export() writes, in a frame of its own: a notebook's
                // scripts and styles cannot reach it, nor it theirs.
                std::string srcdoc;
                for (char c : Exports::bytesOf(*a.state, ".html")) {
                    if (c == '&')
                        srcdoc += "&amp;";
                    else if (c == '"')
                        srcdoc += "&quot;";
                    else
                        srcdoc += c;
                }
                return "<iframe title=\"Rotundel: the curves in three dimensions\" "
                       "style=\"width: 100%; height: 540px; border: 0\" srcdoc=\"" +
                       srcdoc + "\"></iframe>";
            },
            "The web page export() writes, framed for a notebook.")
        .def(
            "_repr_png_",
            [](const AutomatonRef& a) {
                a.state->settle();
                return py::bytes(Exports::bytesOf(*a.state, ".png"));
            },
            "The picture render() makes, for notebooks that show no scripts.")
        .def(
            "show",
            [](const AutomatonRef& a) {
                a.state->settle();
                const py::module_ tempfile = py::module_::import("tempfile");
                // Kept after Python ends: the browser reads it when it will.
                const std::string folder =
                    py::str(tempfile.attr("mkdtemp")(py::arg("prefix") = "rotundel-"));
                const std::string name = a.state->path.empty()
                                             ? std::string("automaton")
                                             : std::filesystem::path(a.state->path).stem().string();
                const std::string path =
                    (std::filesystem::path(folder) / (name + ".html")).string();
                Exports::write(*a.state, path, py::kwargs());
                const py::object pathlib = py::module_::import("pathlib");
                const py::object uri = pathlib.attr("Path")(path).attr("as_uri")();
                py::module_::import("webbrowser").attr("open")(uri);
                return path;
            },
            "Writes the web page to a temporary file, opens it in the system's browser and "
            "returns the file's path.")
        .def("__repr__", [](const AutomatonRef& a) {
            return "<rotundel.Automaton of " + std::to_string(a.state->doc.sphereCount) +
                   " spheres>";
        });

    m.def("new", &newAutomaton, "The starter automaton: root \"A\" and its child \"B\".");
    m.def("load", &load, py::arg("path"), "Reads a .one file.");
    m.def(
        "random", [](const py::handle& seed) { return AutomatonRef{designs::random(seed)}; },
        py::arg("seed"),
        "A random automaton that traces good-looking curves; the same seed gives the same "
        "automaton on every machine.");
    m.def(
        "design",
        [](const py::handle& symmetry, const py::handle& levels, const py::handle& count) {
            py::list out;
            for (auto& state : designs::design(symmetry, levels, count))
                out.append(AutomatonRef{state});
            return out;
        },
        py::kw_only(), py::arg("symmetry"), py::arg("levels") = 3, py::arg("count") = 12,
        "Automata of levels spheres (2 to 4) whose traced point has exactly symmetry-fold (2 to "
        "24) symmetry, simplest first, one of each shape.");
}
