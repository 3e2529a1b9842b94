// Work beside the window, with a progress dialog for the long kind.
#include "besidework.h"

#include <QApplication>
#include <QProgressDialog>
#include <chrono>
#include <memory>
#include <thread>

namespace {
// Shorter work shows no dialog: it would only flash.
constexpr auto kDialogAfter = std::chrono::milliseconds(500);
}  // namespace

void BesideWork::run(QWidget* parent, const std::function<void()>& work) {
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        work();
        finished = true;
    });
    std::unique_ptr<QProgressDialog> progress;
    const auto started = std::chrono::steady_clock::now();
    while (!finished) {
        if (!progress && std::chrono::steady_clock::now() - started >= kDialogAfter) {
            progress = std::make_unique<QProgressDialog>(title + "...", "Cancel", 0, total, parent);
            progress->setWindowTitle(title);
            progress->setWindowModality(Qt::WindowModal);
            progress->setMinimumDuration(0);
            progress->setAccessibleName(title + " progress");
            progress->show();
        }
        if (progress) {
            if (total > 0) {
                const int n = std::min(done.load(), total);
                progress->setValue(n);
                progress->setLabelText(QString("%1: step %2 of %3...")
                                           .arg(title)
                                           .arg(std::min(n + 1, total))
                                           .arg(total));
            }
            if (progress->wasCanceled()) cancelled = true;
        }
        // Events are handled in short slices, so that the window answers
        // within a frame while the worker runs.
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        if (!finished) std::this_thread::sleep_for(std::chrono::milliseconds(4));
    }
    worker.join();
    if (progress) progress->reset();
}
