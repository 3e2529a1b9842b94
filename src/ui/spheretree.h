// The sphere tree: the automaton's hierarchy, one item per sphere with the
// sphere's colour swatch, the only place where a sphere is selected, and
// where spheres are renamed in place.
#pragma once

#include <QHash>
#include <QTreeWidget>

#include "documentobserver.h"

class Document;
class SwatchList;

// UI thread only. Items hold their sphere, and the tree knows each sphere's
// item. The document adds and removes items through the observer calls.
class SphereTree : public QTreeWidget, public DocumentObserver {
    Q_OBJECT
  public:
    explicit SphereTree(SwatchList& swatches, QWidget* parent = nullptr);

    void setDocument(Document* doc) { doc_ = doc; }

    static Sphere* sphereOf(const QTreeWidgetItem* item);
    QTreeWidgetItem* itemOf(const Sphere& s) const { return items_.value(&s, nullptr); }

    // Starts the in-place editor on the selected sphere's item ("Set name").
    void editSelectedName();
    // The end of an in-place edit with text: renames the item's sphere, or
    // tells why the name cannot be taken. Returns whether it was taken.
    bool finishRename(QTreeWidgetItem* item, const QString& text);
    // Sets every item's icon from its sphere's treeImage again (after an
    // image of the list changed).
    void refreshIcons();
    // After a colour change of s: s gets an image of its own, or, when its
    // image is one of 7 and up, that image is repainted (levels 7 and 8
    // share theirs, so every sphere showing one of them follows).
    void recolour(Sphere& s);

    // --- DocumentObserver: the tree's part ---
    void insertTreeItem(Sphere& s) override;
    void selectTreeItem(Sphere& s) override;
    void deleteTreeItem(Sphere& s) override;
    void deleteAllTreeItems() override;
    void repaintTree() override;
    void updateAllViews() override;

  protected:
    void keyPressEvent(QKeyEvent* e) override;

  private:
    QIcon iconFor(int image) const;
    void selectionMoved(QTreeWidgetItem* current);

    SwatchList& swatches_;
    Document* doc_ = nullptr;
    QHash<const Sphere*, QTreeWidgetItem*> items_;
};
