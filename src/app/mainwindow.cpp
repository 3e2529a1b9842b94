// Main window: splitters, panes, menus, fixed pane sizes.
#include "mainwindow.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QUndoStack>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "constructionpanel.h"
#include "curvereadout.h"
#include "document.h"
#include "helpwindow.h"
#include "lightpage.h"
#include "propertiespanel.h"
#include "propertysheet.h"
#include "spheretree.h"
#include "view3d.h"

namespace {
// Screen readers call the view a picture one can act on, rather than the
// unnamed filler a bare window container reports.
QAccessibleInterface* viewAccessible(const QString& className, QObject* object) {
    auto* w = qobject_cast<QWidget*>(object);
    if (w && className == "QWindowContainer" && w->objectName() == "view3dWindow")
        return new QAccessibleWidget(w, QAccessible::Canvas);
    return nullptr;
}
}  // namespace

MainWindow::MainWindow() {
    static const bool factory = [] {
        QAccessible::installFactory(viewAccessible);
        return true;
    }();
    (void)factory;
    // Caption, system menu, minimise and maximise boxes; no tool bar. The
    // status line at the foot confirms what commands wrote.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(QIcon(":/icons/rotundel.svg"));
    buildMenus();
    statusText_ = new QLabel;
    statusText_->setObjectName("statusText");
    statusText_->setAccessibleName("Status");
    statusText_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    openFolder_ = new QPushButton("Open folder");
    openFolder_->setObjectName("openFolder");
    openFolder_->setToolTip("Show the folder the last file was written to");
    openFolder_->hide();
    connect(openFolder_, &QPushButton::clicked, this, [this] {
        if (!writtenFolder_.isEmpty())
            QDesktopServices::openUrl(QUrl::fromLocalFile(writtenFolder_));
    });
    statusBar()->addWidget(statusText_, 1);
    statusBar()->addPermanentWidget(openFolder_);
    statusBar()->setSizeGripEnabled(false);
}

void MainWindow::showWritten(const QString& text, const QString& folder) {
    statusText_->setText(text);
    statusText_->setToolTip(text);
    writtenFolder_ = folder;
    openFolder_->setVisible(!folder.isEmpty());
    // Said to a screen reader as it is shown.
    QAccessibleValueChangeEvent said(statusText_, text);
    QAccessible::updateAccessibility(&said);
}

MainWindow::~MainWindow() {
    // The render thread draws into a window that is about to go: stop it
    // while everything it may touch still exists.
    if (view_) view_->exitThreadsAndWait();
    // A frame never shown never embedded its view, which is then its own.
    if (!viewEmbedded_) delete view_;
}

void MainWindow::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    if (!viewEmbedded_) QTimer::singleShot(0, this, &MainWindow::embedView);
}

void MainWindow::embedView() {
    if (viewEmbedded_ || !view_) return;
    viewEmbedded_ = true;
    QWidget* container = QWidget::createWindowContainer(view_, viewContainer_);
    container->setObjectName("view3dWindow");
    container->setMinimumSize(1, 1);
    // One focus stop for the view, the window that takes the keys; the pane
    // around it passes the focus on and is no stop of its own.
    container->setAccessibleName(viewContainer_->accessibleName());
    container->setAccessibleDescription(viewContainer_->accessibleDescription());
    viewContainer_->layout()->addWidget(container);
    const bool hadFocus = viewContainer_->hasFocus();
    // In this order: a policy set on a widget with a focus proxy goes to
    // the proxy as well.
    viewContainer_->setFocusPolicy(Qt::NoFocus);
    viewContainer_->setFocusProxy(container);
    container->setFocusPolicy(Qt::StrongFocus);
    viewContainer_->setAccessibleName({});
    viewContainer_->setAccessibleDescription({});
    if (hadFocus) container->setFocus(Qt::OtherFocusReason);
}

