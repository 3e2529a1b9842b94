// A readable summary of a document: its spheres with their relations and
// factors, its roles, for every traced sphere the common period, the
// estimated length that sets the sample count, and for every traced point
// what its curve is (period, symmetry, lobes, measured length, thickness).
#pragma once

#include <string>
#include <vector>

#include "curveinvariants.h"

class Document;
struct Sphere;

class AutomatonReport {
  public:
    struct PathLine {
        std::string sphere;
        std::string period;          // exact; "" when there is no common period
        double estimatedLength = 0;  // the estimate the sample count comes from
        long long samples = 0;       // per point, as the path accuracy asks
        int points = 0;
    };

    // Works out the plans and, when they are not up to date, the paths.
    // doc must have been placed (opening does that).
    explicit AutomatonReport(Document& doc);

    std::string text() const;
    std::string json() const;

    // A JSON string literal of a name: decoded as UTF-8 when the bytes are
    // valid UTF-8, otherwise as Windows-1252 (files of older programs).
    static std::string jsonString(const std::string& bytes);
    // Printable in a terminal: control bytes as \xNN.
    static std::string printable(const std::string& bytes);

    const std::vector<PathLine>& paths() const { return paths_; }
    const std::vector<CurveInvariants>& curves() const { return curves_; }

  private:
    Document& doc_;
    std::vector<PathLine> paths_;
    std::vector<CurveInvariants> curves_;
};
