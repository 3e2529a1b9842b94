// The running window under a virtual X server: start-up, statistics, pane
// sizes, edits while the render thread draws, files and images through the
// window, and the unsaved-changes prompt.
#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QSplitter>
#include <QSplitterHandle>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <thread>

#include "aboutdialog.h"
#include "application.h"
#include "constructionpanel.h"
#include "curvereadout.h"
#include "document.h"
#include "editjournal.h"
#include "examplesdialog.h"
#include "exporter.h"
#include "fileexports.h"
#include "framewait.h"
#include "helpwindow.h"
#include "imagemoviedialog.h"
#include "lightpage.h"
#include "mainwindow.h"
#include "pagekit.h"
#include "pictureprinter.h"
#include "pointspage.h"
#include "propertiespanel.h"
#include "propertysheet.h"
#include "recentfilelist.h"
#include "relations.h"
#include "spacepage.h"
#include "sphere.h"
#include "spheretree.h"
#include "unitquaternion.h"
#include "view3d.h"
#include "viewpage.h"

namespace {
// Answers the next message box that opens with the given button, and keeps
// its text.
struct BoxAnswer {
    explicit BoxAnswer(int b) : button(static_cast<QMessageBox::StandardButton>(b)) {}
    QMessageBox::StandardButton button;
    QString text, detail;
    bool shown = false;
    QThread* thread = nullptr;  // the thread that owns the box
};

void answerNextBox(BoxAnswer* answer) {
    QTimer::singleShot(50, [answer] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box || !box->isVisible()) continue;
            answer->shown = true;
            answer->text = box->text();
            answer->detail = box->informativeText();
            answer->thread = box->thread();
            box->button(answer->button)->click();
            return;
        }
        answerNextBox(answer);  // not open yet
    });
}

// Every sphere in the table hangs in the tree under the root, and the tree
// holds exactly sphereCount spheres: what a half-made change would break.
bool consistent(const Automaton& doc) {
    int inTable = 0;
    for (Sphere* s : doc.sphereTable) {
        if (!s) continue;
        ++inTable;
        int steps = 0;
        const Sphere* up = s;
        while (up->parent && steps++ < Automaton::kTableSize) up = up->parent;
        if (up != doc.root) return false;
    }
    int inTree = 0;
    std::function<void(const Sphere*)> walk = [&](const Sphere* s) {
        for (; s && inTree <= Automaton::kTableSize; s = s->nextChild()) {
            ++inTree;
            walk(s->firstChild());
        }
    };
    walk(doc.root);
    return inTable == doc.sphereCount && inTree == doc.sphereCount;
}

// Points whose paths make frames slow: about 90,000 samples each (eleven
// make the million samples of the memory budget).
#if defined(__SANITIZE_THREAD__)
constexpr int kSlowPoints = 2;
#else
constexpr int kSlowPoints = 6;
#endif
}  // namespace

class WindowTest : public QObject {
    Q_OBJECT
  private slots:
    void enterPressesTheFocusedButton();
    void exportsConfirm_data();
    void exportsConfirm();
    void initTestCase();
    void cleanupTestCase();
    void startsWithTwoSpheres();
    void titleShowsStatistics();
    void coarserPathsAreMentioned();
    void paneSizes_data();
    void paneSizes();
    void layoutRemembered();
    void laptopScreen();
    void viewIsOneFocusStop();
    void curveReadoutIsReadable();
    void designCandidatesSayWhatTheyAre();
    void editsWhileDrawing();
    void saveAndOpenRoundTrip();
    void saveImage_data();
    void saveImage();
    void unsavedChangesPrompt_data();
    void unsavedChangesPrompt();
    void zoomKeys_data();
    void zoomKeys();
    void mouseRouting_data();
    void mouseRouting();
    void textureChoice_data();
    void textureChoice();
    void imageSizeCommand_data();
    void imageSizeCommand();
    void aboutBox();
    void paneKeys();
    void printsThePicture();
    void unreadableFileEndsTheStart();
    void imageBeforeAnyFrame();
    void renderThreadMessagesShowOnTheUiThread();
    void exampleOpensAsUntitledCopy();
    void undoRedoThroughTheEditMenu();
    void stereoChangesThePicture();
    void curvesOnlyHidesTheSpheres();
    void pageDragWhileDrawing();
    void drawsOnlyWhileThePictureMayChange_data();
    void drawsOnlyWhileThePictureMayChange();
    void smoothEdges_data();
    void smoothEdges();
    void cameraStartsAfresh_data();
    void cameraStartsAfresh();
    void viewerKeys();
    void dragAndKeyZoomTogether();
    void editsAnswerDuringSlowFrames();
    void closingKeptByCancel_data();
    void closingKeptByCancel();
    void closingWithChanges();

  private:
    std::unique_ptr<Application> app_;
    QTemporaryDir dir_;
};

void WindowTest::initTestCase() {
    app_ = std::make_unique<Application>();
    // A layout left by an earlier run would change the window's start.
    app_->settings().remove("Window");
    QVERIFY(app_->start());
    QCOMPARE(app_->mainFrame()->windowTitle(), QString("Untitled[*] - Rotundel"));
    QVERIFY(QTest::qWaitForWindowExposed(app_->mainFrame(), kPatience));
    QVERIFY(waitForFrames(app_->view, 3));
}

void WindowTest::cleanupTestCase() {
    app_.reset();
}

void WindowTest::startsWithTwoSpheres() {
    Document& doc = app_->document();
    QCOMPARE(doc.sphereCount, 2);
    QVERIFY(doc.root);
    QCOMPARE(QString::fromStdString(doc.root->name), QString("A"));
    QVERIFY(doc.root->firstChild());
    QCOMPARE(QString::fromStdString(doc.root->firstChild()->name), QString("B"));
    QCOMPARE(doc.stationarySphere, doc.root);
    QCOMPARE(app_->documentTitle(), QString("Untitled"));
    QVERIFY(!doc.isModified());
    QVERIFY(app_->view->renderThreadRunning());
}

void WindowTest::titleShowsStatistics() {
    // The document's name with its modified mark stays in front.
    static const QRegularExpression stats(
        "^Untitled\\[\\*\\] - Rotundel  Rendering:  (\\d+), \\d+\\.\\d{4}      Input:  "
        "\\d+\\.\\d{4}$");
    MainWindow* frame = app_->mainFrame();
    frame->setWindowTitle("waiting");
    QVERIFY(
        QTest::qWaitFor([&] { return stats.match(frame->windowTitle()).hasMatch(); }, kPatience));
    // The next second counts again from zero: a busy second shows frames.
    QVERIFY(QTest::qWaitFor(
        [&] {
            app_->view->requestFrame();
            return stats.match(frame->windowTitle()).captured(1).toInt() > 0;
        },
        kPatience));
    // What a screen reader reads as the window's name holds no statistics.
    QAccessibleInterface* window = QAccessible::queryAccessibleInterface(frame);
    QVERIFY(window);
    QCOMPARE(window->text(QAccessible::Name), QString("Untitled - Rotundel"));
    app_->document().setModifiedFlag(true);
    QVERIFY(QTest::qWaitFor([&] { return frame->isWindowModified(); }, kPatience));
    app_->document().setModifiedFlag(false);
}

void WindowTest::paneSizes_data() {
    QTest::addColumn<QSize>("window");
    QTest::newRow("large") << QSize(1400, 950);
    QTest::newRow("medium") << QSize(1100, 800);
    QTest::newRow("lower than the fixed rows") << QSize(1000, 690);
    QTest::newRow("laptop") << QSize(1366, 768);
    QTest::newRow("very low") << QSize(1000, 420);
}

