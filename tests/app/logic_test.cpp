// The window's bookkeeping that needs no display: the edit
// feedback clock, saved image sizes, recent files and tree swatches.
#include <QAction>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QProgressBar>
#include <QRegularExpression>
#include <QResizeEvent>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QUndoStack>
#include <QtTest>

#include "application.h"
#include "curveinvariants.h"
#include "curvereadout.h"
#include "document.h"
#include "examplesdialog.h"
#include "fileexports.h"
#include "flashtimer.h"
#include "helpwindow.h"
#include "mainwindow.h"
#include "recentfilelist.h"
#include "sphere.h"
#include "swatchlist.h"
#include "view3d.h"
#include "windowobserver.h"

class LogicTest : public QObject {
    Q_OBJECT
  private slots:
    void exportRefusals_data();
    void exportRefusals();
    void flashClock_data();
    void flashClock();
    void imageSize_data();
    void imageSize();
    void recentFiles_data();
    void recentFiles();
    void recentFilesSurviveRestart();
    void oldSettingsAdoptedOnce_data();
    void oldSettingsAdoptedOnce();
    void swatches();
    void observerUsesTheViewsTables();
    void curveWords_data();
    void curveWords();
    void knotWords_data();
    void knotWords();
    void menus_data();
    void menus();
    void helpLinksResolve();
    void progressBarAfterHalfASecond();
    void iconDraws();
    void viewBeforeItsThreadStarts();
    void examplesListed_data();
    void examplesListed();
    void examplePicturesDrawnOnceAndCached();
};

// The window's Export passes the request to the export service and says
// what it says: the command line's sentence for each refusal.
void LogicTest::exportRefusals_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("flags");
    QTest::newRow("G-code without --plotter") << "y.gcode" << QStringList{};
    QTest::newRow("a picture") << "y.png" << QStringList{};
    QTest::newRow("a movie") << "y.webm" << QStringList{};
    QTest::newRow("a bad grid") << "y.svg" << QStringList{"--plotter", "--grid", "0x2"};
    QTest::newRow("a bad size") << "y.stl" << QStringList{"--size", "10kg"};
}

void LogicTest::exportRefusals() {
    QFETCH(QString, file);
    QFETCH(QStringList, flags);
    QTemporaryDir dir;
    const QString out = dir.filePath(file);
    QProcess cli;
    cli.start(ROTUNDEL_EXE,
              QStringList{"export", ROTUNDEL_EXAMPLES_DIR "/flower.one", "-o", out} + flags);
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitCode(), 2);
    QString said = QString::fromUtf8(cli.readAllStandardError()).trimmed();
    said.remove(QRegularExpression("^rotundel export: "));
    said.remove(QRegularExpression("; for usage see rotundel export --help\\.$"));

    Document doc;
    doc.newDocument();
    View3D view;
    FileExports exports(doc, view, nullptr);
    ExportOptionValues options;
    for (int i = 0; i < flags.size(); ++i) {
        const std::string name = flags[i].mid(2).toStdString();
        const bool valued = i + 1 < flags.size() && !flags[i + 1].startsWith("--");
        options.emplace_back(name, valued ? flags[++i].toStdString() : std::string());
    }
    QString shown = exports.exportPaths(out, options);
    if (shown.endsWith('.')) shown.chop(1);
    QCOMPARE(shown.toLower(), said.toLower());
    QVERIFY(!QFile::exists(out));
}

// Counter readings in seconds of successive frames while a flash runs.
void LogicTest::flashClock_data() {
    QTest::addColumn<QList<double>>("frames");
    QTest::addColumn<QList<int>>("activeAfter");
    QTest::newRow("ends once 2 s have elapsed")
        << QList<double>{10.0, 10.5, 11.5, 11.99, 12.0, 12.5} << QList<int>{1, 1, 1, 1, 0, 0};
    QTest::newRow("time before the first frame does not count")
        << QList<double>{100.0, 101.0, 101.9, 102.0} << QList<int>{1, 1, 1, 0};
    QTest::newRow("one slow frame ends it") << QList<double>{5.0, 5.01, 8.0} << QList<int>{1, 1, 0};
}

