// The functions the page calls in the WebAssembly build: a session holds
// one document; its outputs are those of the command line on the same
// bytes (info --json, export to .csv), its refusals the desktop's
// sentences. Every result is text or bytes left in the session until the
// next call; the page copies it out at once.
#include <emscripten/emscripten.h>

#include <chrono>
#include <exception>
#include <new>
#include <string>
#include <string_view>

#include "automatonreport.h"
#include "document.h"
#include "pathcsv.h"
#include "placement.h"
#include "pointpaths.h"

namespace {

struct Session {
    Document doc;
    // What the command line would read: the bytes opened, until edits
    // replace them with the document's own.
    std::string source;
    std::string name;  // the file's name, for sentences that name it
    std::string out;
    std::string error;   // the sentence ("Unexpected file format.")
    std::string reason;  // its detail, when there is one
    double passMs = 0;   // the last path pass, wall clock

    bool fail(std::string message, std::string why = {}) {
        out.clear();
        error = std::move(message);
        reason = std::move(why);
        return false;
    }
    bool fail(const DocResult& r) { return fail(r.message, r.reason); }
    bool succeed(std::string text) {
        out = std::move(text);
        error.clear();
        reason.clear();
        return true;
    }

    // A document read afresh from source, as each command-line run reads
    // its file: the outputs never depend on what an earlier one left.
    bool reopen(Document& fresh) {
        DocResult r = fresh.openBytes(source);
        return r ? true : fail(r);
    }
};

double millisecondsSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

// Runs body, turning what it throws into the session's error: the page
// keeps working whatever one document does.
template <class Body>
int guarded(Session* s, Body body) {
    if (!s) return 0;
    try {
        return body() ? 1 : 0;
    } catch (const std::bad_alloc&) {
        return s->fail("Out of memory.");
    } catch (const std::exception& e) {
        return s->fail(e.what());
    } catch (...) {
        return s->fail("Unexpected error.");
    }
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE Session* rotundel_session_new() {
    return new (std::nothrow) Session;
}

EMSCRIPTEN_KEEPALIVE void rotundel_session_delete(Session* s) {
    delete s;
}

// Opens a .one file's bytes; on failure the session's document stays.
EMSCRIPTEN_KEEPALIVE int rotundel_open(Session* s, const char* bytes, int size, const char* name) {
    return guarded(s, [&] {
        std::string_view view(bytes, size > 0 ? static_cast<std::size_t>(size) : 0);
        if (DocResult r = s->doc.openBytes(view); !r) return s->fail(r);
        s->source.assign(view);
        s->name = name ? name : "";
        return s->succeed({});
    });
}

// The CSV that `rotundel export FILE.one -o FILE.csv` writes.
EMSCRIPTEN_KEEPALIVE int rotundel_csv(Session* s) {
    return guarded(s, [&] {
        Document fresh;
        if (!s->reopen(fresh)) return false;
        const auto t0 = std::chrono::steady_clock::now();
        fresh.step({}, false);
        s->passMs = millisecondsSince(t0);
        if (std::string why = PathCsv::nothingTraced(fresh); !why.empty())
            return s->fail("cannot export " + AutomatonReport::printable(s->name) + ": " + why +
                           ".");
        std::string text;
        PathCsv::write(fresh, [&text](std::string_view piece) { text.append(piece); });
        return s->succeed(std::move(text));
    });
}

// What `rotundel info FILE.one` prints; json: with --json.
EMSCRIPTEN_KEEPALIVE int rotundel_info(Session* s, int json) {
    return guarded(s, [&] {
        Document fresh;
        if (!s->reopen(fresh)) return false;
        AutomatonReport report(fresh);
        return s->succeed(json ? report.json() : report.text());
    });
}

// The .one bytes that saving the document writes.
EMSCRIPTEN_KEEPALIVE int rotundel_save(Session* s) {
    return guarded(s, [&] {
        std::string bytes;
        if (DocResult r = s->doc.fileBytes(bytes); !r) return s->fail(r);
        return s->succeed(std::move(bytes));
    });
}

// The path pass of the document alone, on this one thread, repeated: the
// fastest of the runs in milliseconds (the benchmark the page reports), or
// a negative number when the document cannot be read.
EMSCRIPTEN_KEEPALIVE double rotundel_bench_path_pass(Session* s, int repeats) {
    double best = -1;
    guarded(s, [&] {
        Document fresh;
        if (!s->reopen(fresh)) return false;
        PathPassControl control;
        control.threads = 1;
        for (int i = 0; i < repeats; ++i) {
            const auto t0 = std::chrono::steady_clock::now();
            reset(fresh);
            pathPass(fresh, &control);
            const double ms = millisecondsSince(t0);
            if (best < 0 || ms < best) best = ms;
        }
        return s->succeed({});
    });
    return best;
}

EMSCRIPTEN_KEEPALIVE const char* rotundel_out(Session* s) {
    return s ? s->out.data() : nullptr;
}
EMSCRIPTEN_KEEPALIVE int rotundel_out_size(Session* s) {
    return s ? static_cast<int>(s->out.size()) : 0;
}
EMSCRIPTEN_KEEPALIVE const char* rotundel_error(Session* s) {
    return s ? s->error.c_str() : "";
}
EMSCRIPTEN_KEEPALIVE const char* rotundel_reason(Session* s) {
    return s ? s->reason.c_str() : "";
}
EMSCRIPTEN_KEEPALIVE double rotundel_pass_ms(Session* s) {
    return s ? s->passMs : 0;
}

}  // extern "C"
