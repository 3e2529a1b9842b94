// The " Points" page's controls and what each one changes.
#include "pointspage.h"

#include <QGridLayout>
#include <QPushButton>
#include <QSignalBlocker>
#include <algorithm>

#include "document.h"
#include "sphere.h"

namespace {
// Control ids: they make the merge keys of drags and spin clicks.
enum : int { kAngleZ = 1050, kAngleX = 1055, kDistance = 1057 };
}  // namespace

PointsPage::PointsPage(QWidget* parent) : PropertyPage(" Points", parent) {
    auto* page = pageColumn(this);
    auto* points = new QGridLayout;
    list_ = new QListWidget;
    list_->setObjectName("pointList");
    list_->setAccessibleName("Points");
    list_->setToolTip("The selected sphere's points; 0 is its centre");
    list_->setMaximumHeight(110);
    add_ = new QPushButton("Add new point");
    add_->setObjectName("addPoint");
    add_->setToolTip("Add a point on the sphere's surface and select it");
    remove_ = new QPushButton("Remove selected point");
    remove_->setObjectName("removePoint");
    remove_->setToolTip("Remove the selected point; the points after it move up");
    points->addWidget(list_, 0, 0, 3, 1);
    points->addWidget(add_, 0, 1);
    points->addWidget(remove_, 1, 1);
    points->setColumnStretch(0, 1);
    page->addWidget(group(" POINTS : ", points));

    angleZ_ = new SliderSpin("Rotation about sphere axis:", 0, 360,
                             "Turns the point about the sphere's axis, in degrees");
    angleX_ = new SliderSpin("Rotation about perpendicular axis:", 0, 360,
                             "Tilts the point away from the sphere's axis, in degrees");
    distance_ = new SliderSpin("Quantum distance from sphere center to point:", 1, 7,
                               "The point's distance from the centre, in sphere radii");
    page->addWidget(group(" SELECTED POINT POSITION : ", {angleZ_, angleX_, distance_}));
    page->addStretch(1);

    angleZ_->slider()->setObjectName("pointZSlider");
    angleX_->slider()->setObjectName("pointXSlider");
    distance_->slider()->setObjectName("distanceSlider");

    connect(list_, &QListWidget::currentRowChanged, this, &PointsPage::pointChosen);
    connect(add_, &QPushButton::clicked, this, &PointsPage::addPoint);
    connect(remove_, &QPushButton::clicked, this, &PointsPage::removePoint);
    angleZ_->onChange = [this](int v, bool fromSpin) {
        return setCoordinate(kAngleZ, &SpherePoint::pointAngleZ, "Rotation about sphere axis", v,
                             fromSpin);
    };
    angleX_->onChange = [this](int v, bool fromSpin) {
        return setCoordinate(kAngleX, &SpherePoint::pointAngleX,
                             "Rotation about perpendicular axis", v, fromSpin);
    };
    distance_->onChange = [this](int v, bool fromSpin) {
        return setCoordinate(kDistance, &SpherePoint::quantumDistance,
                             "Quantum distance from sphere center to point", v, fromSpin);
    };
    setEnabled(false);
}

void PointsPage::refresh() {
    Sphere* s = sphere();
    setEnabled(s != nullptr);
    refill();
}

void PointsPage::refill(int row) {
    QSignalBlocker hold(list_);
    // The same sphere shown again (an undo, another page's edit) keeps its
    // point chosen; another sphere starts at its centre.
    Sphere* s = sphere();
    const int slot = s ? document()->slotOf(s) : -1;
    const int keep = row >= 0 ? row : slot == shownSlot_ ? list_->currentRow() : 0;
    shownSlot_ = slot;
    list_->clear();
    selected_ = -1;
    if (!s) return;
    if (s->points.empty()) {
        for (SliderSpin* pair : {angleZ_, angleX_, distance_}) pair->setValue(0);
        return;
    }
    for (int i = 0; i < s->pointCount(); ++i) list_->addItem(QString::asprintf("%d", i));
    list_->setCurrentRow(std::clamp(keep, 0, s->pointCount() - 1));
    load();
}

void PointsPage::load() {
    selected_ = list_->currentRow();
    Sphere* s = sphere();
    if (!s || selected_ < 0 || selected_ >= s->pointCount()) return;
    const SpherePoint& p = s->points[static_cast<std::size_t>(selected_)];
    distance_->showStored(p.quantumDistance);
    angleZ_->showStored(p.pointAngleZ);
    angleX_->showStored(p.pointAngleX);
}

void PointsPage::pointChosen(int) {
    Document* doc = document();
    if (!sphere()) return;
    load();
    // The view's arrow marks the point chosen here while an edit flashes.
    Document::Change change(*doc);
    doc->flashPointIndex = std::max(selected_, 0);
    doc->rewindDynamics();
}

void PointsPage::addPoint() {
    Sphere* s = sphere();
    if (!s) return;
    if (std::string why = rules::addPointRefusal(*s); !why.empty()) {
        Prompts::message(this, QString::fromStdString(rules::sentence(why)));
        return;
    }
    // The history names each step after the control that made it.
    apply(QString("Add new point to %1").arg(sphereName(*s)), 0, kPlace | kRewind, [this, s] {
        s->addPoint(0, 0, 1);
        refill();
        QSignalBlocker hold(list_);
        list_->setCurrentRow(s->pointCount() - 1);
        load();
        document()->flashPointIndex = selected_;
    });
}

void PointsPage::removePoint() {
    Sphere* s = sphere();
    if (!s || selected_ < 0) return;
    if (std::string why = rules::pointChangeRefusal(selected_); !why.empty()) {
        Prompts::message(this, QString::fromStdString(rules::sentence(why)));
        return;
    }
    const int index = selected_;
    apply(QString("Remove point %1 of %2").arg(index).arg(sphereName(*s)), 0, kPlace | kRewind,
          [this, s, index] {
              s->removePoint(static_cast<std::size_t>(index));
              refill(0);
              document()->flashPointIndex = 0;
          });
}

bool PointsPage::setCoordinate(int controlId, double SpherePoint::*field, const QString& what,
                               int value, bool fromSpin) {
    Sphere* s = sphere();
    const int index = list_->currentRow();
    const bool movable = s && s->pointCount() > 0 && index > 0 && index < s->pointCount();
    if (!movable) {
        if (fromSpin && s && s->pointCount() > 0)
            if (std::string why = rules::pointChangeRefusal(index); !why.empty())
                Prompts::message(this, QString::fromStdString(rules::sentence(why)));
        // A dragged slider goes back to where the point is.
        if (!fromSpin) load();
        return false;
    }
    selected_ = index;
    apply(QString("%1 of point %2 of %3").arg(what).arg(index).arg(sphereName(*s)),
          mergeKey(controlId * 8 + index), kPlace | kRewind, [this, s, field, index, value] {
              s->points[static_cast<std::size_t>(index)].*field = static_cast<double>(value);
              Document* doc = document();
              doc->flashPointIndex = index;
              // Each move shows the arrow for the full time again.
              doc->flashStarted = 0;
              doc->flashActive = 1;
          });
    return true;
}
