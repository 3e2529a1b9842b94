// The properties pane: a scrolling host for the sheet, so that a low window
// cuts nothing off for good.
#include "viewsphereproperties.h"

#include <QScrollArea>
#include <QVBoxLayout>

#include "propertypageappearance.h"
#include "spherepropertiessheet.h"

ViewSphereProperties::ViewSphereProperties(QWidget* parent) : QWidget(parent) {
    setObjectName("propertiesPane");
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea;
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sheet_ = new SpherePropertiesSheet;
    scroll->setWidget(sheet_);
    column->addWidget(scroll);
    setFocusProxy(sheet_);
    setMinimumSize(1, 1);
}

void ViewSphereProperties::setDocument(CRotundelDoc* doc) {
    sheet_->setDocument(doc);
}

void ViewSphereProperties::refreshSpherePages() {
    sheet_->refreshSpherePages();
}

void ViewSphereProperties::refreshViewPage() {
    sheet_->refreshViewPage();
}

void ViewSphereProperties::resetLightPageAllParticles() {
    sheet_->lightPage()->resetAllParticles();
}