void MainWindow::buildMenus() {
    fileMenu_ = menuBar()->addMenu("&File");
    auto add = [this](const QString& text, const QString& name, QKeySequence key = {}) {
        QAction* a = fileMenu_->addAction(text);
        a->setObjectName(name);
        if (!key.isEmpty()) a->setShortcut(key);
        return a;
    };
    newAction = add("&New", "fileNew", QKeySequence("Ctrl+N"));
    randomAction = add("New &random automaton", "fileNewRandom", QKeySequence("Ctrl+Shift+N"));
    openAction = add("&Open...", "fileOpen", QKeySequence("Ctrl+O"));
    saveAction = add("&Save", "fileSave", QKeySequence("Ctrl+S"));
    saveAsAction = add("Save &As...", "fileSaveAs");
    fileMenu_->addSeparator();
    saveImageAction = add("Save image", "saveImage");
    imageSizeAction = add("Set image size / movie frames", "imageSize");
    saveMovieAction = add("Save movie...", "saveMovie");
    exportAction = add("Export...", "fileExport");
    fileMenu_->addSeparator();
    printAction = add("&Print...", "filePrint", QKeySequence("Ctrl+P"));
    printPreviewAction = add("Print Pre&view", "filePrintPreview");
    printSetupAction = add("P&rint Setup...", "filePrintSetup");
    fileMenu_->addSeparator();
    recentSeparator_ = fileMenu_->addSeparator();
    exitAction = add("E&xit", "fileExit", QKeySequence("Ctrl+Q"));
    setRecentFiles({});

    editMenu_ = menuBar()->addMenu("&Edit");
    editMenu_->setObjectName("editMenu");
    QMenu* viewMenu = menuBar()->addMenu("&View");
    resetViewAction = viewMenu->addAction("&Reset view");
    resetViewAction->setObjectName("resetView");
    connect(resetViewAction, &QAction::triggered, this, [this] {
        if (view_) view_->resetView();
    });
    curvesOnlyAction = viewMenu->addAction("&Curves only");
    curvesOnlyAction->setObjectName("curvesOnly");
    curvesOnlyAction->setCheckable(true);
    connect(curvesOnlyAction, &QAction::toggled, this, [this](bool on) {
        Document* doc = view_ ? view_->document() : nullptr;
        if (!doc) return;
        // A way of looking, drawn from the next scene on.
        Document::Change change(*doc);
        doc->curvesOnly = on;
    });

    // Multisampling triples the cost of a frame in software OpenGL: by
    // default the picture is smoothed once it stands still.
    QMenu* smooth = viewMenu->addMenu("&Smooth edges");
    auto* smoothGroup = new QActionGroup(this);
    const char* smoothTexts[] = {"&Always", "When &still", "&Never"};
    for (int i = 0; i < 3; ++i) {
        QAction* a = smooth->addAction(smoothTexts[i]);
        a->setCheckable(true);
        a->setObjectName(QString("smoothEdges%1").arg(i));
        smoothGroup->addAction(a);
        smoothEdgesActions[static_cast<std::size_t>(i)] = a;
    }
    smoothEdgesActions[1]->setChecked(true);

    QMenu* design = menuBar()->addMenu("&Design");
    designAction = design->addAction("&By symmetry...");
    designAction->setObjectName("designBySymmetry");
    designAction->setShortcut(QKeySequence("Ctrl+D"));

    QMenu* help = menuBar()->addMenu("&Help");
    helpAction = help->addAction("&Help");
    helpAction->setObjectName("help");
    examplesAction = help->addAction("&Examples...");
    examplesAction->setObjectName("helpExamples");
    examplesAction->setShortcut(QKeySequence("Ctrl+Shift+E"));
    helpAction->setShortcut(QKeySequence(Qt::Key_F1));
    aboutAction = help->addAction("&About Rotundel...");
    aboutAction->setObjectName("about");
    connect(helpAction, &QAction::triggered, this, &MainWindow::onHelp);
    connect(exitAction, &QAction::triggered, this, &QWidget::close);

    auto* next = new QShortcut(QKeySequence(Qt::Key_F6), this);
    connect(next, &QShortcut::activated, this, [this] { focusPane(1); });
    auto* previous = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6), this);
    connect(previous, &QShortcut::activated, this, [this] { focusPane(-1); });
}

