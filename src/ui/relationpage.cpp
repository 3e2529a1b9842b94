// The reference list, readout and exact-X button of the Space and Time pages.
#include "relationpage.h"

#include <QLineEdit>
#include <QPushButton>

#include "document.h"
#include "sphere.h"

RelationPage::RelationPage(const QString& title, const Kind& kind, QWidget* parent)
    : PropertyPage(title, parent), kind_(kind) {
    const QString name = kind.name;
    list_ = new SphereList(kind.list);
    list_->setObjectName(name + "List");
    list_->setAccessibleName(kind.listLabel);
    list_->setToolTip(kind.listTip);
    readout_ = new QLineEdit;
    readout_->setObjectName(name + "Readout");
    readout_->setReadOnly(true);
    readout_->setAccessibleName("X");
    readout_->setToolTip(kind.readoutTip);
    exact_ = new QPushButton("Set exact value of X");
    exact_->setObjectName(name + "Exact");
    exact_->setToolTip("Enter X exactly as a whole number and a fraction");
    list_->onChoose = [this](Sphere* s) { chooseReference(s); };
    connect(exact_, &QPushButton::clicked, this, &RelationPage::setExactX);
}

void RelationPage::refreshRelation(const Sphere& s) {
    readout_->setText(factorText(s.*kind_.factor));
    const bool none = fixed(s);
    if (none)
        list_->empty();
    else
        list_->fill(*document(), s.reference(kind_.relation));
    list_->setEnabled(!none);
    exact_->setEnabled(!none);
}

void RelationPage::chooseReference(Sphere* reference) {
    Sphere* s = sphere();
    if (!s || !reference || fixed(*s) || reference == s->reference(kind_.relation)) return;
    apply(stepName(kind_.referenceStep), 0, kind_.followups | kUpdateViews, [this, s, reference] {
        attach(*s, *reference, kind_.relation);
        list_->fill(*document(), s->reference(kind_.relation));
    });
}

void RelationPage::setExactX() {
    Sphere* s = sphere();
    if (!s || fixed(*s)) return;
    std::optional<Rational> x = Prompts::exactX(this, s->*kind_.factor);
    if (x) {
        apply(stepName(kind_.factorStep), 0, kind_.followups,
              [s, x, field = kind_.factor] { s->*field = *x; });
        readout_->setText(factorText(s->*kind_.factor));
    }
    updateAllViews();
}
