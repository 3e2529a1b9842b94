// The Animate menu, movies and exports in the running window under a
// virtual X server: the keys, the clock and its slider, movies with their
// progress dialog (cancelled too), and the files of File > Export.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QImageReader>
#include <QLabel>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "animationcontrols.h"
#include "application.h"
#include "document.h"
#include "fileexports.h"
#include "framewait.h"
#include "mainwindow.h"
#include "moviefile.h"
#include "view3d.h"

class AnimationTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void cleanupTestCase();
    void keys_data();
    void keys();
    void clockAndSlider();
    void saveMovie_data();
    void saveMovie();
    void cancelMovie();
    void exportPaths_data();
    void exportPaths();
    void trackDialogShowsItsPreview();  // before the dialogs are stood in for
    void exportAsksForTubes();
    void webPageIsTheProgramsPage();
    void tubeDialog_data();
    void tubeDialog();

  private:
    RollingPlayer& player() { return app_->view->rolling(); }
    std::unique_ptr<Application> app_;
    QTemporaryDir dir_;
};

void AnimationTest::initTestCase() {
    app_ = std::make_unique<Application>();
    QVERIFY(app_->start());
    QVERIFY(QTest::qWaitForWindowExposed(app_->mainFrame(), kPatience));
    QVERIFY(waitForFrames(app_->view, 3));
    app_->document().setModifiedFlag(false);
}

void AnimationTest::cleanupTestCase() {
    app_->document().setModifiedFlag(false);
    app_.reset();
}

void AnimationTest::keys_data() {
    QTest::addColumn<QString>("focus");  // "view" or "button"
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("playingAfter");
    QTest::addColumn<bool>("rewound");
    const int none = Qt::NoModifier, ctrl = Qt::ControlModifier;
    QTest::newRow("Space in the view plays")
        << "view" << int(Qt::Key_Space) << none << true << false;
    QTest::newRow("Home in the view only resets the view")
        << "view" << int(Qt::Key_Home) << none << false << false;
    QTest::newRow("Ctrl+Home in the view rewinds")
        << "view" << int(Qt::Key_Home) << ctrl << false << true;
    QTest::newRow("Ctrl+Home on a button rewinds")
        << "button" << int(Qt::Key_Home) << ctrl << false << true;
    QTest::newRow("Space on a button presses it")
        << "button" << int(Qt::Key_Space) << none << false << false;
}

void AnimationTest::keys() {
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, playingAfter);
    QFETCH(bool, rewound);
    player().stop();
    player().setFraction(0.5);
    QPushButton button("Probe", app_->mainFrame());
    bool clicked = false;
    connect(&button, &QPushButton::clicked, [&] { clicked = true; });
    if (focus == "view") {
        app_->view->requestActivate();
        QVERIFY(QTest::qWaitFor([&] { return QGuiApplication::focusWindow() == app_->view; },
                                kPatience));
        QTest::keyClick(app_->view, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    } else {
        button.show();
        button.setFocus();
        QVERIFY(QTest::qWaitFor([&] { return button.hasFocus(); }, kPatience));
        QTest::keyClick(&button, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    }
    QTest::qWait(50);
    QCOMPARE(player().playing(), playingAfter);
    QCOMPARE(player().fraction() == 0, rewound);
    QCOMPARE(clicked, focus == "button" && key == Qt::Key_Space);
    player().stop();
}

void AnimationTest::clockAndSlider() {
    AnimationControls* controls = app_->animation();
    player().stop();
    controls->refresh();
    QVERIFY(!controls->stopAction->isEnabled());
    controls->playAction->trigger();
    QVERIFY(player().active() && player().playing());
    QVERIFY(waitForFrames(app_->view, 5));
    QVERIFY(QTest::qWaitFor([&] { return controls->timeSlider()->value() > 0; }, kPatience));
    controls->playAction->trigger();  // pause
    QVERIFY(!player().playing());
    const double paused = player().fraction();
    QVERIFY(waitForFrames(app_->view, 3));
    QCOMPARE(player().fraction(), paused);
    controls->timeSlider()->setValue(250);
    QCOMPARE(player().fraction(), 0.25);
    const double speed = player().speed();
    controls->fasterAction->trigger();
    QCOMPARE(player().speed(), speed * 2);
    controls->slowerAction->trigger();
    QCOMPARE(player().speed(), speed);
    controls->hiddenAction->trigger();
    QVERIFY(!player().faintRest());
    controls->faintAction->trigger();
    QVERIFY(player().faintRest());
    controls->stopAction->trigger();
    QVERIFY(!player().active());
    QVERIFY(waitForFrames(app_->view, 2));
}

void AnimationTest::saveMovie_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("rolling");
    QTest::newRow("frames of the dynamic animation") << "still" << false;
    QTest::newRow("frames of the rolling spheres") << "rolling" << true;
    QTest::newRow("MP4") << "movie.mp4" << false;
}

