// The export service's one check: the format by the output's name, options
// that apply to it, values in range; and the same refusal for every front
// end, since they all hand it the same request. What it foresees of a
// mesh's tubes, against what writing the mesh says.
#include "exporter.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "document.h"

namespace {

ExportRequest request(const std::string& out, ExportOptionValues options = {}) {
    ExportRequest r;
    r.output = out;
    r.options = std::move(options);
    return r;
}

}  // namespace

TEST(Exporter, KindComesFromTheNameAndThePlotterFlag) {
    struct Case {
        std::string out;
        ExportOptionValues options;
        std::optional<ExportKind> kind;
    };
    const Case cases[] = {
        {"a.csv", {}, ExportKind::Table},
        {"A.CSV", {}, ExportKind::Table},
        {"a.one", {}, ExportKind::Automaton},
        {"a.svg", {}, ExportKind::Drawing},
        {"a.svg", {{"plotter", ""}}, ExportKind::PlotterPage},
        {"a.stl", {}, ExportKind::Mesh},
        {"a.3mf", {}, ExportKind::Mesh},
        {"a.glb", {}, ExportKind::Mesh},
        {"a.thr", {}, ExportKind::Track},
        {"a.png", {}, ExportKind::Image},
        {"a.TIF", {}, ExportKind::Image},
        {"a.mp4", {}, ExportKind::Movie},
        {"frames", {}, ExportKind::Movie},
        {"a.dxf", {}, std::nullopt},
        {"", {}, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Exporter::kindOf(request(c.out, c.options)), c.kind) << c.out;
}

TEST(Exporter, OneCheckRefusesWhatDoesNotApplyOrFit) {
    struct Case {
        std::string out;
        ExportOptionValues options;
        std::string refusal;  // "" when accepted; otherwise the start of it
    };
    const Case cases[] = {
        {"a.stl", {{"tube-radius", "auto"}, {"sides", "3"}, {"size", "100mm"}}, ""},
        {"a.stl", {{"sides", "2"}}, "--sides needs a whole number from 3 to 64."},
        {"a.stl", {{"sides", "64.5"}}, "--sides needs"},
        {"a.stl", {{"tube-radius", "0"}}, "--tube-radius needs auto"},
        {"a.stl", {{"size", "100mm"}, {"scale", "2"}}, "give --size or --scale, not both."},
        {"a.stl", {{"size", "big"}}, "--size needs a length"},
        {"a.stl", {{"max-triangles", "0"}}, "--max-triangles needs a whole number from 1"},
        // Above what a gigabyte holds, with the limit said.
        {"a.glb",
         {{"max-triangles", "50000000"}},
         "--max-triangles needs a whole number from 1 "
         "to 1600000 for OBJ, PLY and glTF files"},
        {"a.3mf",
         {{"max-triangles", "2500001"}},
         "--max-triangles needs a whole number from 1 "
         "to 2500000 for STL and 3MF"},
        {"a.obj", {{"max-triangles", "1600000"}}, ""},
        {"a.csv", {{"sides", "5"}}, "--sides applies only to meshes."},
        {"a.stl", {{"plotter", ""}}, "--plotter applies only to .svg drawings and .gcode."},
        {"a.svg", {{"page", "A4"}}, "--page applies only to drawings for plotters (--plotter)."},
        {"a.svg", {{"plotter", ""}, {"page", "B9"}}, "--page needs A3, A4, A5, letter"},
        {"a.svg", {{"plotter", ""}, {"view", "under"}}, "--view needs top, front, side or camera."},
        {"a.svg", {{"plotter", ""}, {"tolerance", "0.0001mm"}}, "--tolerance needs a length"},
        {"a.svg", {{"plotter", ""}, {"landscape", "yes"}}, "--landscape takes no value."},
        {"a.thr", {{"tolerance", "0.001"}, {"point", "B:1"}}, ""},
        {"a.thr",
         {{"tolerance", "0"}},
         "--tolerance needs a number of table radii from 0.000001 to 1000000."},
        {"a.thr", {{"point", "B"}}, "--point needs all, traced, or spheres and point numbers"},
        {"a.stl", {{"point", "B:0,C:1"}, {"no-centres", ""}}, ""},
        {"a.svg", {{"plotter", ""}, {"point", "traced"}}, ""},
        {"a.png", {{"point", "B:0,"}}, "--point needs"},
        {"a.csv",
         {{"point", "B:0"}},
         "--point applies only to meshes, drawings, tracks, pictures and web pages"},
        {"a.thr", {{"size", "10mm"}}, "--size applies only to meshes."},
        {"a.thr", {{"point", "all"}, {"start", "rim"}, {"preview", "a.png"}}, ""},
        {"a.thr", {{"start", "middle"}}, "--start needs centre or rim."},
        {"a.thr", {{"preview", "a.jpg"}}, "--preview needs a .png file."},
        {"a.png", {{"preview", "a.png"}}, "--preview applies only to sand-table tracks"},
        {"a.svg", {{"plotter", ""}, {"scale", "20mm"}, {"grid", "3x1"}, {"verbose", ""}}, ""},
        {"a.svg", {{"plotter", ""}, {"scale", "-2mm"}}, "--scale needs a length per"},
        {"a.stl", {{"scale", "20mm"}}, "--scale needs a number above 0"},
        {"a.svg", {{"plotter", ""}, {"grid", "0x2"}}, "--grid needs columns x rows"},
        {"a.svg", {{"plotter", ""}, {"pen-up", "G0"}}, "--pen-up applies only to G-code"},
        {"a.gcode",
         {{"plotter", ""}, {"pen-up", "G0 Z5"}, {"feed", "1200"}, {"pen-change", ""}},
         ""},
        {"a.gcode", {{"plotter", ""}, {"pen-down", "G1\nM2"}}, "--pen-down needs one line"},
        {"a.gcode", {{"plotter", ""}, {"feed", "0"}}, "--feed needs a speed"},
        {"a.gcode", {}, "cannot write a.gcode: G-code is written for pen plotters"},
        {"a.png", {{"width", "4096"}, {"curves-only", ""}}, ""},
        {"a.png", {{"width", "0"}}, "--width must be a whole number of pixels"},
        {"a.png", {{"frames", "3"}}, "--frames applies only to movies."},
        {"a.gif", {{"frames", "100001"}}, "--frames must be a whole number from 1 to"},
        {"a.csv", {{"width", "10"}}, "--width applies only to pictures and movies."},
        {"a.csv", {{"colour", "red"}}, "unknown option --colour."},
        {"a.dxf", {}, "cannot write a.dxf: it writes"},
    };
    for (const Case& c : cases) {
        const std::string why = Exporter::check(request(c.out, c.options));
        if (c.refusal.empty())
            EXPECT_EQ(why, "") << c.out;
        else
            EXPECT_EQ(why.rfind(c.refusal, 0), 0u) << c.out << ": " << why;
    }
}

TEST(Exporter, EveryOptionNamesTheOutputsItShapes) {
    for (const ExportOption& o : Exporter::options()) {
        EXPECT_FALSE(o.kinds.empty()) << o.name;
        EXPECT_FALSE(o.help.empty()) << o.name;
        // Spelt as on the command line: lower case words joined by '-'.
        EXPECT_EQ(o.name.find_first_not_of("abcdefghijklmnopqrstuvwxyz-"), std::string::npos);
    }
}

// What a front end shows before a mesh is written is what writing it says,
// on documents whose tubes' centre lines reach past their samples.
TEST(Exporter, TheTubesForeseenAreTheTubesSaid) {
    struct Case {
        std::string document, out;
        ExportOptionValues options;
    };
    const Case cases[] = {
        {"chain.one", "a.obj", {}},
        {"chain.one", "a.stl", {{"size", "100mm"}}},
        {"epicycles.one", "a.3mf", {{"size", "100mm"}, {"tube-radius", "0.3mm"}}},
        {"epicycles.one", "a.glb", {{"tube-radius", "0.05"}, {"sides", "5"}}},
    };
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("foreseen-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    for (const Case& c : cases) {
        Document doc;
        ASSERT_TRUE(doc.openDocument(std::string(ROTUNDEL_EXAMPLES) + "/" + c.document).ok);
        doc.step();
        const ExportRequest r = request((dir / c.out).string(), c.options);
        const TubePreview foreseen = Exporter::previewTubes(doc, r);
        std::vector<std::string> said;
        ExportContext context;
        context.tell = [&](const std::string& m) {
            if (m.rfind("note: ", 0) != 0) said.push_back(m);
        };
        ASSERT_TRUE(Exporter::write(doc, r, context).ok) << c.document << " " << c.out;
        EXPECT_EQ(foreseen.messages, said) << c.document << " " << c.out;
    }
    std::filesystem::remove_all(dir);
}
