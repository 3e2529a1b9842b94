// A web page of an automaton: one HTML file with the viewer and the data
// inside, nothing fetched from elsewhere, for a course page, a portfolio or
// a notebook. The viewer (web/viewer.html, web/viewer.js) is embedded when
// the program is built; the data are the curves at the document's own
// samples, quantised and deflated, the spheres' motion over one period of
// the rolling animation, the camera and what `info` says of each curve.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

class Document;

struct WebPageOptions {
    // The page's title: the document's name without folder or extension.
    std::string title = "Rotundel automaton";
    // The whole file at most; above it the curves are thinned (a note).
    std::size_t maxBytes = kDefaultMaxBytes;
    static constexpr std::size_t kDefaultMaxBytes = 2'000'000;
    // The viewer alone takes this much; a budget must leave room for data.
    static std::size_t leastBytes();
    // "note: ..." sentences.
    std::function<void(const std::string&)> tell;
};

namespace WebPage {
// The page of doc, whose paths are computed. "" with *error set when the
// curves cannot be written (a coordinate beyond what a page holds).
std::string make(const Document& doc, const WebPageOptions& options, std::string* error);
// "2MB", "500kB", "150000": bytes, or nullopt-like 0 for text it cannot read.
std::size_t bytesOf(const std::string& text);
// The title a front end gives for a document read from path ("" when new).
std::string titleFor(const std::string& path);
}  // namespace WebPage
