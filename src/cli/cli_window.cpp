// The command with no name: starts the window, opening the file named on
// the command line if there is one.
#include <QApplication>
#include <cstdlib>
#include <iostream>

#include "application.h"
#include "commands.h"

namespace {
bool displayAvailable() {
    auto set = [](const char* name) {
        const char* v = std::getenv(name);
        return v && *v;
    };
    // A platform named explicitly (offscreen, for instance) is the caller's
    // choice; otherwise Qt needs an X or Wayland display.
    return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}

int runWindow(const std::vector<std::string>& args) {
    if (args.size() > 1) {
        std::cerr << "rotundel: give at most one file to open; see rotundel --help.\n";
        return kExitUsage;
    }
    if (!displayAvailable()) {
        std::cerr << "rotundel: no display is available for the window. Pictures can be made "
                     "without one: rotundel render FILE.one -o OUT.png\n";
        return kExitFileError;
    }
    static int argc = 1;
    static char name[] = "rotundel";
    static char* argv[] = {name, nullptr};
    QApplication qapp(argc, argv);
    Application app;
    if (!app.start(args.empty() ? QString() : QString::fromLocal8Bit(args[0].c_str())))
        return kExitFileError;
    return qapp.exec();
}

Command cmd("", "[FILE.one]", "start the program (opening FILE.one)", runWindow);
}  // namespace
