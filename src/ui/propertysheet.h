// The sheet " Selected sphere properties": a caption over six tabbed pages,
// five for the selected sphere and one for the view.
#pragma once

#include <QList>
#include <QWidget>

class Document;
class PropertyPage;
class LightPage;
class DynamicPage;
class PointsPage;
class SpacePage;
class TimePage;
class ViewPage;
class QTabWidget;

class PropertySheet : public QWidget {
    Q_OBJECT
  public:
    static constexpr const char* kCaption = " Selected sphere properties";
    enum PageIndex { kLight, kSpace, kTime, kPoints, kDynamic, kView };

    explicit PropertySheet(QWidget* parent = nullptr);

    void setDocument(Document* doc);
    // Reloads the five pages of the selected sphere, in tab order, and the
    // View page, whose sample estimate is the selected sphere's.
    void refreshSpherePages();
    void refreshViewPage();

    QTabWidget* tabs() const { return tabs_; }
    PropertyPage* page(int index) const { return pages_.at(index); }
    LightPage* lightPage() const { return light_; }
    SpacePage* spacePage() const { return space_; }
    TimePage* timePage() const { return time_; }
    PointsPage* pointsPage() const { return points_; }
    DynamicPage* dynamicPage() const { return dynamic_; }
    ViewPage* viewPage() const { return view_; }

  private:
    QTabWidget* tabs_;
    QList<PropertyPage*> pages_;
    LightPage* light_;
    SpacePage* space_;
    TimePage* time_;
    PointsPage* points_;
    DynamicPage* dynamic_;
    ViewPage* view_;
};
