// The new, info and export commands, run as the user runs them: exit
// statuses, one clear sentence on failure, and the files they write.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "document.h"
#include "filebuilder.h"
#include "onefile.h"

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status = -1;
    std::string out, err;
};

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class DocumentCommands : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("rotundel-doc-cli-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // args are passed through the shell as they stand; "@" stands for dir.
    Outcome run(std::string args) {
        for (std::size_t at; (at = args.find('@')) != std::string::npos;)
            args.replace(at, 1, quote(dir.string()));
        std::string cmd = "timeout 60 " + quote(ROTUNDEL_EXE) + " " + args + " >" +
                          quote((dir / "stdout.txt").string()) + " 2>" +
                          quote((dir / "stderr.txt").string()) + " </dev/null";
        int raw = std::system(cmd.c_str());
        Outcome r;
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = slurp(dir / "stdout.txt");
        r.err = slurp(dir / "stderr.txt");
        return r;
    }
    void put(const std::string& name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
    }

    fs::path dir;
};

std::size_t lines(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

}  // namespace

TEST_F(DocumentCommands, ExitStatusesAndMessages) {
    FileRecord cycle = FileBuilder::starter(-40.0);
    cycle.spheres[0].parent = "B";
    FileRecord zero = FileBuilder::starter(-40.0);
    zero.spheres[1].radiusDen = 0;
    put("good.one", FileBuilder::file(FileBuilder::starter(-40.0)));
    put("cut.one", FileBuilder::file(FileBuilder::starter(-40.0)).substr(0, 57));
    put("empty.one", "");
    put("cycle.one", FileBuilder::file(cycle));
    put("zero.one", FileBuilder::file(zero));
    put("noise.one", std::string("\xff\xff\xff\x7f", 4) + std::string(5000, '\x01'));
    FileRecord still = FileBuilder::starter(-40.0);
    still.stationary = Document::kNoSphereName;
    put("still.one", FileBuilder::file(still));
    fs::create_directories(dir / "folder.one");
    ASSERT_EQ(::mkfifo((dir / "fifo.one").c_str(), 0600), 0);  // nobody ever writes to it

    struct Case {
        std::string args;
        int status;
        std::string errorContains;  // "" = nothing on standard error
    };
    const Case cases[] = {
        {"new @/made.one", 0, ""},
        {"info @/good.one", 0, ""},
        {"info --json @/good.one", 0, ""},
        {"export @/good.one -o @/out.csv", 0, ""},
        {"export @/good.one -o @/OUT.CSV", 0, ""},
        {"export @/good.one -o @/out.one", 0, ""},
        {"new", 2, "new takes one file name"},
        {"new @/a.one @/b.one", 2, "usage"},
        {"info", 2, "info needs a file"},
        {"info @/good.one --xml", 2, "does not know the option --xml"},
        {"export @/good.one", 2, "usage"},
        {"export @/good.one -o", 2, "-o needs a file name"},
        {"export @/good.one -o @/out.txt", 2, ".csv"},
        {"export -o @/out.csv", 2, "usage"},
        {"new @/missing/dir/x.one", 1, "cannot write"},
        {"new @/folder.one", 1, "cannot write"},
        {"info @/missing.one", 1, "Failed to open document (No such file or directory)."},
        {"info @/folder.one", 1, "Failed to open document"},
        {"info @/fifo.one", 1, "not a regular file"},
        {"info /dev/zero", 1, "not a regular file"},
        {"info @/empty.one", 1, "Unexpected file format."},
        {"info @/cut.one", 1, "Unexpected file format."},
        {"info @/cycle.one", 1, "Unexpected file format."},
        {"info @/noise.one", 1, "Unexpected file format."},
        {"info @/zero.one", 1, "Damaged file: a sphere's radius or rate in it divides by zero."},
        {"export @/cut.one -o @/never.csv", 1, "Unexpected file format."},
        {"export @/good.one -o @/missing/dir/x.csv", 1, "cannot write"},
        {"export @/good.one -o @/missing/dir/x.one", 1, "cannot write"},
        {"frobnicate", 2, "rotundel: no command or file named frobnicate; see rotundel --help\n"},
        {"new @/made.txt", 2, "must end in .one"},
        {"new @/good.one", 1, "already exists; give --force"},
        {"new @/made.one --force", 0, ""},
        {"new --help", 0, ""},
        {"info -h", 0, ""},
        {"--version", 0, ""},
        {"--foo", 2, "unknown option --foo"},
        {"export @/good.one -o @/out.csv --sides 5", 2, "--sides applies only to meshes"},
        {"export @/good.one -o @/out.one --tube-radius 1", 2, "--tube-radius applies only"},
        {"export @/good.one -o @/x.stl --tube-radius 1e6", 2, "below 1000000"},
        // The range that applies, and no value that passes the check only
        // to fail in the writer.
        {"export @/good.one -o @/x.stl --size 1e6mm", 2, "below 1000000mm"},
        {"export @/good.one -o @/x.stl --scale 1e6", 2, "below 1000000"},
        {"export @/good.one -o @/x.svg --plotter --tolerance 1e7mm", 2, "0.001mm to 1000000mm"},
        {"export @/good.one -o @/x.thr --tolerance 0", 2, "to 1000000"},
        {"export @/good.one -o @/good.one", 1, "it is the file being read"},
        {"export @/still.one -o @/x.csv", 1, "no stationary sphere"},
        {"export @/still.one -o @/x.svg", 1, "no stationary sphere"},
        {"export @/still.one -o @/x.stl", 1, "no stationary sphere"},
    };
    for (const Case& c : cases) {
        Outcome r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
        if (c.errorContains.empty()) {
            EXPECT_EQ(r.err, "") << c.args;
        } else {
            EXPECT_NE(r.err.find(c.errorContains), std::string::npos) << c.args << "\n" << r.err;
        }
        // One sentence, one line.
        if (c.status != 0) EXPECT_EQ(lines(r.err), 1u) << c.args << "\n" << r.err;
        if (c.status == 1) EXPECT_EQ(r.err.rfind("rotundel: cannot ", 0), 0u) << c.args;
    }
    EXPECT_FALSE(fs::exists(dir / "never.csv"));
    EXPECT_EQ(run("--version").out.rfind("rotundel 0.", 0), 0u);
}

