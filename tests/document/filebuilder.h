// Builds automaton file bytes field by field, independently of the
// program's writer, so that tests can state files exactly and damage them.
#pragma once

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

struct PointRecord {
    double z = 0, x = 0, q = 0;
};

struct SphereRecord {
    std::string name;
    std::int32_t color = 0x1216bc;
    std::int32_t surface = 1;
    std::string texture = "earth256.bmp";
    std::int32_t flags[6] = {0, 1, 1, 1, 1, 1};
    std::int32_t radiusNum = 1, radiusDen = 2;
    std::int32_t rateNum = 1, rateDen = 1;
    double axisZ = 0, axisX = 0;
    std::int16_t inside = 0, antiClockwise = 0;
    double initialRevolution = 0, initialSpin = 0;
    std::int32_t dynamic[5] = {0, 0, 0, 1, 1};
    std::vector<PointRecord> points{PointRecord{}};
    std::int32_t storedPointCount = -2;  // -2: the size of points
    std::string parent = "ZEROOREZ", radiusRef = "ZEROOREZ", timeRef = "ZEROOREZ";
};

struct FileRecord {
    std::vector<SphereRecord> spheres;
    std::int32_t storedCount = -2;  // -2: the number of spheres
    std::string stationary = "A", referenceChild = "B";
    std::int32_t reserved1 = 6, reserved2 = 6;
    std::uint8_t nextLetter = 'C';
    std::int32_t viewFromStationary = 1, keepInView = 0, pathAccuracy = 50;
    double finest = 0.0001, coarsest = 0.5;
    std::int32_t stereo = 0, anaglyph = 1;
    double cameraDistance = -40.0;
    std::string eol = "\n";
};

class FileBuilder {
  public:
    static std::string i32(std::int32_t v) {
        std::string s;
        for (int i = 0; i < 4; ++i) s.push_back(char(std::uint32_t(v) >> (8 * i) & 0xff));
        return s;
    }
    static std::string i16(std::int16_t v) {
        std::string s;
        s.push_back(char(std::uint16_t(v) & 0xff));
        s.push_back(char(std::uint16_t(v) >> 8 & 0xff));
        return s;
    }
    static std::string f64(double v) {
        std::string s;
        auto u = std::bit_cast<std::uint64_t>(v);
        for (int i = 0; i < 8; ++i) s.push_back(char(u >> (8 * i) & 0xff));
        return s;
    }

    static std::string sphere(const SphereRecord& r, const std::string& eol) {
        std::string s = r.name + eol + i32(r.color) + i32(r.surface) + r.texture + eol;
        for (auto f : r.flags) s += i32(f);
        s += i32(r.radiusNum) + i32(r.radiusDen) + i32(r.rateNum) + i32(r.rateDen);
        s += f64(r.axisZ) + f64(r.axisX) + i16(r.inside) + i16(r.antiClockwise);
        s += f64(r.initialRevolution) + f64(r.initialSpin);
        for (auto d : r.dynamic) s += i32(d);
        s += i32(r.storedPointCount == -2 ? std::int32_t(r.points.size()) : r.storedPointCount);
        for (const auto& p : r.points) s += f64(p.z) + f64(p.x) + f64(p.q);
        s += "dont know_why" + eol + r.parent + eol + r.radiusRef + eol + r.timeRef + eol;
        return s;
    }

    static std::string file(const FileRecord& f) {
        std::string s = i32(f.storedCount == -2 ? std::int32_t(f.spheres.size()) : f.storedCount);
        for (const auto& r : f.spheres) s += sphere(r, f.eol);
        s += f.stationary + f.eol + f.referenceChild + f.eol;
        s += i32(f.reserved1) + i32(f.reserved2);
        s.push_back(char(f.nextLetter));
        s += i32(f.viewFromStationary) + i32(f.keepInView) + i32(f.pathAccuracy);
        s += f64(f.finest) + f64(f.coarsest) + i32(f.stereo) + i32(f.anaglyph);
        s += f64(f.cameraDistance);
        return s;
    }

    // Root "A" and its child "B" as a new document has them.
    static FileRecord starter(double cameraDistance) {
        FileRecord f;
        SphereRecord a;
        a.name = "A";
        a.color = 0x1216bc;  // RGB(188, 22, 18)
        SphereRecord b;
        b.name = "B";
        b.color = 0x378beb;  // RGB(235, 139, 55)
        b.parent = "A";
        b.radiusRef = "A";
        f.spheres = {a, b};
        f.cameraDistance = cameraDistance;
        return f;
    }
};
