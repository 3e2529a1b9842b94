// Starts the window as a new user sees it and saves a picture of the whole
// screen after a few seconds of drawing. Run under a virtual X server:
//   xvfb-run -a -s "-screen 0 1600x1000x24" rotundel_screenshot OUT.png [FILE.one]
// With --dialogs DIR it saves pictures of the help window, the About box and
// the image size dialog instead (no OpenGL needed). With --rolling first,
// the spheres roll for those seconds.
#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <iostream>

#include "animationcontrols.h"
#include "caboutdlg.h"
#include "crotundelapp.h"
#include "dialogimagemovie.h"
#include "helpwindow.h"

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
        CAboutDlg about;
        about.show();
        ok = about.grab().save(dir + "about.png") && ok;
        DialogImageMovie size(640, 100);
        size.show();
        ok = size.grab().save(dir + "imagesize.png") && ok;
        return ok ? 0 : 1;
    }
    bool rolling = QString(argv[1]) == "--rolling";
    if (rolling) {
        --argc;
        ++argv;
    }
    CRotundelApp app;
    if (!app.InitInstance(argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString())) return 1;
    int status = 0;
    if (rolling) app.animation()->playAction->trigger();
    QTimer::singleShot(3500, [&] {
        QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
        if (!shot.save(QString::fromLocal8Bit(argv[1]))) {
            std::cerr << "rotundel_screenshot: could not write " << argv[1] << "\n";
            status = 1;
        }
        qapp.quit();
    });
    qapp.exec();
    return status;
}