void AnimationTest::saveMovie() {
    QFETCH(QString, name);
    QFETCH(bool, rolling);
    Document& doc = app_->document();
    QVERIFY(doc.setImageSizeAndFrames(64, 10));
    player().stop();
    if (rolling) player().setFraction(0);
    QString path = dir_.filePath(name);
    QString error = app_->fileExports()->saveMovie(path);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    if (name.endsWith(".mp4")) {
        QVERIFY(QFileInfo(path).size() > 0);
    } else {
        QDir folder(path);
        QCOMPARE(folder.entryList(QDir::Files).size(), 10);
        QImageReader frame(folder.filePath(QString::fromStdString(MovieFile::frameName(9))));
        QCOMPARE(frame.size().width(), 64);
    }
    player().stop();
    // The view draws on afterwards.
    QVERIFY(waitForFrames(app_->view, 3));
}

void AnimationTest::cancelMovie() {
    Document& doc = app_->document();
    QVERIFY(doc.setImageSizeAndFrames(320, 1000));
    bool cancelled = false;
    std::function<void()> press = [&] {
        auto* progress = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
        if (progress && progress->value() > 2) {
            progress->cancel();
            cancelled = true;
        } else {
            QTimer::singleShot(20, press);
        }
    };
    QTimer::singleShot(20, press);
    QString path = dir_.filePath("cancelled.mp4");
    QString error = app_->fileExports()->saveMovie(path);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(cancelled);
    QVERIFY(!QFileInfo::exists(path));
    QVERIFY(!QFileInfo::exists(path + ".partial"));
    QVERIFY(waitForFrames(app_->view, 3));
    QVERIFY(doc.setImageSizeAndFrames(640, 100));
}

void AnimationTest::exportPaths_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("written");
    for (const char* ext : {"csv", "svg", "obj", "ply", "stl", "glb", "3mf", "thr"})
        QTest::newRow(ext) << QString("paths.") + ext << true;
    QTest::newRow("unknown type") << "paths.dxf" << false;
}

void AnimationTest::exportPaths() {
    QFETCH(QString, name);
    QFETCH(bool, written);
    QString path = dir_.filePath(name);
    QString error = app_->fileExports()->exportPaths(path);
    QCOMPARE(error.isEmpty(), written);
    QCOMPARE(QFileInfo(path).size() > 0, written);
    QVERIFY(waitForFrames(app_->view, 2));
}

void AnimationTest::exportAsksForTubes() {
    FileExports* exports = app_->fileExports();
    QString path;
    std::optional<ExportOptionValues> answer;
    int asked = 0;
    exports->askExportPath = [&] { return path; };
    exports->askMeshOptions = [&](const QString&) {
        ++asked;
        return answer;
    };
    struct Row {
        const char* name;
        std::optional<ExportOptionValues> answer;
        bool written;
    };
    ExportOptionValues three = {{"sides", "3"}};
    ExportOptionValues twelve = {{"sides", "12"}, {"tube-radius", "0.03"}};
    // Viewers' tubes, whose sides the answer sets (a printer's solid has
    // none).
    const Row rows[] = {{"three.obj", three, true},
                        {"twelve.obj", twelve, true},
                        {"cancelled.obj", std::nullopt, false}};
    for (const Row& r : rows) {
        path = dir_.filePath(r.name);
        answer = r.answer;
        exports->onExport();
        QCOMPARE(QFileInfo::exists(path), r.written);
    }
    QCOMPARE(asked, 3);
    // A vertex and two triangles a side of each ring.
    QVERIFY(QFileInfo(dir_.filePath("twelve.obj")).size() >
            3 * QFileInfo(dir_.filePath("three.obj")).size());
    path = dir_.filePath("table.csv");
    exports->onExport();
    QCOMPARE(asked, 3);  // no tube questions for a table
    QVERIFY(QFileInfo::exists(path));
    // "SVG for plotters" asks for the page instead.
    int pages = 0;
    exports->askPlotterOptions = [&] {
        ++pages;
        return std::optional(ExportOptionValues{{"plotter", ""}});
    };
    path = dir_.filePath("page.svg");
    exports->askExportPath = [&] {
        exports->exportForPlotter = true;
        return path;
    };
    exports->onExport();
    QCOMPARE(pages, 1);
    QFile page(path);
    QVERIFY(page.open(QIODevice::ReadOnly));
    QVERIFY(page.readAll().contains("inkscape:groupmode=\"layer\""));
    // G-code and tracks ask their own questions, and the answers shape the file.
    exports->exportForPlotter = false;
    exports->askExportPath = [&] { return path; };
    int programs = 0, tracks = 0;
    exports->askGcodeOptions = [&] {
        ++programs;
        return std::optional(
            ExportOptionValues{{"plotter", ""}, {"pen-change", "M0"}, {"pen-down", "M3"}});
    };
    exports->askTrackOptions = [&] {
        ++tracks;
        return std::optional(ExportOptionValues{{"start", "rim"}});
    };
    path = dir_.filePath("pen.gcode");
    exports->onExport();
    path = dir_.filePath("table.thr");
    exports->onExport();
    QCOMPARE(programs, 1);
    QCOMPARE(tracks, 1);
    QFile gcode(dir_.filePath("pen.gcode"));
    QVERIFY(gcode.open(QIODevice::ReadOnly));
    QVERIFY(gcode.readAll().contains("\nM3\n"));
    QFile track(dir_.filePath("table.thr"));
    QVERIFY(track.open(QIODevice::ReadOnly));
    QByteArray first;
    while (first.isEmpty() || first.startsWith('#')) first = track.readLine().trimmed();
    QCOMPARE(first.split(' ').value(1).toDouble(), 1.0);  // begins at the rim
}

