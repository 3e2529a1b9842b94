// The 3MF package through minizip, straight into the program's file; the
// model part through Qt's XML writer, its vertices and triangles (nearly all
// of its bytes) as plain numbers between the writer's elements.
#include "threemf.h"

#include <zip.h>

#include <QBuffer>
#include <QXmlStreamWriter>
#include <charconv>
#include <cstdio>

#include "passstop.h"

namespace {
// minizip's file functions over the program's file: it writes the package
// in one pass and goes back only to fill in each entry's sizes.
zlib_filefunc64_def through(OutputFile& file) {
    zlib_filefunc64_def f{};
    f.opaque = &file;
    f.zopen64_file = [](voidpf opaque, const void*, int) -> voidpf { return opaque; };
    f.zread_file = [](voidpf, voidpf, void*, uLong) -> uLong { return 0; };
    f.zwrite_file = [](voidpf, voidpf stream, const void* bytes, uLong size) -> uLong {
        return static_cast<OutputFile*>(stream)->write(bytes, size) ? size : 0;
    };
    f.ztell64_file = [](voidpf, voidpf stream) -> ZPOS64_T {
        const long long at = static_cast<OutputFile*>(stream)->seek(0, SEEK_CUR);
        return at < 0 ? static_cast<ZPOS64_T>(-1) : static_cast<ZPOS64_T>(at);
    };
    f.zseek64_file = [](voidpf, voidpf stream, ZPOS64_T offset, int origin) -> long {
        const int whence = origin == ZLIB_FILEFUNC_SEEK_SET   ? SEEK_SET
                           : origin == ZLIB_FILEFUNC_SEEK_END ? SEEK_END
                                                              : SEEK_CUR;
        return static_cast<OutputFile*>(stream)->seek(static_cast<long long>(offset), whence) < 0
                   ? -1
                   : 0;
    };
    f.zclose_file = [](voidpf, voidpf) -> int { return 0; };
    f.zerror_file = [](voidpf, voidpf) -> int { return 0; };
    return f;
}

class Package {
  public:
    explicit Package(OutputFile& file) : io_(through(file)) {
        zip_ = zipOpen2_64("", APPEND_STATUS_CREATE, nullptr, &io_);
        ok_ = zip_ != nullptr;
    }
    ~Package() {
        if (zip_) zipClose(zip_, nullptr);
    }
    bool begin(const char* name) {
        // One fixed date (the zip format's first day): the same model gives
        // the same bytes, whoever writes it and when.
        zip_fileinfo info{};
        info.tmz_date = {0, 0, 0, 1, 0, 1980};
        // The fastest deflate: a model of half a million triangles took seconds
        // at the default level for a file a tenth larger.
        ok_ = ok_ && zipOpenNewFileInZip64(zip_, name, &info, nullptr, 0, nullptr, 0, nullptr,
                                           Z_DEFLATED, Z_BEST_SPEED, 1) == ZIP_OK;
        return ok_;
    }
    void write(const char* bytes, std::size_t size) {
        // minizip counts in unsigned ints: large parts go in pieces.
        constexpr std::size_t kPiece = 1u << 30;
        for (std::size_t at = 0; ok_ && at < size; at += kPiece) {
            const auto n = static_cast<unsigned>(std::min(kPiece, size - at));
            ok_ = zipWriteInFileInZip(zip_, bytes + at, n) == ZIP_OK;
        }
    }
    bool end() {
        ok_ = ok_ && zipCloseFileInZip(zip_) == ZIP_OK;
        return ok_;
    }
    bool close() {
        ok_ = ok_ && zipClose(zip_, nullptr) == ZIP_OK;
        zip_ = nullptr;
        return ok_;
    }
    bool entry(const char* name, const QByteArray& bytes) {
        if (!begin(name)) return false;
        write(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        return end();
    }

  private:
    zlib_filefunc64_def io_;
    zipFile zip_ = nullptr;
    bool ok_ = false;
};

const char* const kContentTypes =
    R"(<?xml version="1.0" encoding="UTF-8"?>
<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">
<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>
<Default Extension="model" ContentType="application/vnd.ms-package.3dmanufacturing-3dmodel+xml"/>
</Types>
)";
const char* const kRelationships =
    R"(<?xml version="1.0" encoding="UTF-8"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Target="/3D/3dmodel.model" Id="rel0" Type="http://schemas.microsoft.com/3dmanufacturing/2013/01/3dmodel"/>
</Relationships>
)";

