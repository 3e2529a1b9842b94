// The property sheet: its caption, its tabs and the refresh order.
#include "propertysheet.h"

#include <QLabel>
#include <QTabWidget>
#include <QVBoxLayout>

#include "pagekit.h"
#include "lightpage.h"
#include "dynamicpage.h"
#include "pointspage.h"
#include "spacepage.h"
#include "timepage.h"
#include "viewpage.h"

PropertySheet::PropertySheet(QWidget* parent) : QWidget(parent) {
    setObjectName("propertiesSheet");
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    // The caption bar says what the pages below are about.
    auto* caption = new QLabel(kCaption);
    caption->setObjectName("sheetCaption");
    caption->setAutoFillBackground(true);
    QPalette p = caption->palette();
    p.setColor(QPalette::Window, p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::WindowText, p.color(QPalette::Active, QPalette::HighlightedText));
    caption->setPalette(p);
    QFont bold = caption->font();
    bold.setBold(true);
    caption->setFont(bold);
    caption->setContentsMargins(4, 3, 4, 3);
    column->addWidget(caption);

    tabs_ = new QTabWidget;
    tabs_->setObjectName("propertyTabs");
    tabs_->setAccessibleName(QString(kCaption).trimmed());
    // All six tabs in one row of the control column, without scroll arrows.
    tabs_->setUsesScrollButtons(false);
    tabs_->setStyleSheet("QTabBar::tab { padding: 4px 5px; }");
    light_ = new LightPage;
    space_ = new SpacePage;
    time_ = new TimePage;
    points_ = new PointsPage;
    dynamic_ = new DynamicPage;
    view_ = new ViewPage;
    pages_ = {light_, space_, time_, points_, dynamic_, view_};
    for (PropertyPage* page : pages_) tabs_->addTab(page, page->title());
    tabs_->setCurrentIndex(kLight);
    column->addWidget(tabs_, 1);
    setFocusProxy(tabs_);
}

void PropertySheet::setDocument(Document* doc) {
    for (PropertyPage* page : pages_) page->setDocument(doc);
}

void PropertySheet::refreshSpherePages() {
    // The View page too: its sample estimate is the selected sphere's.
    for (int i : {kLight, kSpace, kTime, kPoints, kDynamic, kView}) pages_.at(i)->refresh();
}

void PropertySheet::refreshViewPage() {
    pages_.at(kView)->refresh();
}