void LogicTest::flashClock() {
    QFETCH(QList<double>, frames);
    QFETCH(QList<int>, activeAfter);
    Document doc;
    doc.counterFrequency = 1000;
    doc.flashLastCounter = 1;  // a reading left from long before the edit
    doc.flashActive = 1;
    for (int i = 0; i < frames.size(); ++i) {
        FlashTimer::advance(doc, static_cast<std::int64_t>(frames[i] * 1000));
        QCOMPARE(doc.flashActive.load(), activeAfter[i]);
    }
    QCOMPARE(doc.flashStarted, 0);
}

void LogicTest::imageSize_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("clientWidth");
    QTest::addColumn<int>("clientHeight");
    QTest::addColumn<QSize>("want");
    QTest::newRow("window proportions") << 640 << 800 << 600 << QSize(640, 480);
    QTest::newRow("wider than the window") << 1600 << 800 << 600 << QSize(1600, 1200);
    QTest::newRow("tall window") << 800 << 400 << 1000 << QSize(800, 2000);
    QTest::newRow("truncated, not rounded") << 100 << 300 << 200 << QSize(100, 66);
    QTest::newRow("window not sized yet") << 640 << 0 << 0 << QSize(640, 640);
    QTest::newRow("sliver of a window keeps memory bounded")
        << 1600 << 1 << 1000 << QSize(1600, 16384);
    QTest::newRow("flat window still one row") << 50 << 1000 << 1 << QSize(50, 1);
}

void LogicTest::imageSize() {
    QFETCH(int, width);
    QFETCH(int, clientWidth);
    QFETCH(int, clientHeight);
    QFETCH(QSize, want);
    QCOMPARE(View3D::imageSizeFor(width, clientWidth, clientHeight), want);
}

// Files opened in order; want: the list, newest first.
void LogicTest::recentFiles_data() {
    QTest::addColumn<QStringList>("opened");
    QTest::addColumn<QStringList>("want");
    QTest::newRow("newest first") << QStringList{"a", "b"} << QStringList{"b", "a"};
    QTest::newRow("four kept") << QStringList{"a", "b", "c", "d", "e"}
                               << QStringList{"e", "d", "c", "b"};
    QTest::newRow("reopening moves to the front")
        << QStringList{"a", "b", "c", "a"} << QStringList{"a", "c", "b"};
    QTest::newRow("same file by another path counts once")
        << QStringList{"a", "sub/../a"} << QStringList{"a"};
}

void LogicTest::recentFiles() {
    QFETCH(QStringList, opened);
    QFETCH(QStringList, want);
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("sub");
    QSettings settings(dir.filePath("settings.ini"), QSettings::IniFormat);
    RecentFileList list(settings);
    for (const QString& f : opened) {
        QFile file(dir.filePath(f));
        QVERIFY(file.open(QIODevice::WriteOnly));
        list.add(dir.filePath(f));
    }
    QStringList expected;
    for (const QString& f : want) expected.append(QFileInfo(dir.filePath(f)).canonicalFilePath());
    QCOMPARE(list.files(), expected);
}