void WindowTest::paneSizes() {
    QFETCH(QSize, window);
    MainWindow* frame = app_->mainFrame();
    frame->showNormal();
    frame->resize(window);
    QVERIFY(QTest::qWaitFor([&] { return frame->size() == window; }, kPatience));
    QApplication::processEvents();
    QSize client = frame->mainSplitter()->size();
    QCOMPARE(frame->controlSplitter()->width(), 343);
    QCOMPARE(frame->constructionPane()->width(), 343);
    QCOMPARE(frame->viewContainer()->width(),
             client.width() - 343 - frame->mainSplitter()->handleWidth());
    int rows = client.height() - 2 * frame->controlSplitter()->handleWidth();
    const int treeRows = frame->treeLeastHeight();
    const int construction = frame->constructionPaneHeight;
    QCOMPARE(frame->constructionPane()->height(), construction);
    if (rows >= construction + 557 + treeRows) {
        QCOMPARE(frame->propertiesPane()->height(), 557);
        QCOMPARE(frame->treePane()->height(), rows - construction - 557);
    } else {
        // The property pages (which scroll) give way to the tree's rows,
        // down to their least height; below that the properties row runs
        // off the bottom.
        const int properties =
            std::max(MainWindow::kPropertiesLeast, rows - construction - treeRows);
        QCOMPARE(frame->propertiesPane()->height(), properties);
        QCOMPARE(frame->treePane()->height(), std::max(1, rows - construction - properties));
    }
    // The view learns its new size, and draws on.
    QVERIFY(QTest::qWaitFor(
        [&] {
            // Inside the focus frame round the view.
            const auto* inner = frame->viewContainer()->findChild<QWidget*>("view3dWindow");
            return inner && app_->view->clientWidth() == inner->width();
        },
        kPatience));
    QVERIFY(waitForFrames(app_->view, 2));
}

// A 1366 x 768 screen: the tree shows eight rows and the view stays tall;
// a long read-out scrolls inside its box instead of pushing the view up.
void WindowTest::laptopScreen() {
    MainWindow* frame = app_->mainFrame();
    frame->showNormal();
    frame->resize(1366, 768);
    QVERIFY(QTest::qWaitFor([&] { return frame->size() == QSize(1366, 768); }, kPatience));
    QApplication::processEvents();
    SphereTree* tree = frame->sphereTree();
    // Rows measured on the items the tree lays out, not on the sizes the
    // window asked for.
    const int row = tree->visualItemRect(tree->topLevelItem(0)).height();
    QVERIFY(row > 0);
    QVERIFY2(tree->viewport()->height() >= 8 * row,
             qPrintable(QString("%1 px for rows of %2").arg(tree->viewport()->height()).arg(row)));
    const int viewHeight = frame->viewContainer()->height();
    QVERIFY2(viewHeight >= 400, qPrintable(QString::number(viewHeight)));
    // Eleven lines of read-out: the view keeps its height.
    QStringList lines;
    for (int i = 0; i < 11; ++i) lines << QString("line %1").arg(i);
    CurveReadout* readout = frame->curveReadout();
    readout->showText(lines.join('\n'));
    QCOMPARE(readout->toPlainText().count('\n'), 10);
    // The box shows fewer lines than it holds: the rest scroll.
    QVERIFY(readout->viewport()->height() < 11 * readout->fontMetrics().lineSpacing());
    QApplication::processEvents();
    QCOMPARE(frame->viewContainer()->height(), viewHeight);
    frame->updatePathProgress();
}

// The 3-D view is one stop in the tab order, named "3-D view": Tab reaches
// it, one more Tab leaves it, and its keys turn, zoom and reset the view.
// Enter on a button of the window presses it, as Space does.
void WindowTest::enterPressesTheFocusedButton() {
    MainWindow* frame = app_->mainFrame();
    Document& doc = app_->document();
    frame->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(frame, kPatience));
    auto* create = frame->findChild<QPushButton*>("createSphere");
    QVERIFY(create);
    const int before = doc.sphereCount;
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        create->setFocus(Qt::TabFocusReason);
        QVERIFY(QTest::qWaitFor([&] { return create->hasFocus(); }, kPatience));
        QTest::keyClick(create, key);
        QVERIFY(QTest::qWaitFor([&] { return doc.sphereCount > before; }, kPatience));
        frame->undoAction->trigger();
        QCOMPARE(doc.sphereCount, before);
    }
}

void WindowTest::viewIsOneFocusStop() {
    MainWindow* frame = app_->mainFrame();
    Document& doc = app_->document();
    View3D* view = app_->view;
    frame->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(frame, kPatience));
    QWidget* pane = frame->viewContainer();
    QList<QWidget*> stops;
    for (QWidget* w : pane->findChildren<QWidget*>())
        if (w->focusPolicy() & Qt::TabFocus) stops << w;
    if (pane->focusPolicy() & Qt::TabFocus) stops << pane;
    QCOMPARE(stops.size(), 1);
    QCOMPARE(stops[0]->accessibleName(), QString("3-D view"));
    QAccessibleInterface* named = QAccessible::queryAccessibleInterface(stops[0]);
    QVERIFY(named);
    QCOMPARE(named->text(QAccessible::Name), QString("3-D view"));
    // Tab from the control before the view in the chain lands on the view.
    QWidget* before = stops[0]->previousInFocusChain();
    while (!(before->focusPolicy() & Qt::TabFocus) || !before->isVisible() ||
           pane->isAncestorOf(before))
        before = before->previousInFocusChain();
    before->setFocus(Qt::TabFocusReason);
    QVERIFY(QTest::qWaitFor([&] { return QApplication::focusWidget() == before; }, kPatience));
    QTest::keyClick(before, Qt::Key_Tab);
    QVERIFY(QTest::qWaitFor([&] { return QGuiApplication::focusWindow() == view; }, kPatience));
    // The view has no focus mark of its own: the frame round it lights up.
    QVERIFY(QTest::qWaitFor(
        [&] {
            return pane->palette().color(QPalette::Window) ==
                   frame->palette().color(QPalette::Highlight);
        },
        kPatience));

    // Keys: arrows turn, - and + move away and nearer, Home resets.
    frame->resetViewAction->trigger();
    const double fitted = doc.cameraDistance.load();
    // Orientations compared by where they turn a vector.
    auto turned = [&] {
        const unitquaternion q = doc.cameraController.orientation();
        return QString("%1 %2 %3 %4")
            .arg(q.w, 0, 'f', 9)
            .arg(q.v.x, 0, 'f', 9)
            .arg(q.v.y, 0, 'f', 9)
            .arg(q.v.z, 0, 'f', 9);
    };
    const QString start = turned();
    QTest::keyClick(view, Qt::Key_Left);
    QVERIFY(turned() != start);
    QTest::keyPress(view, Qt::Key_Minus);
    QVERIFY(QTest::qWaitFor([&] { return doc.cameraDistance.load() < fitted; }, kPatience));
    QTest::keyRelease(view, Qt::Key_Minus);
    const double away = doc.cameraDistance.load();
    QTest::keyPress(view, Qt::Key_Plus);
    QVERIFY(QTest::qWaitFor([&] { return doc.cameraDistance.load() > away; }, kPatience));
    QTest::keyRelease(view, Qt::Key_Plus);
    QTest::keyClick(view, Qt::Key_Home);
    QVERIFY(QTest::qWaitFor([&] { return turned() == start; }, kPatience));
    QCOMPARE(doc.cameraDistance.load(), fitted);

    // One more Tab leaves the view for a control outside it.
    QTest::keyClick(view, Qt::Key_Tab);
    QVERIFY(QTest::qWaitFor(
        [&] {
            QWidget* f = QApplication::focusWidget();
            return QGuiApplication::focusWindow() != view && f && !pane->isAncestorOf(f) &&
                   f != pane;
        },
        kPatience));
}

