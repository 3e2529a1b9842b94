// The real main window under the test display, driven as a user drives it,
// measured from outside: a watcher thread posts to the window's event loop
// every 2 ms, and the longest wait for an answer is the longest stall of
// the user-interface thread (what a screen reader's call would wait too).
//
// BM_Window/edits: the automaton whose B is a thousand times A's size with
// six points and a child C (a third of B, rate 8/3, six points) is edited
// 20 times through the Space page's axis control at random moments; each
// edit is timed to the first frame on the screen with its spheres, the
// last one also to the first frame with its curves.
// BM_Window/open_design_export: opening deep-chain, a design search for
// 23-fold symmetry at 4 levels, and an OBJ export of the heavy automaton.
//
// Run under a virtual X server:
//   xvfb-run -a -s "-screen 0 1366x768x24" build/bench/window/rotundel_window_bench
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include "application.h"
#include "document.h"
#include "fileexports.h"
#include "mainwindow.h"
#include "pagekit.h"
#include "propertiespanel.h"
#include "propertysheet.h"
#include "spacepage.h"
#include "sphere.h"
#include "view3d.h"

namespace {
using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

// Handles the window's events until done() or the time is up.
bool waitFor(const std::function<bool()>& done, double ms) {
    const auto start = Clock::now();
    while (!done()) {
        if (msSince(start) > ms) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return true;
}

// Posts to the event loop every 2 ms and keeps the longest wait.
class StallWatch {
  public:
    StallWatch() {
        thread_ = std::thread([this] {
            while (!quit_) {
                const auto posted = Clock::now();
                QMetaObject::invokeMethod(
                    qApp,
                    [this, posted] {
                        const double waited = msSince(posted);
                        double was = worst_.load();
                        while (waited > was && !worst_.compare_exchange_weak(was, waited)) {
                        }
                    },
                    Qt::QueuedConnection);
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
    }
    ~StallWatch() {
        quit_ = true;
        thread_.join();
        QApplication::processEvents();
    }
    void restart() { worst_ = 0; }
    double worstMs() const { return worst_.load(); }

  private:
    std::atomic<bool> quit_{false};
    std::atomic<double> worst_{0};
    std::thread thread_;
};

void makeHeavy(Document& doc) {
    Sphere* b = doc.findSphereByName("B");
    doc.selectSphere(b);
    doc.applyEdit("heavy", 0, kPlace | kFitCamera, [&] {
        b->setRadiusFactor(1000, 1);
        while (b->pointCount() < 6) b->addPoint(30.0 * b->pointCount(), 45, 1);
    });
    Sphere* c = doc.createSphere();
    doc.applyEdit("child", 0, kPlace | kFitCamera, [&] {
        c->setRadiusFactor(1, 3);
        c->setRollingRate(8, 3);
        while (c->pointCount() < 6) c->addPoint(60.0 * c->pointCount(), 10, 1);
    });
    doc.selectSphere(b);
}

// The window, shown at a laptop's size, with its first frame drawn.
struct Window {
    Application app;
    bool ok = false;
    Window() {
        ok = app.start();
        if (!ok) return;
        app.mainFrame()->showNormal();
        app.mainFrame()->resize(1366, 740);
        ok = waitFor([&] { return app.view->framesDrawn() > 0; }, 30000);
    }
};

void BM_WindowEdits(benchmark::State& state) {
    Window w;
    if (!w.ok) {
        state.SkipWithError("the window could not draw (no display?)");
        return;
    }
    Document& doc = w.app.document();
    View3D* view = w.app.view;
    makeHeavy(doc);
    SpacePage* space = w.app.mainFrame()->sphereProperties()->sheet()->spacePage();
    QSlider* axis = space->axisX()->slider();
    std::mt19937 rng(3);
    double spheresWorst = 0, spheresSum = 0, curvesLast = 0, stall = 0, editWorst = 0;
    int edits = 0;
    for (auto _ : state) {
        StallWatch watch;
        for (int i = 0; i < 20; ++i) {
            // Somewhere inside a path pass, a curve measurement or a tube
            // build of the edit before.
            waitFor([] { return false; }, std::uniform_int_distribution<int>(1, 300)(rng));
            const auto edited = Clock::now();
            axis->setValue(axis->value() >= 350 ? 0 : axis->value() + 10);
            editWorst = std::max(editWorst, msSince(edited));
            const std::uint64_t revision = doc.revision();
            if (!waitFor([&] { return view->drawnRevision() >= revision; }, 60000)) {
                state.SkipWithError("no frame showed the edit");
                return;
            }
            const double ms = msSince(edited);
            spheresWorst = std::max(spheresWorst, ms);
            spheresSum += ms;
            ++edits;
            if (i == 19) {
                if (!waitFor([&] { return view->pathsDrawnRevision() >= revision; }, 600000)) {
                    state.SkipWithError("the curves never came");
                    return;
                }
                curvesLast = msSince(edited);
            }
        }
        stall = watch.worstMs();
        state.SetIterationTime(spheresSum / edits / 1000.0);
    }
    state.counters["stall_max_ms"] = stall;
    // The edit's own work on the window's thread (the page, the read-out,
    // the scene's copy).
    state.counters["edit_max_ms"] = editWorst;
    state.counters["spheres_max_ms"] = spheresWorst;
    state.counters["spheres_mean_ms"] = spheresSum / std::max(1, edits);
    state.counters["curves_last_ms"] = curvesLast;
}

// Answers the next modal dialog: the design search's order and levels, then
// the gallery (cancelled: the measure is the search).
void answerDialogs(int order, int levels) {
    auto poll = std::make_shared<QTimer>();
    poll->setInterval(20);
    QObject::connect(poll.get(), &QTimer::timeout, [poll, order, levels] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        auto* orderBox = dialog->findChild<QSpinBox*>("designOrder");
        auto* levelsBox = dialog->findChild<QSpinBox*>("designLevels");
        if (orderBox && levelsBox) {
            orderBox->setValue(order);
            levelsBox->setValue(levels);
            dialog->accept();
        } else if (dialog->inherits("ExamplesDialog")) {
            dialog->reject();
            poll->stop();
        }
    });
    poll->start();
}

void BM_WindowWork(benchmark::State& state) {
    Window w;
    if (!w.ok) {
        state.SkipWithError("the window could not draw (no display?)");
        return;
    }
    Document& doc = w.app.document();
    double open = 0, design = 0, exported = 0;
    QTemporaryDir folder;
    for (auto _ : state) {
        StallWatch watch;
        w.app.openDocumentFile(ROTUNDEL_EXAMPLES "/deep-chain.one");
        waitFor([] { return false; }, 200);
        open = watch.worstMs();
        watch.restart();
        answerDialogs(23, 4);
        w.app.onDesignBySymmetry();
        design = watch.worstMs();
        doc.newDocument();
        makeHeavy(doc);
        watch.restart();
        w.app.fileExports()->exportPaths(folder.filePath("heavy.obj"));
        exported = watch.worstMs();
        state.SetIterationTime(std::max({open, design, exported}) / 1000.0);
    }
    doc.setModifiedFlag(false);
    state.counters["open_stall_ms"] = open;
    state.counters["design_stall_ms"] = design;
    state.counters["export_stall_ms"] = exported;
}
}  // namespace

BENCHMARK(BM_WindowEdits)
    ->Name("BM_Window/edits")
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowWork)
    ->Name("BM_Window/open_design_export")
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
