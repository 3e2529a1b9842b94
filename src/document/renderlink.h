// What the document needs from the 3-D view: a wake-up when a new scene is
// published, and the user's attention for messages and texture files.
#pragma once

#include <string>

struct Sphere;

// Implemented by the 3-D view. The document calls every member on the UI
// thread; none of them waits for the render thread.
class RenderLink {
  public:
    virtual ~RenderLink() = default;

    // A new scene has been published, or the camera changed: an idle render
    // thread looks at once rather than at its next check.
    virtual void wakeRenderThread() {}

    // Asks the user for a texture picture for s and, when one is chosen,
    // makes it s's texture as one step of the edit history.
    virtual void chooseTexture(Sphere& /*s*/) {}

    // A message box with an OK button, shown on the UI thread (the caller's
    // thread); returns when the user has dismissed it.
    virtual void showMessage(const std::string& text) = 0;
};
