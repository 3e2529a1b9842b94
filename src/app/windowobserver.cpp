// Forwards the document's notifications to the view and the panes.
#include "windowobserver.h"

#include "swatchlist.h"

void WindowObserver::refreshSpherePages() {
    for (auto* p : panes_) p->refreshSpherePages();
}
void WindowObserver::refreshViewPage() {
    for (auto* p : panes_) p->refreshViewPage();
}
void WindowObserver::resetLightPageAllParticles() {
    for (auto* p : panes_) p->resetLightPageAllParticles();
}
void WindowObserver::insertTreeItem(Sphere& s) {
    for (auto* p : panes_) p->insertTreeItem(s);
}
void WindowObserver::selectTreeItem(Sphere& s) {
    for (auto* p : panes_) p->selectTreeItem(s);
}
void WindowObserver::deleteTreeItem(Sphere& s) {
    for (auto* p : panes_) p->deleteTreeItem(s);
}
void WindowObserver::deleteAllTreeItems() {
    for (auto* p : panes_) p->deleteAllTreeItems();
}
void WindowObserver::repaintTree() {
    for (auto* p : panes_) p->repaintTree();
}
int WindowObserver::swatchForColor(std::uint32_t color) {
    // An image of its own for each sphere read: a later colour change of
    // one sphere then leaves the others' icons alone.
    return swatches_ ? swatches_->add(color) : -1;
}
void WindowObserver::updateAllViews() {
    // The 3-D view draws continuously; the panes repaint themselves.
    for (auto* p : panes_) p->updateAllViews();
}
