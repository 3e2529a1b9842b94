// The reference list, readout and exact-X button of the Space and Time pages.
#include "relationpage.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "document.h"
#include "documentrules.h"
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
    readout_->setAccessibleName("X");
    readout_->setToolTip(QString(kind.readoutTip) +
                         ". Type it as 3, 1/3, 2 4/6 or 0.5 and press Enter.");
    refusal_ = new QLabel;
    refusal_->setObjectName(name + "Refusal");
    refusal_->setWordWrap(true);
    refusal_->setAccessibleName("Why X was not taken");
    refusal_->hide();
    // Enter, or leaving the field: what was typed is taken or refused.
    connect(readout_, &QLineEdit::editingFinished, this, &RelationPage::typedX);
    exact_ = new QPushButton("Set exact value of X");
    exact_->setObjectName(name + "Exact");
    exact_->setToolTip("Enter X exactly as a whole number and a fraction");
    // The list beside it gives way first: the caption is never cut off.
    exact_->setMinimumWidth(std::max(exact_->sizeHint().width(),
                                     exact_->fontMetrics().horizontalAdvance(exact_->text()) +
                                         3 * exact_->fontMetrics().averageCharWidth()));
    exact_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    list_->onChoose = [this](Sphere* s) { chooseReference(s); };
    connect(exact_, &QPushButton::clicked, this, &RelationPage::setExactX);
}

void RelationPage::showX(const Sphere& s) {
    readout_->setText(factorText(s.*kind_.factor));
}

void RelationPage::refreshRelation(const Sphere& s) {
    showX(s);
    refusal_->hide();
    const bool none = fixed(s);
    readout_->setReadOnly(none);
    if (none)
        list_->empty();
    else
        list_->fill(*document(), s.reference(kind_.relation));
    list_->setEnabled(!none);
    exact_->setEnabled(!none);
}

void RelationPage::chooseReference(Sphere* reference) {
    Sphere* s = sphere();
    if (!s || !reference || reference == s->reference(kind_.relation) ||
        !rules::referenceRefusal(*document(), *s, *reference, kind_.relation).empty())
        return;
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
        showX(*s);
        refusal_->hide();
    }
    updateAllViews();
}

void RelationPage::typedX() {
    Sphere* s = sphere();
    if (!s || fixed(*s) || readout_->isReadOnly()) return;
    const std::string text = readout_->text().toStdString();
    if (text == rules::exactText(s->*kind_.factor)) {
        refusal_->hide();
        return;
    }
    Rational x;
    if (std::string why = rules::typedFactorRefusal(kind_.factorWord, text, &x); !why.empty()) {
        // Said beside the field, which keeps the text so that it can be
        // put right.
        refusal_->setText(QString::fromStdString(rules::sentence(why)));
        refusal_->show();
        return;
    }
    refusal_->hide();
    if (x != s->*kind_.factor)
        apply(stepName(kind_.factorStep), 0, kind_.followups,
              [s, x, field = kind_.factor] { s->*field = x; });
    showX(*s);
    updateAllViews();
}
