// " Space": where the selected sphere sits relative to its parent: inside
// or outside, direction, size (X times the radius of a chosen sphere), the
// axis angles and the angle at which it starts.
#pragma once

#include "relationpage.h"

class QButtonGroup;

class SpacePage : public RelationPage {
    Q_OBJECT
  public:
    explicit SpacePage(QWidget* parent = nullptr);
    void refresh() override;

    QButtonGroup* orientation() const { return orientation_; }  // ids 0 inside, 1 outside
    QButtonGroup* direction() const { return direction_; }      // ids 0 clockwise, 1 anti
    SphereList* radiusList() const { return list_; }
    SliderSpin* axisZ() const { return axisZ_; }
    SliderSpin* axisX() const { return axisX_; }
    SliderSpin* revolution() const { return revolution_; }

  protected:
    bool fixed(const Sphere& s) const override;

  private:
    void chooseOrientation(int id);
    void chooseDirection(int id);
    bool setAngle(int controlId, double Sphere::*field, const QString& what, int value);

    QButtonGroup* orientation_;
    QButtonGroup* direction_;
    SliderSpin* axisZ_;
    SliderSpin* axisX_;
    SliderSpin* revolution_;
};