void MainWindow::setUndoStack(QUndoStack* stack) {
    if (undoAction || !stack) return;
    // The stack keeps the texts ("Undo Radius of B") and the enabled state.
    undoAction = stack->createUndoAction(this, "Undo");
    undoAction->setObjectName("editUndo");
    undoAction->setShortcuts({QKeySequence("Ctrl+Z"), QKeySequence("Alt+Backspace")});
    redoAction = stack->createRedoAction(this, "Redo");
    redoAction->setObjectName("editRedo");
    redoAction->setShortcuts({QKeySequence("Ctrl+Y"), QKeySequence("Ctrl+Shift+Z")});
    editMenu_->addAction(undoAction);
    editMenu_->addAction(redoAction);
}

void MainWindow::setRecentFiles(const QStringList& files) {
    for (QAction* a : recentActions_) {
        fileMenu_->removeAction(a);
        a->deleteLater();
    }
    recentActions_.clear();
    if (files.isEmpty()) {
        // An empty list still shows where the entries will go.
        QAction* a = new QAction("Recent File", this);
        a->setEnabled(false);
        a->setObjectName("recentEmpty");
        fileMenu_->insertAction(recentSeparator_, a);
        recentActions_.append(a);
        return;
    }
    for (int i = 0; i < files.size(); ++i) {
        QString name = QFileInfo(files[i]).fileName();
        // '&' in a file name would become a mnemonic.
        name.replace("&", "&&");
        QAction* a = new QAction(QString("&%1 %2").arg(i + 1).arg(name), this);
        a->setObjectName(QString("recent%1").arg(i + 1));
        a->setToolTip(files[i]);
        a->setStatusTip(files[i]);
        QString path = files[i];
        connect(a, &QAction::triggered, this, [this, path] {
            if (openRecent) openRecent(path);
        });
        fileMenu_->insertAction(recentSeparator_, a);
        recentActions_.append(a);
    }
}

