// The sheet " Selected sphere properties": a caption over six tabbed pages,
// five for the selected sphere and one for the view.
#pragma once

#include <QList>
#include <QWidget>

class CRotundelDoc;
class PropertyPage;
class PropertyPageAppearance;
class PropertyPageDynamic;
class PropertyPagePoints;
class PropertyPageRelationshipGeo;
class PropertyPageRelationshipTime;
class PropertyPageViewProperties;
class QTabWidget;

class SpherePropertiesSheet : public QWidget {
    Q_OBJECT
  public:
    static constexpr const char* kCaption = " Selected sphere properties";
    enum PageIndex { kLight, kSpace, kTime, kPoints, kDynamic, kView };

    explicit SpherePropertiesSheet(QWidget* parent = nullptr);

    void setDocument(CRotundelDoc* doc);
    // Reloads the five pages of the selected sphere, in tab order, and the
    // View page, whose sample estimate is the selected sphere's.
    void refreshSpherePages();
    void refreshViewPage();

    QTabWidget* tabs() const { return tabs_; }
    PropertyPage* page(int index) const { return pages_.at(index); }
    PropertyPageAppearance* lightPage() const { return light_; }
    PropertyPageRelationshipGeo* spacePage() const { return space_; }
    PropertyPageRelationshipTime* timePage() const { return time_; }
    PropertyPagePoints* pointsPage() const { return points_; }
    PropertyPageDynamic* dynamicPage() const { return dynamic_; }
    PropertyPageViewProperties* viewPage() const { return view_; }

  private:
    QTabWidget* tabs_;
    QList<PropertyPage*> pages_;
    PropertyPageAppearance* light_;
    PropertyPageRelationshipGeo* space_;
    PropertyPageRelationshipTime* time_;
    PropertyPagePoints* points_;
    PropertyPageDynamic* dynamic_;
    PropertyPageViewProperties* view_;
};