QString displayColour(std::uint32_t c) {
    return QString::asprintf("#%02X%02X%02XFF", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

// Numbers as the shortest text that reads back as the same float.
void number(std::string& out, float v) {
    char text[32];
    auto [end, ec] = std::to_chars(text, text + sizeof text, v);
    out.append(text, end);
}
void number(std::string& out, std::uint32_t v) {
    char text[16];
    auto [end, ec] = std::to_chars(text, text + sizeof text, v);
    out.append(text, end);
}

// The model part, streamed into the package: the XML writer's bytes gather
// in a buffer that goes into the zip every few megabytes.
class ModelWriter {
  public:
    explicit ModelWriter(Package& package) : package_(package) {
        buffer_.open(QIODevice::WriteOnly);
        xml_.setDevice(&buffer_);
    }
    QXmlStreamWriter& xml() { return xml_; }
    // Plain text after the element the writer has begun.
    void raw(const std::string& text) {
        xml_.writeCharacters(QString());  // closes the start tag
        buffer_.write(text.data(), static_cast<qint64>(text.size()));
        if (buffer_.size() > kFlushAt) flush();
    }
    void flush() {
        package_.write(buffer_.data().constData(), static_cast<std::size_t>(buffer_.size()));
        buffer_.buffer().clear();
        buffer_.seek(0);
    }

  private:
    static constexpr qint64 kFlushAt = 4 << 20;
    Package& package_;
    QBuffer buffer_;
    QXmlStreamWriter xml_;
};

// All parts' meshes as the one object's mesh, each triangle with its part's
// base material.
void writeMesh(ModelWriter& w, const std::vector<ThreeMfPart>& parts) {
    QXmlStreamWriter& xml = w.xml();
    xml.writeStartElement("mesh");
    xml.writeStartElement("vertices");
    std::string text;
    constexpr std::size_t kChunk = 1 << 20;
    for (const ThreeMfPart& p : parts)
        for (const Vec3& v : p.mesh->vertices) {
            text += "<vertex x=\"";
            number(text, static_cast<float>(v.x));
            text += "\" y=\"";
            number(text, static_cast<float>(v.y));
            text += "\" z=\"";
            number(text, static_cast<float>(v.z));
            text += "\"/>\n";
            if (text.size() > kChunk) {
                w.raw(text), text.clear();
                // Stopped: the package is given up at its next write.
                if (stopRequested()) return;
            }
        }
    w.raw(text), text.clear();
    xml.writeEndElement();
    xml.writeStartElement("triangles");
    std::uint32_t base = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::vector<std::uint32_t>& t = parts[i].mesh->triangles;
        for (std::size_t k = 0; k + 2 < t.size(); k += 3) {
            text += "<triangle v1=\"";
            number(text, base + t[k]);
            text += "\" v2=\"";
            number(text, base + t[k + 1]);
            text += "\" v3=\"";
            number(text, base + t[k + 2]);
            text += "\" p1=\"";
            number(text, static_cast<std::uint32_t>(i));
            text += "\"/>\n";
            if (text.size() > kChunk) {
                w.raw(text), text.clear();
                // Stopped: the package is given up at its next write.
                if (stopRequested()) return;
            }
        }
        base += static_cast<std::uint32_t>(parts[i].mesh->vertices.size());
    }
    w.raw(text);
    xml.writeEndElement();
    xml.writeEndElement();
}

// The parts as PrusaSlicer's own metadata names them: volumes of the one
// object by ranges of its triangles. Without it that slicer takes every
// part of a 3MF object for an object of its own and lifts each onto the
// bed by itself.
QByteArray slicerParts(const std::vector<ThreeMfPart>& parts, const std::string& objectName) {
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement("config");
    xml.writeStartElement("object");
    xml.writeAttribute("id", "2");
    xml.writeAttribute("instances_count", "1");
    auto metadata = [&xml](const char* type, const char* key, const QString& value) {
        xml.writeEmptyElement("metadata");
        xml.writeAttribute("type", type);
        xml.writeAttribute("key", key);
        xml.writeAttribute("value", value);
    };
    metadata("object", "name", QString::fromStdString(objectName));
    std::size_t first = 0;
    for (const ThreeMfPart& p : parts) {
        const std::size_t n = p.mesh->triangles.size() / 3;
        if (n == 0) continue;
        xml.writeStartElement("volume");
        xml.writeAttribute("firstid", QString::number(first));
        xml.writeAttribute("lastid", QString::number(first + n - 1));
        metadata("volume", "name", QString::fromStdString(p.name));
        metadata("volume", "volume_type", "ModelPart");
        xml.writeEndElement();
        first += n;
    }
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    return out;
}
}  // namespace

std::string writeThreeMf(const std::vector<ThreeMfPart>& parts, const std::string& objectName,
                         OutputFile& file) {
    Package package(file);
    if (!package.entry("[Content_Types].xml", kContentTypes) ||
        !package.entry("_rels/.rels", kRelationships) ||
        !package.entry("Metadata/Slic3r_PE_model.config", slicerParts(parts, objectName)) ||
        !package.begin("3D/3dmodel.model"))
        return "the 3MF package could not be written";
    {
        ModelWriter w(package);
        QXmlStreamWriter& xml = w.xml();
        xml.writeStartDocument();
        xml.writeStartElement("model");
        xml.writeAttribute("unit", "millimeter");
        xml.writeAttribute("xml:lang", "en-US");
        xml.writeDefaultNamespace("http://schemas.microsoft.com/3dmanufacturing/core/2015/02");
        xml.writeStartElement("metadata");
        xml.writeAttribute("name", "Application");
        xml.writeCharacters("Rotundel");
        xml.writeEndElement();
        xml.writeStartElement("resources");
        // Ids: 1 the materials, one per part, 2 the object.
        xml.writeStartElement("basematerials");
        xml.writeAttribute("id", "1");
        for (const ThreeMfPart& p : parts) {
            xml.writeEmptyElement("base");
            xml.writeAttribute("name", QString::fromStdString(p.name));
            xml.writeAttribute("displaycolor", displayColour(p.colour));
        }
        xml.writeEndElement();
        xml.writeStartElement("object");
        xml.writeAttribute("id", "2");
        xml.writeAttribute("type", "model");
        xml.writeAttribute("pid", "1");
        xml.writeAttribute("pindex", "0");
        xml.writeAttribute("name", QString::fromStdString(objectName));
        writeMesh(w, parts);
        xml.writeEndElement();
        xml.writeEndElement();  // resources
        xml.writeStartElement("build");
        xml.writeEmptyElement("item");
        xml.writeAttribute("objectid", "2");
        xml.writeEndElement();
        xml.writeEndDocument();
        w.flush();
    }
    if (!package.end() || !package.close()) return "the 3MF package could not be written";
    return {};
}
