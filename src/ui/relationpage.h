// What the Space and Time pages share: a factor X of the selected sphere
// taken relative to a chosen sphere, with the list to choose that sphere
// from, X's readout and the button to enter X exactly.
#pragma once

#include "pagekit.h"

class QLabel;
class QLineEdit;
class QPushButton;

class RelationPage : public PropertyPage {
    Q_OBJECT
  public:
    // The words and follow-ups that tell the two pages apart.
    struct Kind {
        ListKind list;
        int relation;              // kRadius or kTime
        Rational Sphere::*factor;  // the X this page edits
        const char* name;          // object names: "<name>List", "<name>Readout", ...
        const char* listLabel;     // accessible name of the list
        const char* listTip;
        const char* readoutTip;
        const char* referenceStep;  // "Size reference"
        const char* factorStep;     // "Radius"
        const char* factorWord;     // "radius": how the rules name X
        unsigned followups;         // of both edits
    };

    SphereList* referenceList() const { return list_; }
    // X, shown exactly ("1/3", "2 2/3") and typed in place: Enter or
    // leaving the field applies what the exact-value dialog accepts.
    QLineEdit* readout() const { return readout_; }
    // Why the text typed for X was refused ("" and hidden when it was not).
    QLabel* refusal() const { return refusal_; }
    QPushButton* exactButton() const { return exact_; }

  protected:
    RelationPage(const QString& title, const Kind& kind, QWidget* parent = nullptr);
    // True when the selected sphere has no X here: no reference to choose
    // and nothing to enter.
    virtual bool fixed(const Sphere& s) const = 0;
    // Loads the list, the readout and what can act for s.
    void refreshRelation(const Sphere& s);

    SphereList* list_;
    QLineEdit* readout_;
    QLabel* refusal_;
    QPushButton* exact_;

  private:
    void chooseReference(Sphere* reference);
    void setExactX();
    // The text of the field, applied as X or refused beside it.
    void typedX();
    void showX(const Sphere& s);

    Kind kind_;
};
