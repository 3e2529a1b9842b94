// The lowest pane of the control column: it holds the property sheet and
// passes the document's page refreshes on to it.
#pragma once

#include <QWidget>

#include "documentobserver.h"

class CRotundelDoc;
class SpherePropertiesSheet;

// UI thread only.
class ViewSphereProperties : public QWidget, public DocumentObserver {
    Q_OBJECT
  public:
    explicit ViewSphereProperties(QWidget* parent = nullptr);

    SpherePropertiesSheet* sheet() const { return sheet_; }
    void setDocument(CRotundelDoc* doc);

    // --- DocumentObserver: the pages' part ---
    void refreshSpherePages() override;
    void refreshViewPage() override;
    void resetLightPageAllParticles() override;

  private:
    SpherePropertiesSheet* sheet_;
};