void LogicTest::recentFilesSurviveRestart() {
    QTemporaryDir dir;
    QString ini = dir.filePath("settings.ini");
    QString a = dir.filePath("a.one"), b = dir.filePath("b.one");
    for (const QString& f : {a, b}) {
        QFile file(f);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    {
        QSettings settings(ini, QSettings::IniFormat);
        RecentFileList list(settings);
        list.add(a);
        list.add(b);
        list.remove(a);
    }
    QSettings settings(ini, QSettings::IniFormat);
    QCOMPARE(settings.value("Recent File List/File1").toString(), b);
    QVERIFY(!settings.contains("Recent File List/File2"));
    RecentFileList again(settings);
    QCOMPARE(again.files(), QStringList{b});
}

// Keys under the old name and under the program's own; what the program's
// own settings hold afterwards.
void LogicTest::oldSettingsAdoptedOnce_data() {
    QTest::addColumn<QString>("old");
    QTest::addColumn<QString>("own");
    QTest::addColumn<QString>("after");
    QTest::newRow("first run after an update") << "Recent File List/File1=a"
                                               << ""
                                               << "Recent File List/File1=a";
    QTest::newRow("own settings win") << "Recent File List/File1=a"
                                      << "Recent File List/File1=b"
                                      << "Recent File List/File1=b";
}

void LogicTest::oldSettingsAdoptedOnce() {
    QFETCH(QString, old);
    QFETCH(QString, own);
    QFETCH(QString, after);
    QTemporaryDir dir;
    QSettings from(dir.filePath("old.ini"), QSettings::IniFormat);
    QSettings to(dir.filePath("own.ini"), QSettings::IniFormat);
    auto put = [](QSettings& s, const QString& pair) {
        if (!pair.isEmpty()) s.setValue(pair.section('=', 0, 0), pair.section('=', 1));
    };
    put(from, old);
    put(to, own);
    Application::adoptOldSettings(from, to);
    QStringList now;
    for (const QString& key : to.allKeys()) now << key + "=" + to.value(key).toString();
    QCOMPARE(now.join(';'), after);
}

void LogicTest::swatches() {
    SwatchList list;
    QCOMPARE(list.count(), 9);
    for (int i = 0; i < 9; ++i) QCOMPARE(list.indexFor(kLevelColors[i]), i);
    QCOMPARE(list.count(), 9);
    int fresh = list.indexFor(rgb(1, 2, 3));
    QCOMPARE(fresh, 9);
    QCOMPARE(list.indexFor(rgb(1, 2, 3)), 9);
    QCOMPARE(list.add(rgb(1, 2, 3)), 10);  // add always adds
    QImage icon = list.icon(fresh).pixmap(10, 10).toImage();
    QCOMPARE(icon.size(), QSize(10, 10));
    QCOMPARE(QColor(icon.pixel(5, 5)), QColor(1, 2, 3));
}

void LogicTest::observerUsesTheViewsTables() {
    // A view that is never shown has no render thread; its tables work.
    View3D view;
    SwatchList swatches;
    WindowObserver observer(&view, &swatches);
    // Each sphere read from a file gets an image of its own, even in a
    // level colour, so that recolouring it leaves the others alone.
    QCOMPARE(observer.swatchForColor(kLevelColors[4]), 9);
    QCOMPARE(observer.swatchForColor(kLevelColors[4]), 10);
    QCOMPARE(observer.swatchForColor(rgb(9, 9, 9)), 11);
}

// The read-out's words for the kinds of curve: the closing in turns of the
// time master, a negative lap count said as going round the other way, and
// the shape in info's words: the axis, a crossing or a cusp rather than a
// thickness, the knot and the links.
void LogicTest::curveWords_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("order");
    QTest::addColumn<bool>("mirror");
    QTest::addColumn<int>("laps");
    QTest::addColumn<int>("meets");  // 0 apart, 1 crosses, 2 cusp
    QTest::addColumn<QString>("words");
    const int order = CurveSymmetry::Order, circle = CurveSymmetry::Circle;
    QTest::newRow("five-fold trefoil")
        << order << 5 << false << 7 << 0
        << "closes after 7/2 turns of the time master B; its sphere C goes 7 times round its "
           "parent; 5-fold rotational symmetry, 10 lobes, length 183.2 (in radii of A), thickness "
           "0.4123, trefoil knot (3_1), linking number -2 with D point 1";
    QTest::newRow("one-fold crossing with a mirror")
        << order << 1 << true << -4 << 1
        << "closes after 7/2 turns of the time master B; its sphere C goes 4 times round its "
           "parent, the other way; no rotational symmetry, mirror symmetric, 10 lobes, length "
           "183.2 (in radii of A), crosses itself, linking number -2 with D point 1";
    QTest::newRow("one lap, cusp")
        << order << 3 << true << 1 << 2
        << "closes after 7/2 turns of the time master B; its sphere C goes 1 time round its "
           "parent; 3-fold rotational symmetry, mirror symmetric, 10 lobes, length 183.2 (in "
           "radii of A), has a cusp, linking number -2 with D point 1";
    QTest::newRow("circle") << circle << 0 << false << 1 << 0
                            << "closes after 7/2 turns of the time master B; its sphere C goes 1 "
                               "time round its parent; a circle, 10 lobes, length 183.2 (in radii "
                               "of A), thickness 0.4123, trefoil knot (3_1), linking number -2 "
                               "with D point 1";
    QTest::newRow("never closes") << int(CurveSymmetry::None) << 0 << false << 1 << 0
                                  << "no closed path";
}

