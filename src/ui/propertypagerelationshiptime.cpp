// The " Time" page's controls and what each one changes.
#include "propertypagerelationshiptime.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "crotundeldoc.h"
#include "sphere.h"

PropertyPageRelationshipTime::PropertyPageRelationshipTime(QWidget* parent)
    : PropertyPage(" Time", parent) {
    auto* page = pageColumn(this);
    auto* grid = new QGridLayout;
    auto text = [](const QString& t) {
        auto* label = new QLabel(t);
        label->setWordWrap(true);
        return label;
    };
    grid->addWidget(
        text("This sphere will roll along its parent for a distance =  X * cycle distance of the "
             "two spheres,"),
        0, 0, 1, 2);
    auto* whileSphere = text("while sphere");
    grid->addWidget(whileSphere, 1, 0, 1, 2);
    timeList_ = new SphereList(ListKind::Time);
    timeList_->setObjectName("timeList");
    timeList_->setAccessibleName("Time reference");
    timeList_->setToolTip(
        "How far this sphere rolls, in cycle distances, while the chosen sphere rolls one");
    timeList_->setMaximumHeight(90);
    whileSphere->setBuddy(timeList_);
    grid->addWidget(timeList_, 2, 0, 1, 2);
    grid->addWidget(text("rolls along its parent for a distance equal to their cycle distance."), 3,
                    0, 1, 2);
    exact_ = new QPushButton("Set exact value of X");
    exact_->setObjectName("rateExact");
    exact_->setToolTip("Enter X exactly as a whole number and a fraction");
    readout_ = new QLineEdit;
    readout_->setObjectName("rateReadout");
    readout_->setReadOnly(true);
    readout_->setAccessibleName("X");
    readout_->setToolTip("X, the rolling rate relative to the chosen sphere");
    grid->addWidget(exact_, 4, 0);
    grid->addWidget(readout_, 4, 1);
    page->addWidget(group("ROLLING RATE", grid));
    page->addStretch(1);

    timeList_->onChoose = [this](Sphere* s) { chooseReference(s); };
    connect(exact_, &QPushButton::clicked, this, &PropertyPageRelationshipTime::setExactX);
    setEnabled(false);
}

bool PropertyPageRelationshipTime::paceSetter(const Sphere& s) const {
    return &s == document()->root || &s == document()->timeMaster;
}

void PropertyPageRelationshipTime::refresh() {
    Sphere* s = sphere();
    setEnabled(s != nullptr);
    if (!s) {
        timeList_->empty();
        return;
    }
    readout_->setText(factorText(s->rollingRate));
    const bool fixed = paceSetter(*s);
    if (fixed)
        timeList_->empty();
    else
        timeList_->fill(*document(), s->timeReference);
    timeList_->setEnabled(!fixed);
    exact_->setEnabled(!fixed);
}

void PropertyPageRelationshipTime::chooseReference(Sphere* reference) {
    Sphere* s = sphere();
    if (!s || !reference || paceSetter(*s) || reference == s->timeReference) return;
    apply(stepName("Time reference"), 0, kPlace | kRewind | kUpdateViews, [this, s, reference] {
        attach(*s, *reference, kTime);
        timeList_->fill(*document(), s->timeReference);
    });
}

void PropertyPageRelationshipTime::setExactX() {
    Sphere* s = sphere();
    if (!s || paceSetter(*s)) return;
    std::optional<Rational> x = Prompts::exactX(this, s->rollingRate);
    if (x) {
        apply(stepName("Rolling rate"), 0, kPlace | kRewind, [s, x] { s->rollingRate = *x; });
        readout_->setText(factorText(s->rollingRate));
    }
    updateAllViews();
}
