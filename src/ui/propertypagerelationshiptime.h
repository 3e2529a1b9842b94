// " Time": how fast the selected sphere rolls, as X times the rolling of a
// chosen sphere.
#pragma once

#include "pagekit.h"

class QLineEdit;
class QPushButton;

class PropertyPageRelationshipTime : public PropertyPage {
    Q_OBJECT
  public:
    explicit PropertyPageRelationshipTime(QWidget* parent = nullptr);
    void refresh() override;

    SphereList* timeList() const { return timeList_; }
    QLineEdit* readout() const { return readout_; }
    QPushButton* exactButton() const { return exact_; }

  private:
    // The root and the time master set the pace: they have no rate to edit.
    bool paceSetter(const Sphere& s) const;
    void chooseReference(Sphere* reference);
    void setExactX();

    SphereList* timeList_;
    QLineEdit* readout_;
    QPushButton* exact_;
};