void LogicTest::curveWords() {
    QFETCH(int, kind);
    QFETCH(int, order);
    QFETCH(bool, mirror);
    QFETCH(int, laps);
    QFETCH(int, meets);
    QFETCH(QString, words);
    CurveInvariants c;
    c.sphere = "C";
    c.symmetry.kind = static_cast<CurveSymmetry::Kind>(kind);
    c.symmetry.order = order;
    c.symmetry.period = BigRational(7, 2);
    c.symmetry.axis = {0, 0, 1};
    c.sphereLaps = laps;
    c.mirror = mirror;
    c.measured = true;
    c.lobes = 10;
    c.length = 183.24;
    c.thickness = 0.4123;
    c.crosses = meets == 1;
    c.cusp = meets == 2;
    c.knotFound = true;
    c.knot = "3_1 = T(2,3)";
    c.links = {{"D", 1, -2}, {"E", 1, 0}};
    QCOMPARE(CurveReadout::describe(c, "B", "radii of A"), words);
}

// Knots by their common names, the table's name beside them; torus knots
// by their two numbers; the rest as the table names them.
void LogicTest::knotWords_data() {
    QTest::addColumn<QString>("knot");
    QTest::addColumn<QString>("words");
    QTest::newRow("unknot") << "unknot"
                            << "not knotted";
    QTest::newRow("figure eight") << "4_1"
                                  << "figure-eight knot (4_1)";
    QTest::newRow("cinquefoil") << "5_1 = T(2,5)"
                                << "cinquefoil knot (5_1)";
    QTest::newRow("torus") << "T(2,7)"
                           << "(2,7) torus knot";
    QTest::newRow("either") << "6_1 or 9_46"
                            << "knot 6_1 or 9_46";
}

void LogicTest::knotWords() {
    QFETCH(QString, knot);
    QFETCH(QString, words);
    CurveInvariants c;
    c.sphere = "C";
    c.symmetry.kind = CurveSymmetry::Order;
    c.symmetry.order = 2;
    c.symmetry.period = BigRational(1);
    // Tilted: the axis is said.
    c.symmetry.axis = {0, -0.5735764, 0.8191520};
    c.sphereLaps = 1;
    c.measured = true;
    c.lobes = 1;
    c.length = 2.889928e7;
    c.thickness = 0.000607086;
    c.knotFound = true;
    c.knot = knot.toStdString();
    QCOMPARE(CurveReadout::describe(c, "B"),
             "closes after 1 turn of the time master B; its sphere C goes 1 time round its "
             "parent; 2-fold rotational symmetry about the axis (0, -0.5736, 0.8192), 1 lobe, "
             "length 2.89e+07, thickness 0.0006071, " +
                 words);
}

// The menus as the user reads them: "-" is a separator, "text|keys".
void LogicTest::menus_data() {
    QTest::addColumn<int>("menu");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("File") << 0
                          << QStringList{"&New|Ctrl+N",
                                         "New &random automaton|Ctrl+Shift+N",
                                         "&Open...|Ctrl+O",
                                         "&Save|Ctrl+S",
                                         "Save &As...|",
                                         "-",
                                         "Save image|",
                                         "Set image size / movie frames|",
                                         "Save movie...|",
                                         "Export...|",
                                         "-",
                                         "&Print...|Ctrl+P",
                                         "Print Pre&view|",
                                         "P&rint Setup...|",
                                         "-",
                                         "Recent File|",
                                         "-",
                                         "E&xit|Ctrl+Q"};
    QTest::newRow("Edit") << 1
                          << QStringList{"Undo|Ctrl+Z; Alt+Backspace", "Redo|Ctrl+Y; Ctrl+Shift+Z"};
    QTest::newRow("View") << 2 << QStringList{"&Reset view|", "&Curves only|", "&Smooth edges|"};
    QTest::newRow("Design") << 3 << QStringList{"&By symmetry...|Ctrl+D"};
    QTest::newRow("Help") << 4
                          << QStringList{"&Help|F1", "&Examples...|Ctrl+Shift+E",
                                         "&About Rotundel...|"};
}

