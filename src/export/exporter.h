// The export service: every file the program makes from an automaton, for
// the window, the command line and Python alike. A request is the output's
// name and the options as the command line spells them ("size" = "100mm",
// "plotter" = ""); the service picks the format from the name, refuses an
// option that does not apply or a value it cannot take with one message,
// and writes through the program's one save. The front ends only translate
// their input into a request, so the same request gives the same bytes and
// the same messages everywhere.
//
// Threads: write() reads and steps the automaton; call it where the
// automaton may be changed (the window exports a copy of its document).
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "unitquaternion.h"

class Document;

// What a request makes, by the output's name (and --plotter for .svg and
// .gcode).
enum class ExportKind {
    Table,        // .csv: the sampled positions
    Automaton,    // .one: the document itself (save as)
    Drawing,      // .svg: the paths through the document's camera
    PlotterPage,  // .svg with --plotter: a page in millimetres for pen plotters
    PenProgram,   // .gcode with --plotter: the same page as G-code
    Mesh,         // .obj .ply .stl .glb .3mf: tubes around the paths
    Track,        // .thr: a sand-table track
    Image,        // .png .jpg .bmp .tif: the first frame as a picture
    Movie,        // .mp4 .webm .gif or a folder of PNG frames
    WebPage,      // .html: an interactive page with the viewer inside
};

// Options by their command-line names without the dashes, in the order
// given; a flag's value is "".
using ExportOptionValues = std::vector<std::pair<std::string, std::string>>;

struct ExportRequest {
    std::string output;
    ExportOptionValues options;

    ExportRequest& set(const std::string& name, const std::string& value = {});
    // The value given for name, if any (the last one given).
    std::optional<std::string> get(const std::string& name) const;
    bool has(const std::string& name) const { return get(name).has_value(); }
};

// One option of the service, as every front end offers it.
struct ExportOption {
    std::string name;               // "tube-radius"; Python spells it tube_radius
    std::string value;              // what it takes, for help ("R|auto"); "" for a flag
    std::string help;               // one line
    std::vector<ExportKind> kinds;  // the outputs it shapes
};

// What the program is told while writing: notes ("the tubes were made
// coarser ...") and warnings, one sentence each, and movie progress.
struct ExportContext {
    // The document as messages name it (its file name).
    std::string inputName = "the automaton";
    // The further documents of a sheet (writeSheet), as messages name them;
    // "the automaton in cell N" where a name is missing.
    std::vector<std::string> sheetNames;
    // Where the document lives, for textures named relative to it.
    std::string documentFolder;
    // The document's file, whose name titles a web page ("" for a new one).
    std::string documentPath;
    // The front end has put the paths of the first frame in place (Python
    // lends its computed paths); otherwise they are computed when stale.
    bool pathsReady = false;
    // Rolling movies: the untraced rest of each path drawn faintly, as the
    // window shows it.
    bool faintRest = true;
    // The picture size drawings through the camera (.svg, --view camera)
    // are framed for: the window's image size, 640 x 480 elsewhere.
    int viewWidth = 640, viewHeight = 480;
    // Frames done of total, for movies; called on the writing thread.
    std::function<void(int done, int total)> progress;
    // Set from any thread to stop a movie between frames.
    const std::atomic<bool>* cancel = nullptr;
    // "note: ..." and "warning: ..." sentences, without the program's name.
    std::function<void(const std::string& message)> tell;
};

struct ExportResult {
    bool ok = false;
    bool cancelled = false;  // a movie stopped by ExportContext::cancel
    std::string error;       // one sentence when !ok and !cancelled
};

// The tubes of a mesh request, known before it is written.
struct TubePreview {
    // In the file's units (millimetres when the model has a size, the
    // automaton's units otherwise), and the radius in automaton units.
    double radius = 0, resolution = 0, automatonRadius = 0;
    // File units per automaton unit.
    double scale = 1;
    bool sized = false;
    // What write() tells of them: "tube radius 0.75 mm (0.031 units)", then
    // any "warning: ..." sentences.
    std::vector<std::string> messages;
    // check()'s complaint, or why no tube can be made; nothing else is set.
    std::string error;
};

class Exporter {
  public:
    // Every option, in the order help lists them.
    static const std::vector<ExportOption>& options();
    // The kind output names, or nullopt when none (checkRequest says why).
    static std::optional<ExportKind> kindOf(const ExportRequest& request);
    // "" when the request can be written, otherwise the one usage
    // complaint (a sentence without the program's name): an output it
    // cannot make, an unknown option, one that does not apply to the
    // output, a value out of range.
    static std::string check(const ExportRequest& request);
    // What a front end asks for: an export (files for machines and other
    // programs), a picture or a movie. Each writes its own kinds.
    enum class Command { Export, Render, Movie };
    // check() for a request that came through command: first whether the
    // command writes that kind at all. Every front end (the command line,
    // Python, the window) passes the request here and says what it says.
    static std::string check(const ExportRequest& request, Command command);
    // Whether option shapes the request's output (a mesh's resolution only
    // a solid's, union only a 3MF file's).
    static bool applies(const std::string& option, const ExportRequest& request);
    // The tube radius, cell and warnings of a mesh request, by the rules
    // write() sizes its tubes with, for a front end to show while the
    // options are chosen. extent is the model's largest dimension in
    // automaton units as PathMesh::extent measures it; unset, it is
    // measured here for these options, which costs about as much as the
    // tubes' centre lines. (A front end may measure it once for the file's
    // type: the centre lines move with the radius by a small part of it.)
    static TubePreview previewTubes(const Document& doc, const ExportRequest& request,
                                    std::optional<double> extent = std::nullopt);
    // Writes the request (after check). The document as read: its paths
    // are computed here when they are not up to date. Files, notes and
    // warnings are the same from every front end.
    static ExportResult write(Document& doc, const ExportRequest& request,
                              const ExportContext& context = {});
    // Several documents on one plotter sheet (--grid), one to a cell row by
    // row, as write() draws one; at most mostDocuments() of them.
    static ExportResult writeSheet(const std::vector<Document*>& sheet,
                                   const ExportRequest& request, const ExportContext& context = {});
    // How many documents the request draws (after check): the cells of a
    // plotter sheet's --grid, otherwise 1.
    static std::size_t mostDocuments(const ExportRequest& request);

    // Help lines for the formats, one per extension ("  .csv   ...").
    static std::string formatHelp();
    // The camera's orientation for --view top, front or side (as a
    // plotter page sees the automaton); none for camera or an unknown view.
    static std::optional<unitquaternion> viewOrientation(const std::string& view);
    // The extensions export writes, as a sentence's list.
    static const char* const kWrites;
};

// How the option table reads values, for the front ends' own arguments too:
// the extension in lower case with its dot; a whole number within bounds; a
// finite decimal number, the whole text and nothing else.
std::string lowerExtension(const std::string& path);
std::optional<int> wholeNumber(const std::string& text, int least, int most);
std::optional<double> decimalNumber(const std::string& text);
