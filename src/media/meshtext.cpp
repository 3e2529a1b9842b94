#include "meshtext.h"

#include <charconv>
#include <cstdint>
#include <filesystem>

#include "passstop.h"

namespace {

// Text goes to the file in pieces of about this size.
constexpr std::size_t kChunk = 1 << 20;

// The shortest text that reads back as the same float: what the file
// holds is the single precision that every other mesh format holds.
void number(std::string& out, double v) {
    char text[32];
    auto [end, ec] = std::to_chars(text, text + sizeof text, static_cast<float>(v));
    out.append(text, end);
}
void number(std::string& out, std::size_t v) {
    char text[24];
    auto [end, ec] = std::to_chars(text, text + sizeof text, v);
    out.append(text, end);
}

class Chunks {
  public:
    explicit Chunks(OutputFile& file) : file_(file) {}
    std::string text;
    // False once the file failed or a stop was asked for.
    bool flushIfFull() { return text.size() < kChunk || flush(); }
    bool flush() {
        if (stopRequested() || !file_.write(text.data(), text.size())) return false;
        text.clear();
        return true;
    }

  private:
    OutputFile& file_;
};

void colour(std::string& out, std::uint32_t c) {
    for (int shift : {0, 8, 16}) {
        out += ' ';
        number(out, ((c >> shift) & 0xFF) / 255.0);
    }
}

}  // namespace

void writeObjFile(const std::vector<MeshTube>& tubes, const std::vector<MeshGroup>& groups,
                  const std::string& path, OutputFiles& files) {
    const std::filesystem::path mtlPath = std::filesystem::path(path).replace_extension(".mtl");
    OutputFile* obj = files.open(path);
    if (!obj) return;
    OutputFile* mtl = files.open(mtlPath.string());
    if (!mtl) return;

    Chunks out(*obj);
    out.text = "# Written by Rotundel\n\nmtllib " + mtlPath.filename().string() + "\n\n";
    // "v x y z r g b" for the positions, then "vn x y z" for the normals.
    for (bool normals : {false, true})
        for (const MeshTube& t : tubes)
            for (const Vec3& v : normals ? t.mesh.normals : t.mesh.vertices) {
                out.text += normals ? "vn" : "v";
                for (double x : {v.x, v.y, v.z}) {
                    out.text += ' ';
                    number(out.text, x);
                }
                if (!normals) colour(out.text, t.colour);
                out.text += '\n';
                if (!out.flushIfFull()) return;
            }
    // Indices count from 1 over the whole file.
    std::vector<std::size_t> base(tubes.size() + 1, 1);
    for (std::size_t t = 0; t < tubes.size(); ++t)
        base[t + 1] = base[t] + tubes[t].mesh.vertices.size();
    for (const MeshGroup& g : groups) {
        out.text += "\ng " + g.name + "\nusemtl " + g.name + "\n";
        for (std::size_t t = g.first; t < g.first + g.count; ++t) {
            const std::vector<std::uint32_t>& tri = tubes[t].mesh.triangles;
            for (std::size_t k = 0; k + 2 < tri.size(); k += 3) {
                out.text += 'f';
                for (int c = 0; c < 3; ++c) {
                    const std::size_t i = base[t] + tri[k + c];
                    out.text += ' ';
                    number(out.text, i);
                    out.text += "//";
                    number(out.text, i);
                }
                out.text += '\n';
                if (!out.flushIfFull()) return;
            }
        }
    }
    if (!out.flush()) return;

    // A group of tubes of several colours has a white material, so that
    // the vertex colours show as they are.
    Chunks materials(*mtl);
    materials.text = "# Written by Rotundel\n";
    for (const MeshGroup& g : groups) {
        bool one = true;
        for (std::size_t t = g.first; t < g.first + g.count; ++t)
            one = one && tubes[t].colour == tubes[g.first].colour;
        materials.text += "\nnewmtl " + g.name + "\nKd";
        colour(materials.text, one ? tubes[g.first].colour : 0xFFFFFF);
        materials.text += "\nillum 1\n";
    }
    materials.flush();
}

void writePlyFile(const std::vector<MeshTube>& tubes, const std::string& path,
                  OutputFiles& files) {
    OutputFile* ply = files.open(path);
    if (!ply) return;
    std::size_t vertices = 0, faces = 0;
    for (const MeshTube& t : tubes) {
        vertices += t.mesh.vertices.size();
        faces += t.mesh.triangles.size() / 3;
    }
    Chunks out(*ply);
    out.text = "ply\nformat ascii 1.0\ncomment Written by Rotundel\nelement vertex ";
    number(out.text, vertices);
    out.text +=
        "\nproperty float x\nproperty float y\nproperty float z\nproperty float nx\n"
        "property float ny\nproperty float nz\nproperty uchar red\nproperty uchar green\n"
        "property uchar blue\nproperty uchar alpha\nelement face ";
    number(out.text, faces);
    out.text += "\nproperty list uchar int vertex_index\nend_header\n";
    for (const MeshTube& t : tubes) {
        std::string rgba;
        for (int shift : {0, 8, 16}) {
            rgba += ' ';
            number(rgba, std::size_t((t.colour >> shift) & 0xFF));
        }
        rgba += " 255\n";
        for (std::size_t v = 0; v < t.mesh.vertices.size(); ++v) {
            const Vec3 &p = t.mesh.vertices[v], &n = t.mesh.normals[v];
            for (double x : {p.x, p.y, p.z, n.x, n.y, n.z}) {
                number(out.text, x);
                out.text += ' ';
            }
            out.text.pop_back();
            out.text += rgba;
            if (!out.flushIfFull()) return;
        }
    }
    std::size_t base = 0;
    for (const MeshTube& t : tubes) {
        const std::vector<std::uint32_t>& tri = t.mesh.triangles;
        for (std::size_t k = 0; k + 2 < tri.size(); k += 3) {
            out.text += '3';
            for (int c = 0; c < 3; ++c) {
                out.text += ' ';
                number(out.text, base + tri[k + c]);
            }
            out.text += '\n';
            if (!out.flushIfFull()) return;
        }
        base += t.mesh.vertices.size();
    }
    out.flush();
}
