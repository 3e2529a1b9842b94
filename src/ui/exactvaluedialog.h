// " Set an exact value of X": a factor entered as a whole number and a
// fraction, checked field by field and handed back in lowest terms.
#pragma once

#include <QDialog>

#include "rational.h"

class QLineEdit;

class ExactValueDialog : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kMaxEntry = 1000;
    static constexpr const char* kNotPositive = "X must be greater than 0.";

    explicit ExactValueDialog(QWidget* parent = nullptr);

    // Fills the fields from x: whole part, remaining numerator, denominator.
    void prefill(Rational x);
    // The factor entered; meaningful once the dialog was accepted.
    Rational result() const { return result_; }

    QLineEdit* wholeEdit() const { return whole_; }
    QLineEdit* numeratorEdit() const { return numerator_; }
    QLineEdit* denominatorEdit() const { return denominator_; }

  public slots:
    void accept() override;

  signals:
    // Each refusal, with the message it shows.
    void rejectedEntry(const QString& message);

  private:
    bool check(const QString& field, QLineEdit* edit, int low, int high, int* value);
    void refuse(QLineEdit* edit, const QString& message);

    QLineEdit* whole_;
    QLineEdit* numerator_;
    QLineEdit* denominator_;
    Rational result_{0, 1};
};
