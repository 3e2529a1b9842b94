// Parsing and checking the command line's option tables.
#include "cli_options.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <memory>

#include "atomicfile.h"
#include "automatonreport.h"
#include "commands.h"
#include "document.h"

namespace {
const CliOption* find(const std::vector<CliOption>& options, const std::string& name) {
    for (const CliOption& o : options)
        if (std::find(o.names.begin(), o.names.end(), name) != o.names.end()) return &o;
    return nullptr;
}

std::string listed(const std::vector<std::string>& items) {
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i)
        out += (i == 0 ? "" : i + 1 == items.size() ? " and " : ", ") + items[i];
    return out;
}
}  // namespace

std::string parseCommandLine(const std::vector<std::string>& args,
                             const std::vector<CliOption>& options, CliLine& line) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() < 2 || a[0] != '-') {
            line.files.push_back(a);
            continue;
        }
        const std::size_t eq = a.rfind("--", 0) == 0 ? a.find('=') : std::string::npos;
        const std::string name = a.substr(0, eq);
        const CliOption* o = find(options, name);
        if (!o) return "unknown option " + AutomatonReport::printable(name);
        std::string value;
        if (o->value.empty()) {
            if (eq != std::string::npos) return name + " takes no value";
        } else if (eq != std::string::npos) {
            value = a.substr(eq + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            std::string why = o->take("");
            return why.empty() ? name + " needs a value" : why;
        }
        if (std::string why = o->take(value); !why.empty()) return why;
        line.given.push_back(o);
    }
    return {};
}

std::string checkAppliesTo(const CliLine& line, const std::string& output) {
    const std::string ext = lowerExtension(output);
    for (const CliOption* o : line.given) {
        if (o->appliesTo.empty()) continue;
        if (std::find(o->appliesTo.begin(), o->appliesTo.end(), ext) != o->appliesTo.end())
            continue;
        return o->names.front() + " applies only to " + listed(o->appliesTo) + " files, not to " +
               AutomatonReport::printable(output);
    }
    return {};
}

void printOptions(std::ostream& out, const std::vector<CliOption>& options) {
    std::vector<std::string> left;
    std::size_t width = 0;
    for (const CliOption& o : options) {
        std::string l = "  ";
        for (std::size_t k = 0; k < o.names.size(); ++k) l += (k ? ", " : "") + o.names[k];
        if (!o.value.empty()) l += " " + o.value;
        width = std::max(width, l.size());
        left.push_back(l);
    }
    for (std::size_t i = 0; i < options.size(); ++i) {
        std::string l = left[i];
        l.resize(width + 3, ' ');
        out << l << options[i].help;
        if (!options[i].appliesTo.empty()) out << " (" << listed(options[i].appliesTo) << ")";
        out << "\n";
    }
}

int usageError(const std::string& command, const std::string& complaint) {
    std::cerr << "rotundel " << command << ": " << complaint << "; for usage see rotundel "
              << command << " --help.\n";
    return kExitUsage;
}

int fileError(const std::string& action, const std::string& path, std::string why) {
    while (!why.empty() && (why.back() == '.' || why.back() == '\n')) why.pop_back();
    std::cerr << "rotundel: cannot " << action << " " << AutomatonReport::printable(path) << ": "
              << why << ".\n";
    return kExitFileError;
}

int openInput(Document& doc, const std::string& path) {
    DocResult r = doc.openDocument(path);
    if (!r) {
        std::string why = r.message;
        if (!why.empty() && why.back() == '.') why.pop_back();
        if (why.empty())
            why = r.reason;
        else if (!r.reason.empty())
            why += " (" + r.reason + ")";
        return fileError("read", path, why);
    }
    AtomicFile::protect(path);
    return kExitOk;
}

CliOption flagOption(const std::string& name, const std::string& help, bool* on) {
    return {{name}, "", help, {}, [on](const std::string&) -> std::string {
                *on = true;
                return {};
            }};
}

std::vector<CliOption> exportOptionRows(ExportRequest& request,
                                        const std::vector<ExportKind>& kinds) {
    std::vector<CliOption> rows;
    for (const ExportOption& o : Exporter::options()) {
        if (std::none_of(o.kinds.begin(), o.kinds.end(), [&](ExportKind k) {
                return std::find(kinds.begin(), kinds.end(), k) != kinds.end();
            }))
            continue;
        const std::string name = o.name;
        rows.push_back({{"--" + name},
                        o.value,
                        o.help,
                        {},
                        [&request, name](const std::string& v) -> std::string {
                            request.set(name, v);
                            return {};
                        }});
    }
    return rows;
}

int writeExport(Document& doc, const std::string& input, const ExportRequest& request,
                ExportContext context, const std::vector<std::string>& moreInputs) {
    std::error_code ec;
    context.inputName = input;
    context.documentPath = input;
    context.documentFolder = std::filesystem::absolute(input, ec).parent_path().string();
    context.tell = [](const std::string& m) {
        std::cerr << "rotundel: " << AutomatonReport::printable(m) << "\n";
    };
    std::vector<std::unique_ptr<Document>> more;
    std::vector<Document*> sheet{&doc};
    for (const std::string& file : moreInputs) {
        more.push_back(std::make_unique<Document>());
        if (int status = openInput(*more.back(), file); status != kExitOk) return status;
        sheet.push_back(more.back().get());
        context.sheetNames.push_back(file);
    }
    ExportResult r = Exporter::writeSheet(sheet, request, context);
    if (r.ok) return kExitOk;
    std::cerr << "rotundel: " << AutomatonReport::printable(r.error) << "\n";
    return kExitFileError;
}