// A web page from File > Export... is the command line's page of the same
// file, byte for byte, and asks no questions.
void AnimationTest::webPageIsTheProgramsPage() {
    const QString example = QStringLiteral(ROTUNDEL_EXAMPLES_DIR "/tilted-chain.one");
    QVERIFY(app_->openDocumentFile(example));
    FileExports* exports = app_->fileExports();
    const QString path = dir_.filePath("tilted-chain.html");
    exports->askExportPath = [&] { return path; };
    exports->askMeshOptions = [](const QString&) -> std::optional<ExportOptionValues> {
        QTest::qFail("a page has no tubes to ask about", __FILE__, __LINE__);
        return std::nullopt;
    };
    exports->onExport();
    QProcess program;
    const QString theirs = dir_.filePath("program.html");
    program.start(ROTUNDEL_EXE, {"export", example, "-o", theirs});
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitCode(), 0);
    QFile window(path), command(theirs);
    QVERIFY(window.open(QIODevice::ReadOnly) && command.open(QIODevice::ReadOnly));
    const QByteArray page = window.readAll();
    QVERIFY(page.startsWith("<!DOCTYPE html>"));
    const QByteArray expected = command.readAll();
    QVERIFY(page == expected);
}

// The track dialog pictures what the table will draw before anything is
// written.
void AnimationTest::trackDialogShowsItsPreview() {
    QVERIFY(app_->openDocumentFile(QStringLiteral(ROTUNDEL_EXAMPLES_DIR "/flower.one")));
    FileExports* exports = app_->fileExports();
    const QString path = dir_.filePath("flower.thr");
    exports->askExportPath = [&] { return path; };
    bool pictured = false;
    QTimer::singleShot(0, [&] {
        QDialog* dialog = nullptr;
        QTest::qWaitFor(
            [&] { return dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()); },
            kPatience);
        QVERIFY(dialog);
        auto* label = dialog->findChild<QLabel*>("trackPreview");
        dialog->findChild<QPushButton*>("showTrackPreview")->click();
        pictured = QTest::qWaitFor([&] { return !label->pixmap().isNull(); }, 60000);
        dialog->reject();
    });
    exports->onExport();
    QVERIFY(pictured);
    QVERIFY(!QFileInfo::exists(path));  // cancelled: nothing written
}