// The read-out's text reaches a screen reader, with the points numbered as
// the Points page lists them (0 is the centre).
void WindowTest::curveReadoutIsReadable() {
    Document& doc = app_->document();
    MainWindow* frame = app_->mainFrame();
    doc.selectedSphere = doc.root->firstChild();
    doc.refreshSpherePages();
    auto* addPoint =
        frame->sphereProperties()->sheet()->pointsPage()->findChild<QPushButton*>("addPoint");
    QVERIFY(addPoint);
    addPoint->click();
    auto* list =
        frame->sphereProperties()->sheet()->pointsPage()->findChild<QListWidget*>("pointList");
    QStringList listed;
    for (int i = 0; i < list->count(); ++i) listed << list->item(i)->text();
    QCOMPARE(listed, QStringList({"0", "1"}));
    QAccessibleInterface* readout = QAccessible::queryAccessibleInterface(frame->curveReadout());
    QVERIFY(readout && readout->textInterface());
    auto read = [&] {
        frame->updatePathProgress();
        QAccessibleTextInterface* t = readout->textInterface();
        return t->text(0, t->characterCount());
    };
    QVERIFY2(QTest::qWaitFor([&] { return read().count("Point ") == 2; }, kPatience),
             qPrintable(read()));
    const QStringList lines = read().split('\n');
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines[0].startsWith("Point 0: closes after ") && lines[1].startsWith("Point 1: "),
             qPrintable(read()));
    QVERIFY(read().contains(" turn"));
    // A rename shows in every line at once; the words are for people.
    QVERIFY(frame->sphereTree()->finishRename(frame->sphereTree()->currentItem(), "Moon"));
    QVERIFY2(QTest::qWaitFor([&] { return read().count("its sphere Moon goes") == 2; }, kPatience),
             qPrintable(read()));
    QVERIFY2(!read().contains("-fold about") && !read().contains(" B "), qPrintable(read()));
    frame->undoAction->trigger();
    QVERIFY(QTest::qWaitFor([&] { return read().count("its sphere B goes") == 2; }, kPatience));
    QCOMPARE(frame->undoAction->text(), QString("Undo Add new point to B"));
    frame->undoAction->trigger();
    QVERIFY2(QTest::qWaitFor([&] { return read().count("Point ") == 1; }, kPatience),
             qPrintable(read()));
}

// Design > By symmetry lists design candidates, each with its symmetry and
// lobes, under a heading that says what they are.
void WindowTest::designCandidatesSayWhatTheyAre() {
    app_->renderProgram = QString();  // no pictures: only the words count here
    app_->thumbnailCache = dir_.filePath("design-pictures");
    QString title, intro, listName;
    QStringList entries;
    std::function<void()> answer = [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* gallery = qobject_cast<ExamplesDialog*>(modal)) {
            title = gallery->windowTitle();
            intro = gallery->intro();
            listName = gallery->list()->accessibleName();
            for (int i = 0; i < gallery->list()->count(); ++i)
                entries << gallery->list()->item(i)->text();
            gallery->reject();
            return;
        }
        if (auto* ask = qobject_cast<QDialog*>(modal)) {
            if (auto* levels = ask->findChild<QSpinBox*>("designLevels")) {
                ask->findChild<QSpinBox*>("designOrder")->setValue(4);
                levels->setValue(2);
                ask->accept();
            }
        }
        QTimer::singleShot(50, answer);
    };
    QTimer::singleShot(50, answer);
    QVERIFY(!app_->onDesignBySymmetry());
    QCOMPARE(title, QString("Design candidates with 4-fold symmetry"));
    QVERIFY2(intro.contains("candidate") && !intro.contains("example"), qPrintable(intro));
    QCOMPARE(listName, QString("Design candidates"));
    QVERIFY(!entries.isEmpty());
    static const QRegularExpression described(
        "\\n4-fold rotational symmetry(, mirrors)?, (\\d+) lobes(, [^;]+)?; spheres .*(in|out)");
    for (const QString& e : entries) {
        const QRegularExpressionMatch m = described.match(e);
        QVERIFY2(m.hasMatch(), qPrintable(e));
        QVERIFY2(m.captured(2).toInt() % 4 == 0, qPrintable(e));  // the traced point's lobes
    }
    // A flat candidate opens seen from the top, down its axis, where its
    // symmetry shows; the default view is slanted.
    answer = [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* gallery = qobject_cast<ExamplesDialog*>(modal)) {
            gallery->list()->setCurrentRow(0);
            gallery->accept();
            return;
        }
        if (auto* ask = qobject_cast<QDialog*>(modal)) ask->accept();
        QTimer::singleShot(50, answer);
    };
    QTimer::singleShot(50, answer);
    QVERIFY(app_->onDesignBySymmetry());
    const Mat4 seen = app_->document().cameraController.orientationMatrix();
    const Mat4 top = Exporter::viewOrientation("top")->rotationMatrix();
    const Mat4 slanted = Arcball::defaultOrientation().rotationMatrix();
    double fromTop = 0, fromSlanted = 0;
    for (std::size_t k = 0; k < 16; ++k) {
        fromTop = std::max(fromTop, std::abs(seen[k] - top[k]));
        fromSlanted = std::max(fromSlanted, std::abs(seen[k] - slanted[k]));
    }
    QVERIFY2(fromTop < 1e-6 && fromSlanted > 0.1, qPrintable(QString::number(fromTop)));
}

void WindowTest::layoutRemembered() {
    // The user drags the bar between the view and the control column; the
    // size and the bar's place come back from the settings.
    MainWindow* frame = app_->mainFrame();
    frame->showNormal();
    frame->resize(1100, 800);
    QVERIFY(QTest::qWaitFor([&] { return frame->size() == QSize(1100, 800); }, kPatience));
    QSplitterHandle* bar = frame->mainSplitter()->handle(1);
    const QPoint grip(bar->width() / 2, bar->height() / 2);
    QTest::mousePress(bar, Qt::LeftButton, {}, grip);
    QTest::mouseMove(bar, grip - QPoint(57, 0));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, grip - QPoint(57, 0));
    const int dragged = frame->controlSplitter()->width();
    QCOMPARE(dragged, 343 + 57);
    QSettings settings(dir_.filePath("layout.ini"), QSettings::IniFormat);
    frame->saveLayout(settings);
    frame->controlPanelWidth = 343;
    frame->resize(900, 700);
    QVERIFY(QTest::qWaitFor([&] { return frame->size() == QSize(900, 700); }, kPatience));
    QVERIFY(frame->restoreLayout(settings));
    QVERIFY(QTest::qWaitFor([&] { return frame->size() == QSize(1100, 800); }, kPatience));
    QApplication::processEvents();
    QCOMPARE(frame->controlSplitter()->width(), dragged);
    // A damaged width is not taken.
    settings.setValue("Window/ControlWidth", 5);
    QVERIFY(frame->restoreLayout(settings));
    QCOMPARE(frame->controlPanelWidth, dragged);
    frame->controlPanelWidth = 343;
    frame->applyPaneSizes();
}

void WindowTest::editsWhileDrawing() {
    Document& doc = app_->document();
    std::atomic<int> broken{0}, probed{0};
    // While a frame reads the automaton nothing may change it: the probe
    // looks twice, a moment apart, and the two looks must agree.
    app_->view->setFrameProbe([&](const Automaton& d) {
        ++probed;
        auto table = d.sphereTable;
        int count = d.sphereCount;
        if (!consistent(d)) ++broken;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
        if (table != d.sphereTable || count != d.sphereCount || !consistent(d)) ++broken;
    });
    for (int cycle = 0; cycle < 200; ++cycle) {
        doc.selectedSphere = doc.root->firstChild();
        Sphere* made = doc.createSphere();
        QVERIFY(made);
        Sphere* other = doc.createSphere();  // a grandchild, then its removal
        QVERIFY(other);
        doc.selectedSphere = other;
        doc.destroySphere();
        if (cycle % 2 == 0) {
            doc.selectedSphere = made;
            doc.destroySphere();
        }
        if (cycle % 25 == 0) QApplication::processEvents();
    }
    QVERIFY(waitForFrames(app_->view, 3));
    app_->view->setFrameProbe(nullptr);
    QVERIFY(probed > 0);
    QCOMPARE(broken.load(), 0);
    QVERIFY(consistent(doc));
    QCOMPARE(doc.sphereCount, 2 + 100);
    QVERIFY(doc.isModified());
    BoxAnswer discard(QMessageBox::Discard);
    answerNextBox(&discard);
    QVERIFY(app_->newFile());
    QCOMPARE(doc.sphereCount, 2);
}