bool MainWindow::buildPanes() {
    mainSplitter_ = new QSplitter(Qt::Horizontal);
    mainSplitter_->setObjectName("mainSplitter");
    mainSplitter_->setChildrenCollapsible(false);
    controlColumn_ = new QWidget;
    controlColumn_->setObjectName("controlColumn");
    // Narrower than this, the pages' controls would overlap.
    controlColumn_->setMinimumSize(kMinimumControlWidth, 1);
    controlColumn_->installEventFilter(this);
    controlSplitter_ = new QSplitter(Qt::Vertical, controlColumn_);
    controlSplitter_->setObjectName("controlSplitter");
    controlSplitter_->setChildrenCollapsible(false);

    // The view's pane; its native OpenGL window goes in once the widgets
    // are on the screen (embedView), so that they show without waiting for
    // OpenGL to start.
    view_ = new View3D;
    viewContainer_ = new QWidget;
    viewContainer_->setObjectName("view3d");
    viewContainer_->setMinimumSize(1, 1);
    viewContainer_->setFocusPolicy(Qt::StrongFocus);
    viewContainer_->setAccessibleName("3-D view");
    viewContainer_->setAccessibleDescription(
        "The automaton in three dimensions: drag or use the arrow keys to turn it, minus and plus "
        "(or Delete and Insert) to move away and nearer, Home to reset the view");
    auto* viewLayout = new QVBoxLayout(viewContainer_);
    // A frame round the view that lights up while the view has the keys
    // (the native window draws no focus mark of its own).
    viewLayout->setContentsMargins(2, 2, 2, 2);
    viewContainer_->setAutoFillBackground(true);
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* w) {
        QPalette p = viewContainer_->palette();
        p.setColor(QPalette::Window, w && w == view_ ? palette().color(QPalette::Highlight)
                                                     : palette().color(QPalette::Window));
        viewContainer_->setPalette(p);
    });
    view_->setTitleWindow(this);
    view_->onTabOut = [this](bool forward) { leaveView(forward); };

    viewColumn_ = new QWidget;
    viewColumn_->setObjectName("viewColumn");
    viewColumn_->setMinimumSize(1, 1);
    auto* column = new QVBoxLayout(viewColumn_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(viewContainer_, 1);
    // Under the view, a strip of constant height: the progress of a long
    // path computation, a note about it and the curve read-out come and go
    // inside it, so the view above never changes size with them (a native
    // OpenGL window that grows shows stale pixels until its thread draws).
    statusStrip_ = new QWidget;
    statusStrip_->setObjectName("statusStrip");
    auto* strip = new QVBoxLayout(statusStrip_);
    strip->setContentsMargins(0, 0, 0, 0);
    strip->setSpacing(0);
    pathProgress_ = new QProgressBar;
    pathProgress_->setObjectName("pathProgress");
    pathProgress_->setFixedHeight(16);
    pathProgress_->setTextVisible(true);
    pathProgress_->hide();
    strip->addWidget(pathProgress_);
    pathNote_ = new QLabel;
    pathNote_->setObjectName("pathNote");
    pathNote_->hide();
    strip->addWidget(pathNote_);
    curveReadout_ = new CurveReadout;
    curveReadout_->setMinimumHeight(1);
    strip->addWidget(curveReadout_, 1);
    statusStrip_->setFixedHeight(curveReadout_->sizeHint().height());
    column->addWidget(statusStrip_);
    progressTimer_ = new QTimer(this);
    connect(progressTimer_, &QTimer::timeout, this, &MainWindow::updatePathProgress);
    progressTimer_->start(100);

    construction_ = new ConstructionPanel;
    tree_ = new SphereTree(swatches_);
    tree_->setObjectName("treePane");
    properties_ = new PropertiesPanel;
    // "Set name" on the Light page edits the name in the tree, which also
    // shows the colours the page sets.
    properties_->sheet()->lightPage()->setTree(tree_);
    constructionPane_ = construction_;
    treePane_ = tree_;
    propertiesPane_ = properties_;

    mainSplitter_->addWidget(viewColumn_);
    mainSplitter_->addWidget(controlColumn_);
    controlSplitter_->addWidget(constructionPane_);
    controlSplitter_->addWidget(treePane_);
    controlSplitter_->addWidget(propertiesPane_);
    // Only the view column grows with the window; the control column keeps
    // its width, and of its rows only the tree takes up height.
    mainSplitter_->setStretchFactor(0, 1);
    mainSplitter_->setStretchFactor(1, 0);
    controlSplitter_->setStretchFactor(0, 0);
    controlSplitter_->setStretchFactor(1, 1);
    controlSplitter_->setStretchFactor(2, 0);
    setCentralWidget(mainSplitter_);
    // A bar the user drags sets the size that later resizes keep.
    connect(mainSplitter_, &QSplitter::splitterMoved, this,
            [this] { controlPanelWidth = mainSplitter_->sizes().value(1, controlPanelWidth); });
    connect(controlSplitter_, &QSplitter::splitterMoved, this, [this] {
        const QList<int> rows = controlSplitter_->sizes();
        constructionPaneHeight = rows.value(0, constructionPaneHeight);
        propertiesPaneHeight = rows.value(2, propertiesPaneHeight);
    });

    layoutReady = 1;
    applyPaneSizes();
    return true;
}

int MainWindow::treeLeastHeight() const {
    // Rows of the tree's own font as its items draw them, the header when
    // shown, and the frame.
    int row = tree_->topLevelItemCount() > 0 ? tree_->sizeHintForRow(0) : 0;
    if (row <= 0) row = tree_->fontMetrics().height() + 4;
    const int header = tree_->isHeaderHidden() ? 0 : tree_->header()->sizeHint().height();
    return kTreeRows * row + header + 2 * tree_->frameWidth();
}

