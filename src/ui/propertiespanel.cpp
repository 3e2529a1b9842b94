// The properties pane: a scrolling host for the sheet, so that a low window
// cuts nothing off for good.
#include "propertiespanel.h"

#include <QScrollArea>
#include <QVBoxLayout>

#include "lightpage.h"
#include "propertysheet.h"

PropertiesPanel::PropertiesPanel(QWidget* parent) : QWidget(parent) {
    setObjectName("propertiesPane");
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea;
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sheet_ = new PropertySheet;
    scroll->setWidget(sheet_);
    column->addWidget(scroll);
    setFocusProxy(sheet_);
    setMinimumSize(1, 1);
}

void PropertiesPanel::setDocument(Document* doc) {
    sheet_->setDocument(doc);
}

void PropertiesPanel::refreshSpherePages() {
    sheet_->refreshSpherePages();
}

void PropertiesPanel::refreshViewPage() {
    sheet_->refreshViewPage();
}

void PropertiesPanel::resetLightPageAllParticles() {
    sheet_->lightPage()->resetAllParticles();
}
