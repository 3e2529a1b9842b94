// Automata made to order (random, by symmetry) and what each traced curve is,
// for the Python module.
#include "designs.h"

#include <pybind11/stl.h>

#include "chaindocument.h"
#include "curvedesign.h"
#include "curveinvariants.h"
#include "sphere.h"
#include "values.h"

namespace py = pybind11;

namespace designs {

namespace {

// The chain built with CREATE, so that it is the document the window would
// show: table slots, names, level colours and roles as usual.
std::shared_ptr<AutomatonState> build(const ChainPlan& plan) {
    auto state = std::make_shared<AutomatonState>();
    Document& doc = state->doc;
    buildChain(doc, plan, [&doc](Sphere* parent) {
        doc.selectedSphere = parent;  // none: the root of the empty document
        return doc.createSphere();
    });
    raiseAccuracyToShow(doc);
    doc.applyEdit("Edit", 0, kRewind | kPlace | kFitCamera, [] {});
    doc.setModifiedFlag(false);
    return state;
}

long long wholeIn(const py::handle& v, long long low, long long high, const char* what) {
    if (!py::isinstance<py::int_>(v) || py::isinstance<py::bool_>(v) ||
        py::reinterpret_borrow<py::int_>(v) < py::int_(low) ||
        py::reinterpret_borrow<py::int_>(v) > py::int_(high))
        throw py::value_error(std::string(what) + " must be a whole number from " +
                              std::to_string(low) + " to " + std::to_string(high) + ".");
    return v.cast<long long>();
}

py::object exact(const BigRational& r) {
    return values::fraction(toString(r));
}

}  // namespace

std::shared_ptr<AutomatonState> random(const py::handle& seed) {
    const char* why = "The seed must be a whole number from 0 to 2**64 - 1.";
    if (!py::isinstance<py::int_>(seed) || py::isinstance<py::bool_>(seed))
        throw py::value_error(why);
    std::uint64_t n = 0;
    try {
        n = seed.cast<std::uint64_t>();
    } catch (const py::cast_error&) {
        throw py::value_error(why);
    }
    return build(randomChain(n));
}

std::vector<std::shared_ptr<AutomatonState>> design(const py::handle& symmetry,
                                                    const py::handle& levels,
                                                    const py::handle& count) {
    const int k = static_cast<int>(wholeIn(symmetry, 2, 24, "symmetry"));
    const int l = static_cast<int>(wholeIn(levels, 2, 4, "levels"));
    const int n = static_cast<int>(wholeIn(count, 1, 1000, "count"));
    std::vector<std::shared_ptr<AutomatonState>> out;
    for (const ChainPlan& plan : symmetricChains(k, l, n)) out.push_back(build(plan));
    return out;
}

py::list curves(AutomatonState& state, const std::function<py::object(Sphere*)>& refOf) {
    std::vector<CurveInvariants> found = state.withPaths([&state] {
        std::vector<CurveInvariants> measured;
        state.interruptible([&] { measured = curveInvariants(state.doc); });
        return measured;
    });
    py::list out;
    for (const CurveInvariants& c : found) {
        const CurveSymmetry& s = c.symmetry;
        py::dict d;
        Sphere* sphere =
            c.slot >= 0 ? state.doc.sphereTable[static_cast<std::size_t>(c.slot)] : nullptr;
        d["sphere"] = refOf(sphere);
        d["point"] = c.point;
        d["closed"] = s.kind != CurveSymmetry::None;
        d["period"] = s.kind == CurveSymmetry::None ? py::none() : exact(s.period);
        d["master_laps"] = exact(c.masterLaps);
        d["sphere_laps"] = exact(c.sphereLaps);
        // An integer k, or None for a circle (every rotation) or no claim.
        d["symmetry"] = s.kind == CurveSymmetry::Order ? py::object(py::int_(s.order)) : py::none();
        d["circle"] = s.kind == CurveSymmetry::Circle;
        d["lobes"] = c.lobes;
        d["mirror"] = c.mirror;
        d["length"] = c.length;
        d["reach"] = c.reach;
        d["thickness"] = c.thickness;
        d["axis"] = py::make_tuple(s.axis.x, s.axis.y, s.axis.z);
        d["crosses_itself"] = c.crosses;
        d["cusp"] = c.cusp;
        d["knot"] = c.knotFound && !c.knot.empty() ? py::object(py::str(c.knot)) : py::none();
        const char* status = knotStatus(c);
        d["knot_status"] = status ? py::object(py::str(status)) : py::none();
        d["alexander_of"] =
            c.knotPolynomialOf.empty() ? py::none() : py::object(py::str(c.knotPolynomialOf));
        d["knot_crossings"] = status ? py::object(py::int_(c.knotCrossings)) : py::none();
        d["alexander"] = c.knotFound ? py::object(py::cast(c.alexander)) : py::none();
        d["determinant"] = c.knotFound ? py::object(py::int_(c.determinant)) : py::none();
        py::list links;
        for (const CurveLink& l : c.links) {
            py::dict link;
            Sphere* other = nullptr;
            for (Sphere* x : state.doc.sphereTable)
                if (x && x->name == l.sphere) other = x;
            link["sphere"] = refOf(other);
            link["point"] = l.point;
            link["linking_number"] = l.settled ? py::object(py::int_(l.number)) : py::none();
            links.append(link);
        }
        d["links"] = links;
        d["description"] = describeCurve(c, state.doc.timeMaster ? state.doc.timeMaster->name : "");
        out.append(d);
    }
    return out;
}

}  // namespace designs
