// The program's own window started as `rotundel` starts it (new document,
// maximised), quitting once the view has drawn its first frame; prints the
// wall clock then, as bare_glwindow does.
#include <QApplication>
#include <QTimer>
#include <chrono>
#include <cstdio>

#include "application.h"
#include "firstframe.h"
#include "view3d.h"

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    Application app;
    if (!app.start(QString())) return 1;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!app.view || app.view->framesDrawn() < 1) return;
        printFirstFrame();
        poll.stop();
        QTimer::singleShot(0, &qapp, &QApplication::quit);
    });
    poll.start(1);
    return qapp.exec();
}
