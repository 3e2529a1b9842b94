// libFuzzer target for the automaton file reader: whatever the bytes, the
// reader either refuses them with its message or yields an automaton that
// places, computes its paths, and saves to a file that reads back the same.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>

#include "document.h"
#include "onefile.h"
#include "passstop.h"
#include "placement.h"
#include "sphere.h"

namespace {

// Names the program itself never makes: a line break, or the marker that
// files use for "no sphere"; or two spheres of one name where a link goes
// to the second, which no file can say (saving refuses such a document).
// Such files read, but need not read back.
bool namesStorable(const Document& doc) {
    for (const Sphere* s : doc.sphereTable)
        if (s && !Document::isStorableName(s->name)) return false;
    return doc.unstorableLink() == nullptr;
}

// Stops the work of the steps it covers (the curves' measurement, which a
// hostile file can take to its bounds of tens of millions of steps: seconds
// natively, minutes under the sanitizers) after a few seconds; what is cut
// short is what an edit in the window cuts short.
class Deadline {
  public:
    explicit Deadline(std::chrono::seconds after)
        : scope_(&stop_), watch_([this, after] {
              std::unique_lock lock(mutex_);
              if (!done_.wait_for(lock, after, [this] { return finished_; })) stop_ = true;
          }) {}
    ~Deadline() {
        {
            std::lock_guard lock(mutex_);
            finished_ = true;
        }
        done_.notify_one();
        watch_.join();
    }

  private:
    std::atomic<bool> stop_{false};
    StopScope scope_;
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread watch_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Document fresh;
    try {
        OneFile::read(bytes, fresh);
    } catch (const FileFormatError&) {
        return 0;
    } catch (const bad_rational&) {
        return 0;
    }

    // What opening does once a file has been read.
    Document doc;
    doc.sampleBudget = 2'000;  // keep each run short; the budget logic is what matters
    doc.adoptContents(fresh);
    doc.setPathAccuracy();
    if (doc.stationarySphere) {
        doc.rewindDynamics();
        reset(doc);
        doc.fitCameraDistance();
    }
    {
        Deadline deadline(std::chrono::seconds(3));
        doc.step();
        doc.step();  // a dynamic automaton moves on
    }

    // Write, read, write: the same bytes.
    std::string first = OneFile::write(doc);
    Document again;
    try {
        OneFile::read(std::string_view(first), again);
    } catch (const std::exception&) {
        if (namesStorable(doc)) std::abort();
        return 0;
    }
    if (namesStorable(doc) && OneFile::write(again) != first) std::abort();

    // Construction on what was read.
    doc.selectSphere(doc.sphereTable[static_cast<std::size_t>(size % Document::kTableSize)]);
    if (size % 3 == 0) doc.destroySphere();
    doc.createSphere();
    Deadline deadline(std::chrono::seconds(3));
    doc.step();
    return 0;
}
