// Starts the window as a new user sees it and saves a picture of the whole
// screen after a few seconds of drawing. Run under a virtual X server:
//   xvfb-run -a -s "-screen 0 1600x1000x24" rotundel_screenshot [--rolling] OUT.png [FILE.one]
//   [--page TAB]
// TAB names the property page to show (e.g. Space); the first is shown otherwise.
// --curves-only pictures View › Curves only.
// With --column only the control column is pictured; with --rolling the
// spheres roll while the picture waits.
// With --dialogs DIR it saves pictures of the help window, the About box,
// the image size dialog and the examples instead (no window OpenGL needed).
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QSplitter>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <iostream>

#include "aboutdialog.h"
#include "animationcontrols.h"
#include "application.h"
#include "examplesdialog.h"
#include "helpwindow.h"
#include "imagemoviedialog.h"
#include "mainwindow.h"
#include "propertiespanel.h"
#include "propertysheet.h"

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    if (argc < 2) {
        std::cerr << "usage: rotundel_screenshot OUT.png [FILE.one]\n";
        return 2;
    }
    if (QString(argv[1]) == "--dialogs" && argc > 2) {
        QString dir = QString::fromLocal8Bit(argv[2]) + "/";
        HelpWindow help;
        help.showPage("index.html");
        help.show();
        bool ok = help.grab().save(dir + "help.png");
        AboutDialog about;
        about.show();
        ok = about.grab().save(dir + "about.png") && ok;
        ImageMovieDialog size(640, 100);
        size.show();
        ok = size.grab().save(dir + "imagesize.png") && ok;
        QTemporaryDir cache;
        ExamplesDialog examples(ExamplesDialog::examplesFolder(), ROTUNDEL_EXE, cache.path());
        examples.show();
        QElapsedTimer waited;
        waited.start();
        while (examples.pendingThumbnails() > 0 && waited.elapsed() < 30000)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        ok = examples.grab().save(dir + "examples.png") && ok;
        return ok ? 0 : 1;
    }
    bool rolling = QString(argv[1]) == "--rolling";
    if (rolling) {
        --argc;
        ++argv;
    }
    QString file, page;
    bool column = false, curvesOnly = false;
    for (int i = 2; i < argc; ++i) {
        QString a = QString::fromLocal8Bit(argv[i]);
        if (a == "--column")
            column = true;
        else if (a == "--curves-only")
            curvesOnly = true;
        else if (a == "--page" && i + 1 < argc)
            page = QString::fromLocal8Bit(argv[++i]);
        else
            file = a;
    }
    Application app;
    if (!app.start(file)) return 1;
    QTabWidget* tabs = app.mainFrame()->sphereProperties()->sheet()->tabs();
    for (int i = 0; i < tabs->count(); ++i)
        if (tabs->tabText(i).trimmed().compare(page, Qt::CaseInsensitive) == 0)
            tabs->setCurrentIndex(i);
    int status = 0;
    if (rolling) app.animation()->playAction->trigger();
    if (curvesOnly) app.mainFrame()->curvesOnlyAction->setChecked(true);
    QTimer::singleShot(3500, [&] {
        QPixmap shot = column ? app.mainFrame()->mainSplitter()->widget(1)->grab()
                              : QGuiApplication::primaryScreen()->grabWindow(0);
        if (!shot.save(QString::fromLocal8Bit(argv[1]))) {
            std::cerr << "rotundel_screenshot: could not write " << argv[1] << "\n";
            status = 1;
        }
        qapp.quit();
    });
    qapp.exec();
    return status;
}