void WindowTest::saveAndOpenRoundTrip() {
    Document& doc = app_->document();
    QString path = dir_.filePath("three.one");
    doc.selectedSphere = doc.root;
    QVERIFY(doc.createSphere());
    QString suggestion;
    app_->askSavePath = [&](const QString& suggested) {
        suggestion = suggested;
        return path;
    };
    QVERIFY(app_->saveFile());  // untitled: asks for a name
    QCOMPARE(suggestion, QString("Untitled.one"));
    QVERIFY(QFileInfo::exists(path));
    QVERIFY(!doc.isModified());
    QCOMPARE(app_->documentTitle(), QString("three.one"));
    QCOMPARE(app_->recentFiles().files().value(0), QFileInfo(path).canonicalFilePath());

    QVERIFY(app_->newFile());  // nothing unsaved: no question
    QCOMPARE(doc.sphereCount, 2);
    app_->askOpenPath = [&] { return path; };
    QVERIFY(app_->openFile());
    QCOMPARE(doc.sphereCount, 3);
    QCOMPARE(app_->documentTitle(), QString("three.one"));
    QVERIFY(waitForFrames(app_->view, 2));
    // The tree is rebuilt in pre-order; each sphere read has an image of its
    // own, and a child of one starts again at the first level's colour.
    SphereTree* tree = app_->mainFrame()->sphereTree();
    QCOMPARE(tree->topLevelItem(0)->text(0), QString("A"));
    QCOMPARE(tree->topLevelItem(0)->childCount(), 2);
    QSet<int> images;
    for (Sphere* s : treeSpheres(doc)) images.insert(s->treeImage);
    QCOMPARE(images.size(), 3);
    QVERIFY(*std::min_element(images.begin(), images.end()) >= 9);
    app_->mainFrame()->construction()->createButton()->click();
    QCOMPARE(doc.selectedSphere->treeImage, 0);
    QVERIFY(doc.isModified());
    BoxAnswer discard(QMessageBox::Discard);
    answerNextBox(&discard);
    QVERIFY(app_->openDocumentFile(path));
    QVERIFY(discard.shown);

    // A damaged file leaves the open automaton as it was.
    QString bad = dir_.filePath("bad.one");
    QFile f(bad);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("not an automaton");
    f.close();
    BoxAnswer ok(QMessageBox::Ok);
    answerNextBox(&ok);
    QVERIFY(!app_->openDocumentFile(bad));
    QVERIFY(ok.shown);
    QCOMPARE(doc.sphereCount, 3);
    QCOMPARE(app_->documentTitle(), QString("three.one"));
}

void WindowTest::saveImage_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<int>("width");
    QTest::newRow("png") << "a.png" << QByteArray("png") << 640;
    QTest::newRow("bmp upper case") << "b.BMP" << QByteArray("bmp") << 320;
    QTest::newRow("jpg") << "c.jpg" << QByteArray("jpeg") << 200;
    QTest::newRow("tif") << "d.tif" << QByteArray("tiff") << 100;
}

void WindowTest::saveImage() {
    QFETCH(QString, name);
    QFETCH(QByteArray, format);
    QFETCH(int, width);
    Document& doc = app_->document();
    QVERIFY(doc.setImageSizeAndFrames(width, doc.movieFrameCount));
    QString path = dir_.filePath(name);
    QString error = app_->view->saveImage(path);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QImageReader reader(path);
    QCOMPARE(reader.format(), format);
    QImage image = reader.read();
    QSize want = View3D::imageSizeFor(width, app_->view->clientWidth(), app_->view->clientHeight());
    QCOMPARE(image.size(), want);
    QCOMPARE(image.width(), width);
    // Saved pictures have a white background.
    QColor corner = image.pixelColor(0, 0);
    QVERIFY2(corner.lightness() > 240, qPrintable(corner.name()));
}

// An action with or without unsaved changes, and the answer to the prompt.
void WindowTest::unsavedChangesPrompt_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("modified");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("prompted");
    QTest::addColumn<bool>("proceeds");
    QTest::addColumn<bool>("saved");
    const int save = QMessageBox::Save, discard = QMessageBox::Discard,
              cancel = QMessageBox::Cancel;
    QTest::newRow("new, unchanged") << "new" << false << cancel << false << true << false;
    QTest::newRow("new, discard") << "new" << true << discard << true << true << false;
    QTest::newRow("new, cancel") << "new" << true << cancel << true << false << false;
    QTest::newRow("new, save") << "new" << true << save << true << true << true;
    QTest::newRow("open, discard") << "open" << true << discard << true << true << false;
    QTest::newRow("open, cancel") << "open" << true << cancel << true << false << false;
    QTest::newRow("open, save") << "open" << true << save << true << true << true;
}

void WindowTest::unsavedChangesPrompt() {
    QFETCH(QString, action);
    QFETCH(bool, modified);
    QFETCH(int, answer);
    QFETCH(bool, prompted);
    QFETCH(bool, proceeds);
    QFETCH(bool, saved);
    Document& doc = app_->document();
    QString target = dir_.filePath("prompt-open.one");
    QString savedPath = dir_.filePath(QString("prompt-%1.one").arg(QTest::currentDataTag()));
    QFile::remove(savedPath);
    if (!QFileInfo::exists(target)) {
        app_->askSavePath = [&](const QString&) { return target; };
        QVERIFY(app_->saveFileAs());
    }
    QVERIFY(app_->newFile());
    doc.selectedSphere = doc.root;
    if (modified) QVERIFY(doc.createSphere());
    int spheres = doc.sphereCount;
    app_->askSavePath = [&](const QString& suggested) {
        return suggested == "Untitled.one" ? savedPath : QString();
    };
    app_->askOpenPath = [&] { return target; };
    BoxAnswer box(answer);
    if (prompted) answerNextBox(&box);
    bool went = action == "new" ? app_->newFile() : app_->openFile();
    QCOMPARE(box.shown, prompted);
    if (prompted) QCOMPARE(box.text, QString("Save changes to Untitled?"));
    QCOMPARE(went, proceeds);
    QCOMPARE(QFileInfo::exists(savedPath), saved);
    if (!proceeds) {
        QCOMPARE(doc.sphereCount, spheres);  // nothing lost
        QVERIFY(doc.isModified());
        BoxAnswer discard(QMessageBox::Discard);
        answerNextBox(&discard);
        QVERIFY(app_->newFile());
    }
    QVERIFY(!doc.isModified());
}

// Delete moves the camera away, Insert nearer, for as long as it is held.
void WindowTest::zoomKeys_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("farther");
    QTest::newRow("Delete") << int(Qt::Key_Delete) << true;
    QTest::newRow("Insert") << int(Qt::Key_Insert) << false;
}

void WindowTest::zoomKeys() {
    QFETCH(int, key);
    QFETCH(bool, farther);
    Document& doc = app_->document();
    double before = -doc.cameraDistance;
    QTest::keyPress(app_->view, Qt::Key(key));
    QVERIFY(waitForFrames(app_->view, 3));
    QTest::keyRelease(app_->view, Qt::Key(key));
    QVERIFY(waitForFrames(app_->view, 2));
    double after = -doc.cameraDistance;
    QVERIFY2(farther ? after > before * 1.02 : after < before / 1.02,
             qPrintable(QString("%1 -> %2").arg(before).arg(after)));
    // Released: the distance stays.
    QVERIFY(waitForFrames(app_->view, 3));
    QCOMPARE(-doc.cameraDistance, after);
    app_->mainFrame()->resetViewAction->trigger();
}

// Mouse drags in the view: which button, with "Keep automaton entirely in
// view" or not, and what changes.
void WindowTest::mouseRouting_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("keepInView");
    QTest::addColumn<bool>("turns");
    QTest::addColumn<bool>("zooms");
    QTest::newRow("left turns") << int(Qt::LeftButton) << 0 << true << false;
    QTest::newRow("right zooms") << int(Qt::RightButton) << 0 << false << true;
    QTest::newRow("right held by keep-in-view") << int(Qt::RightButton) << 1 << false << false;
    QTest::newRow("left still turns with keep-in-view")
        << int(Qt::LeftButton) << 1 << true << false;
}

