// A control column wired to a document as the window wires it, without the
// 3-D view: the tree, the construction panel and the property sheet, an
// edit history that records its steps, and a small language of operations
// that the tables of the tests are written in.
#pragma once

#include <QButtonGroup>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QStringList>
#include <QTreeWidgetItemIterator>
#include <QtTest>

#include "constructionpanel.h"
#include "document.h"
#include "editjournal.h"
#include "fakes.h"
#include "lightpage.h"
#include "pagekit.h"
#include "propertiespanel.h"
#include "propertysheet.h"
#include "spacepage.h"
#include "spheretree.h"
#include "swatchlist.h"
#include "timepage.h"
#include "windowobserver.h"

// Records every step; brackets must never nest.
struct RecordingJournal : EditJournal {
    explicit RecordingJournal(const Document& d) : doc(d) {}
    void beginEdit(const std::string& text, int mergeKey) override {
        if (depth++) faults << "nested step " + QString::fromStdString(text);
        steps << QString::fromStdString(text);
        keys << mergeKey;
        fresh << runEnded;
        runEnded = false;
    }
    void endEdit() override { --depth; }
    void endRun() override { runEnded = true; }
    // The steps as the history keeps them: brackets with the key of the one
    // before, in the same run, join it.
    QStringList merged() const {
        QStringList out;
        for (int i = 0; i < steps.size(); ++i)
            if (i == 0 || keys[i] == 0 || keys[i] != keys[i - 1] || fresh[i]) out << steps[i];
        return out;
    }
    const Document& doc;
    QStringList steps, faults;
    QList<int> keys;
    QList<bool> fresh;
    bool runEnded = true;
    int depth = 0;
};

struct ControlColumn {
    ControlColumn() {
        observer.addPane(&tree);
        observer.addPane(&properties);
        tree.setDocument(&doc);
        construction.setDocument(&doc);
        properties.setDocument(&doc);
        properties.sheet()->lightPage()->setTree(&tree);  // as the main window wires it
        doc.connectViews(&link, &observer);
        doc.newDocument();
        doc.journal = &journal;
        Prompts::message = [this](QWidget*, const QString& text) { messages << text; };
        Prompts::confirm = [this](QWidget*, const QString& text) {
            messages << text;
            return confirmAnswer;
        };
        Prompts::exactX = [this](QWidget*, Rational) { return exactAnswer; };
        tree.resize(200, 300);
        tree.show();
        properties.resize(343, 557);
        properties.show();
    }
    ~ControlColumn() {
        Prompts::restoreDefaults();
        doc.disconnectViews();
    }

    SpacePage& space() { return *properties.sheet()->spacePage(); }
    TimePage& time() { return *properties.sheet()->timePage(); }
    Sphere* named(const QString& name) { return doc.findSphereByName(name.toStdString()); }
    void select(const QString& name) { tree.setCurrentItem(tree.itemOf(*named(name))); }

    // "create", "destroy", "template", "select B", "radius C A" (C's size
    // taken from A), "time C D".
    void run(const QString& op) {
        QStringList w = op.split(' ');
        if (w[0] == "create") construction.createButton()->click();
        if (w[0] == "destroy") construction.destroyButton()->click();
        if (w[0] == "template") construction.templateButton()->click();
        if (w[0] == "select") select(w[1]);
        if (w[0] == "radius") attach(*named(w[1]), *named(w[2]), kRadius);
        if (w[0] == "time") attach(*named(w[1]), *named(w[2]), kTime);
        if (w[0] == "radius" || w[0] == "time") doc.refreshSpherePages();
    }
    void runAll(const QStringList& ops) {
        for (const QString& op : ops) run(op);
    }

    // The tree as text: "A(B,C(D))", in item order.
    QString shape() const {
        std::function<QString(QTreeWidgetItem*)> text = [&](QTreeWidgetItem* item) {
            QString s = item->text(0);
            QStringList children;
            for (int i = 0; i < item->childCount(); ++i) children << text(item->child(i));
            return children.isEmpty() ? s : s + "(" + children.join(",") + ")";
        };
        QStringList top;
        for (int i = 0; i < tree.topLevelItemCount(); ++i) top << text(tree.topLevelItem(i));
        return top.join(",");
    }

    // Every sphere has its item under its parent's item, with its name and
    // the colour of its image; the current item is the selected sphere's.
    QString treeFault() const {
        int items = 0;
        for (QTreeWidgetItemIterator it(const_cast<SphereTree*>(&tree)); *it; ++it) ++items;
        if (items != doc.sphereCount) return "item count";
        for (Sphere* s : treeSpheres(doc)) {
            QTreeWidgetItem* item = tree.itemOf(*s);
            if (!item || SphereTree::sphereOf(item) != s) return "item of " + sphereName(*s);
            if (item->text(0) != sphereName(*s)) return "text of " + sphereName(*s);
            QTreeWidgetItem* up = s->parent ? tree.itemOf(*s->parent) : nullptr;
            if (item->parent() != up) return "parent of " + sphereName(*s);
            QColor shown = item->icon(0).pixmap(10, 10).toImage().pixelColor(5, 5);
            if (shown != SwatchList::toQColor(swatches.color(s->treeImage)))
                return "icon of " + sphereName(*s);
        }
        Sphere* current = SphereTree::sphereOf(tree.currentItem());
        if (current != doc.selectedSphere) return "current item";
        return {};
    }

    Document doc;
    FakeRenderLink link;
    RecordingJournal journal{doc};
    SwatchList swatches;
    SphereTree tree{swatches};
    ConstructionPanel construction;
    PropertiesPanel properties;
    WindowObserver observer{nullptr, &swatches};
    QStringList messages;
    bool confirmAnswer = true;
    std::optional<Rational> exactAnswer;
};

inline QStringList entries(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
    return out;
}
