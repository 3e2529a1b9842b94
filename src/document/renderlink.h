// What the document needs from the 3-D view to hold and release its render
// thread, and to ask it for work that only the render thread may do.
#pragma once

#include <string>

#include "autoresetevent.h"
#include <mutex>

// Implemented by the 3-D view, which owns the lock, the request flags and
// the events. The document calls every member on the UI thread.
//
// The render thread's side of the hand-over, at the top of each loop pass:
//   under requestLock(): if docUpdateRequested(), setDocUpdateRequest(false)
//   and remember it; then (outside the lock) docUpdateWaitRender().signal()
//   and wait on docUpdateCompleteRender(). From that signal until the
//   complete event it must not touch the document. If its wait times out it
//   may tell the user, but it keeps waiting: the UI thread may still be
//   changing the automaton.
// The thread's start and end are reported through the document's
// renderThreadStarted and renderThreadStopped fields.
class RenderLink {
  public:
    virtual ~RenderLink() = default;

    // Held for a single read or write of a request flag, never longer.
    virtual std::mutex& requestLock() = 0;

    // The document-update request; read and written under requestLock().
    virtual bool docUpdateRequested() const = 0;
    virtual void setDocUpdateRequest(bool on) = 0;

    // The texture-assignment request (textures of the document's
    // textureTarget, or of the whole tree when that is null); set under
    // requestLock().
    virtual void setTextureAssignmentRequest(bool on) = 0;

    // "DocUpdateWaitRender": the render thread has parked itself.
    virtual AutoResetEvent& docUpdateWaitRender() = 0;
    // "DocUpdateCompleteRender": the document has finished its change.
    virtual AutoResetEvent& docUpdateCompleteRender() = 0;

    // Something for the render thread to do has been asked for (a request
    // set, the camera changed): an idle render thread looks at once rather
    // than at its next check. Called without any lock held.
    virtual void wakeRenderThread() {}

    // The busy cursor on (a pause is waiting longer than a blink for the
    // render thread) or off again. No events are processed meanwhile.
    virtual void showBusy(bool /*on*/) {}

    // A message box with an OK button, shown on the UI thread (the caller's
    // thread); returns when the user has dismissed it.
    virtual void showMessage(const std::string& text) = 0;
};