void WindowTest::mouseRouting() {
    QFETCH(int, button);
    QFETCH(int, keepInView);
    QFETCH(bool, turns);
    QFETCH(bool, zooms);
    Document& doc = app_->document();
    {
        Document::Change publishing(doc);
        doc.keepInView = keepInView;
    }
    View3D* view = app_->view;
    QPoint from(view->width() / 2, view->height() / 2);
    QPoint to = from + QPoint(view->width() / 8, -view->height() / 8);
    unitquaternion q0 = doc.cameraController.orientation();
    double d0 = doc.cameraDistance;
    auto b = Qt::MouseButton(button);
    QTest::mousePress(view, b, {}, from);
    for (int i = 1; i <= 4; ++i) QTest::mouseMove(view, from + (to - from) * i / 4);
    QTest::mouseRelease(view, b, {}, to);
    unitquaternion q1 = doc.cameraController.orientation();
    bool turned = q0.w != q1.w || q0.v.x != q1.v.x || q0.v.y != q1.v.y || q0.v.z != q1.v.z;
    QCOMPARE(turned, turns);
    QCOMPARE(doc.cameraDistance != d0, zooms);
    if (zooms) QVERIFY(-doc.cameraDistance < -d0);  // dragged upwards: nearer
    {
        Document::Change publishing(doc);
        doc.keepInView = 0;
        doc.cameraController.setOrientation(unitquaternion());
        doc.fitCameraDistance();
    }
}

// What the user answers when "Set texture" asks for a picture.
void WindowTest::textureChoice_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("wantFile");  // empty: unchanged
    QTest::newRow("cancelled") << ""
                               << "";
    QTest::newRow("chosen elsewhere: the name is kept") << "/somewhere/else/mars.png"
                                                        << "mars.png";
}

void WindowTest::textureChoice() {
    QFETCH(QString, answer);
    QFETCH(QString, wantFile);
    Document& doc = app_->document();
    QVERIFY(app_->newFile());
    Sphere* b = doc.root->firstChild();
    std::string fileBefore = b->textureFile;
    int asked = 0;
    bool onUiThread = false;
    app_->view->askTexturePath = [&] {
        ++asked;
        onUiThread = QThread::currentThread() == QCoreApplication::instance()->thread();
        return answer;
    };
    QSignalSpy done(app_->view, &View3D::textureChoiceDone);
    // The " Light" page's button, with B selected.
    QCOMPARE(doc.selectedSphere, b);
    app_->mainFrame()->sphereProperties()->sheet()->lightPage()->textureButton()->click();
    QTRY_COMPARE(done.count(), 1);
    QCOMPARE(asked, 1);
    QVERIFY(onUiThread);  // a file dialog belongs to the user interface
    if (wantFile.isEmpty()) {
        QCOMPARE(b->textureFile, fileBefore);
        QVERIFY(!doc.isModified());
    } else {
        QCOMPARE(QString::fromStdString(b->textureFile), wantFile);
        QVERIFY(doc.isModified());
        doc.setModifiedFlag(false);
    }
    QVERIFY(waitForFrames(app_->view, 2));
}

// "Set image size / movie frames" from the menu: entries and the button.
void WindowTest::imageSizeCommand_data() {
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("frames");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QSize>("wantImage");
    QTest::addColumn<int>("wantFrames");
    QTest::newRow("OK makes square images") << "800"
                                            << "200" << true << QSize(800, 800) << 200;
    QTest::newRow("Cancel changes nothing") << "300"
                                            << "30" << false << QSize(0, 0) << 0;
}

void WindowTest::imageSizeCommand() {
    QFETCH(QString, width);
    QFETCH(QString, frames);
    QFETCH(bool, ok);
    QFETCH(QSize, wantImage);
    QFETCH(int, wantFrames);
    Document& doc = app_->document();
    QSize before(doc.imageWidth, doc.imageHeight);
    int framesBefore = doc.movieFrameCount;
    bool seen = false;
    QTimer::singleShot(100, [&] {
        auto* d = qobject_cast<ImageMovieDialog*>(QApplication::activeModalWidget());
        if (!d) return;
        seen = true;
        d->widthEdit()->setText(width);
        d->framesEdit()->setText(frames);
        ok ? d->accept() : d->reject();
    });
    app_->mainFrame()->imageSizeAction->trigger();
    QVERIFY(seen);
    QCOMPARE(QSize(doc.imageWidth, doc.imageHeight), ok ? wantImage : before);
    QCOMPARE(doc.movieFrameCount, ok ? wantFrames : framesBefore);
}

void WindowTest::aboutBox() {
    QString title, text;
    QTimer::singleShot(100, [&] {
        auto* d = qobject_cast<AboutDialog*>(QApplication::activeModalWidget());
        if (!d) return;
        title = d->windowTitle();
        for (QLabel* l : d->findChildren<QLabel*>()) text += l->text() + "\n";
        d->accept();
    });
    app_->mainFrame()->aboutAction->trigger();
    QCOMPARE(title, QString("About Rotundel"));
    QVERIFY(text.contains("Rotundel Version 1.0"));
}

void WindowTest::paneKeys() {
    // F6 walks the four panes in order and wraps; Shift+F6 walks back.
    MainWindow* frame = app_->mainFrame();
    frame->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(frame, kPatience));
    QList<QWidget*> panes{frame->viewContainer(), frame->constructionPane(), frame->treePane(),
                          frame->propertiesPane()};
    auto current = [&] {
        // The view's one stop is its native window, which no widget shows.
        if (QGuiApplication::focusWindow() == app_->view) return 0;
        QWidget* f = QApplication::focusWidget();
        for (int i = 0; i < panes.size(); ++i)
            if (f && (f == panes[i] || panes[i]->isAncestorOf(f))) return i;
        return -1;
    };
    frame->constructionPane()->setFocusPolicy(Qt::StrongFocus);
    frame->constructionPane()->setFocus();
    QVERIFY(QTest::qWaitFor([&] { return current() == 1; }, kPatience));
    const int forward[] = {2, 3, 0, 1};
    for (int want : forward) {
        QTest::keyClick(frame, Qt::Key_F6);
        QVERIFY(QTest::qWaitFor([&] { return current() == want; }, kPatience));
    }
    QTest::keyClick(frame, Qt::Key_F6, Qt::ShiftModifier);
    QVERIFY(QTest::qWaitFor([&] { return current() == 0; }, kPatience));
    // The keys also work while the 3-D view itself has the keyboard.
    frame->viewContainer()->setFocus();
    app_->view->requestActivate();
    QVERIFY(
        QTest::qWaitFor([&] { return QGuiApplication::focusWindow() == app_->view; }, kPatience));
    QTest::keyClick(app_->view, Qt::Key_F6);
    QVERIFY(QTest::qWaitFor([&] { return current() == 1; }, kPatience));
    // Tab and Shift+Tab leave the view for the controls beside it.
    for (Qt::KeyboardModifier shift : {Qt::NoModifier, Qt::ShiftModifier}) {
        frame->viewContainer()->setFocus();
        app_->view->requestActivate();
        QVERIFY(QTest::qWaitFor([&] { return QGuiApplication::focusWindow() == app_->view; },
                                kPatience));
        QTest::keyClick(app_->view, shift ? Qt::Key_Backtab : Qt::Key_Tab, shift);
        QVERIFY(QTest::qWaitFor(
            [&] {
                QWidget* f = QApplication::focusWidget();
                return QGuiApplication::focusWindow() != app_->view && f &&
                       f != frame->viewContainer();
            },
            kPatience));
    }
    // ... as do the menu accelerators: Ctrl+N asks about the unsaved sphere.
    frame->viewContainer()->setFocus();
    app_->view->requestActivate();
    QVERIFY(
        QTest::qWaitFor([&] { return QGuiApplication::focusWindow() == app_->view; }, kPatience));
    Document& doc = app_->document();
    doc.selectedSphere = doc.root;
    QVERIFY(doc.createSphere());
    BoxAnswer cancel(QMessageBox::Cancel);
    answerNextBox(&cancel);
    QTest::keyClick(app_->view, Qt::Key_N, Qt::ControlModifier);
    QVERIFY(QTest::qWaitFor([&] { return cancel.shown; }, kPatience));
    QCOMPARE(cancel.text, QString("Save changes to Untitled?"));
    BoxAnswer discard(QMessageBox::Discard);
    answerNextBox(&discard);
    QVERIFY(app_->newFile());
}