int MainWindow::propertiesHeightFor(int rows) const {
    // The properties pane scrolls, the tree does not show what it cannot
    // fit: in a low window the pages give up height until the tree shows
    // its rows, down to the least that still shows some of a page.
    const int room = rows - constructionPaneHeight - treeLeastHeight();
    return std::clamp(room, std::min(propertiesPaneHeight, kPropertiesLeast), propertiesPaneHeight);
}

void MainWindow::applyPaneSizes() {
    if (!layoutReady || isMinimized()) return;
    QSize client = mainSplitter_->size();
    int w = client.width(), h = client.height();
    mainSplitter_->setSizes({std::max(10, w - controlPanelWidth), controlPanelWidth});
    fitControlSplitter();
    int rows = std::max(h, controlSplitter_->height()) - 2 * controlSplitter_->handleWidth();
    const int properties = propertiesHeightFor(rows);
    int tree = std::max(1, rows - properties - constructionPaneHeight);
    controlSplitter_->setSizes({constructionPaneHeight, tree, properties});
    // The read-out grows with the window, from its least number of lines.
    statusStrip_->setFixedHeight(std::max(curveReadout_->sizeHint().height(), h / 7));
}

namespace {
const char* const kGeometryKey = "Window/Geometry";
const char* const kControlWidthKey = "Window/ControlWidth";
const char* const kConstructionHeightKey = "Window/ConstructionHeight";
const char* const kPropertiesHeightKey = "Window/PropertiesHeight";
// Pane sizes beyond this came from a damaged settings file.
constexpr int kLargestPane = 16384;
}  // namespace

void MainWindow::saveLayout(QSettings& settings) const {
    settings.setValue(kGeometryKey, saveGeometry());
    settings.setValue(kControlWidthKey, controlPanelWidth);
    settings.setValue(kConstructionHeightKey, constructionPaneHeight);
    settings.setValue(kPropertiesHeightKey, propertiesPaneHeight);
    settings.sync();
}

bool MainWindow::restoreLayout(const QSettings& settings) {
    auto size = [&](const char* key, int least, int fallback) {
        bool ok = false;
        int v = settings.value(key).toInt(&ok);
        return ok && v >= least && v <= kLargestPane ? v : fallback;
    };
    if (!settings.contains(kGeometryKey) ||
        !restoreGeometry(settings.value(kGeometryKey).toByteArray()))
        return false;
    controlPanelWidth = size(kControlWidthKey, kMinimumControlWidth, controlPanelWidth);
    constructionPaneHeight = size(kConstructionHeightKey, 1, constructionPaneHeight);
    propertiesPaneHeight = size(kPropertiesHeightKey, 1, propertiesPaneHeight);
    applyPaneSizes();
    return true;
}

void MainWindow::fitControlSplitter() {
    const int handles = 2 * controlSplitter_->handleWidth();
    const int properties = propertiesHeightFor(controlColumn_->height() - handles);
    int least = constructionPaneHeight + 1 + properties + handles;
    controlSplitter_->setGeometry(0, 0, controlColumn_->width(),
                                  std::max(controlColumn_->height(), least));
}

bool MainWindow::eventFilter(QObject* watched, QEvent* e) {
    // The column follows the main splitter (and its bar, when dragged); the
    // splitter inside it follows the column.
    if (watched == controlColumn_ && e->type() == QEvent::Resize && controlSplitter_)
        fitControlSplitter();
    return QMainWindow::eventFilter(watched, e);
}

void MainWindow::keyPressEvent(QKeyEvent* e) {
    // Enter presses the button that has the keyboard, as it does in a
    // dialog: outside dialogs Qt's buttons leave it to their parents.
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) &&
        !(e->modifiers() & ~Qt::KeypadModifier))
        if (auto* button = qobject_cast<QAbstractButton*>(QApplication::focusWidget());
            button && button->isEnabled() && button->window() == this) {
            button->animateClick();
            return;
        }
    QMainWindow::keyPressEvent(e);
}

