// Where every user edit of the automaton is recorded as one undoable step.
#pragma once

#include <string>

// What runs after an edit's change, before its scene is published.
enum Followup : unsigned {
    kRewind = 1,       // the dynamic angles start over
    kPlace = 2,        // the automaton is placed again (geometry changed)
    kFitCamera = 4,    // the camera distance follows the new extent
    kUpdateViews = 8,  // every view repaints (after the scene is published)
};

// Implemented by the window's undo history. Every control that changes the
// automaton or a saved view setting brackets its change with beginEdit and
// endEdit on the UI thread, around the change and its publication: beginEdit takes the
// state before, endEdit the state after. An edit whose mergeKey is not 0 and
// equals the previous step's key (a slider drag, clicks on one spin) joins
// that step, unless the run was ended in between. Brackets do not nest: an inner pair is ignored.
class EditJournal {
  public:
    virtual ~EditJournal() = default;
    // text names the step for the Edit menu, e.g. "Radius of B".
    virtual void beginEdit(const std::string& text, int mergeKey = 0) = 0;
    virtual void endEdit() = 0;
    // The run of merging edits ends (a drag let go, a new press, the focus
    // moving on): the next edit is a step of its own even with the same key.
    virtual void endRun() {}
    // The open edit re-fitted the camera: its undo and redo fit it again,
    // so that the automaton does not shrink to a dot or fill the view.
    virtual void cameraFitted() {}
};

// Brackets one edit; a null journal records nothing.
class EditScope {
  public:
    EditScope(EditJournal* journal, const std::string& text, int mergeKey = 0) : journal_(journal) {
        if (journal_) journal_->beginEdit(text, mergeKey);
    }
    ~EditScope() {
        if (journal_) journal_->endEdit();
    }
    EditScope(const EditScope&) = delete;
    EditScope& operator=(const EditScope&) = delete;

  private:
    EditJournal* journal_;
};
