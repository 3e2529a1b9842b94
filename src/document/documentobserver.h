// What the document tells the tree, the property pages and the 3-D view
// when its automaton changes.
#pragma once

#include <cstdint>

struct Sphere;

// Implemented by the window. Every member is called on the UI thread,
// while the automaton is being changed. Each has an empty default so that a
// window can take only what it shows.
class DocumentObserver {
  public:
    virtual ~DocumentObserver() = default;

    // Reload the " Light", " Space", " Time", " Points" and " Dynamic" pages
    // from the document's selectedSphere (which may be null).
    virtual void refreshSpherePages() {}
    // Reload the " View" page from the document's view settings and its
    // stationary-sphere list.
    virtual void refreshViewPage() {}
    // Switch off " Changes affect  ALL  particles" on the " Light" page.
    virtual void resetLightPageAllParticles() {}

    // Insert an item for s under the item of s.parent (a top-level item when
    // it has none), after the last sibling, with text s.name and image
    // s.treeImage. The tree keeps the item.
    virtual void insertTreeItem(Sphere& /*s*/) {}
    // Make s's item visible and the caret item. The document has already
    // made s its selectedSphere; the tree's selection handler may call
    // Document::selectSphere(s) again, which is harmless.
    virtual void selectTreeItem(Sphere& /*s*/) {}
    // s is leaving the automaton: delete its item, if it has one.
    virtual void deleteTreeItem(Sphere& /*s*/) {}
    virtual void deleteAllTreeItems() {}
    virtual void repaintTree() {}

    // The index of a new 10 x 10 swatch of colour (0x00BBGGRR) in the tree's
    // image list, for one sphere read from a file: each gets an image of its
    // own (index 9 and up).
    // Returning -1 leaves treeImage unchanged.
    virtual int swatchForColor(std::uint32_t /*color*/) { return -1; }

    // Repaint every view (the framework's update-all-views).
    virtual void updateAllViews() {}
};
