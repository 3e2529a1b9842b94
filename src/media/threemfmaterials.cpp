// The 3MF package through minizip, its model part through Qt's XML streams.
#include "threemfmaterials.h"

#include <unzip.h>
#include <zip.h>

#include <QByteArray>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <utility>

namespace {
struct Entry {
    std::string name;
    QByteArray data;
};

bool readPackage(const std::string& path, std::vector<Entry>& entries) {
    std::unique_ptr<void, int (*)(unzFile)> zip(unzOpen64(path.c_str()), unzClose);
    if (!zip) return false;
    for (int r = unzGoToFirstFile(zip.get()); r == UNZ_OK; r = unzGoToNextFile(zip.get())) {
        unz_file_info64 info{};
        char name[1024];
        if (unzGetCurrentFileInfo64(zip.get(), &info, name, sizeof name, nullptr, 0, nullptr, 0) !=
                UNZ_OK ||
            info.uncompressed_size > (1ull << 31))
            return false;
        Entry e{name, QByteArray(static_cast<qsizetype>(info.uncompressed_size), '\0')};
        if (unzOpenCurrentFile(zip.get()) != UNZ_OK) return false;
        int got = e.data.isEmpty() ? 0
                                   : unzReadCurrentFile(zip.get(), e.data.data(),
                                                        static_cast<unsigned>(e.data.size()));
        unzCloseCurrentFile(zip.get());
        if (got != e.data.size()) return false;
        entries.push_back(std::move(e));
    }
    return true;
}

bool writePackage(const std::string& path, const std::vector<Entry>& entries) {
    zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    if (!zip) return false;
    bool ok = true;
    for (const Entry& e : entries) {
        zip_fileinfo info{};
        ok = ok &&
             zipOpenNewFileInZip64(zip, e.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                   Z_DEFLATED, Z_DEFAULT_COMPRESSION, 1) == ZIP_OK &&
             zipWriteInFileInZip(zip, e.data.constData(), static_cast<unsigned>(e.data.size())) ==
                 ZIP_OK &&
             zipCloseFileInZip(zip) == ZIP_OK;
    }
    return zipClose(zip, nullptr) == ZIP_OK && ok;
}

QString displayColour(std::uint32_t c) {
    return QString::asprintf("#%02X%02X%02XFF", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

// The model part again, with the tubes' colours and names.
QByteArray fixedModel(const QByteArray& model, const std::vector<ThreeMfTube>& tubes) {
    // Names are copied as written, prefixes and namespace declarations
    // included: the readers of these files match element names literally.
    QByteArray out;
    QXmlStreamReader in(model);
    in.setNamespaceProcessing(false);
    QXmlStreamWriter xml(&out);
    std::size_t base = 0, object = 0;
    auto local = [](QStringView name) { return name.mid(name.lastIndexOf(u':') + 1); };
    while (!in.atEnd()) {
        switch (in.readNext()) {
            case QXmlStreamReader::StartDocument:
                xml.writeStartDocument();
                break;
            case QXmlStreamReader::EndDocument:
                xml.writeEndDocument();
                break;
            case QXmlStreamReader::EndElement:
                xml.writeEndElement();
                break;
            case QXmlStreamReader::Characters:
                xml.writeCharacters(in.text().toString());
                break;
            case QXmlStreamReader::StartElement: {
                const bool isBase = local(in.name()) == u"base";
                const bool isObject = local(in.name()) == u"object";
                std::size_t* index = isBase ? &base : isObject ? &object : nullptr;
                // A base material gets the tube's colour and name, an object its name.
                const bool ours = index && *index < tubes.size();
                xml.writeStartElement(in.name().toString());
                for (const QXmlStreamAttribute& at : in.attributes()) {
                    const bool replaced =
                        at.name() == u"name" || (isBase && at.name() == u"displaycolor");
                    if (!(ours && replaced))
                        xml.writeAttribute(at.qualifiedName().toString(), at.value().toString());
                }
                if (ours) {
                    const ThreeMfTube& t = tubes[*index];
                    xml.writeAttribute("name", QString::fromStdString(t.name));
                    if (isBase) xml.writeAttribute("displaycolor", displayColour(t.colour));
                }
                if (index) ++*index;
                break;
            }
            default:
                break;
        }
    }
    if (in.hasError()) return {};
    return out;
}
}  // namespace

std::string fixThreeMfMaterials(const std::string& path, const std::vector<ThreeMfTube>& tubes) {
    std::vector<Entry> entries;
    if (!readPackage(path, entries)) return "the 3MF package could not be read back";
    bool found = false;
    for (Entry& e : entries) {
        if (!QByteArray::fromStdString(e.name).toLower().endsWith(".model")) continue;
        QByteArray fixed = fixedModel(e.data, tubes);
        if (fixed.isEmpty()) return "the 3MF model could not be read back";
        e.data = fixed;
        found = true;
    }
    if (!found) return "the 3MF package has no model";
    const std::string rewritten = path + ".fixed";
    if (!writePackage(rewritten, entries)) {
        std::remove(rewritten.c_str());
        return "the 3MF package could not be written";
    }
    std::error_code ec;
    std::filesystem::rename(rewritten, path, ec);
    return ec ? ec.message() : std::string();
}
