// export() and render(): keyword arguments translated into a request of the
// export service the command line and the window use, so that a script's
// files and messages equal the program's.
#include "exports.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "automatonstate.h"
#include "document.h"
#include "exporter.h"
#include "values.h"

namespace py = pybind11;
using namespace pybind11::literals;

namespace Exports {

namespace {

const ExportOption* optionNamed(const std::string& name) {
    for (const ExportOption& o : Exporter::options())
        if (o.name == name) return &o;
    return nullptr;
}

// A keyword's value as the command line would have spelt it.
std::string valueText(const ExportOption& o, const py::handle& v) {
    const std::string keyword = "--" + o.name;
    if (o.value.empty()) throw py::type_error(keyword + " is a flag: give True or False.");
    if (py::isinstance<py::bool_>(v)) throw py::type_error(keyword + " needs a value, not a bool.");
    if (py::isinstance<py::int_>(v) || py::isinstance<py::float_>(v) || py::isinstance<py::str>(v))
        return py::str(v).cast<std::string>();
    throw py::type_error(keyword + " needs a number or a text such as \"" + o.value + "\".");
}

ExportRequest requestOf(const std::string& path, const py::kwargs& options) {
    ExportRequest request;
    request.output = path;
    for (auto [key, value] : options) {
        std::string name = key.cast<std::string>();
        for (char& c : name)
            if (c == '_') c = '-';
        const ExportOption* o = optionNamed(name);
        // An option the service does not know is refused by it, in the
        // words every front end gives.
        if (!o) {
            request.set(name, py::str(value).cast<std::string>());
            continue;
        }
        if (value.is_none()) continue;
        if (o->value.empty()) {
            if (!py::isinstance<py::bool_>(value))
                throw py::type_error("--" + name + " is a flag: give True or False.");
            if (value.cast<bool>()) request.set(name);
            continue;
        }
        request.set(name, valueText(*o, value));
    }
    return request;
}

std::string capitalised(std::string text) {
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = char(text[0] - 'a' + 'A');
    return text;
}

py::dict write(AutomatonState& state, const ExportRequest& request, Exporter::Command command) {
    // The service judges the request, in the words it gives every front end.
    if (std::string why = Exporter::check(request, command); !why.empty())
        throw py::value_error(capitalised(why));
    Document& doc = state.doc;
    if (Exporter::kindOf(request) == ExportKind::Automaton && !doc.root)
        throw py::value_error("An automaton without spheres cannot be saved: create a root first.");
    std::vector<std::string> said;
    ExportResult result = state.withPaths([&] {
        ExportContext context;
        context.pathsReady = true;
        context.documentFolder = state.folder;
        context.documentPath = state.path;
        // Told on the writing thread without the interpreter lock: kept,
        // and said once the file is written.
        context.tell = [&said](const std::string& m) { said.push_back(m); };
        ExportResult r;
        // Ctrl+C stops the writing (tubes, invariants) as it stops paths();
        // every writer looks at the stop last before its file takes its
        // name, after which the export has happened.
        state.interruptible([&] { r = Exporter::write(doc, request, context); }, false, &r.ok);
        return r;
    });
    if (result.ok) {
        py::list messages;
        for (const std::string& m : said) {
            values::warn(m);
            messages.append(m);
        }
        py::dict written;
        written["path"] = request.output;
        written["said"] = messages;
        return written;
    }
    // What the file system refuses is an OSError, memory that runs out a
    // MemoryError; anything else (what the automaton cannot give, values
    // out of range such as a margin wider than the page) is the script's
    // mistake.
    const std::string& e = result.error;
    const std::string message = values::sentence(capitalised(e));
    if (e.find("not enough memory") != std::string::npos) {
        PyErr_SetString(PyExc_MemoryError, message.c_str());
        throw py::error_already_set();
    }
    const bool fileSystem = e.rfind("cannot write", 0) == 0 ||
                            e.find("could not be written: ") != std::string::npos;
    if (!fileSystem || e.rfind("cannot export", 0) == 0) throw py::value_error(message);
    PyErr_SetString(PyExc_OSError, message.c_str());
    throw py::error_already_set();
}

}  // namespace

const char* help() {
    return R"(Writes the paths of the first frame to path; its extension picks the format:

  .csv   the sampled positions (sphere,point,sample,x,y,z)
  .one   the automaton itself (save as)
  .svg   the paths projected through the document's camera; plotter=True
         for a page in millimetres for pen plotters
  .gcode with plotter=True: the plotter page as G-code
  .obj .ply .glb   one closed tube per traced point
  .stl .3mf        one closed solid, the union of the tubes
  .thr   a sand-table track, beginning and ending at the centre or the rim
  .html  an interactive web page of the curves and spheres, one file

The keywords are the command line's options, - written _: meshes take
tube_radius (automaton units, a length such as "0.8mm" at the print size,
or "auto", the default: 0.75% of the model's largest dimension), resolution
("0.1mm", STL and 3MF), union (3MF), sides, max_triangles, size ("100mm")
or scale (a factor); plotter pages and G-code take page ("A4"),
landscape, margin ("10mm"), view ("top", "front", "side", "camera"),
tolerance ("0.02mm"), scale ("20mm" a unit instead of filling the page),
grid ("3x1") and verbose; G-code also pen_up ("G0 Z5"), pen_down
("G1 Z0"), feed (3000 mm a minute) and pen_change ("M0"; without it one
file per layer); tracks take point ("B:1" or "all"), tolerance (table
radii), start ("centre" or "rim") and preview ("track.png"); web pages
take max_bytes ("2MB").)";
}

py::dict write(AutomatonState& state, const std::string& path, const py::kwargs& options) {
    return write(state, requestOf(path, options), Exporter::Command::Export);
}

py::dict render(AutomatonState& state, const std::string& path, const py::kwargs& options) {
    return write(state, requestOf(path, options), Exporter::Command::Render);
}

std::string bytesOf(AutomatonState& state, const std::string& extension) {
    namespace fs = std::filesystem;
    const py::module_ tempfile = py::module_::import("tempfile");
    const std::string folder = py::str(tempfile.attr("mkdtemp")("prefix"_a = "rotundel-"));
    const std::string path = (fs::path(folder) / ("automaton" + extension)).string();
    std::string bytes;
    try {
        ExportRequest request;
        request.output = path;
        write(state, request,
              extension == ".png" ? Exporter::Command::Render : Exporter::Command::Export);
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } catch (...) {
        std::error_code ec;
        fs::remove_all(folder, ec);
        throw;
    }
    std::error_code ec;
    fs::remove_all(folder, ec);
    return bytes;
}

}  // namespace Exports
