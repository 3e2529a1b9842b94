// The help window: the program's own HTML pages, with contents links and
// back/forward navigation.
#pragma once

#include <QMainWindow>

class QTextBrowser;

class HelpWindow : public QMainWindow {
    Q_OBJECT
  public:
    // The pages are compiled into the program under this folder.
    static constexpr const char* kHelpRoot = "qrc:/help/";

    explicit HelpWindow(QWidget* parent = nullptr);

    // Shows the named page ("index.html" is the contents).
    void showPage(const QString& page);
    QTextBrowser* browser() const { return browser_; }

  private:
    QTextBrowser* browser_;
};