void LogicTest::menus() {
    QFETCH(int, menu);
    QFETCH(QStringList, items);
    MainWindow frame;
    QUndoStack stack;
    frame.setUndoStack(&stack);
    QList<QAction*> menus = frame.menuBar()->actions();
    QCOMPARE(menus.size(), 5);
    QCOMPARE(menus[0]->text(), QString("&File"));
    QCOMPARE(menus[1]->text(), QString("&Edit"));
    QCOMPARE(menus[2]->text(), QString("&View"));
    QCOMPARE(menus[3]->text(), QString("&Design"));
    QCOMPARE(menus[4]->text(), QString("&Help"));
    // No key does two things anywhere in the window.
    QStringList keys;
    for (QAction* top : menus)
        for (QAction* a : top->menu()->actions())
            for (const QKeySequence& k : a->shortcuts()) {
                const QString text = k.toString(QKeySequence::PortableText);
                QVERIFY2(!keys.contains(text), qPrintable(text));
                keys << text;
            }
    QStringList got;
    for (QAction* a : menus[menu]->menu()->actions())
        got.append(a->isSeparator() ? QString("-")
                                    : a->text() + "|" +
                                          QKeySequence::listToString(a->shortcuts(),
                                                                     QKeySequence::PortableText));
    QCOMPARE(got, items);

    // Recent files take the place of the empty entry, numbered.
    frame.setRecentFiles({"/tmp/one.one", "/tmp/a&b.one"});
    QStringList texts;
    for (QAction* a : frame.fileMenu()->actions()) texts.append(a->text());
    QVERIFY(texts.contains("&1 one.one"));
    QVERIFY(texts.contains("&2 a&&b.one"));
    QVERIFY(!texts.contains("Recent File"));
}

void LogicTest::helpLinksResolve() {
    static const QRegularExpression href("href=\"([^\"#]+)");
    QDir help(":/help");
    QStringList pages = help.entryList({"*.html"});
    QVERIFY(pages.size() >= 10);
    for (const QString& name : pages) {
        QFile f(help.filePath(name));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QString html = QString::fromUtf8(f.readAll());
        auto it = href.globalMatch(html);
        while (it.hasNext()) {
            QString target = it.next().captured(1);
            if (target.startsWith("http")) continue;
            QVERIFY2(help.exists(target), qPrintable(name + " links to missing " + target));
        }
    }
    HelpWindow window;
    window.showPage("index.html");
    QCOMPARE(window.browser()->documentTitle(), QString("Rotundel Help"));
    window.browser()->setSource(QUrl("qrc:/help/viewing.html"));
    QCOMPARE(window.browser()->documentTitle(), QString("Mouse and keys"));
}

void LogicTest::progressBarAfterHalfASecond() {
    // A frame that is never shown has no render thread: the test plays it.
    MainWindow frame;
    QVERIFY(frame.buildPanes());
    QProgressBar* bar = frame.pathProgress();
    frame.updatePathProgress();
    QVERIFY(bar->isHidden());
    frame.view()->markStepStart();
    frame.updatePathProgress();
    QVERIFY(bar->isHidden());  // short computations pass without a bar
    QTest::qWait(600);
    frame.updatePathProgress();
    QVERIFY(!bar->isHidden());
    frame.view()->markStepEnd();
    frame.updatePathProgress();
    QVERIFY(bar->isHidden());
}

void LogicTest::iconDraws() {
    // The window, the About box and the desktop share one scalable icon;
    // without the SVG plugin it would silently be blank.
    QImage icon = QIcon(":/icons/rotundel.svg").pixmap(48, 48).toImage();
    QVERIFY(!icon.isNull());
    QCOMPARE(icon.size(), QSize(48, 48));
    QVERIFY(icon.pixelColor(24, 24).alpha() > 0);
}

