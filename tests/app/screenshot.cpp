// Starts the window as a new user sees it and saves a picture of the whole
// screen after a few seconds of drawing. Run under a virtual X server:
//   xvfb-run -a -s "-screen 0 1600x1000x24" rotundel_screenshot OUT.png [FILE.one]
#include <QApplication>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <iostream>

#include "crotundelapp.h"

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    if (argc < 2) {
        std::cerr << "usage: rotundel_screenshot OUT.png [FILE.one]\n";
        return 2;
    }
    CRotundelApp app;
    if (!app.InitInstance(argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString())) return 1;
    int status = 0;
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
