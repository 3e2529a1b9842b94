// The window's side of the document's observer: swatches come from the
// window's list; tree items and page refreshes go to whichever panes have
// registered (the control column fills in as it grows).
#pragma once

#include <vector>

#include "documentobserver.h"

class SwatchList;
class View3D;

// UI thread only, like every observer call.
class WindowObserver : public DocumentObserver {
  public:
    WindowObserver(View3D* /*view*/, SwatchList* swatches) : swatches_(swatches) {}

    // Panes that want the document's notifications, called in the order
    // added. Not owned.
    void addPane(DocumentObserver* pane) { panes_.push_back(pane); }

    void refreshSpherePages() override;
    void refreshViewPage() override;
    void resetLightPageAllParticles() override;
    void insertTreeItem(Sphere& s) override;
    void selectTreeItem(Sphere& s) override;
    void deleteTreeItem(Sphere& s) override;
    void deleteAllTreeItems() override;
    void repaintTree() override;
    int swatchForColor(std::uint32_t color) override;
    void updateAllViews() override;

  private:
    SwatchList* swatches_;
    std::vector<DocumentObserver*> panes_;
};