void LogicTest::viewBeforeItsThreadStarts() {
    // Before the first exposure there is no render thread: sizes and edits
    // go through, and the edits' scenes wait for it.
    Document doc;
    View3D view;
    view.setDocument(&doc);
    doc.connectViews(&view, nullptr);
    QResizeEvent resize(QSize(320, 200), QSize());
    QCoreApplication::sendEvent(&view, &resize);
    QCOMPARE(view.clientWidth(), 320);
    QCOMPARE(view.clientHeight(), 200);
    QVERIFY(!view.renderThreadRunning());
    QVERIFY(doc.newDocument());
    QCOMPARE(doc.sphereCount, 2);
    // The scene waits for the thread that will draw it.
    QVERIFY(doc.scene() != nullptr);
    QCOMPARE(doc.scene()->automaton->sphereCount, 2);
    doc.disconnectViews();
}

// README text and the files present -> the examples listed, "name|description".
void LogicTest::examplesListed_data() {
    QTest::addColumn<QString>("readme");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("want");
    QTest::newRow("the README's order, then the rest by name")
        << "| file | what |\n|---|---|\n| `b.one` | second `letter` |\n| `a.one` | first |\n"
        << QStringList{"a.one", "b.one", "d.one", "c.one"}
        << QStringList{"b|second letter", "a|first", "c|", "d|"};
    QTest::newRow("rows for missing files, paths and doubles are skipped")
        << "| `gone.one` | x |\n| `../a.one` | y |\n| `a.one` | one |\n| `a.one` | two |\n"
        << QStringList{"a.one"} << QStringList{"a|one"};
    QTest::newRow("no README") << QString() << QStringList{"z.one", "x.txt"} << QStringList{"z|"};
}

void LogicTest::examplesListed() {
    QFETCH(QString, readme);
    QFETCH(QStringList, files);
    QFETCH(QStringList, want);
    QTemporaryDir dir;
    for (const QString& f : files) QFile(dir.filePath(f)).open(QIODevice::WriteOnly);
    if (!readme.isEmpty()) {
        QFile r(dir.filePath("README.md"));
        QVERIFY(r.open(QIODevice::WriteOnly));
        r.write(readme.toUtf8());
    }
    QStringList got;
    for (const auto& e : ExamplesDialog::listExamples(dir.path()))
        got.append(e.name + "|" + e.description);
    QCOMPARE(got, want);
}

void LogicTest::examplePicturesDrawnOnceAndCached() {
    QTemporaryDir cache;
    QTemporaryDir folder;
    for (const char* name : {"flower.one", "epicycloid.one"})
        QVERIFY(QFile::copy(QString(ROTUNDEL_EXAMPLES_DIR) + "/" + name, folder.filePath(name)));
    auto pictures = [&] { return QDir(cache.path()).entryList({"*.png"}, QDir::Files); };
    {
        ExamplesDialog dialog(folder.path(), ROTUNDEL_EXE, cache.path());
        QCOMPARE(dialog.list()->count(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(dialog.pendingThumbnails(), 0, 20000);
    }
    if (pictures().isEmpty()) QSKIP("this machine cannot draw (no OpenGL)");
    QCOMPARE(pictures().size(), 2);
    // A second opening finds them; a changed file gets a picture of its own.
    ExamplesDialog again(folder.path(), ROTUNDEL_EXE, cache.path());
    QCOMPARE(again.pendingThumbnails(), 0);
    QFile::remove(folder.filePath("flower.one"));
    QVERIFY(QFile::copy(QString(ROTUNDEL_EXAMPLES_DIR) + "/deep-chain.one",
                        folder.filePath("flower.one")));
    ExamplesDialog changed(folder.path(), "/nonexistent/rotundel", cache.path());
    QCOMPARE(changed.pendingThumbnails(), 1);
    QTRY_COMPARE(changed.pendingThumbnails(), 0);  // it could not be started: given up
    QCOMPARE(pictures().size(), 2);
}

QTEST_MAIN(LogicTest)
#include "logic_test.moc"
