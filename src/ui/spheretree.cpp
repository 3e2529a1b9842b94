// The sphere tree's items, selection, renaming and keys.
#include "spheretree.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStyleFactory>
#include <QStyledItemDelegate>

#include "constructionpanel.h"
#include "document.h"
#include "documentrules.h"
#include "pagekit.h"
#include "sphere.h"
#include "swatchlist.h"

namespace {

// Hands the edited text to the tree, which decides whether the sphere takes
// it; a cancelled edit never gets here.
class RenameDelegate : public QStyledItemDelegate {
  public:
    explicit RenameDelegate(SphereTree* tree) : QStyledItemDelegate(tree), tree_(tree) {}
    void setModelData(QWidget* editor, QAbstractItemModel*,
                      const QModelIndex& index) const override {
        auto* edit = qobject_cast<QLineEdit*>(editor);
        QTreeWidgetItem* item = tree_->itemFromIndex(index);
        if (edit && item) tree_->finishRename(item, edit->text());
    }

  private:
    SphereTree* tree_;
};

}  // namespace

SphereTree::SphereTree(SwatchList& swatches, QWidget* parent)
    : QTreeWidget(parent), swatches_(swatches) {
    setObjectName("sphereTree");
    setAccessibleName("Spheres");
    setToolTip(
        "The spheres of the automaton, each rolling on its parent: select one to edit it "
        "on the pages below; F2 renames it, Delete destroys it and its children");
    setHeaderHidden(true);
    setColumnCount(1);
    setIndentation(15);
    setIconSize(QSize(SwatchList::kSwatchSize, SwatchList::kSwatchSize));
    setRootIsDecorated(true);
    setExpandsOnDoubleClick(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::DoubleClicked |
                    QAbstractItemView::SelectedClicked);
    setItemDelegate(new RenameDelegate(this));
    // The classic look draws the lines between parent and children and the
    // boxed expand buttons, which the hierarchy reads best with.
    if (QStyle* lines = QStyleFactory::create("Windows")) {
        lines->setParent(this);
        setStyle(lines);
    }
    // The tree stays usable however low the window gets.
    setMinimumSize(1, 1);
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) { selectionMoved(current); });
    // The highlighted item and the current one are the same sphere, however
    // the selection changed (Ctrl+click, a screen reader's selection):
    // CREATE and DESTROY act on what the tree shows chosen.
    connect(this, &QTreeWidget::itemSelectionChanged, this, [this] {
        const QList<QTreeWidgetItem*> chosen = selectedItems();
        if (!chosen.isEmpty() && chosen.front() != currentItem())
            setCurrentItem(chosen.front());
        else if (chosen.isEmpty() && currentItem())
            currentItem()->setSelected(true);
    });
}

Sphere* SphereTree::sphereOf(const QTreeWidgetItem* item) {
    return item ? reinterpret_cast<Sphere*>(item->data(0, Qt::UserRole).value<quintptr>())
                : nullptr;
}

QIcon SphereTree::iconFor(int image) const {
    if (image < 0 || image >= swatches_.count()) image = 0;
    return swatches_.icon(image);
}

void SphereTree::selectionMoved(QTreeWidgetItem* current) {
    Sphere* s = sphereOf(current);
    if (s && doc_) doc_->selectSphere(s);
}

void SphereTree::editSelectedName() {
    if (!doc_ || doc_->sphereCount <= 0 || !doc_->selectedSphere) return;
    if (QTreeWidgetItem* item = itemOf(*doc_->selectedSphere)) {
        setCurrentItem(item);
        setFocus();
        editItem(item);
    }
}

bool SphereTree::finishRename(QTreeWidgetItem* item, const QString& text) {
    Sphere* s = sphereOf(item);
    if (!s || !doc_) return false;
    // "A " is "A": the spaces around a name are no part of it.
    const std::string name = rules::trimmedName(text.toStdString());
    if (name == s->name) return true;  // the same name again is no step
    if (std::string why = doc_->nameRefusal(*s, name); !why.empty()) {
        Prompts::message(this, QString::fromStdString(why));
        return false;
    }
    // A rename is an edit like any other; the pages that show names, and
    // the stationary list, follow.
    doc_->applyEdit("Rename " + s->name, 0, 0, [this, s, item, &name] {
        doc_->renameSphere(*s, name);
        item->setText(0, sphereName(*s));
        doc_->refreshSpherePages();
        doc_->refreshViewPage();
    });
    return true;
}

void SphereTree::refreshIcons() {
    for (QTreeWidgetItemIterator it(this); *it; ++it)
        if (Sphere* s = sphereOf(*it)) (*it)->setIcon(0, iconFor(s->treeImage));
}

void SphereTree::recolour(Sphere& s) {
    // A swatch of its own each time, never one repainted in place: an undo
    // gives the sphere its old image back, which must still show the old
    // colour, and other spheres may share the old image.
    s.treeImage = swatches_.indexFor(s.color);
    refreshIcons();
}

void SphereTree::insertTreeItem(Sphere& s) {
    QTreeWidgetItem* parentItem = s.parent ? itemOf(*s.parent) : nullptr;
    auto* item = new QTreeWidgetItem;
    item->setText(0, sphereName(s));
    item->setIcon(0, iconFor(s.treeImage));
    item->setData(0, Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(&s)));
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    QSignalBlocker hold(this);
    if (parentItem) {
        parentItem->addChild(item);
        parentItem->setExpanded(true);
    } else {
        addTopLevelItem(item);
    }
    items_.insert(&s, item);
    scrollToItem(item);
}

void SphereTree::selectTreeItem(Sphere& s) {
    QTreeWidgetItem* item = itemOf(s);
    if (!item) return;
    // The document has made s its selected sphere already.
    {
        QSignalBlocker hold(this);
        setCurrentItem(item);
    }
    scrollToItem(item);
}

void SphereTree::deleteTreeItem(Sphere& s) {
    QTreeWidgetItem* item = itemOf(s);
    if (!item) return;
    QSignalBlocker hold(this);
    // Each sphere deletes its own item; the children's items wait for
    // their own spheres rather than going with this one.
    const QList<QTreeWidgetItem*> children = item->takeChildren();
    for (QTreeWidgetItem* c : children) addTopLevelItem(c);
    delete item;
    items_.remove(&s);
}

void SphereTree::deleteAllTreeItems() {
    items_.clear();
    QSignalBlocker hold(this);
    clear();
}

void SphereTree::repaintTree() {
    viewport()->update();
}

void SphereTree::updateAllViews() {
    viewport()->update();
}

void SphereTree::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Delete && state() != QAbstractItemView::EditingState && doc_) {
        ConstructionPanel::destroySelected(*doc_, this, true);
        e->accept();
        return;
    }
    QTreeWidget::keyPressEvent(e);
}