// The Export dialog's tube choices as the export service's options, and the
// radius it shows as the export itself then says it.
void AnimationTest::tubeDialog_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("size");       // mm; 0: not scaled
    QTest::addColumn<double>("radius");     // mm when sized, else units; 0: automatic
    QTest::addColumn<bool>("radiusFirst");  // given before the size, in units
    QTest::addColumn<double>("cell");
    QTest::addColumn<bool>("unite");
    QTest::addColumn<int>("sides");  // 0: as offered
    QTest::addColumn<QString>("offered");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("said");  // part of what the export says
    QTest::newRow("STL, radius in mm")
        << "mm.stl" << 100.0 << 0.8 << false << 0.0 << false << 0 << "cell"
        << QStringList{"size=100mm", "tube-radius=0.8mm"} << "Tube radius 0.8 mm (";
    QTest::newRow("STL, automatic at 10 mm: the floor")
        << "floor.stl" << 10.0 << 0.0 << false << 0.0 << false << 0 << "cell"
        << QStringList{"size=10mm"} << "Tube radius 0.6 mm (";
    QTest::newRow("3MF, thin, fine and united")
        << "thin.3mf" << 50.0 << 0.3 << false << 0.1 << true << 0 << "cell union"
        << QStringList{"size=50mm", "tube-radius=0.3mm", "resolution=0.1mm", "union="}
        << "A tube radius of 0.3 mm is below 0.6 mm";
    QTest::newRow("OBJ in automaton units")
        << "units.obj" << 0.0 << 0.05 << false << 0.0 << false << 5 << "sides"
        << QStringList{"tube-radius=0.05", "sides=5"} << "Tube radius 0.05 units";
    QTest::newRow("GLB, a radius in units kept when sized")
        << "kept.glb" << 100.0 << 0.05 << true << 0.0 << false << 0 << "sides"
        << QStringList{"size=100mm", "tube-radius=*mm", "sides=7"} << " mm (0.05 units)";
}

void AnimationTest::tubeDialog() {
    QFETCH(QString, name);
    QFETCH(double, size);
    QFETCH(double, radius);
    QFETCH(bool, radiusFirst);
    QFETCH(double, cell);
    QFETCH(bool, unite);
    QFETCH(int, sides);
    QFETCH(QString, offered);
    QFETCH(QStringList, options);
    QFETCH(QString, said);
    // The window's own dialog, answered through its widgets' signals.
    FileExports exports(app_->document(), *app_->view, app_->mainFrame());
    const QString path = dir_.filePath(name);
    exports.askExportPath = [&] { return path; };
    QString told;
    exports.tellSaid = exports.tellWarning = [&](const QString& text) { told = text; };
    std::optional<ExportOptionValues> chosen;
    exports.askMeshOptions = [&, ask = exports.askMeshOptions](const QString& p) {
        return chosen = ask(p);
    };
    QString shown;
    QStringList present;
    bool answered = false;
    std::function<void()> answer = [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog) return QTimer::singleShot(20, answer);
        auto box = [dialog](const QString& prefix) {
            for (auto* b : dialog->findChildren<QCheckBox*>())
                if (b->text().remove('&').startsWith(prefix)) return b;
            return static_cast<QCheckBox*>(nullptr);
        };
        auto spin = [dialog](const QString& prefix) {
            for (auto* b : dialog->findChildren<QDoubleSpinBox*>())
                if (b->accessibleName().startsWith(prefix)) return b;
            return static_cast<QDoubleSpinBox*>(nullptr);
        };
        auto giveRadius = [&] {
            box("Tube radius")->setChecked(true);
            spin("Tube radius")->setValue(radius);
        };
        if (radius > 0 && radiusFirst) giveRadius();
        if (size > 0) {
            spin("Largest")->setValue(size);
            box("Scale")->setChecked(true);
        }
        if (radius > 0 && !radiusFirst) giveRadius();
        if (auto* b = box("Solid's cell")) {
            present << "cell";
            if (cell > 0) {
                b->setChecked(true);
                spin("Cell")->setValue(cell);
            }
        }
        if (auto* b = box("Fuse")) {
            present << "union";
            b->setChecked(unite);
        }
        if (auto* s = dialog->findChild<QSpinBox*>()) {
            present << "sides";
            if (sides) s->setValue(sides);
        }
        for (auto* label : dialog->findChildren<QLabel*>())
            if (label->text() == "Radius &used:")
                shown = qobject_cast<QLabel*>(label->buddy())->text();
        for (auto* label : dialog->findChildren<QLabel*>())
            if (label->accessibleName() == "Warning" && !label->text().isEmpty())
                shown += "\n" + label->text();
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        answered = true;
    };
    QTimer::singleShot(0, answer);
    exports.onExport();
    QVERIFY(answered);
    QCOMPARE(present.join(' '), offered);
    QVERIFY(chosen);
    QStringList got;
    for (const auto& [option, value] : *chosen) got << QString::fromStdString(option + "=" + value);
    QCOMPARE(got.size(), options.size());
    for (int i = 0; i < got.size(); ++i)
        QVERIFY2(QRegularExpression(QRegularExpression::wildcardToRegularExpression(options[i]))
                     .match(got[i])
                     .hasMatch(),
                 qPrintable(got[i]));
    QVERIFY(QFileInfo(path).size() > 0);
    QVERIFY2(told.contains(said), qPrintable(told));
    QCOMPARE(shown, told);
    QVERIFY(waitForFrames(app_->view, 2));
}

QTEST_MAIN(AnimationTest)
#include "animation_test.moc"
