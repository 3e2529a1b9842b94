// The " Dynamic" page's boxes. A box is stored at once; the automaton is
// placed and rewound only when the sphere's dynamic modifications are on,
// since only then does the picture change.
#include "dynamicpage.h"

#include <QCheckBox>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "document.h"
#include "sphere.h"

DynamicPage::DynamicPage(QWidget* parent) : PropertyPage(" Dynamic", parent) {
    auto* page = pageColumn(this);
    perform_ = new QCheckBox("Perform dynamic modifications");
    perform_->setObjectName("performDynamic");
    perform_->setToolTip("Turn this sphere's axis a little with every frame");
    axisZ_ = new QCheckBox("Axis relative to parent (Z axis)");
    axisZ_->setObjectName("dynamicZ");
    axisZ_->setToolTip("Turn the axis about the parent's axis");
    axisX_ = new QCheckBox("Axis relative to parent (X axis)");
    axisX_->setObjectName("dynamicX");
    axisX_->setToolTip("Tilt the axis about the perpendicular axis");
    page->addWidget(perform_);
    page->addWidget(group(" Sphere attributes to modify dynamically : ", {axisZ_, axisX_}));
    page->addStretch(1);
    // Toggled, not clicked: the space bar and assistive tools tick a box too.
    connect(perform_, &QCheckBox::toggled, this, [this] { toggle(perform_, &Sphere::dynamic); });
    connect(axisZ_, &QCheckBox::toggled, this, [this] { toggle(axisZ_, &Sphere::dynamicAxisZ); });
    connect(axisX_, &QCheckBox::toggled, this, [this] { toggle(axisX_, &Sphere::dynamicAxisX); });
    setEnabled(false);
}

void DynamicPage::refresh() {
    Sphere* s = sphere();
    setEnabled(s != nullptr);
    if (!s) return;
    QSignalBlocker a(perform_), b(axisZ_), c(axisX_);
    perform_->setChecked(s->dynamic != 0);
    axisZ_->setChecked(s->dynamicAxisZ != 0);
    axisX_->setChecked(s->dynamicAxisX != 0);
}

void DynamicPage::toggle(QCheckBox* box, int Sphere::*field) {
    Sphere* s = sphere();
    if (!s) return;
    const int on = box->isChecked() ? 1 : 0;
    // Which follow-ups run depends on the state after the change.
    const bool dynamicAfter = field == &Sphere::dynamic ? on : s->dynamic;
    apply(stepName("Dynamics"), 0, dynamicAfter ? kPlace | kRewind : 0,
          [s, field, on] { s->*field = on; });
}
