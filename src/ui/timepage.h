// " Time": how fast the selected sphere rolls, as X times the rolling of a
// chosen sphere.
#pragma once

#include "relationpage.h"

class QLabel;

class TimePage : public RelationPage {
    Q_OBJECT
  public:
    explicit TimePage(QWidget* parent = nullptr);
    void refresh() override;

    SphereList* timeList() const { return list_; }
    // Says why the selected sphere's rate is fixed; empty when it is not.
    QLabel* fixedReason() const { return reason_; }

  protected:
    // The root and the time master set the pace: they have no rate to edit.
    bool fixed(const Sphere& s) const override;

  private:
    QLabel* reason_;
};
