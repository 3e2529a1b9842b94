// What a Python automaton holds: the document, the handles given out for its
// spheres, and the paths of its last path pass, kept apart from the document
// so that arrays handed to Python stay valid however the automaton changes.
//
// Threads: everything runs with the interpreter lock held, except the path
// pass and rendering, which mark the state busy first; a busy state refuses
// every other call, so the document is never touched from two threads.
#pragma once

#include <pybind11/pybind11.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "document.h"
#include "geometry.h"
#include "rational.h"

struct Sphere;

// The positions of every traced point after one path pass. The vectors are
// the ones the pass filled, moved here: NumPy arrays look into them.
struct PathStore {
    struct Entry {
        Sphere* sphere;
        std::uint64_t serial;
        int point;
        std::vector<Vec3> xyz;
    };
    std::vector<Entry> entries;
};

class AutomatonState {
  public:
    Document doc;
    // Folder that texture names are looked up in (the file's own, once loaded).
    std::string folder;
    // The file it was read from ("" for a new one), whose name titles pages.
    std::string path;

    // Throws RuntimeError while another thread computes paths or renders.
    void checkIdle() const;

    // Serial of a live sphere's handle; given once per sphere, never reused,
    // so a handle to a destroyed sphere is recognised even when a new sphere
    // takes its memory.
    std::uint64_t serialOf(const Sphere* s);
    // The sphere behind a handle; ValueError when it has been destroyed.
    Sphere& resolve(const Sphere* s, std::uint64_t serial) const;
    bool alive(const Sphere* s, std::uint64_t serial) const;
    // Forgets the handles of spheres no longer in the table.
    void forgetDestroyed();

    // After an edit that moves something: the paths are to be computed
    // again, and before anything reads the automaton, settle() does what the
    // window's pages do after theirs (rewind dynamics, place again, fit the
    // camera when asked). A script's run of edits places once, not per edit.
    void geometryChanged(bool fitCamera = false);
    void settle();
    // After an edit of looks only (name, colour, surface): paths stay.
    void appearanceChanged() { doc.setModifiedFlag(); }

    // The paths of the first frame after the last change, computing them
    // when needed with the interpreter lock released; Ctrl+C stops the pass
    // and raises KeyboardInterrupt.
    std::shared_ptr<PathStore> paths();

    // Runs work (which must not touch Python objects) as paths() runs its
    // pass: the interpreter lock released, the state busy, and Ctrl+C
    // raising the stop request that the work polls (passstop.h). Raises
    // KeyboardInterrupt (or what Python's handler says) once the work has
    // given way. placesInside: the work may run a frame update of the
    // document (the report does), which a stop leaves half done: then the
    // automaton goes back to time 0. Not for work on lent paths.
    // finished (when given) is read once work has returned: true when it
    // completed what it was asked (a file written), so that a Ctrl+C that
    // came after its last stop point does not report it as interrupted.
    void interruptible(const std::function<void()>& work, bool placesInside = false,
                       const bool* finished = nullptr);

    // Runs work with the paths back in the document's points (the writers
    // and the renderer read them there), then takes them out again.
    template <class Work>
    auto withPaths(Work&& work) {
        std::shared_ptr<PathStore> store = paths();
        Lend lend(*store);
        return work();
    }

    // Marks the state busy and lets other Python threads run meanwhile.
    class Busy {
      public:
        explicit Busy(AutomatonState& s);
        ~Busy();
        Busy(const Busy&) = delete;
        Busy& operator=(const Busy&) = delete;

      private:
        AutomatonState& state_;
        pybind11::gil_scoped_release release_;
    };

  private:
    struct Lend {
        explicit Lend(PathStore& s);
        ~Lend();
        PathStore& store;
    };

    std::atomic<bool> busy_{false};
    bool unsettled_ = false;
    bool fitPending_ = false;
    std::shared_ptr<PathStore> store_;  // null: not computed since the last change
    std::unordered_map<const Sphere*, std::uint64_t> serials_;
    std::uint64_t nextSerial_ = 1;
};
