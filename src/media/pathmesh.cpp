// Tube meshes through Assimp's exporters.
#include "pathmesh.h"

#include <assimp/material.h>
#include <assimp/scene.h>

#include <algorithm>
#include <assimp/Exporter.hpp>
#include <atomic>
#include <cctype>
#include <filesystem>
#include <memory>
#include <random>
#include <system_error>
#include <thread>

#include "relations.h"
#include "sphere.h"
#include "tubemesh.h"

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
    if (options.tubeRadius && !(*options.tubeRadius > 0 && *options.tubeRadius < 1e6))
        return "The tube radius must be a positive number.";
    if (options.sides && (*options.sides < 3 || *options.sides > kMostSides))
        return "Tubes need from 3 to " + std::to_string(kMostSides) + " sides.";

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
        if (options.tubeRadius) settings.radius = *options.tubeRadius;
        if (options.sides) settings.sides = *options.sides;
        for (std::size_t p = 0; p < s->points.size(); ++p)
            if (!s->points[p].path.empty()) jobs.push_back({s, p, settings});
    }
    if (options.maxTriangles < 1 || options.maxTriangles > MeshOptions::kMostTriangles)
        return "The triangle budget must be from 1 to " +
               std::to_string(MeshOptions::kMostTriangles) + ".";
    // The budget is shared by all traced points in proportion to their
    // samples, so that no file can make the tubes take memory without end.
    std::vector<std::size_t> samples;
    for (const Job& j : jobs) samples.push_back(j.sphere->points[j.point].path.size());
    const std::vector<std::size_t> shares = tubeTriangleShares(samples, options.maxTriangles);
    std::atomic<bool> coarsened{false};
    std::vector<Tube> built(jobs.size());
    std::atomic<std::size_t> next{0};
    auto build = [&] {
        for (std::size_t i; (i = next++) < jobs.size();) {
            const Job& j = jobs[i];
            bool coarse = false;
            built[i] = {
                j.sphere->name + "/" + std::to_string(j.point), j.sphere->color,
                boundedTube(j.sphere->points[j.point].path, j.settings, shares[i], &coarse)};
            if (coarse) coarsened = true;
        }
    };
    std::vector<std::thread> helpers;
    unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned t = 1; t < std::min<std::size_t>(cores, jobs.size()); ++t)
        helpers.emplace_back(build);
    build();
    for (auto& h : helpers) h.join();
    if (options.coarsened) *options.coarsened = coarsened;
    std::vector<Tube> tubes;
    for (auto& t : built)
        if (!t.mesh.triangles.empty()) tubes.push_back(std::move(t));
    if (tubes.empty()) return "There are no point paths to write.";
    auto scene = sceneOf(tubes, std::string(format->exporter) != "stlb");

    // Written into a fresh folder beside the target and moved into place
    // when complete, so that an OBJ file's material library keeps its name.
    fs::path target(path);
    fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    std::random_device random;
    fs::path work = folder / (".rotundel-export-" + std::to_string(random()));
    std::error_code ec;
    if (!fs::create_directory(work, ec))
        return "The mesh " + path + " could not be written: " + ec.message() + ".";
    struct Cleanup {
        fs::path dir;
        ~Cleanup() {
            std::error_code e;
            fs::remove_all(dir, e);
        }
    } cleanup{work};
    Assimp::Exporter exporter;
    fs::path staged = work / target.filename();
    if (exporter.Export(scene.get(), format->exporter, staged.string()) != AI_SUCCESS)
        return "The mesh " + path + " could not be written: " + exporter.GetErrorString() + ".";
    for (const auto& entry : fs::directory_iterator(work, ec)) {
        fs::rename(entry.path(), folder / entry.path().filename(), ec);
        if (ec) return "The mesh " + path + " could not be written: " + ec.message() + ".";
    }
    if (ec) return "The mesh " + path + " could not be written: " + ec.message() + ".";
    return {};
}
