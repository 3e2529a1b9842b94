// The construction panel's buttons and the operations behind them.
#include "constructionpanel.h"

#include <QHBoxLayout>
#include <QPushButton>

#include "document.h"
#include "editjournal.h"
#include "pagekit.h"
#include "relations.h"
#include "sphere.h"

ConstructionPanel::ConstructionPanel(QWidget* parent) : QWidget(parent) {
    setObjectName("constructionPane");
    // One row, so that the tree below keeps its rows on a laptop's screen;
    // the whole action is the button's accessible name and tooltip.
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(10, 8, 10, 8);
    row->setSpacing(8);
    auto button = [this, row](const QString& caption, const QString& action, const char* name,
                              const QString& tip) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setToolTip(action + ": " + tip);
        b->setAccessibleName(action);
        b->setAccessibleDescription(tip);
        row->addWidget(b, 1);
        return b;
    };
    create_ = button("CREATE", "CREATE a child of the selected sphere", "createSphere",
                     "adds a sphere that rolls on the selected sphere");
    template_ =
        button("TEMPLATE", "Use selected sphere as a TEMPLATE for creation", "templateSphere",
               "spheres created from now on copy the selected sphere's settings");
    destroy_ = button("DESTROY", "DESTROY selected sphere and its children", "destroySphere",
                      "removes the selected sphere and everything below it");
    setFocusProxy(create_);
    setMinimumSize(1, 1);

    connect(create_, &QPushButton::clicked, this, [this] {
        if (doc_) createChild(*doc_);
    });
    connect(template_, &QPushButton::clicked, this, [this] {
        if (doc_) makeTemplate(*doc_);
    });
    connect(destroy_, &QPushButton::clicked, this, [this] {
        if (doc_) destroySelected(*doc_, this);
    });
}

void ConstructionPanel::createChild(Document& doc) {
    EditScope scope(doc.journal, "Create Sphere");
    doc.createSphere();
}

void ConstructionPanel::makeTemplate(Document& doc) {
    if (!doc.selectedSphere) return;
    EditScope scope(doc.journal, "Template");
    doc.makeTemplate(doc.selectedSphere);
}

void ConstructionPanel::destroySelected(Document& doc, QWidget* parent, bool ask) {
    if (doc.sphereCount <= 0 || !doc.selectedSphere) return;
    Sphere& s = *doc.selectedSphere;
    if (ask) {
        int below = -1;
        forEachPreOrder(&s, [&below](Sphere&) { ++below; });
        if (below > 0) {
            QString text =
                below == 1
                    ? QString("Destroy %1 and its child?").arg(sphereName(s))
                    : QString("Destroy %1 and its %2 children?").arg(sphereName(s)).arg(below);
            if (!Prompts::confirm(parent, text)) return;
        }
    }
    EditScope scope(doc.journal, "Destroy Sphere");
    doc.destroySphere();
}
