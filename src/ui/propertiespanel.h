// The lowest pane of the control column: it holds the property sheet and
// passes the document's page refreshes on to it.
#pragma once

#include <QWidget>

#include "documentobserver.h"

class Document;
class PropertySheet;

// UI thread only.
class PropertiesPanel : public QWidget, public DocumentObserver {
    Q_OBJECT
  public:
    explicit PropertiesPanel(QWidget* parent = nullptr);

    PropertySheet* sheet() const { return sheet_; }
    void setDocument(Document* doc);

    // --- DocumentObserver: the pages' part ---
    void refreshSpherePages() override;
    void refreshViewPage() override;
    void resetLightPageAllParticles() override;

  private:
    PropertySheet* sheet_;
};
