// `rotundel export`: the point paths, the automaton, drawings, plotter
// pages, meshes and sand-table tracks, through the export service. Needs no
// display and never opens a window.
#include <iostream>
#include <string>
#include <vector>

#include "automatonreport.h"
#include "cli_options.h"
#include "commands.h"
#include "document.h"
#include "exporter.h"

namespace {

const std::vector<ExportKind> kExportKinds = {
    ExportKind::Table,      ExportKind::Automaton, ExportKind::Drawing, ExportKind::PlotterPage,
    ExportKind::PenProgram, ExportKind::Mesh,      ExportKind::Track,   ExportKind::WebPage};

std::vector<CliOption> exportOptions(ExportRequest& r) {
    std::vector<CliOption> options = {
        {{"-o", "--output"},
         "OUT",
         "the file to write; its extension picks the format",
         {},
         [&r](const std::string& v) -> std::string {
             if (v.empty()) return "-o needs a file name";
             if (!r.output.empty()) return "export writes one file";
             r.output = v;
             return {};
         }},
    };
    for (CliOption& o : exportOptionRows(r, kExportKinds)) options.push_back(std::move(o));
    return options;
}

void exportHelp(std::ostream& out) {
    out << "usage: rotundel export FILE.one [MORE.one...] -o OUT.EXT [options]\n"
           "Writes the point paths of the automaton's first frame. OUT's extension picks "
           "the format:\n"
        << Exporter::formatHelp() << "Options:\n";
    ExportRequest unused;
    printOptions(out, exportOptions(unused));
}

int usage(std::string text) {
    while (!text.empty() && text.back() == '.') text.pop_back();
    return usageError("export", text);
}

int runExport(const std::vector<std::string>& args) {
    ExportRequest request;
    const std::vector<CliOption> options = exportOptions(request);
    CliLine line;
    if (std::string why = parseCommandLine(args, options, line); !why.empty()) return usage(why);
    if (line.files.empty() || request.output.empty())
        return usage(
            "give the document and the file to write: rotundel export FILE.one -o OUT.EXT");
    if (std::string why = Exporter::check(request, Exporter::Command::Export); !why.empty())
        return usage(why);
    // A plotter sheet (--grid) draws several documents, one to a cell.
    if (const std::size_t most = Exporter::mostDocuments(request); line.files.size() > most)
        return usage(most > 1 ? "export takes at most " + std::to_string(most) +
                                    " input files for that --grid"
                              : std::string("export takes one input file"));
    const std::string& file = line.files.front();
    Document doc;
    if (int status = openInput(doc, file); status != kExitOk) return status;
    return writeExport(doc, file, request, {}, {line.files.begin() + 1, line.files.end()});
}

const Command exportCommand("export", "export FILE.one -o OUT.EXT",
                            "point paths (.csv .svg .obj .ply .stl .glb .3mf .thr .gcode) or .one",
                            runExport, exportHelp);

}  // namespace
