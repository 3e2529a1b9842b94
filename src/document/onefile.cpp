// Reading and writing the automaton file. Every field is read and written
// in one fixed order; the reader checks what it reads so that a damaged or
// hostile file ends in a message, never in a broken automaton.
#include "onefile.h"

#include <cstdint>
#include <istream>
#include <numeric>
#include <ostream>

#include "archivewriter.h"
#include "document.h"
#include "rational.h"
#include "relations.h"
#include "sphere.h"

namespace {

constexpr std::string_view kFiller = "dont know_why";
constexpr std::size_t kPointBytes = 3 * 8;

Rational readRational(ArchiveReader& in) {
    std::int64_t num = in.readInt32();
    std::int64_t den = in.readInt32();
    if (den == 0) throw bad_rational();
    // Normalised here in 64 bits: a stored -2147483648 cannot be negated in
    // 32 bits, and a value that does not fit once normalised is no factor.
    std::int64_t g = std::gcd(num, den);
    num /= g;
    den /= g;
    if (den < 0) {
        num = -num;
        den = -den;
    }
    if (num > INT32_MAX || den > INT32_MAX) throw FileFormatError();
    return Rational(static_cast<std::int32_t>(num), static_cast<std::int32_t>(den));
}

void writeRational(ArchiveWriter& out, const Rational& r) {
    out.writeInt32(r.numerator());
    out.writeInt32(r.denominator());
}

void readSphere(ArchiveReader& in, Sphere& s) {
    s.name = in.readLine();
    s.color = static_cast<std::uint32_t>(in.readInt32());
    std::int32_t surface = in.readInt32();
    if (surface >= 0 && surface <= 4) s.surface = surface;
    s.textureFile = in.readLine();
    s.showCentersLine = in.readInt32();
    s.showPerpendicularAxis = in.readInt32();
    s.showRevolutionAxis = in.readInt32();
    s.showGreatCircle = in.readInt32();
    s.showRotationAxis = in.readInt32();
    s.showPointPaths = in.readInt32();
    s.radiusFactor = readRational(in);
    s.rollingRate = readRational(in);
    s.axisAngleZ = in.readDouble();
    s.axisAngleX = in.readDouble();
    s.inside = in.readInt16();
    s.antiClockwise = in.readInt16();
    s.initialRevolution = in.readDouble();
    s.initialSpin = in.readDouble();
    s.dynamic = in.readInt32();
    s.dynamicAxisZ = in.readInt32();
    s.dynamicAxisX = in.readInt32();
    s.dynamicForwardZ = in.readInt32();
    s.dynamicForwardX = in.readInt32();
    std::int32_t count = in.readInt32();
    // A count the rest of the file cannot hold is damage, not a reason to
    // reserve memory for it.
    if (count < 0 || static_cast<std::size_t>(count) > in.remaining() / kPointBytes)
        throw FileFormatError();
    s.points.reserve(static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < count; ++i) {
        double z = in.readDouble();
        double x = in.readDouble();
        double q = in.readDouble();
        s.addPoint(z, x, q);
    }
    in.readLine();  // the filler line
    s.parentName = in.readLine();
    s.radiusReferenceName = in.readLine();
    s.timeReferenceName = in.readLine();
}

// A text as one line. Renaming refuses line breaks, but a texture path may
// hold one on some systems; written raw it would shift every later field
// and make the whole file unreadable.
std::string oneLine(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    return text;
}

void writeSphere(ArchiveWriter& out, Sphere& s) {
    out.writeLine(oneLine(s.name));
    out.writeInt32(static_cast<std::int32_t>(s.color));
    out.writeInt32(s.surface);
    out.writeLine(oneLine(s.textureFile));
    out.writeInt32(s.showCentersLine);
    out.writeInt32(s.showPerpendicularAxis);
    out.writeInt32(s.showRevolutionAxis);
    out.writeInt32(s.showGreatCircle);
    out.writeInt32(s.showRotationAxis);
    out.writeInt32(s.showPointPaths);
    writeRational(out, s.radiusFactor);
    writeRational(out, s.rollingRate);
    out.writeDouble(s.axisAngleZ);
    out.writeDouble(s.axisAngleX);
    out.writeInt16(s.inside);
    out.writeInt16(s.antiClockwise);
    out.writeDouble(s.initialRevolution);
    out.writeDouble(s.initialSpin);
    out.writeInt32(s.dynamic);
    out.writeInt32(s.dynamicAxisZ);
    out.writeInt32(s.dynamicAxisX);
    out.writeInt32(s.dynamicForwardZ);
    out.writeInt32(s.dynamicForwardX);
    out.writeInt32(static_cast<std::int32_t>(s.points.size()));
    for (const SpherePoint& p : s.points) {
        out.writeDouble(p.pointAngleZ);
        out.writeDouble(p.pointAngleX);
        out.writeDouble(p.quantumDistance);
    }
    auto linkName = [](const Sphere* r) {
        return (r ? oneLine(r->name) : std::string(Document::kNoSphereName)) + "\n";
    };
    s.parentName = linkName(s.parent);
    s.radiusReferenceName = linkName(s.radiusReference);
    s.timeReferenceName = linkName(s.timeReference);
    out.writeLine(kFiller);
    out.writeText(s.parentName);
    out.writeText(s.radiusReferenceName);
    out.writeText(s.timeReferenceName);
}

// Links one relation by the stored name. A name that matches no sphere
// leaves the link empty; a link that would close a cycle is damage.
void linkByName(Document& doc, Sphere& s, const std::string& name, int kind) {
    Sphere* r = doc.findSphereByName(name);
    if (!r) return;
    if (!attach(s, *r, kind)) throw FileFormatError();
}

}  // namespace

