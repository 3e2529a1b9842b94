// Tube meshes through Assimp's exporters.
#include "pathmesh.h"

#include <assimp/material.h>
#include <assimp/scene.h>

#include <algorithm>
#include <assimp/Exporter.hpp>
#include <assimp/IOStream.hpp>
#include <assimp/IOSystem.hpp>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <system_error>
#include <thread>

#include "atomicfile.h"
#include "relations.h"
#include "sphere.h"
#include "threemfmaterials.h"
#include "tubemesh.h"
#include "tubesizing.h"

namespace fs = std::filesystem;

namespace {
struct Tube {
    std::string name;
    std::uint32_t color;
    TubeMesh mesh;
};

aiColor4D colourOf(std::uint32_t c) {
    return {(c & 0xFF) / 255.0f, ((c >> 8) & 0xFF) / 255.0f, ((c >> 16) & 0xFF) / 255.0f, 1.0f};
}

// A scene that Assimp owns once built: its destructor frees the arrays.
// shading: vertex normals and colours, which STL has no place for.
std::unique_ptr<aiScene> sceneOf(const std::vector<Tube>& tubes, bool shading) {
    auto scene = std::make_unique<aiScene>();
    scene->mRootNode = new aiNode("Rotundel");
    const auto n = static_cast<unsigned>(tubes.size());
    scene->mNumMeshes = n;
    scene->mMeshes = new aiMesh*[n];
    scene->mNumMaterials = n;
    scene->mMaterials = new aiMaterial*[n];
    scene->mRootNode->mNumChildren = n;
    scene->mRootNode->mChildren = new aiNode*[n];
    for (unsigned i = 0; i < n; ++i) {
        const Tube& t = tubes[i];
        auto* material = new aiMaterial;
        aiString name(t.name);
        material->AddProperty(&name, AI_MATKEY_NAME);
        aiColor4D colour = colourOf(t.color);
        material->AddProperty(&colour, 1, AI_MATKEY_COLOR_DIFFUSE);
        scene->mMaterials[i] = material;

        auto* mesh = new aiMesh;
        mesh->mName = aiString(t.name);
        mesh->mMaterialIndex = i;
        mesh->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
        const auto nv = static_cast<unsigned>(t.mesh.vertices.size());
        mesh->mNumVertices = nv;
        mesh->mVertices = new aiVector3D[nv];
        if (shading) {
            mesh->mNormals = new aiVector3D[nv];
            mesh->mColors[0] = new aiColor4D[nv];
        }
        for (unsigned v = 0; v < nv; ++v) {
            const Vec3& p = t.mesh.vertices[v];
            const Vec3& q = t.mesh.normals[v];
            mesh->mVertices[v] = aiVector3D(static_cast<float>(p.x), static_cast<float>(p.y),
                                            static_cast<float>(p.z));
            if (!shading) continue;
            mesh->mNormals[v] = aiVector3D(static_cast<float>(q.x), static_cast<float>(q.y),
                                           static_cast<float>(q.z));
            mesh->mColors[0][v] = colour;
        }
        const auto nf = static_cast<unsigned>(t.mesh.triangleCount());
        mesh->mNumFaces = nf;
        mesh->mFaces = new aiFace[nf];
        for (unsigned f = 0; f < nf; ++f) {
            aiFace& face = mesh->mFaces[f];
            face.mNumIndices = 3;
            face.mIndices = new unsigned[3];
            for (unsigned k = 0; k < 3; ++k) face.mIndices[k] = t.mesh.triangles[3 * f + k];
        }
        scene->mMeshes[i] = mesh;

        auto* node = new aiNode(t.name);
        node->mParent = scene->mRootNode;
        node->mNumMeshes = 1;
        node->mMeshes = new unsigned[1]{i};
        scene->mRootNode->mChildren[i] = node;
    }
    return scene;
}

// Assimp's exporters write through the program's one save: every file an
// exporter opens (an OBJ's .mtl too) is an AtomicFile, and all of them get
// their names only once the whole export has succeeded.
class SavingStream : public Assimp::IOStream {
  public:
    explicit SavingStream(AtomicFile& file) : file_(file) {}
    size_t Read(void*, size_t, size_t) override { return 0; }
    size_t Write(const void* bytes, size_t size, size_t count) override {
        file_.write(std::string_view(static_cast<const char*>(bytes), size * count));
        return count;
    }
    aiReturn Seek(size_t offset, aiOrigin origin) override {
        int whence = origin == aiOrigin_SET   ? SEEK_SET
                     : origin == aiOrigin_CUR ? SEEK_CUR
                                              : SEEK_END;
        return file_.seek(static_cast<long long>(offset), whence) < 0 ? aiReturn_FAILURE
                                                                      : aiReturn_SUCCESS;
    }
    size_t Tell() const override { return static_cast<size_t>(file_.seek(0, SEEK_CUR)); }
    size_t FileSize() const override { return static_cast<size_t>(file_.size()); }
    void Flush() override {}

