// The " Time" page's controls and what each one changes.
#include "timepage.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "document.h"
#include "documentrules.h"
#include "sphere.h"

TimePage::TimePage(QWidget* parent)
    : RelationPage(
          " Time",
          {ListKind::Time, kTime, &Sphere::rollingRate, "time", "Time reference",
           "How far this sphere rolls, in cycle distances, while the chosen sphere rolls one",
           "X, the rolling rate relative to the chosen sphere", "Time reference", "Rolling rate",
           "rate", kPlace | kRewind},
          parent) {
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
    list_->setMaximumHeight(90);
    whileSphere->setBuddy(list_);
    grid->addWidget(list_, 2, 0, 1, 2);
    grid->addWidget(text("rolls along its parent for a distance equal to their cycle distance."), 3,
                    0, 1, 2);
    grid->addWidget(exact_, 4, 0);
    grid->addWidget(readout_, 4, 1);
    grid->addWidget(refusal_, 6, 0, 1, 2);
    // Why the rate of the sphere that sets the pace cannot be edited.
    reason_ = text("");
    reason_->setObjectName("rateFixedReason");
    grid->addWidget(reason_, 5, 0, 1, 2);
    page->addWidget(group("ROLLING RATE", grid));
    page->addStretch(1);
    setEnabled(false);
}

bool TimePage::fixed(const Sphere& s) const {
    return !rules::rateFixed(*document(), s).empty();
}

void TimePage::refresh() {
    Sphere* s = sphere();
    setEnabled(s != nullptr);
    if (!s) {
        list_->empty();
        reason_->clear();
        return;
    }
    refreshRelation(*s);
    const QString name = sphereName(*s);
    if (s == document()->root)
        reason_->setText(name + " is the first sphere: it has no parent to roll along.");
    else if (s == document()->timeMaster)
        reason_->setText(name + " sets the clock: it rolls one cycle distance per time unit.");
    else
        reason_->clear();
    reason_->setVisible(!reason_->text().isEmpty());
}
