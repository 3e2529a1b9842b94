// The window's side of the document's observer: swatches and texture names
// come from the 3-D view; tree items and page refreshes go to whichever
// panes have registered (the control column fills in as it grows).
#pragma once

#include <vector>

#include "documentobserver.h"

class ViewOpenGLmt;

// UI thread only, like every observer call.
class WindowObserver : public DocumentObserver {
  public:
    explicit WindowObserver(ViewOpenGLmt* view) : view_(view) {}

    // Panes that want the document's notifications, called in the order
    // added. Not owned.
    void addPane(DocumentObserver* pane) { panes_.push_back(pane); }

    void refreshSpherePages() override;
    void refreshViewPage() override;
    void resetLightPageAllParticles() override;
    void* insertTreeItem(Sphere& s) override;
    void selectTreeItem(Sphere& s) override;
    void deleteTreeItem(Sphere& s) override;
    void deleteAllTreeItems() override;
    void repaintTree() override;
    int swatchForColor(std::uint32_t color) override;
    void releaseTextureSlot(Sphere& s) override;
    void updateAllViews() override;

  private:
    ViewOpenGLmt* view_;
    std::vector<DocumentObserver*> panes_;
};
