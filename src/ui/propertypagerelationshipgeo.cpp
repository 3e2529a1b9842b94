// The " Space" page's controls and what each one changes.
#include "propertypagerelationshipgeo.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <cmath>

#include "crotundeldoc.h"
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

PropertyPageRelationshipGeo::PropertyPageRelationshipGeo(QWidget* parent)
    : PropertyPage(" Space", parent) {
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
    radiusList_ = new SphereList(ListKind::Radius);
    radiusList_->setObjectName("radiusList");
    radiusList_->setAccessibleName("Radius reference");
    radiusList_->setToolTip("The sphere whose radius X multiplies");
    radiusList_->setMaximumHeight(72);
    formula->setBuddy(radiusList_);
    readout_ = new QLineEdit;
    readout_->setObjectName("radiusReadout");
    readout_->setReadOnly(true);
    readout_->setAccessibleName("X");
    readout_->setToolTip("X, the radius as a multiple of the chosen sphere's radius");
    exact_ = new QPushButton("Set exact value of X");
    exact_->setObjectName("radiusExact");
    exact_->setToolTip("Enter X exactly as a whole number and a fraction");
    size->addWidget(formula, 0, 0, 1, 2);
    size->addWidget(radiusList_, 1, 0, 2, 1);
    size->addWidget(readout_, 1, 1);
    size->addWidget(exact_, 2, 1, Qt::AlignTop);
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
    page->addWidget(group("INTIAL REVOLUTION ANGLE", {revolution_}));
    page->addStretch(1);

    axisZ_->slider()->setObjectName("axisZSlider");
    axisZ_->spin()->setObjectName("axisZSpin");
    axisX_->slider()->setObjectName("axisXSlider");
    axisX_->spin()->setObjectName("axisXSpin");
    revolution_->slider()->setObjectName("revolutionSlider");
    revolution_->spin()->setObjectName("revolutionSpin");

    connect(orientation_, &QButtonGroup::idClicked, this,
            &PropertyPageRelationshipGeo::chooseOrientation);
    connect(direction_, &QButtonGroup::idClicked, this,
            &PropertyPageRelationshipGeo::chooseDirection);
    radiusList_->onChoose = [this](Sphere* s) { chooseReference(s); };
    connect(exact_, &QPushButton::clicked, this, &PropertyPageRelationshipGeo::setExactX);
    axisZ_->onChange = [this](int v, bool) {
        return setAngle(kAxisZ, &Sphere::axisAngleZ, "Axis", v);
    };
    axisX_->onChange = [this](int v, bool) {
        return setAngle(kAxisX, &Sphere::axisAngleX, "Axis tilt", v);
    };
    revolution_->onChange = [this](int v, bool) {
        return setAngle(kInitialRevolution, &Sphere::initialRevolution, "Start angle", v);
    };
    setEnabled(false);
}

void PropertyPageRelationshipGeo::refresh() {
    Sphere* s = sphere();
    setEnabled(s != nullptr);
    if (!s) {
        radiusList_->empty();
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
    readout_->setText(factorText(s->radiusFactor));
    radiusList_->fill(*document(), s->radiusReference);
    // The first sphere's radius is the unit of every length: it has no X.
    exact_->setEnabled(s != document()->radiusRoot);
}

void PropertyPageRelationshipGeo::chooseOrientation(int id) {
    Sphere* s = sphere();
    short inside = id == 0 ? 1 : 0;
    if (!s || s->inside == inside) return;
    apply(stepName("Orientation"), 0, kPlace | kRewind | kFitCamera,
          [s, inside] { s->inside = inside; });
}

void PropertyPageRelationshipGeo::chooseDirection(int id) {
    Sphere* s = sphere();
    short anti = id == 1 ? 1 : 0;
    if (!s || (s->antiClockwise != 0) == (anti != 0)) return;
    apply(stepName("Direction"), 0, kPlace | kRewind, [s, anti] { s->antiClockwise = anti; });
}

void PropertyPageRelationshipGeo::chooseReference(Sphere* reference) {
    Sphere* s = sphere();
    if (!s || !reference || reference == s->radiusReference) return;
    apply(stepName("Size reference"), 0, kPlace | kRewind | kFitCamera | kUpdateViews,
          [this, s, reference] {
              attach(*s, *reference, kRadius);
              radiusList_->fill(*document(), s->radiusReference);
          });
}

void PropertyPageRelationshipGeo::setExactX() {
    Sphere* s = sphere();
    if (!s || s == document()->radiusRoot) return;
    std::optional<Rational> x = Prompts::exactX(this, s->radiusFactor);
    if (x) {
        apply(stepName("Radius"), 0, kPlace | kRewind | kFitCamera,
              [s, x] { s->radiusFactor = *x; });
        readout_->setText(factorText(s->radiusFactor));
    }
    updateAllViews();
}

bool PropertyPageRelationshipGeo::setAngle(int controlId, double Sphere::*field,
                                           const QString& what, int value) {
    Sphere* s = sphere();
    if (!s) return true;
    apply(stepName(what), mergeKey(controlId), kPlace | kRewind,
          [s, field, value] { s->*field = static_cast<double>(value); });
    return true;
}