  private:
    AtomicFile& file_;
};

class SavingSystem : public Assimp::IOSystem {
  public:
    bool Exists(const char* path) const override {
        std::error_code ec;
        return fs::exists(path, ec);
    }
    char getOsSeparator() const override { return '/'; }
    Assimp::IOStream* Open(const char* path, const char* mode) override {
        if (!mode || mode[0] != 'w') return nullptr;  // exporters only write
        files_.push_back(std::make_unique<AtomicFile>(path));
        if (!files_.back()->open()) {
            if (error.empty()) error = files_.back()->error();
            return nullptr;
        }
        return new SavingStream(*files_.back());
    }
    void Close(Assimp::IOStream* stream) override { delete stream; }
    bool commit() {
        for (auto& f : files_)
            if (!f->commit()) {
                error = f->error();
                return false;
            }
        return true;
    }
    std::string error;

  private:
    std::vector<std::unique_ptr<AtomicFile>> files_;
};

// Millimetres for printers: every coordinate times the scale asked for.
void scaleTubes(std::vector<Tube>& tubes, const MeshOptions& o) {
    Vec3 low{INFINITY, INFINITY, INFINITY}, high = -1 * low;
    for (const Tube& t : tubes)
        for (const Vec3& v : t.mesh.vertices) {
            low = {std::min(low.x, v.x), std::min(low.y, v.y), std::min(low.z, v.z)};
            high = {std::max(high.x, v.x), std::max(high.y, v.y), std::max(high.z, v.z)};
        }
    const Vec3 size = high - low;
    const double scale = meshScale(o, std::max({size.x, size.y, size.z}));
    if (scale == 1) return;
    for (Tube& t : tubes) {
        for (Vec3& v : t.mesh.vertices) v = scale * v;
        for (Vec3& c : t.mesh.centres) c = scale * c;
    }
}

std::string lowerExtension(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}
}  // namespace

const std::vector<PathMesh::Format>& PathMesh::formats() {
    static const std::vector<Format> f = {
        {".obj", "obj", "Wavefront OBJ with its .mtl colours"},
        // Text: this Assimp's binary PLY writer garbles the faces.
        {".ply", "ply", "PLY with vertex colours"},
        {".stl", "stlb", "STL (binary), for 3-D printing"},
        {".glb", "glb2", "glTF 2.0 binary, for web viewers and Blender"},
        {".3mf", "3mf", "3MF, for 3-D printing"},
    };
    return f;
}

const PathMesh::Format* PathMesh::formatForPath(const std::string& path) {
    std::string ext = lowerExtension(path);
    for (const Format& f : formats())
        if (ext == f.extension) return &f;
    return nullptr;
}

