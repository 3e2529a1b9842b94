// " Points": the marked points of the selected sphere, whose paths are
// traced: at most six, point 0 (the centre) fixed; each other point placed
// by two angles and its distance from the centre.
#pragma once

#include "pagekit.h"

class QPushButton;

class PointsPage : public PropertyPage {
    Q_OBJECT
  public:
    static constexpr int kMaxPoints = 6;
    static constexpr const char* kSixPoints = "You can only specify 6 points per sphere.";
    static constexpr const char* kPointZero = "Then 0th point cannot be deleted or modified.";

    explicit PointsPage(QWidget* parent = nullptr);
    void refresh() override;

    QListWidget* pointList() const { return list_; }
    QPushButton* addButton() const { return add_; }
    QPushButton* removeButton() const { return remove_; }
    SliderSpin* angleZ() const { return angleZ_; }
    SliderSpin* angleX() const { return angleX_; }
    SliderSpin* distance() const { return distance_; }
    // The selected point's position in the sphere's list; -1 when none.
    int selectedPoint() const { return selected_; }

  private:
    // Lists the selected sphere's points and chooses row (-1: the row chosen
    // before when the same sphere is shown again, else the centre).
    void refill(int row = -1);
    void load();
    void pointChosen(int row);
    void addPoint();
    void removePoint();
    // A slider or spin of a coordinate moved to value: point 0 refuses it.
    bool setCoordinate(int controlId, double SpherePoint::*field, int value, bool fromSpin);

    QListWidget* list_;
    QPushButton* add_;
    QPushButton* remove_;
    SliderSpin* angleZ_;
    SliderSpin* angleX_;
    SliderSpin* distance_;
    int selected_ = -1;
    int shownSlot_ = -1;  // table slot of the sphere whose points are listed
};
