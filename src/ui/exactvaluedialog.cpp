// The exact-X dialog: whole number, then numerator, then denominator are
// checked in that order; a zero factor is refused because a sphere without
// size or a rate of nothing has no meaning.
#include "exactvaluedialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

#include "imagemoviedialog.h"
#include "pagekit.h"

ExactValueDialog::ExactValueDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(" Set an exact value of X");
    auto* form = new QFormLayout(this);
    auto field = [this, form](const QString& caption, const char* name, const QString& tip) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(name);
        // Digits only, and no more of them than a factor can use.
        edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]{0,9}"), edit));
        edit->setToolTip(tip);
        auto* label = new QLabel(caption);
        label->setBuddy(edit);
        form->addRow(label, edit);
        return edit;
    };
    whole_ = field("Whole number : ", "whole", "The whole part of X, 0 to 1000");
    numerator_ =
        field("Numerator :", "numerator", "The numerator of the fraction added, 0 to 1000");
    denominator_ =
        field("Denominator : ", "denominator", "The denominator of the fraction, 1 to 1000");
    prefill(Rational(0, 1));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &ExactValueDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ExactValueDialog::reject);
    form->addRow(buttons);
}

void ExactValueDialog::prefill(Rational x) {
    // The fields take digits only: a negative factor (only a file could
    // hold one) shows its digits, and the checks then ask for a new value.
    whole_->setText(QString::number(x.numerator() / x.denominator()));
    numerator_->setText(QString::number(x.numerator() % x.denominator()));
    denominator_->setText(QString::number(x.denominator()));
}

void ExactValueDialog::refuse(QLineEdit* edit, const QString& message) {
    emit rejectedEntry(message);
    Prompts::message(this, message);
    edit->setFocus();
    edit->selectAll();
}

bool ExactValueDialog::check(const QString& field, QLineEdit* edit, int low, int high, int* value) {
    QString message = ImageMovieDialog::validate(field, edit->text(), low, high, value);
    if (message.isEmpty()) return true;
    refuse(edit, message);
    return false;
}

void ExactValueDialog::accept() {
    int whole = 0, numerator = 0, denominator = 1;
    if (!check("Whole number", whole_, 0, kMaxEntry, &whole)) return;
    if (!check("Numerator", numerator_, 0, kMaxEntry, &numerator)) return;
    if (!check("Denominator", denominator_, 1, kMaxEntry, &denominator)) return;
    if (whole == 0 && numerator == 0) {
        refuse(whole_, kNotPositive);
        return;
    }
    // At most 1000 * 1000 + 1000: well inside 32 bits.
    result_ = Rational(denominator * whole + numerator, denominator);
    QDialog::accept();
}
