// The undo history: every bracketed edit becomes one step that holds the
// document's snapshots before and after it.
#pragma once

#include <QObject>
#include <QUndoStack>
#include <memory>

#include "document.h"
#include "editjournal.h"

// UI thread only. The stack's clean state is the saved state: moving away
// from it marks the document modified, coming back clears the mark.
class UndoHistory : public QObject, public EditJournal {
    Q_OBJECT
  public:
    static constexpr int kUndoLimit = 500;

    explicit UndoHistory(Document& doc, QObject* parent = nullptr);
    ~UndoHistory() override;

    void beginEdit(const std::string& text, int mergeKey = 0) override;
    void endEdit() override;
    void endRun() override { runEnded_ = true; }
    void cameraFitted() override;

    QUndoStack& stack() { return stack_; }
    // A new or opened document: no steps, and clean.
    void clear();
    // The document was saved as it is now.
    void setClean();
    // True while a step is being undone or redone.
    bool restoring() const { return restoring_; }

  private:
    class SnapshotCommand;
    friend class SnapshotCommand;
    // False when the document refused the snapshot (and told the user):
    // the stack then steps back to where it was.
    bool restore(const DocSnapshot& snapshot, bool fitCamera);
    void syncModified();

    Document& doc_;
    QUndoStack stack_;
    int depth_ = 0;
    bool restoring_ = false;
    std::string text_;
    int mergeKey_ = 0;
    bool runEnded_ = true;
    bool fitted_ = false;
    DocSnapshot before_;
    // A restore failed: the index step that takes the stack back (+1 after
    // an undo, -1 after a redo), done once the stack has moved.
    int stepBack_ = 0;
    bool steppingBack_ = false;
};
