// A readable summary of a document: its spheres with their relations and
// factors, its roles, and for every traced sphere the common period,
// estimated length and sample count of its points' paths.
#pragma once

#include <string>
#include <vector>

class CRotundelDoc;
struct Sphere;

class AutomatonReport {
  public:
    struct PathLine {
        std::string sphere;
        std::string period;  // exact; "" when there is no common period
        double length = 0;
        long long samples = 0;  // per point, as the path accuracy asks
        int points = 0;
    };

    // Works out the plans; does not compute the paths. doc must have been
    // placed (opening does that).
    explicit AutomatonReport(CRotundelDoc& doc);

    std::string text() const;
    std::string json() const;

    // A JSON string literal: quotes, backslashes and control characters
    // escaped, bytes above 0x7f taken as Latin-1.
    static std::string jsonString(const std::string& bytes);
    // Printable in a terminal: control bytes as \xNN.
    static std::string printable(const std::string& bytes);

    const std::vector<PathLine>& paths() const { return paths_; }

  private:
    CRotundelDoc& doc_;
    std::vector<PathLine> paths_;
};