std::string PathMesh::write(const Automaton& a, const std::string& path,
                            const MeshOptions& options) {
    const Format* format = formatForPath(path);
    if (!format) return "The mesh type is chosen by the extension of " + path + ".";
    if (options.tubeRadius && !acceptsTubeRadius(*options.tubeRadius))
        return "The tube radius must be a positive number below " +
               std::to_string(static_cast<int>(kLargestTubeRadius)) + ".";
    if (options.sides && (*options.sides < 3 || *options.sides > kMostSides))
        return "Tubes need from 3 to " + std::to_string(kMostSides) + " sides.";
    // Before the tubes are built, which is most of the work.
    const std::string failed = "The mesh " + path + " could not be written: ";
    if (std::string why = AtomicFile::problem(path); !why.empty()) return failed + why + ".";
    if ((options.sizeMillimetres &&
         !(*options.sizeMillimetres > 0 && *options.sizeMillimetres < 1e6)) ||
        !(options.scale > 0 && options.scale < 1e6))
        return "The size must be a positive number.";
    const TubeSizing sizing = chooseTubeRadius(a, options);
    if (options.warning)
        for (const std::string& w : sizing.warnings) options.warning(w);

    // The tubes are built side by side on the machine's cores: building
    // them is most of an export's work.
    struct Job {
        const Sphere* sphere;
        std::size_t point;
        TubeSettings settings;
    };
    std::vector<Job> jobs;
    for (const Sphere* s : a.sphereTable) {
        if (!s) continue;
        TubeSettings settings = tubeSettingsFor(s->radius);
        if (sizing.radius) settings.radius = *sizing.radius;
        if (options.sides) settings.sides = *options.sides;
        for (std::size_t p = 0; p < s->points.size(); ++p)
            if (!s->points[p].path.empty()) jobs.push_back({s, p, settings});
    }
    std::vector<Tube> built(jobs.size());
    std::atomic<std::size_t> next{0};
    auto build = [&] {
        for (std::size_t i; (i = next++) < jobs.size();) {
            const Job& j = jobs[i];
            built[i] = {j.sphere->name + "/" + std::to_string(j.point), j.sphere->color,
                        closedTube(j.sphere->points[j.point].path, j.settings)};
        }
    };
    std::vector<std::thread> helpers;
    unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned t = 1; t < std::min<std::size_t>(cores, jobs.size()); ++t)
        helpers.emplace_back(build);
    build();
    for (auto& h : helpers) h.join();
    std::vector<Tube> tubes;
    for (auto& t : built)
        if (!t.mesh.triangles.empty()) tubes.push_back(std::move(t));
    if (tubes.empty()) return "There are no point paths to write.";
    scaleTubes(tubes, options);
    auto scene = sceneOf(tubes, std::string(format->exporter) != "stlb");

    Assimp::Exporter exporter;
    auto* saving = new SavingSystem;  // the exporter owns it
    exporter.SetIOHandler(saving);
    // The 3MF exporter zips straight into the file it is given, past the
    // IO handler: it writes into a work folder, and the bytes are saved
    // from there.
    const bool direct = std::string(format->exporter) == "3mf";
    WorkFolder work(path, false);
    if (direct && !work.open()) return failed + work.error() + ".";
    const std::string written = direct ? (work.path() / "mesh.3mf").string() : path;
    if (exporter.Export(scene.get(), format->exporter, written) != AI_SUCCESS)
        return failed + (saving->error.empty() ? exporter.GetErrorString() : saving->error) + ".";
    if (direct) {
        std::vector<ThreeMfTube> named;
        for (const Tube& t : tubes) named.push_back({t.name, t.color});
        if (std::string e = fixThreeMfMaterials(written, named); !e.empty()) return failed + e + ".";
        std::ifstream in(written, std::ios::binary);
        if (!in.is_open()) return failed + "its work file could not be read.";
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        AtomicFile file(path);
        if (file.open()) file.write(bytes);
        if (!file.commit()) return failed + file.error() + ".";
        return {};
    }
    if (!saving->commit()) return failed + saving->error + ".";
    return {};
}