void MainWindow::resizeEvent(QResizeEvent* e) {
    QMainWindow::resizeEvent(e);
    applyPaneSizes();
}

void MainWindow::changeEvent(QEvent* e) {
    QMainWindow::changeEvent(e);
    // Coming back from the minimised state restores the sizes for the
    // client area the window has now.
    if (e->type() == QEvent::WindowStateChange) applyPaneSizes();
}

void MainWindow::closeEvent(QCloseEvent* e) {
    if (closeGuard && !closeGuard()) {
        e->ignore();
        return;
    }
    if (helpWindow_) helpWindow_->close();
    if (layoutSettings) saveLayout(*layoutSettings);
    // Stop drawing before the window and its panes go away.
    if (view_) view_->exitThreadsAndWait();
    e->accept();
}

void MainWindow::updatePathProgress() {
    const QString note = view_ ? QString::fromStdString(view_->pathNote()) : QString();
    if (note != pathNote_->text()) pathNote_->setText(note);
    pathNote_->setVisible(!note.isEmpty());
    curveReadout_->showText(view_ ? CurveReadout::text(view_->document()) : QString());
    // Short computations pass without a flicker of the bar.
    constexpr double kShowAfterSeconds = 0.5;
    bool busy = view_ && view_->stepRunningSeconds() > kShowAfterSeconds;
    if (!busy) {
        if (!pathProgress_->isHidden()) pathProgress_->hide();
        return;
    }
    double fraction = view_->stepProgress();
    if (fraction < 0) {
        pathProgress_->setRange(0, 0);  // how far is not known: a busy bar
        pathProgress_->setFormat("Computing point paths...");
    } else {
        pathProgress_->setRange(0, 100);
        pathProgress_->setValue(static_cast<int>(fraction * 100));
        pathProgress_->setFormat("Computing point paths... %p%");
    }
    if (pathProgress_->isHidden()) pathProgress_->show();
}

void MainWindow::onHelp() {
    if (!helpWindow_) {
        helpWindow_ = new HelpWindow(this);
        helpWindow_->setWindowFlag(Qt::Window);
    }
    helpWindow_->showPage("index.html");
    helpWindow_->show();
    helpWindow_->raise();
    helpWindow_->activateWindow();
}

void MainWindow::leaveView(bool forward) {
    // The next control in the window's tab order that can take the focus,
    // outside the view's pane.
    QWidget* w = viewContainer_;
    do {
        w = forward ? w->nextInFocusChain() : w->previousInFocusChain();
    } while (w != viewContainer_ && (viewContainer_->isAncestorOf(w) ||
                                     !(w->isVisible() && w->isEnabled() &&
                                       (w->focusPolicy() & Qt::TabFocus) && w->window() == this)));
    if (w == viewContainer_) return;
    activateWindow();
    w->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
}

void MainWindow::focusPane(int step) {
    QList<QWidget*> panes{viewContainer_, constructionPane_, treePane_, propertiesPane_};
    // The 3-D view is a native window of its own: while it has the
    // keyboard, no widget has the focus.
    int current = QGuiApplication::focusWindow() == view_ ? 0 : -1;
    for (int i = 0; i < panes.size(); ++i) {
        QWidget* f = QApplication::focusWidget();
        if (f && (f == panes[i] || panes[i]->isAncestorOf(f))) current = i;
    }
    int n = static_cast<int>(panes.size());
    int next = current < 0 ? (step > 0 ? 0 : n - 1) : ((current + step) % n + n) % n;
    QWidget* target = panes[next];
    // An empty pane takes the focus itself so that F6 visibly moves on.
    if (target->focusPolicy() == Qt::NoFocus && !target->focusProxy())
        target->setFocusPolicy(Qt::StrongFocus);
    target->setFocus(Qt::OtherFocusReason);
}
