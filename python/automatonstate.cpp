// The Python automaton's state: sphere handles, the busy guard, and the path
// pass run off the interpreter's thread so that Ctrl+C can stop it.
#include "automatonstate.h"

#include <csignal>

#include "passstop.h"
#include "placement.h"
#include "sphere.h"
#include "values.h"

namespace py = pybind11;

namespace {

// Set by Ctrl+C during a path pass, which polls it as its stop request.
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void onInterrupt(int) {
    interrupted.store(true);
}

// While it lives, Ctrl+C stops the pass instead of waiting for Python's
// handler, which can only run once the pass is over. Only on the
// interpreter's main thread (where Python runs its handlers), and only when
// Python handles SIGINT at all.
class InterruptCatcher {
  public:
    explicit InterruptCatcher(bool onMainThread) {
        interrupted = false;
        if (!onMainThread) return;
        struct sigaction ours = {};
        ours.sa_handler = onInterrupt;
        sigemptyset(&ours.sa_mask);
        if (sigaction(SIGINT, &ours, &old_) != 0) return;
        if (old_.sa_handler == SIG_IGN || old_.sa_handler == SIG_DFL)
            sigaction(SIGINT, &old_, nullptr);
        else
            installed_ = true;
    }
    ~InterruptCatcher() {
        if (installed_) sigaction(SIGINT, &old_, nullptr);
    }
    InterruptCatcher(const InterruptCatcher&) = delete;
    InterruptCatcher& operator=(const InterruptCatcher&) = delete;

    // With the interpreter lock held.
    static bool onMainThread() {
        static const unsigned long id = py::module_::import("threading")
                                            .attr("main_thread")()
                                            .attr("ident")
                                            .cast<unsigned long>();
        return PyThread_get_thread_ident() == id;
    }

  private:
    struct sigaction old_ = {};
    bool installed_ = false;
};

}  // namespace

void AutomatonState::checkIdle() const {
    if (busy_) throw std::runtime_error("The automaton is busy computing in another thread.");
}

std::uint64_t AutomatonState::serialOf(const Sphere* s) {
    auto [at, fresh] = serials_.try_emplace(s, nextSerial_);
    if (fresh) ++nextSerial_;
    return at->second;
}

bool AutomatonState::alive(const Sphere* s, std::uint64_t serial) const {
    auto at = serials_.find(s);
    return at != serials_.end() && at->second == serial && doc.slotOf(s) >= 0;
}

Sphere& AutomatonState::resolve(const Sphere* s, std::uint64_t serial) const {
    checkIdle();
    if (!alive(s, serial)) throw py::value_error("This sphere has been destroyed.");
    return *const_cast<Sphere*>(s);
}

void AutomatonState::forgetDestroyed() {
    std::erase_if(serials_, [this](const auto& e) { return doc.slotOf(e.first) < 0; });
    // Entries of the stored paths may name spheres that are gone.
    store_.reset();
}

void AutomatonState::geometryChanged(bool fitCamera) {
    store_.reset();
    unsettled_ = true;
    fitPending_ = fitPending_ || fitCamera;
    doc.setModifiedFlag();
}

void AutomatonState::settle() {
    checkIdle();
    if (!unsettled_) return;
    doc.applyEdit("Edit", 0, kRewind | kPlace | (fitPending_ ? kFitCamera : 0u), [] {});
    unsettled_ = fitPending_ = false;
}

AutomatonState::Busy::Busy(AutomatonState& s)
    : state_((s.checkIdle(), s.busy_ = true, s)), release_() {}

AutomatonState::Busy::~Busy() {
    state_.busy_ = false;
}

AutomatonState::Lend::Lend(PathStore& s) : store(s) {
    for (auto& e : store.entries) std::swap(e.xyz, e.sphere->points[e.point].path);
}

AutomatonState::Lend::~Lend() {
    for (auto& e : store.entries) std::swap(e.xyz, e.sphere->points[e.point].path);
}

std::shared_ptr<PathStore> AutomatonState::paths() {
    settle();
    if (store_) return store_;

    PathPassResult result;
    const bool onMain = InterruptCatcher::onMainThread();
    std::atomic<bool> never{false};
    do {
        // The points' own paths went to the last store: compute them afresh.
        doc.pathsUpToDate = 0;
        PathPassControl control;
        control.stop = onMain ? &interrupted : &never;
        {
            Busy busy(*this);
            InterruptCatcher catcher(onMain);
            result = frameUpdate(doc, &control);
        }
        if (result.completed) {
            // Framed as the command line frames it: the camera takes in
            // the paths once they are there.
            doc.pathsComputed();
            break;
        }
        // An interrupted pass leaves partial paths and a turned dynamic
        // axis: back to time 0, so that the next call starts again.
        doc.rewindDynamics();
        reset(doc);
        // Python's own handler decides: KeyboardInterrupt by default.
        PyErr_SetInterrupt();
        if (PyErr_CheckSignals() != 0) throw py::error_already_set();
    } while (true);

    // Said as the command line says it when a file needs the paths.
    for (const Sphere* s : result.coarsened)
        values::warn("note: the paths of " + s->name +
                     " were sampled more coarsely to stay within " +
                     std::to_string(doc.sampleBudget) + " samples.");
    auto store = std::make_shared<PathStore>();
    for (Sphere* s : doc.sphereTable) {
        if (!s) continue;
        for (std::size_t p = 0; p < s->points.size(); ++p) {
            if (s->points[p].path.empty()) continue;
            store->entries.push_back(
                {s, serialOf(s), static_cast<int>(p), std::move(s->points[p].path)});
            s->points[p].path = {};
        }
    }
    store_ = store;
    return store_;
}

void AutomatonState::interruptible(const std::function<void()>& work, bool placesInside,
                                   const bool* finished) {
    const bool onMain = InterruptCatcher::onMainThread();
    std::atomic<bool> never{false};
    bool stopped = false;
    {
        Busy busy(*this);
        InterruptCatcher catcher(onMain);
        StopScope scope(onMain ? &interrupted : &never);
        try {
            work();
        } catch (const PassStopped&) {
            stopped = true;
        }
        // A file written whole is the outcome, whenever the signal came:
        // the script is told it was written, never that it was not.
        stopped = stopped || (scope.requested() && !(finished && *finished));
    }
    if (!stopped) return;
    if (placesInside) {
        // A pass cut short may have left partial paths and turned axes.
        doc.rewindDynamics();
        reset(doc);
    }
    PyErr_SetInterrupt();
    if (PyErr_CheckSignals() != 0) throw py::error_already_set();
}
