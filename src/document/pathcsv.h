// The sampled point paths of a document as comma-separated values: one row
// per sample, header "sphere,point,sample,x,y,z".
#pragma once

#include <functional>
#include <string>
#include <string_view>

class Document;

class PathCsv {
  public:
    using Sink = std::function<void(std::string_view)>;

    // Spheres in table order, points in list order, samples in time order,
    // each coordinate as the shortest decimal that reads back to the same
    // double. The text goes to sink in pieces of a few hundred kilobytes.
    static void write(const Document& doc, const Sink& sink);

    // Why doc has no path to write ("" when a point traces one): what an
    // export of the paths says instead of writing an empty table.
    static std::string nothingTraced(const Document& doc);

    // A CSV field: quoted when it holds a comma, a quote or a line break.
    static std::string field(std::string_view text);
};
