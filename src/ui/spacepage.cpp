// The " Space" page's controls and what each one changes.
#include "spacepage.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <cmath>

#include "document.h"
#include "documentrules.h"
#include "sphere.h"

namespace {
// Control ids: they make the merge keys of drags and spin clicks.
enum : int { kInitialRevolution = 1047, kAxisZ = 1050, kAxisX = 1055 };

QButtonGroup* radioPair(QWidget* owner, QBoxLayout* column, const QString& first,
                        const QString& second, const QString& tipFirst, const QString& tipSecond) {
    auto* group = new QButtonGroup(owner);
    int id = 0;
    for (auto [text, tip] : {std::pair{first, tipFirst}, std::pair{second, tipSecond}}) {
        auto* radio = new QRadioButton(text);
        radio->setToolTip(tip);
        group->addButton(radio, id++);
        column->addWidget(radio);
    }
    return group;
}
}  // namespace

SpacePage::SpacePage(QWidget* parent)
    : RelationPage(" Space",
                       {ListKind::Radius, kRadius, &Sphere::radiusFactor, "radius",
                        "Radius reference", "The sphere whose radius X multiplies",
                        "X, the radius as a multiple of the chosen sphere's radius",
                        "Size reference", "Radius", "radius", kPlace | kRewind | kFitCamera},
                       parent) {
    auto* page = pageColumn(this);

    // The short orientation captions share a row; the direction captions
    // are too long for that in the control column's width.
    auto* orientationRow = new QHBoxLayout;
    orientation_ = radioPair(this, orientationRow, "inside parent", "outside parent",
                             "This sphere rolls on the inside of its parent",
                             "This sphere rolls on the outside of its parent");
    auto* directionColumn = new QVBoxLayout;
    direction_ =
        radioPair(this, directionColumn, "clockwise around parent", "anti-clockwise around parent",
                  "This sphere travels clockwise around its parent",
                  "This sphere travels anti-clockwise around its parent");
    page->addWidget(group("ORIENTATION", orientationRow));
    page->addWidget(group(" REVOLUTION  DIRECTION ", directionColumn));

    auto* size = new QGridLayout;
    auto* formula = new QLabel("Radius  =  X * radius  of sphere");
    list_->setMaximumHeight(72);
    formula->setBuddy(list_);
    size->addWidget(formula, 0, 0, 1, 2);
    size->addWidget(list_, 1, 0, 2, 1);
    size->addWidget(readout_, 1, 1);
    size->addWidget(exact_, 2, 1, Qt::AlignTop);
    size->addWidget(refusal_, 3, 0, 1, 2);
    size->setColumnStretch(0, 1);
    page->addWidget(group("SIZE", size));

    axisZ_ = new SliderSpin("Rotation about parent axis:", 0, 360,
                            "Turns this sphere's axis about its parent's axis, in degrees");
    axisX_ = new SliderSpin("Rotation about perpendicular axis:", 0, 360,
                            "Tilts this sphere's axis away from its parent's axis, in degrees");
    page->addWidget(group("AXIS - Relative to parent axis ", {axisZ_, axisX_}));

    revolution_ =
        new SliderSpin("", 0, 360, "Where around its parent this sphere stands at time 0");
    revolution_->slider()->setAccessibleName("Initial revolution angle");
    revolution_->spin()->setAccessibleName("Initial revolution angle (value)");
    page->addWidget(group("INITIAL REVOLUTION ANGLE", {revolution_}));
    page->addStretch(1);

    axisZ_->slider()->setObjectName("axisZSlider");
    axisZ_->spin()->setObjectName("axisZSpin");
    axisX_->slider()->setObjectName("axisXSlider");
    axisX_->spin()->setObjectName("axisXSpin");
    revolution_->slider()->setObjectName("revolutionSlider");
    revolution_->spin()->setObjectName("revolutionSpin");

    // Toggled, not clicked: keys and assistive tools check a radio too. The
    // refresh is silent (the groups are blocked), and a radio turning off
    // is the other one turning on.
    connect(orientation_, &QButtonGroup::idToggled, this, [this](int id, bool on) {
        if (on) chooseOrientation(id);
    });
    connect(direction_, &QButtonGroup::idToggled, this, [this](int id, bool on) {
        if (on) chooseDirection(id);
    });
    axisZ_->onChange = [this](int v, bool) {
        return setAngle(kAxisZ, &Sphere::axisAngleZ, "Rotation about parent axis", v);
    };
    axisX_->onChange = [this](int v, bool) {
        return setAngle(kAxisX, &Sphere::axisAngleX, "Rotation about perpendicular axis", v);
    };
    revolution_->onChange = [this](int v, bool) {
        return setAngle(kInitialRevolution, &Sphere::initialRevolution, "Initial revolution angle",
                        v);
    };
    setEnabled(false);
}

void SpacePage::refresh() {
    Sphere* s = sphere();
    setEnabled(s != nullptr);
    if (!s) {
        list_->empty();
        return;
    }
    {
        QSignalBlocker a(orientation_), b(direction_);
        orientation_->button(s->inside == 1 ? 0 : 1)->setChecked(true);
        direction_->button(s->antiClockwise ? 1 : 0)->setChecked(true);
    }
    axisZ_->showStored(s->axisAngleZ);
    axisX_->showStored(s->axisAngleX);
    revolution_->showStored(s->initialRevolution);
    refreshRelation(*s);
}

bool SpacePage::fixed(const Sphere& s) const {
    // The first sphere's radius is the unit of every length: it has no X.
    return !rules::radiusFixed(*document(), s).empty();
}

void SpacePage::chooseOrientation(int id) {
    Sphere* s = sphere();
    short inside = id == 0 ? 1 : 0;
    if (!s || s->inside == inside) return;
    apply(stepName("Orientation"), 0, kPlace | kRewind | kFitCamera,
          [s, inside] { s->inside = inside; });
}

void SpacePage::chooseDirection(int id) {
    Sphere* s = sphere();
    short anti = id == 1 ? 1 : 0;
    if (!s || (s->antiClockwise != 0) == (anti != 0)) return;
    apply(stepName("Direction"), 0, kPlace | kRewind, [s, anti] { s->antiClockwise = anti; });
}

bool SpacePage::setAngle(int controlId, double Sphere::*field,
                                           const QString& what, int value) {
    Sphere* s = sphere();
    if (!s) return true;
    apply(stepName(what), mergeKey(controlId), kPlace | kRewind,
          [s, field, value] { s->*field = static_cast<double>(value); });
    return true;
}
