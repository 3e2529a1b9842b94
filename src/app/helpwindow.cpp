// Help window over the compiled-in HTML pages.
#include "helpwindow.h"

#include <QAction>
#include <QKeySequence>
#include <QTextBrowser>
#include <QToolBar>
#include <QUrl>

HelpWindow::HelpWindow(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle("Rotundel Help");
    browser_ = new QTextBrowser;
    browser_->setOpenExternalLinks(true);
    browser_->setSearchPaths({":/help"});
    setCentralWidget(browser_);
    auto* bar = addToolBar("Navigation");
    bar->setMovable(false);
    QAction* back = bar->addAction("Back", browser_, &QTextBrowser::backward);
    back->setShortcut(QKeySequence::Back);
    QAction* forward = bar->addAction("Forward", browser_, &QTextBrowser::forward);
    forward->setShortcut(QKeySequence::Forward);
    bar->addAction("Contents", this, [this] { showPage("index.html"); });
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
    back->setEnabled(false);
    forward->setEnabled(false);
    resize(760, 640);
}

void HelpWindow::showPage(const QString& page) {
    browser_->setSource(QUrl(QString(kHelpRoot) + page));
}
