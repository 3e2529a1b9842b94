// The one fan-out of work over the machine's cores: path sampling, tube
// meshes for files and tube meshes for the window all hand out their items
// through here.
#pragma once

#include <cstddef>
#include <functional>

struct ParallelOptions {
    // Threads at most, the calling thread among them; 0: one per core.
    unsigned threads = 0;
    // Asked before each item is handed out (from any of the threads); once
    // it has said true, no further item starts.
    std::function<bool()> stop;
};

// Runs body(index, worker) for every index below count, items handed out
// one at a time so that uneven items balance; worker is 0 on the calling
// thread and 1, 2... on the others. Returns when every item has run or been
// skipped after a stop; true when none was skipped. An exception thrown by
// body stops the handing out and is thrown again here, after every helper
// has finished.
bool parallelFor(std::size_t count,
                 const std::function<void(std::size_t index, unsigned worker)>& body,
                 const ParallelOptions& options = {});