void WindowTest::printsThePicture() {
    QString pdf = dir_.filePath("picture.pdf");
    PicturePrinter printer(app_->view, app_->mainFrame());
    printer.printer()->setOutputFormat(QPrinter::PdfFormat);
    printer.printer()->setOutputFileName(pdf);
    QString error = printer.paint(printer.printer());
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QFile f(pdf);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QByteArray bytes = f.readAll();
    QVERIFY(bytes.startsWith("%PDF"));
    QVERIFY(bytes.contains("/Image"));  // the picture, not a blank page
}

void WindowTest::unreadableFileEndsTheStart() {
    // Said with the file's name; the window then starts with a new document.
    Application second;
    BoxAnswer ok(QMessageBox::Ok);
    answerNextBox(&ok);
    QString missing = dir_.filePath("no-such-file.one");
    QVERIFY(second.start(missing));
    QVERIFY(ok.shown);
    QCOMPARE(ok.text, QString("Failed to open document."));
    QVERIFY2(ok.detail.contains(QDir::toNativeSeparators(missing)), qPrintable(ok.detail));
    QCOMPARE(second.document().sphereCount, 2);
    QCOMPARE(second.documentTitle(), QString("Untitled"));
}

void WindowTest::imageBeforeAnyFrame() {
    // A view that was never shown has no render thread to ask: the picture
    // is rendered without a window instead of waiting for ever.
    Document doc;
    QVERIFY(doc.newDocument());
    View3D view;
    view.setDocument(&doc);
    QString path = dir_.filePath("early.png");
    QString error = view.saveImage(path);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QImage image(path);
    QCOMPARE(image.width(), doc.imageWidth);
    QVERIFY(!view.renderThreadRunning());
}

void WindowTest::renderThreadMessagesShowOnTheUiThread() {
    BoxAnswer ok(QMessageBox::Ok);
    answerNextBox(&ok);
    std::thread worker([&] { app_->view->postMessage("A texture could not be read."); });
    worker.join();
    QVERIFY(QTest::qWaitFor([&] { return ok.shown; }, kPatience));
    QCOMPARE(ok.text, QString("A texture could not be read."));
    QCOMPARE(ok.thread, QApplication::instance()->thread());
}

// What keeps the render thread drawing by itself; without any of these it
// waits, and one input brings exactly the frames it needs.
void WindowTest::drawsOnlyWhileThePictureMayChange_data() {
    QTest::addColumn<QString>("what");
    QTest::addColumn<bool>("drawing");
    QTest::newRow("still") << "" << false;
    QTest::newRow("dynamic sphere") << "dynamic" << true;
    QTest::newRow("orbit") << "orbit" << true;
    QTest::newRow("animation") << "animation" << true;
}

void WindowTest::drawsOnlyWhileThePictureMayChange() {
    QFETCH(QString, what);
    QFETCH(bool, drawing);
    Document& doc = app_->document();
    View3D* view = app_->view;
    auto set = [&](bool on) {
        {
            Document::Change publishing(doc);
            if (what == "dynamic") doc.root->firstChild()->dynamic = on;
            if (what == "orbit") doc.viewFromStationary = on ? 0 : 1;
        }
        if (what == "animation") on ? view->rolling().play() : view->rolling().stop();
    };
    auto quiet = [&] { return waitUntilQuiet(view); };
    set(true);
    std::int64_t before = view->framesDrawn();
    if (drawing)  // frames keep coming without anyone asking
        QVERIFY(QTest::qWaitFor([&] { return view->framesDrawn() >= before + 5; }, kPatience));
    else
        QVERIFY(quiet());
    set(false);
    QVERIFY(quiet());
    // Idle again; a turn of the arcball is drawn at once, and then no more.
    before = view->framesDrawn();
    QPoint c(view->width() / 2, view->height() / 2);
    QTest::mousePress(view, Qt::LeftButton, {}, c);
    QTest::mouseMove(view, c + QPoint(20, 0));
    QTest::mouseRelease(view, Qt::LeftButton, {}, c + QPoint(20, 0));
    QVERIFY(QTest::qWaitFor([&] { return view->framesDrawn() > before; }, kPatience));
    QVERIFY(quiet());
    QVERIFY(view->framesDrawn() - before <= 4);
}

// View > Smooth edges: a turn of the arcball is drawn plainly and followed
// by one smooth frame once still, or smooth throughout, or never; the
// choice is kept in the settings.
void WindowTest::smoothEdges_data() {
    QTest::addColumn<int>("choice");
    QTest::addColumn<QString>("smooth");  // "all", "one" or "none" of the frames
    QTest::newRow("always") << 0 << "all";
    QTest::newRow("never") << 2 << "none";
    QTest::newRow("when still") << 1 << "one";
}

void WindowTest::smoothEdges() {
    QFETCH(int, choice);
    QFETCH(QString, smooth);
    View3D* view = app_->view;
    app_->mainFrame()->smoothEdgesActions[static_cast<std::size_t>(choice)]->trigger();
    QCOMPARE(app_->settings().value("View/SmoothEdges").toInt(), choice);
    // Whatever the change of setting drew is over before the turn.
    QVERIFY(waitUntilQuiet(view));
    const std::int64_t frames = view->framesDrawn();
    const std::uint64_t smoothed = view->smoothFrames();
    QPoint c(view->width() / 2, view->height() / 2);
    QTest::mousePress(view, Qt::LeftButton, {}, c);
    QTest::mouseMove(view, c + QPoint(20, 0));
    QTest::mouseRelease(view, Qt::LeftButton, {}, c + QPoint(20, 0));
    QVERIFY(QTest::qWaitFor([&] { return view->framesDrawn() > frames; }, kPatience));
    // Once still, the one smooth frame follows the plain ones.
    if (smooth == "one")
        QVERIFY(QTest::qWaitFor([&] { return view->smoothFrames() > smoothed; }, kPatience));
    QVERIFY(waitUntilQuiet(view));
    const auto drawn = static_cast<std::uint64_t>(view->framesDrawn() - frames);
    const std::uint64_t smoothDrawn = view->smoothFrames() - smoothed;
    QVERIFY(drawn > 0);
    if (smooth == "all") QCOMPARE(smoothDrawn, drawn);
    if (smooth == "none") QCOMPARE(smoothDrawn, std::uint64_t(0));
    if (smooth == "one") QCOMPARE(smoothDrawn, std::uint64_t(1));
}

// New, Open and "Reset view" show the automaton as a freshly started
// program does: the default orientation, fitted.
void WindowTest::cameraStartsAfresh_data() {
    QTest::addColumn<QString>("action");
    QTest::newRow("New") << "new";
    QTest::newRow("Open") << "open";
    QTest::newRow("Reset view") << "reset";
}

void WindowTest::cameraStartsAfresh() {
    QFETCH(QString, action);
    Document& doc = app_->document();
    QString path = dir_.filePath("turned.one");
    doc.cameraController.setOrientation(unitquaternion(1.0, {0, 1, 0}));
    doc.cameraDistance = -3.5;
    if (action == "open") {
        app_->askSavePath = [&](const QString&) { return path; };
        QVERIFY(app_->saveFileAs());
        app_->askOpenPath = [&] { return path; };
        QVERIFY(app_->openFile());
    } else if (action == "new") {
        QVERIFY(app_->newFile());
    } else {
        app_->mainFrame()->resetViewAction->trigger();
    }
    unitquaternion q = doc.cameraController.orientation(), want = Arcball::defaultOrientation();
    QCOMPARE(q.w, want.w);
    QCOMPARE(q.v.x, want.v.x);
    double distance = doc.cameraDistance;
    {
        Document::Change publishing(doc);
        doc.fitCameraDistance();
    }
    QCOMPARE(distance, doc.cameraDistance.load());
}

