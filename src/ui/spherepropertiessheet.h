// The sheet " Selected sphere properties": a caption over six tabbed pages,
// five for the selected sphere and one for the view.
#pragma once

#include <QList>
#include <QWidget>

class CRotundelDoc;
class PropertyPage;
class PropertyPageRelationshipGeo;
class PropertyPageRelationshipTime;
class QTabWidget;

class SpherePropertiesSheet : public QWidget {
    Q_OBJECT
  public:
    static constexpr const char* kCaption = " Selected sphere properties";
    enum PageIndex { kLight, kSpace, kTime, kPoints, kDynamic, kView };

    explicit SpherePropertiesSheet(QWidget* parent = nullptr);

    void setDocument(CRotundelDoc* doc);
    // Reloads the five pages of the selected sphere, in tab order.
    void refreshSpherePages();
    void refreshViewPage();

    QTabWidget* tabs() const { return tabs_; }
    PropertyPage* page(int index) const { return pages_.at(index); }
    PropertyPageRelationshipGeo* spacePage() const { return space_; }
    PropertyPageRelationshipTime* timePage() const { return time_; }

  private:
    QTabWidget* tabs_;
    QList<PropertyPage*> pages_;
    PropertyPageRelationshipGeo* space_;
    PropertyPageRelationshipTime* time_;
};