void OneFile::read(std::string_view bytes, Document& doc) {
    readBytes(bytes, doc, false);
}

void OneFile::readAllowingEmpty(std::string_view bytes, Document& doc) {
    readBytes(bytes, doc, true);
}

void OneFile::readUnlinked(std::string_view bytes, Document& doc) {
    readBytes(bytes, doc, true, false);
}

void OneFile::readBytes(std::string_view bytes, Document& doc, bool allowEmpty, bool link) {
    if (bytes.empty() || bytes.size() > kMaxFileBytes) throw FileFormatError();
    ArchiveReader in(bytes);
    std::int32_t n = in.readInt32();
    if (n < (allowEmpty ? 0 : 1) || n > Automaton::kTableSize) throw FileFormatError();
    for (std::int32_t i = 0; i < n; ++i) {
        auto* s = new Sphere();
        s->document = &doc;
        doc.sphereTable[static_cast<std::size_t>(i)] = s;
        ++doc.sphereCount;
        readSphere(in, *s);
    }
    std::string stationaryName = in.readLine();
    std::string referenceChildName = in.readLine();
    doc.reserved1 = in.readInt32();
    doc.reserved2 = in.readInt32();
    doc.nextNameLetter = in.readByte();
    doc.viewFromStationary = in.readInt32();
    doc.keepInView = in.readInt32();
    doc.pathAccuracy = in.readInt32();
    doc.finestPathStep = in.readDouble();
    doc.coarsestPathStep = in.readDouble();
    doc.stereo = in.readInt32();
    doc.anaglyphScheme = in.readInt32();
    doc.cameraDistance = in.readDouble();
    if (n == 0) return;

    doc.root = doc.sphereTable[0];
    if (!link) return;
    for (std::int32_t i = 0; i < n; ++i) {
        Sphere& s = *doc.sphereTable[static_cast<std::size_t>(i)];
        // The first sphere is the root: a parent for it would make the tree
        // hang from a sphere of its own subtree.
        if (i == 0) {
            if (doc.findSphereByName(s.parentName)) throw FileFormatError();
        } else {
            linkByName(doc, s, s.parentName, kParent);
        }
        linkByName(doc, s, s.radiusReferenceName, kRadius);
        linkByName(doc, s, s.timeReferenceName, kTime);
    }
    // Every sphere must hang from the root: the table and the tree are the
    // same set of spheres everywhere else in the program.
    int reached = 0;
    forEachPreOrder(doc.root, [&reached](Sphere&) { ++reached; });
    if (reached != n) throw FileFormatError();

    doc.radiusRoot = doc.root;
    doc.timeMaster = doc.root->firstChild();
    doc.selectedSphere = doc.root;
    doc.selectRootAsStationary();
    doc.stationarySphere = doc.findSphereByName(stationaryName);
    doc.referenceChild = doc.findSphereByName(referenceChildName);
}

void OneFile::read(std::istream& in, Document& doc) {
    std::string bytes;
    char buffer[1 << 14];
    while (in && bytes.size() <= kMaxFileBytes) {
        in.read(buffer, sizeof buffer);
        bytes.append(buffer, static_cast<std::size_t>(in.gcount()));
    }
    read(std::string_view(bytes), doc);
}

std::string OneFile::write(Document& doc) {
    ArchiveWriter out;
    // The root goes first whatever its slot: the reader takes the first
    // record as the root. The count is that of the records written.
    std::vector<Sphere*> spheres;
    if (doc.root) spheres.push_back(doc.root);
    for (Sphere* s : doc.sphereTable)
        if (s && s != doc.root) spheres.push_back(s);
    out.writeInt32(static_cast<std::int32_t>(spheres.size()));
    for (Sphere* s : spheres) writeSphere(out, *s);
    auto roleName = [](const Sphere* s) {
        return s ? oneLine(s->name) : std::string(Document::kNoSphereName);
    };
    out.writeLine(roleName(doc.stationarySphere));
    out.writeLine(roleName(doc.referenceChild));
    out.writeInt32(doc.reserved1);
    out.writeInt32(doc.reserved2);
    out.writeByte(doc.nextNameLetter);
    out.writeInt32(doc.viewFromStationary);
    out.writeInt32(doc.keepInView);
    out.writeInt32(doc.pathAccuracy);
    out.writeDouble(doc.finestPathStep);
    out.writeDouble(doc.coarsestPathStep);
    out.writeInt32(doc.stereo);
    out.writeInt32(doc.anaglyphScheme);
    out.writeDouble(doc.cameraDistance);
    return out.take();
}

void OneFile::write(Document& doc, std::ostream& out) {
    std::string bytes = write(doc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}