// The mouse wheel zooms within the drag's bounds, F1 opens the help and
// Ctrl+Q closes through the unsaved-changes question.
void WindowTest::viewerKeys() {
    Document& doc = app_->document();
    View3D* view = app_->view;
    QPoint c(view->width() / 2, view->height() / 2);
    auto wheel = [&](int delta) {
        QWheelEvent e(c, view->mapToGlobal(c), {}, QPoint(0, delta), Qt::NoButton, {},
                      Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(view, &e);
        return doc.cameraDistance.load();
    };
    doc.cameraDistance = -10;
    QCOMPARE(wheel(120), -10 / 1.1);
    QCOMPARE(wheel(-120), -10.0);
    doc.cameraDistance = -1.05;
    QCOMPARE(wheel(120), -1.0);
    doc.cameraDistance = -990;
    QCOMPARE(wheel(-120), -1000.0);
    app_->mainFrame()->resetViewAction->trigger();

    MainWindow* frame = app_->mainFrame();
    frame->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(frame, kPatience));
    QTest::keyClick(frame, Qt::Key_F1);
    QVERIFY(frame->helpWindow() && frame->helpWindow()->isVisible());
    frame->helpWindow()->close();
    frame->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(frame, kPatience));
    doc.setModifiedFlag(true);
    BoxAnswer cancel(QMessageBox::Cancel);
    answerNextBox(&cancel);
    QTest::keyClick(frame, Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(QTest::qWaitFor([&] { return cancel.shown; }, kPatience));
    QVERIFY(frame->isVisible());
    doc.setModifiedFlag(false);
}

// The right drag (UI thread) and the held zoom key (render thread) change
// the one distance together; neither change is lost.
void WindowTest::dragAndKeyZoomTogether() {
    Document& doc = app_->document();
    View3D* view = app_->view;
    app_->mainFrame()->resetViewAction->trigger();
    double start = -doc.cameraDistance;
    QPoint from(view->width() / 2, view->height() / 4);
    QTest::keyPress(view, Qt::Key_Delete);
    QTest::mousePress(view, Qt::RightButton, {}, from);
    std::int64_t frames = view->framesDrawn();
    for (int i = 1; i <= 300; ++i) {
        QTest::mouseMove(view, from + QPoint(0, i % 60));
        if (i % 10 == 0) QTest::qWait(2);
    }
    QTest::mouseRelease(view, Qt::RightButton, {}, from + QPoint(0, 59));
    QTest::keyRelease(view, Qt::Key_Delete);
    QVERIFY(view->framesDrawn() > frames);
    // The drag alone ends 59 / 3 farther; the key took it farther still.
    QVERIFY2(-doc.cameraDistance > start + 59 / 3.0 + 0.01,
             qPrintable(QString("%1 -> %2").arg(start).arg(-doc.cameraDistance)));
    app_->mainFrame()->resetViewAction->trigger();
}

// With paths of some hundred thousand samples a frame takes long to
// compute, compile and draw; an edit made meanwhile returns at once all the
// same, since it never waits for the render thread.
void WindowTest::editsAnswerDuringSlowFrames() {
    Document& doc = app_->document();
    View3D* view = app_->view;
    // A change the paths see, so that the view samples them again.
    auto recompute = [&](auto&& change) {
        Document::Change publishing(doc);
        change();
        doc.root->firstChild()->points[0].pointAngleZ += 1e-9;
    };
    recompute([&] {
        for (int i = 0; i < kSlowPoints; ++i) doc.root->firstChild()->addPoint(30.0 * i, 45, 1);
        doc.pathAccuracy = 100;
        doc.setPathAccuracy();
    });
    QElapsedTimer clock;
    qint64 worst = 0;
    // An edit never waits for the render thread, whatever it is doing.
    auto timedPause = [&] {
        clock.start();
        {
            Document::Change publishing(doc);
            doc.root->firstChild()->axisAngleZ = doc.root->firstChild()->axisAngleZ == 0 ? 1 : 0;
        }
        worst = std::max(worst, clock.elapsed());
    };
    // While the paths are computed, then while their lists compile and draw.
    for (int i = 0; i < 3; ++i) {
        QTest::qWait(60);
        timedPause();
    }
    // Right after the paths are done, while their tubes compile. The count
    // is read before the paths are made stale: a quick pass may be over
    // before this thread looks again.
    std::uint64_t steps = view->stepsEnded();
    recompute([] {});
    for (int i = 0; i < 3; ++i) {
        QVERIFY(QTest::qWaitFor([&] { return view->stepsEnded() > steps; }, 60000));
        timedPause();
        steps = view->stepsEnded();
        recompute([] {});
    }
    // While the finished lists are drawn, frame after frame (the orbiting
    // camera keeps the frames coming).
    auto orbit = [&](int on) {
        {
            Document::Change publishing(doc);
            doc.viewFromStationary = on ? 0 : 1;
        }
    };
    orbit(1);
    QVERIFY(waitForFrames(view, 1, 60000));
    for (int i = 0; i < 3; ++i) {
        QTest::qWait(60);
        timedPause();
    }
    orbit(0);
    qInfo("longest edit: %lld ms", static_cast<long long>(worst));
    QVERIFY2(worst < 1000, qPrintable(QString::number(worst)));
    recompute([&] {
        doc.root->firstChild()->points.resize(1);
        doc.pathAccuracy = 50;
        doc.setPathAccuracy();
    });
    QVERIFY(waitForFrames(view, 2, 30000));
}

// Every export says in the status line what it wrote, the files of a G-code
// sheet's layers included, and offers the folder.
void WindowTest::exportsConfirm_data() {
    QTest::addColumn<QString>("example");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("flags");  // name, value pairs ("" no value)
    QTest::addColumn<QString>("said");       // the status line begins so
    QTest::newRow("CSV") << "flower"
                         << "x.csv" << QStringList{} << "Wrote x.csv.";
    QTest::newRow("OBJ with its tube radius")
        << "flower"
        << "x.obj" << QStringList{} << "Wrote x.obj. Tube radius ";
    QTest::newRow("G-code layers") << "chain"
                                   << "x.gcode" << QStringList{"plotter", ""}
                                   << "Wrote x.gcode. Without --pen-change each layer has a "
                                      "file of its own: ";
}

void WindowTest::exportsConfirm() {
    QFETCH(QString, example);
    QFETCH(QString, file);
    QFETCH(QStringList, flags);
    QFETCH(QString, said);
    BoxAnswer discard(QMessageBox::Discard);
    if (app_->document().isModified()) answerNextBox(&discard);
    QVERIFY(app_->openDocumentCopy(QString(ROTUNDEL_EXAMPLES_DIR) + "/" + example + ".one"));
    ExportOptionValues options;
    for (int i = 0; i + 1 < flags.size(); i += 2)
        options.emplace_back(flags[i].toStdString(), flags[i + 1].toStdString());
    QTemporaryDir out;
    QCOMPARE(app_->fileExports()->exportPaths(out.filePath(file), options), QString());
    MainWindow* frame = app_->mainFrame();
    QVERIFY2(frame->statusText()->text().startsWith(said), qPrintable(frame->statusText()->text()));
    QVERIFY(frame->openFolderButton()->isVisible());
    // The tests that follow start from the starter automaton.
    app_->document().setModifiedFlag(false);
    QVERIFY(app_->newFile());
}

// Closing the window and File > Exit both ask first; Cancel keeps everything.
void WindowTest::exampleOpensAsUntitledCopy() {
    Document& doc = app_->document();
    const QString example = QString(ROTUNDEL_EXAMPLES_DIR) + "/flower.one";
    QFile original(example);
    QVERIFY(original.open(QIODevice::ReadOnly));
    const QByteArray bytes = original.readAll();
    BoxAnswer discard(QMessageBox::Discard);
    if (doc.isModified()) answerNextBox(&discard);
    QVERIFY(app_->openDocumentCopy(example));
    QCOMPARE(doc.sphereCount, 7);
    QVERIFY(app_->mainFrame()->windowTitle().startsWith("Untitled[*] - Rotundel"));
    QVERIFY(app_->documentPath().isEmpty());
    QVERIFY(!doc.isModified());
    QVERIFY(!app_->mainFrame()->undoAction->isEnabled());
    // Saving asks for a name: the example itself is never written.
    QString asked;
    auto keep = app_->askSavePath;
    app_->askSavePath = [&](const QString& suggested) {
        asked = suggested;
        return QString();
    };
    QVERIFY(!app_->saveFile());
    app_->askSavePath = keep;
    QCOMPARE(asked, QString("Untitled.one"));
    QVERIFY(original.seek(0));
    QCOMPARE(original.readAll(), bytes);
    QVERIFY(waitForFrames(app_->view, 2));
}

