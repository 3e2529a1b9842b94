// The construction panel's buttons and the operations behind them.
#include "constructionpanel.h"

#include <QPushButton>
#include <QVBoxLayout>

#include "document.h"
#include "editjournal.h"
#include "pagekit.h"
#include "relations.h"
#include "sphere.h"

ConstructionPanel::ConstructionPanel(QWidget* parent) : QWidget(parent) {
    setObjectName("constructionPane");
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(10, 10, 10, 10);
    column->setSpacing(8);
    auto button = [this, column](const QString& caption, const char* name, const QString& tip) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        // The captions read as a list of actions: left-aligned, indented by
        // their leading spaces.
        b->setStyleSheet("text-align: left; padding: 6px 4px;");
        b->setToolTip(tip);
        b->setAccessibleName(caption.trimmed());
        column->addWidget(b);
        return b;
    };
    create_ = button("   CREATE a child of the selected sphere", "createSphere",
                     "Add a sphere that rolls on the selected sphere");
    template_ = button("   Use selected sphere as a TEMPLATE for creation", "templateSphere",
                       "Spheres created from now on copy the selected sphere's settings");
    destroy_ = button("   DESTROY selected sphere and its children", "destroySphere",
                      "Remove the selected sphere and everything below it");
    column->addStretch(1);
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
