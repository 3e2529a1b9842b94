// Undo steps as pairs of document snapshots.
#include "undohistory.h"

#include <QUndoCommand>
#include <utility>

class UndoHistory::SnapshotCommand : public QUndoCommand {
  public:
    SnapshotCommand(UndoHistory& history, const std::string& text, int mergeKey, bool startsRun,
                    bool fitted,
                    DocSnapshot before, DocSnapshot after)
        : QUndoCommand(QString::fromStdString(text)),
          history_(history),
          mergeKey_(mergeKey),
          startsRun_(startsRun),
          fitted_(fitted),
          before_(std::move(before)),
          after_(std::move(after)) {}

    void undo() override {
        if (!history_.steppingBack_ && !history_.restore(before_, fitted_)) history_.stepBack_ = 1;
    }
    void redo() override {
        // Pushing calls this once; the edit has been made already.
        if (pushed_ && !history_.steppingBack_ && !history_.restore(after_, fitted_))
            history_.stepBack_ = -1;
        pushed_ = true;
    }
    int id() const override { return mergeKey_ != 0 ? mergeKey_ : -1; }
    bool mergeWith(const QUndoCommand* other) override {
        auto* o = static_cast<const SnapshotCommand*>(other);
        // The same control on another sphere is another step, and so is
        // the next drag or run of keys on this one.
        if (o->startsRun_ || o->text() != text()) return false;
        after_ = o->after_;
        fitted_ = fitted_ || o->fitted_;
        // A drag that ends where it began changes nothing.
        if (after_.sameContents(before_)) setObsolete(true);
        return true;
    }

  private:
    UndoHistory& history_;
    int mergeKey_;
    bool startsRun_;
    bool fitted_;
    DocSnapshot before_;
    DocSnapshot after_;
    bool pushed_ = false;
};

UndoHistory::UndoHistory(Document& doc, QObject* parent) : QObject(parent), doc_(doc) {
    // A step holds two copies of the automaton, a few kilobytes each (at most
    // some tens with a full table): a long session stays well within memory.
    stack_.setUndoLimit(kUndoLimit);
    connect(&stack_, &QUndoStack::indexChanged, this, [this](int index) {
        // A step that could not be put back leaves the history where the
        // document is: the commands are not run again on the way back.
        if (int back = std::exchange(stepBack_, 0)) {
            steppingBack_ = true;
            stack_.setIndex(index + back);
            steppingBack_ = false;
        }
        syncModified();
    });
}

UndoHistory::~UndoHistory() {
    if (doc_.journal == this) doc_.journal = nullptr;
}

void UndoHistory::beginEdit(const std::string& text, int mergeKey) {
    // Controls reloaded by an undo must not record their reload as an edit.
    if (restoring_ || depth_++ > 0) return;
    text_ = text;
    mergeKey_ = mergeKey;
    fitted_ = false;
    before_ = doc_.takeSnapshot();
}

void UndoHistory::endEdit() {
    if (restoring_ || depth_ == 0 || --depth_ > 0) return;
    DocSnapshot after = doc_.takeSnapshot();
    if (after.sameContents(before_)) {
        // Nothing changed (a refused rename, a value typed again): no step,
        // and the document is as modified as the history says.
        syncModified();
        return;
    }
    stack_.push(new SnapshotCommand(*this, text_, mergeKey_, runEnded_, fitted_, std::move(before_),
                                    std::move(after)));
    runEnded_ = false;
    syncModified();
}

void UndoHistory::clear() {
    stack_.clear();
    depth_ = 0;
    syncModified();
}

void UndoHistory::setClean() {
    stack_.setClean();
    syncModified();
}

void UndoHistory::cameraFitted() {
    if (!restoring_ && depth_ > 0) fitted_ = true;
}

bool UndoHistory::restore(const DocSnapshot& snapshot, bool fitCamera) {
    // An edit after an undo or redo never joins the step it lands on.
    runEnded_ = true;
    restoring_ = true;
    const bool ok = doc_.restoreSnapshot(snapshot, fitCamera);
    restoring_ = false;
    return ok;
}

void UndoHistory::syncModified() {
    doc_.setModifiedFlag(!stack_.isClean());
}