TEST_F(DocumentCommands, HelpLinesUpAndNumbersAreShortest) {
    // Each command's own help names its usage, and its options where it
    // has some.
    for (auto [cmd, detail] : {std::pair{"new", ""},
                               {"info", ""},
                               {"export", "--sides N"},
                               {"render", "--width W"},
                               {"movie", "rolls"}}) {
        Outcome r = run(std::string(cmd) + " --help");
        EXPECT_EQ(r.status, 0) << cmd;
        EXPECT_EQ(r.out.rfind(std::string("usage: rotundel ") + cmd, 0), 0u) << r.out;
        EXPECT_NE(r.out.find(detail), std::string::npos) << r.out;
    }
    // The summaries of the general help start in one column.
    Outcome help = run("--help");
    std::istringstream in(help.out);
    std::set<std::size_t> columns;
    for (std::string line; std::getline(in, line);)
        if (line.rfind("  rotundel ", 0) == 0)
            columns.insert(line.find_first_not_of(' ', line.find("  ", 11)));
    EXPECT_EQ(columns.size(), 1u) << help.out;
    ASSERT_EQ(run("new @/n.one").status, 0);
    EXPECT_NE(run("info --json @/n.one").out.find("\"pathStep\": 0.25005,"), std::string::npos);
}

TEST_F(DocumentCommands, NewWritesTheStarterAutomaton) {
    ASSERT_EQ(run("new @/starter.one").status, 0);
    Document doc;
    doc.newDocument();
    EXPECT_EQ(slurp(dir / "starter.one"), OneFile::write(doc));
}

TEST_F(DocumentCommands, CsvOfTheNewDocumentHasThirtySevenSamplesOfB) {
    ASSERT_EQ(run("new @/n.one").status, 0);
    ASSERT_EQ(run("export @/n.one -o @/n.csv").status, 0);
    std::string csv = slurp(dir / "n.csv");
    ASSERT_EQ(csv.rfind("sphere,point,sample,x,y,z\n", 0), 0u);
    EXPECT_EQ(lines(csv), 1u + 37u);
    // Rows in time order, all of "B"'s first point, 17 significant digits.
    std::istringstream in(csv);
    std::string row;
    std::getline(in, row);
    for (int k = 0; k < 37; ++k) {
        ASSERT_TRUE(std::getline(in, row));
        EXPECT_EQ(row.rfind("B,0," + std::to_string(k) + ",", 0), 0u) << row;
    }
    EXPECT_NE(csv.find("B,0,0,1.5,0,0\n"), std::string::npos);
    // An off-centre point's coordinates read back to the very doubles the
    // document holds.
    Document doc;
    doc.newDocument();
    doc.findSphereByName("B")->points[0].quantumDistance = 0.7;
    doc.findSphereByName("B")->points[0].pointAngleX = 33;
    ASSERT_TRUE(doc.saveDocument((dir / "m.one").string()));
    ASSERT_EQ(run("export @/m.one -o @/m.csv").status, 0);
    ASSERT_TRUE(doc.openDocument((dir / "m.one").string()));
    doc.step();
    const auto& path = doc.findSphereByName("B")->points[0].path;
    std::istringstream back(slurp(dir / "m.csv"));
    std::getline(back, row);
    for (std::size_t k = 0; k < path.size() && std::getline(back, row); ++k) {
        double x = 0, y = 0, z = 0;
        ASSERT_EQ(std::sscanf(row.c_str(), "B,0,%*d,%lf,%lf,%lf", &x, &y, &z), 3) << row;
        EXPECT_TRUE(x == path[k].x && y == path[k].y && z == path[k].z) << row;
    }
}

TEST_F(DocumentCommands, ExportToOneIsWhatSaveAsWrites) {
    FileRecord f = FileBuilder::starter(-3.25);
    f.pathAccuracy = 20;
    put("in.one", FileBuilder::file(f));
    ASSERT_EQ(run("export @/in.one -o @/out.one").status, 0);
    Document doc;
    ASSERT_TRUE(doc.openDocument((dir / "in.one").string()));
    EXPECT_EQ(slurp(dir / "out.one"), OneFile::write(doc));
}

TEST_F(DocumentCommands, InfoNamesRelationsFactorsAndPaths) {
    ASSERT_EQ(run("new @/n.one").status, 0);
    Outcome text = run("info @/n.one");
    for (const char* piece : {"2 spheres", "sphere B: child of A; radius 1/2 x A",
                              "stationary sphere: A", "path of B: period 1", "37 samples"})
        EXPECT_NE(text.out.find(piece), std::string::npos) << piece << "\n" << text.out;
    Outcome json = run("info @/n.one --json");
    for (const char* piece :
         {"\"stationarySphere\": \"A\"", "\"radiusFactor\": \"1/2\"", "\"samples\": 37",
          "\"period\": \"1\"", "\"knot\": \"unknot\"", "\"knotStatus\": \"named\""})
        EXPECT_NE(json.out.find(piece), std::string::npos) << piece << "\n" << json.out;
}
