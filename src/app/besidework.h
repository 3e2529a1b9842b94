// Work that runs beside the window: on a worker thread, while the window
// goes on answering the user and the screen reader. Once the work has taken
// half a second a progress dialog shows what it is and offers to cancel it.
#pragma once

#include <QString>
#include <atomic>
#include <functional>

class QWidget;

struct BesideWork {
    // What the progress dialog says ("Export", "Design search").
    QString title;
    // Steps of the work, for the dialog's bar (0: unknown, a busy bar).
    int total = 0;
    // The steps done so far; set by the work, from its thread.
    std::atomic<int> done{0};
    // Raised when the user cancels; the work looks at it and ends early.
    std::atomic<bool> cancelled{false};

    // Runs work on a worker thread and returns once it has ended, the
    // window's events handled meanwhile. Modal to parent while the dialog
    // shows, so that no edit starts in the middle of the work.
    void run(QWidget* parent, const std::function<void()>& work);
};
