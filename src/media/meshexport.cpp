// Tube meshes through Assimp's exporters: part of the module that the
// program opens only when it writes a movie or a mesh.
#include <assimp/material.h>
#include <assimp/scene.h>

#include <assimp/Exporter.hpp>
#include <assimp/IOStream.hpp>
#include <assimp/IOSystem.hpp>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "mediamodule.h"

namespace {
aiColor4D colourOf(std::uint32_t c) {
    return {(c & 0xFF) / 255.0f, ((c >> 8) & 0xFF) / 255.0f, ((c >> 16) & 0xFF) / 255.0f, 1.0f};
}

aiVector3D floats(const Vec3& v) {
    return {static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)};
}

// One mesh of the scene: the group's tubes one after the other, each vertex
// with its tube's colour. A group of tubes of several colours has a white
// material, so that the vertex colours show as they are.
aiMesh* meshOf(const std::vector<MeshTube>& tubes, const MeshGroup& g, unsigned material) {
    auto* mesh = new aiMesh;
    mesh->mName = aiString(g.name);
    mesh->mMaterialIndex = material;
    mesh->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
    std::size_t nv = 0, nf = 0;
    for (std::size_t t = g.first; t < g.first + g.count; ++t) {
        nv += tubes[t].mesh.vertices.size();
        nf += tubes[t].mesh.triangleCount();
    }
    mesh->mNumVertices = static_cast<unsigned>(nv);
    mesh->mVertices = new aiVector3D[nv];
    mesh->mNormals = new aiVector3D[nv];
    mesh->mColors[0] = new aiColor4D[nv];
    mesh->mNumFaces = static_cast<unsigned>(nf);
    mesh->mFaces = new aiFace[nf];
    unsigned v = 0, f = 0;
    for (std::size_t t = g.first; t < g.first + g.count; ++t) {
        const TubeMesh& m = tubes[t].mesh;
        const aiColor4D colour = colourOf(tubes[t].colour);
        const unsigned base = v;
        for (std::size_t k = 0; k < m.vertices.size(); ++k, ++v) {
            mesh->mVertices[v] = floats(m.vertices[k]);
            mesh->mNormals[v] = floats(m.normals[k]);
            mesh->mColors[0][v] = colour;
        }
        for (std::size_t k = 0; k < m.triangles.size(); k += 3, ++f) {
            aiFace& face = mesh->mFaces[f];
            face.mNumIndices = 3;
            face.mIndices = new unsigned[3]{base + m.triangles[k], base + m.triangles[k + 1],
                                            base + m.triangles[k + 2]};
        }
    }
    return mesh;
}

// A scene that Assimp owns once built: its destructor frees the arrays.
std::unique_ptr<aiScene> sceneOf(const std::vector<MeshTube>& tubes,
                                 const std::vector<MeshGroup>& groups) {
    auto scene = std::make_unique<aiScene>();
    scene->mRootNode = new aiNode("Rotundel");
    const auto n = static_cast<unsigned>(groups.size());
    scene->mNumMeshes = n;
    scene->mMeshes = new aiMesh*[n];
    scene->mNumMaterials = n;
    scene->mMaterials = new aiMaterial*[n];
    scene->mRootNode->mNumChildren = n;
    scene->mRootNode->mChildren = new aiNode*[n];
    for (unsigned i = 0; i < n; ++i) {
        const MeshGroup& g = groups[i];
        bool oneColour = true;
        for (std::size_t t = g.first; t < g.first + g.count; ++t)
            oneColour = oneColour && tubes[t].colour == tubes[g.first].colour;
        auto* material = new aiMaterial;
        aiString name(g.name);
        material->AddProperty(&name, AI_MATKEY_NAME);
        aiColor4D colour = oneColour ? colourOf(tubes[g.first].colour) : aiColor4D(1, 1, 1, 1);
        material->AddProperty(&colour, 1, AI_MATKEY_COLOR_DIFFUSE);
        scene->mMaterials[i] = material;
        scene->mMeshes[i] = meshOf(tubes, g, i);

        auto* node = new aiNode(g.name);
        node->mParent = scene->mRootNode;
        node->mNumMeshes = 1;
        node->mMeshes = new unsigned[1]{i};
        scene->mRootNode->mChildren[i] = node;
    }
    return scene;
}

// Assimp's file interface over the program's files.
class Stream : public Assimp::IOStream {
  public:
    explicit Stream(OutputFile& file) : file_(file) {}
    size_t Read(void*, size_t, size_t) override { return 0; }
    size_t Write(const void* bytes, size_t size, size_t count) override {
        return file_.write(bytes, size * count) ? count : 0;
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
    OutputFile& file_;
};

class Files : public Assimp::IOSystem {
  public:
    explicit Files(OutputFiles& files) : files_(files) {}
    bool Exists(const char* path) const override {
        std::error_code ec;
        return std::filesystem::exists(path, ec);
    }
    char getOsSeparator() const override { return '/'; }
    Assimp::IOStream* Open(const char* path, const char* mode) override {
        if (!mode || mode[0] != 'w') return nullptr;  // exporters only write
        OutputFile* f = files_.open(path);
        return f ? new Stream(*f) : nullptr;
    }
    void Close(Assimp::IOStream* stream) override { delete stream; }

  private:
    OutputFiles& files_;
};

std::string writeMesh(const std::vector<MeshTube>& tubes, const std::vector<MeshGroup>& groups,
                      const char* exporter, const std::string& path, OutputFiles& files) {
    auto scene = sceneOf(tubes, groups);
    Assimp::Exporter e;
    e.SetIOHandler(new Files(files));  // the exporter owns it
    if (e.Export(scene.get(), exporter, path) != AI_SUCCESS)
        return std::string(e.GetErrorString()) + ".";
    return {};
}
}  // namespace

std::unique_ptr<MovieFile> openEncodedMovie(const std::string& path, MovieFile::Kind kind,
                                            int width, int height, int encodedWidth,
                                            int encodedHeight, OutputFile& sink,
                                            std::string* error);

std::string makeSolidMesh(const SolidRequest& request, SolidMesh* out);

extern "C" const MediaModule* rotundel_media_module() {
    static const MediaModule module{MediaModule::kInterface, writeMesh, makeSolidMesh,
                                    openEncodedMovie};
    return &module;
}