void WindowTest::undoRedoThroughTheEditMenu() {
    Document& doc = app_->document();
    MainWindow* frame = app_->mainFrame();
    BoxAnswer discard(QMessageBox::Discard);
    if (doc.isModified()) answerNextBox(&discard);
    QVERIFY(app_->newFile());
    QVERIFY(!frame->undoAction->isEnabled());
    QCOMPARE(frame->undoAction->text(), QString("Undo"));
    {
        EditScope edit(doc.journal, "Create Sphere");
        doc.createSphere();
    }
    QCOMPARE(frame->undoAction->text(), QString("Undo Create Sphere"));
    QVERIFY(doc.isModified());
    // By the keys, from wherever the keyboard is.
    frame->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(frame, kPatience));
    QTest::keyClick(frame, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(doc.sphereCount, 2);
    QVERIFY(!doc.isModified());
    QCOMPARE(frame->redoAction->text(), QString("Redo Create Sphere"));
    QTest::keyClick(frame, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(doc.sphereCount, 3);
    QVERIFY(doc.isModified());
    QTest::keyClick(frame, Qt::Key_Backspace, Qt::AltModifier);
    QCOMPARE(doc.sphereCount, 2);
    QTest::keyClick(frame, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(doc.sphereCount, 3);
    // The render thread draws on after the restores.
    QVERIFY(waitForFrames(app_->view, 2));
}

void WindowTest::closingKeptByCancel_data() {
    QTest::addColumn<bool>("viaExit");
    QTest::newRow("window closed") << false;
    QTest::newRow("File > Exit") << true;
}

void WindowTest::closingKeptByCancel() {
    QFETCH(bool, viaExit);
    Document& doc = app_->document();
    if (doc.isModified()) doc.setModifiedFlag(false);
    QVERIFY(app_->newFile());
    doc.selectedSphere = doc.root;
    QVERIFY(doc.createSphere());
    BoxAnswer cancel(QMessageBox::Cancel);
    answerNextBox(&cancel);
    if (viaExit)
        app_->mainFrame()->exitAction->trigger();
    else
        QVERIFY(!app_->mainFrame()->close());
    QVERIFY(cancel.shown);
    QCOMPARE(cancel.text, QString("Save changes to Untitled?"));
    QVERIFY(app_->mainFrame()->isVisible());
    QCOMPARE(doc.sphereCount, 3);
    QVERIFY(app_->view->renderThreadRunning());
    QVERIFY(waitForFrames(app_->view, 2));
}

void WindowTest::closingWithChanges() {
    Document& doc = app_->document();
    QVERIFY(doc.isModified());

    BoxAnswer discard(QMessageBox::Discard);
    answerNextBox(&discard);
    QVERIFY(app_->mainFrame()->close());
    QVERIFY(discard.shown);
    QVERIFY(!app_->view->renderThreadRunning());
}

void WindowTest::curvesOnlyHidesTheSpheres() {
    QVERIFY(app_->newFile());
    auto inked = [this] {
        QString error;
        QImage image = app_->view->renderImage(QSize(96, 72), &error);
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) n += image.pixelColor(x, y).lightness() < 240;
        return n;
    };
    const int whole = inked();
    QAction* curves = app_->mainFrame()->curvesOnlyAction;
    curves->setChecked(true);
    QVERIFY(waitForFrames(app_->view, 2));
    const int alone = inked();
    QVERIFY2(alone > 0 && alone * 2 < whole, qPrintable(QString("%1 %2").arg(alone).arg(whole)));
    curves->setChecked(false);
    QCOMPARE(inked(), whole);
}

void WindowTest::stereoChangesThePicture() {
    // Through the View page, as a user sets it: mono, then the six schemes;
    // every picture differs from the others.
    Document& doc = app_->document();
    doc.setModifiedFlag(false);
    QVERIFY(app_->newFile());
    ViewPage* page = app_->mainFrame()->sphereProperties()->sheet()->viewPage();
    auto picture = [this] {
        QString error;
        QImage image = app_->view->renderImage(QSize(96, 72), &error);
        [&] { QVERIFY2(!image.isNull(), qPrintable(error)); }();
        return image;
    };
    QList<QImage> pictures{picture()};
    QVERIFY(pictures[0].pixelColor(0, 0).lightness() > 240);  // mono: white ground
    page->stereoBox()->click();
    QCOMPARE(doc.stereo, 1);
    pictures << picture();  // red/blue, the scheme of a new document
    for (int scheme = 1; scheme < 6; ++scheme) {
        page->schemeBox()->setCurrentIndex(scheme);
        emit page->schemeBox()->activated(scheme);
        QCOMPARE(doc.anaglyphScheme, scheme + 1);
        pictures << picture();
    }
    for (int i = 0; i < pictures.size(); ++i)
        for (int j = i + 1; j < pictures.size(); ++j)
            QVERIFY2(pictures[i] != pictures[j], qPrintable(QString("%1 %2").arg(i).arg(j)));
    // A root alone, in stereo: the window goes on drawing and a picture
    // can still be made.
    app_->mainFrame()->construction()->destroyButton()->click();
    QCOMPARE(doc.sphereCount, 1);
    QVERIFY(waitForFrames(app_->view, 3));
    QCOMPARE(picture().size(), QSize(96, 72));
    doc.setModifiedFlag(false);
}

void WindowTest::pageDragWhileDrawing() {
    // A thumb drag on the Space page while the render thread draws: every
    // position is applied inside a pause, and frames keep coming.
    Document& doc = app_->document();
    doc.setModifiedFlag(false);
    QVERIFY(app_->newFile());
    std::atomic<int> changedUnderFoot{0};
    const std::size_t slot = static_cast<std::size_t>(doc.slotOf(doc.selectedSphere));
    app_->view->setFrameProbe([&](const Automaton& d) {
        const Sphere* s = d.sphereTable[slot];
        double before = s ? s->axisAngleX : 0;
        std::this_thread::sleep_for(std::chrono::microseconds(300));
        if (s && s->axisAngleX != before) ++changedUnderFoot;
    });
    QSlider* slider =
        app_->mainFrame()->sphereProperties()->sheet()->spacePage()->axisX()->slider();
    std::int64_t framesBefore = app_->view->framesDrawn();
    slider->setSliderDown(true);
    for (int v = 1; v <= 180; ++v) {
        slider->setSliderPosition(v);
        if (v % 10 == 0) QTest::qWait(20);
    }
    slider->setSliderDown(false);
    QVERIFY(waitForFrames(app_->view, 3));
    app_->view->setFrameProbe(nullptr);
    QCOMPARE(changedUnderFoot.load(), 0);
    QVERIFY(app_->view->framesDrawn() > framesBefore);
    QCOMPARE(doc.selectedSphere->axisAngleX, 180.0);
    QVERIFY(doc.isModified());
    doc.setModifiedFlag(false);
}

QTEST_MAIN(WindowTest)
#include "window_test.moc"

void WindowTest::coarserPathsAreMentioned() {
    Document& doc = app_->document();
    auto* note = app_->mainFrame()->findChild<QLabel*>("pathNote");
    QVERIFY(note);
    auto recompute = [&](std::size_t budget) {
        {
            Document::Change publishing(doc);
            doc.sampleBudget = budget;
            doc.pathsUpToDate = 0;
        }
    };
    // B's path wants 37 samples; a budget of 10 makes it coarser.
    recompute(10);
    QVERIFY(QTest::qWaitFor([&] { return note->isVisible(); }, kPatience));
    QCOMPARE(note->text(), QString("Paths of B sampled at a coarser step to fit memory."));
    recompute(1'000'000);
    QVERIFY(QTest::qWaitFor([&] { return !note->isVisible(); }, kPatience));
}
