// export() and render(): the command line's writers, fed from the paths the
// module has computed, so that a script's files equal the program's.
#include "exports.h"

#include <cctype>
#include <optional>

#include "atomicfile.h"
#include "automatonstate.h"
#include "camerarig.h"
#include "framerenderer.h"
#include "headlessrenderer.h"
#include "imagefile.h"
#include "pathcsv.h"
#include "pathmesh.h"
#include "pathsvg.h"

namespace py = pybind11;

namespace Exports {

namespace {

bool endsWith(const std::string& s, const std::string& tail) {
    if (s.size() < tail.size()) return false;
    for (std::size_t i = 0; i < tail.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - tail.size() + i])) != tail[i])
            return false;
    return true;
}

[[noreturn]] void writeFailed(const std::string& path, const std::string& why) {
    std::string text = "Cannot write " + path + ": " + why;
    if (text.back() != '.') text += '.';
    PyErr_SetString(PyExc_OSError, text.c_str());
    throw py::error_already_set();
}

double number(const py::handle& v, const char* what) {
    if (py::isinstance<py::bool_>(v) ||
        !(py::isinstance<py::int_>(v) || py::isinstance<py::float_>(v)))
        throw py::type_error(std::string(what) + " must be a number.");
    return v.cast<double>();
}

}  // namespace

const char* help() {
    return R"(Writes the paths of the first frame to path; its extension picks the format:

  .csv   the sampled positions (sphere,point,sample,x,y,z)
  .one   the automaton itself (save as)
  .svg   the paths projected through the document's camera
  .obj .ply .glb   one closed tube per traced point
  .stl .3mf        one closed solid, the union of the tubes

Mesh options: tube_radius (automaton units; default 0.75% of the model's
largest dimension) and sides (3 to 64, default 7; .obj .ply .glb).)";
}

void write(AutomatonState& state, const std::string& path, const py::kwargs& options) {
    const bool csv = endsWith(path, ".csv"), one = endsWith(path, ".one"),
               svg = endsWith(path, ".svg");
    const bool mesh = PathMesh::formatForPath(path) != nullptr;
    if (!csv && !one && !svg && !mesh)
        throw py::value_error("export cannot write " + path +
                              ": it writes .csv, .one, .svg, .obj, .ply, .stl, .glb or .3mf.");
    MeshOptions meshOptions;
    for (auto [key, value] : options) {
        const std::string k = key.cast<std::string>();
        if (k == "tube_radius" && mesh && !value.is_none()) {
            double r = number(value, "tube_radius");
            if (!(r > 0) || r > 1e6) throw py::value_error("tube_radius needs a positive number.");
            meshOptions.tubeRadius = r;
        } else if (k == "sides" && mesh && !value.is_none()) {
            double n = number(value, "sides");
            if (n != static_cast<int>(n) || n < 3 || n > PathMesh::kMostSides)
                throw py::value_error("sides needs a whole number from 3 to 64.");
            meshOptions.sides = static_cast<int>(n);
        } else {
            throw py::value_error("export to " + path + " does not know the option " + k + ".");
        }
    }
    CRotundelDoc& doc = state.doc;
    if (one) {
        if (!doc.root)
            throw py::value_error(
                "An automaton without spheres cannot be saved: create a root first.");
        DocResult r = doc.SaveDocument(path);
        if (!r) writeFailed(path, r.reason.empty() ? r.message : r.message + " (" + r.reason + ")");
        return;
    }
    std::string error = state.withPaths([&]() -> std::string {
        if (svg) {
            constexpr int kWidth = 640, kHeight = 480;
            CameraRig rig;
            rig.fovy = CRotundelDoc::kViewFovy;
            CameraSetup camera = rig.mono(frameSettingsOf(doc).camera, kWidth, kHeight);
            return PathSvg::write(doc, camera, doc.cameraController.orientationMatrix(), kWidth,
                                  kHeight, path);
        }
        if (mesh) return PathMesh::write(doc, path, meshOptions);
        AtomicFile target(path);
        if (!target.open()) return target.error();
        PathCsv::write(doc, [&target](std::string_view text) { target.write(text); });
        if (!target.commit()) return target.error();
        return {};
    });
    if (!error.empty()) writeFailed(path, error);
}

void render(AutomatonState& state, const std::string& path, int width, int height) {
    constexpr int kLargest = 16384;
    if (width < 1 || width > kLargest || height < 1 || height > kLargest)
        throw py::value_error("The width and height must be whole numbers of pixels from 1 to " +
                              std::to_string(kLargest) + ".");
    auto format = ImageFile::formatForPath(path);
    if (!format)
        throw py::value_error("The image type is chosen by the extension of " + path +
                              ": .png, .jpg, .bmp or .tif.");
    CRotundelDoc& doc = state.doc;
    std::string why = state.withPaths([&]() -> std::string {
        std::string error;
        std::optional<RgbaImage> image;
        {
            AutomatonState::Busy busy(state);
            CameraRig rig;
            rig.fovy = CRotundelDoc::kViewFovy;
            doc.cameraController.setWindowSize(width, height);
            image =
                HeadlessRenderer::renderOnce(doc, frameSettingsOf(doc), rig, &doc.cameraController,
                                             width, height, state.folder, &error);
        }
        if (!image) return error;
        std::string bytes;
        error = ImageFile::encode(*image, *format, &bytes);
        if (!error.empty()) return error;
        AtomicFile file(path);
        if (file.open()) file.write(bytes);
        if (!file.commit()) return file.error();
        return {};
    });
    if (!why.empty()) writeFailed(path, why);
}

}  // namespace Exports
