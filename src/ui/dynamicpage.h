// " Dynamic": whether the selected sphere's axis turns a little relative to
// its parent with every frame, and about which axes.
#pragma once

#include "pagekit.h"

class QCheckBox;

class DynamicPage : public PropertyPage {
    Q_OBJECT
  public:
    explicit DynamicPage(QWidget* parent = nullptr);
    void refresh() override;

    QCheckBox* performBox() const { return perform_; }
    QCheckBox* axisZBox() const { return axisZ_; }
    QCheckBox* axisXBox() const { return axisX_; }

  private:
    void toggle(QCheckBox* box, int Sphere::*field);

    QCheckBox* perform_;
    QCheckBox* axisZ_;
    QCheckBox* axisX_;
};
