// The window's curve measurement thread.
#include "curvemeasurer.h"

#include "curveinvariants.h"
#include "document.h"
#include "passstop.h"

#ifdef __linux__
#include <sys/resource.h>
#include <unistd.h>
#endif

CurveMeasurer::CurveMeasurer(Document& doc) : doc_(doc) {
    thread_ = std::thread([this] { run(); });
}

CurveMeasurer::~CurveMeasurer() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        quit_ = true;
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void CurveMeasurer::measure(std::shared_ptr<const Automaton> a, std::uint64_t revision) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        next_ = std::move(a);
        nextRevision_ = revision;
        stop_ = true;
    }
    wake_.notify_all();
}

void CurveMeasurer::cancel() {
    std::lock_guard<std::mutex> hold(lock_);
    next_.reset();
    stop_ = true;
}

bool CurveMeasurer::busy() const {
    std::lock_guard<std::mutex> hold(lock_);
    return running_ || next_;
}

void CurveMeasurer::run() {
#ifdef __linux__
    // Behind the window's own threads: on a machine of few cores the
    // frames and the user's input come first, the read-out after them.
    // The helper threads a measurement starts inherit this.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 10);
#endif
    for (;;) {
        std::shared_ptr<const Automaton> a;
        std::uint64_t revision = 0;
        {
            std::unique_lock<std::mutex> hold(lock_);
            running_ = false;
            wake_.wait(hold, [this] { return quit_ || next_; });
            if (quit_) return;
            a = std::move(next_);
            revision = nextRevision_;
            // Lowered under the lock: a newer job or a cancel from here on
            // raises it again for this measurement.
            stop_ = false;
            running_ = true;
        }
        StopScope scope(&stop_);
        try {
            std::vector<CurveInvariants> curves = curveInvariants(*a);
            if (!scope.requested()) doc_.setCurves(revision, std::move(curves));
        } catch (const PassStopped&) {
        }
    }
}
