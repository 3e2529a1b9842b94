// The texts the command line prints and writes: CSV fields, JSON strings,
// terminal-safe names, and the info report of awkward automata.
#include <gtest/gtest.h>

#include "automatonreport.h"
#include "document.h"
#include "pathcsv.h"
#include "sphere.h"

TEST(Report, TextsAreEscapedForTheirFormats) {
    struct Case {
        std::string raw, csv, json, terminal;
    };
    const Case cases[] = {
        {"B", "B", "\"B\"", "B"},
        {"a,b", "\"a,b\"", "\"a,b\"", "a,b"},
        {"say \"hi\"", "\"say \"\"hi\"\"\"", "\"say \\\"hi\\\"\"", "say \"hi\""},
        {"back\\slash", "back\\slash", "\"back\\\\slash\"", "back\\slash"},
        {"tab\tbell\x07", "tab\tbell\x07", "\"tab\\tbell\\u0007\"", "tab\\x09bell\\x07"},
        // Windows-1252 bytes of an older program's file, and UTF-8 as the
        // window writes it, both come out as the same UTF-8.
        {"\xe9t\xe9", "\xe9t\xe9", "\"\xc3\xa9t\xc3\xa9\"", "\xe9t\xe9"},
        {"B\xc3\xa9", "B\xc3\xa9", "\"B\xc3\xa9\"", "B\xc3\xa9"},
        {"\x80 \x9f", "\x80 \x9f", "\"\xe2\x82\xac \xc5\xb8\"", "\x80 \x9f"},
        {"", "", "\"\"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PathCsv::field(c.raw), c.csv) << c.raw;
        EXPECT_EQ(AutomatonReport::jsonString(c.raw), c.json) << c.raw;
        EXPECT_EQ(AutomatonReport::printable(c.raw), c.terminal) << c.raw;
    }
}

TEST(Report, CsvRowsFollowTableAndPointOrder) {
    Document doc;
    doc.newDocument();
    Sphere* b = doc.selectedSphere;
    b->addPoint(90, 0, 1);
    doc.createSphere()->setRadiusFactor(1, 3);
    doc.step();
    std::string csv;
    PathCsv::write(doc, [&csv](std::string_view t) { csv += t; });
    std::size_t expectedRows = 0;
    for (Sphere* s : doc.sphereTable)
        if (s)
            for (auto& p : s->points) expectedRows += p.path.size();
    EXPECT_EQ(static_cast<std::size_t>(std::count(csv.begin(), csv.end(), '\n')), 1 + expectedRows);
    std::size_t firstB1 = csv.find("\nB,1,0,");
    std::size_t lastB0 = csv.rfind("\nB,0,");
    std::size_t firstC = csv.find("\nC,0,0,");
    ASSERT_NE(firstB1, std::string::npos);
    ASSERT_NE(firstC, std::string::npos);
    EXPECT_LT(lastB0, firstB1);
    EXPECT_LT(firstB1, firstC);
}

TEST(Report, AwkwardAutomataStillReport) {
    struct Case {
        const char* what;
        std::function<void(Document&)> change;
        const char* expect;
    };
    const Case cases[] = {
        {"no stationary sphere", [](Document& d) { d.stationarySphere = nullptr; },
         "stationary sphere: none"},
        {"a zero radius factor",
         [](Document& d) {
             d.applyEdit("Radius", 0, kRewind | kPlace | kFitCamera,
                         [&d] { d.selectedSphere->setRadiusFactor(0, 1); });
         },
         "no common period"},
        {"the traced sphere stationary",
         [](Document& d) {
             d.applyEdit("Stationary", 0, kRewind | kPlace | kFitCamera,
                         [&d] { d.stationarySphere = d.selectedSphere; });
         },
         "stationary sphere: B"},
        {"a name with a line feed from elsewhere",
         [](Document& d) { d.selectedSphere->name = "x\ny"; }, "sphere x\\x0ay"},
    };
    for (const Case& c : cases) {
        Document doc;
        doc.newDocument();
        c.change(doc);
        AutomatonReport report(doc);
        EXPECT_NE(report.text().find(c.expect), std::string::npos) << c.what << "\n"
                                                                   << report.text();
        EXPECT_FALSE(report.json().empty());
    }
}
