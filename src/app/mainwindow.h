// The main window: the 3-D view on the left, the control column (construction
// panel, sphere tree, sphere properties) on the right, the File and Help
// menus, and the fixed pane sizes that every resize restores.
#pragma once

#include <QMainWindow>
#include <array>
#include <functional>

#include "swatchlist.h"

class QAction;
class QLabel;
class QPushButton;
class QProgressBar;
class QSettings;
class QTimer;
class QMenu;
class QSplitter;
class QUndoStack;
class CurveReadout;
class View3D;
class PropertiesPanel;
class SphereTree;
class ConstructionPanel;
class HelpWindow;
class Document;

class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    MainWindow();
    ~MainWindow() override;

    // Pane sizes in pixels.
    int controlPanelWidth = 343;
    int propertiesPaneHeight = 557;
    int treePaneHeight = 100;
    int constructionPaneHeight = 48;
    int layoutReady = 0;
    static constexpr int kMinimumControlWidth = 300;
    // Rows of the sphere tree that a low window still shows: the property
    // pages (which scroll) give up height for them, down to
    // kPropertiesLeast.
    static constexpr int kTreeRows = 8;
    static constexpr int kPropertiesLeast = 200;
    // The tree's height for kTreeRows rows.
    int treeLeastHeight() const;

    // Builds the splitters and the four panes. False (after an error box)
    // when a pane could not be made.
    bool buildPanes();

    View3D* view() const { return view_; }
    // The colour swatches the sphere tree shows, one per colour asked for.
    SwatchList& swatches() { return swatches_; }
    QWidget* viewContainer() const { return viewContainer_; }
    QWidget* constructionPane() const { return constructionPane_; }
    QWidget* treePane() const { return treePane_; }
    QWidget* propertiesPane() const { return propertiesPane_; }
    ConstructionPanel* construction() const { return construction_; }
    SphereTree* sphereTree() const { return tree_; }
    PropertiesPanel* sphereProperties() const { return properties_; }
    QSplitter* mainSplitter() const { return mainSplitter_; }
    QSplitter* controlSplitter() const { return controlSplitter_; }

    // Menu commands, for the application to connect.
    QAction *newAction, *openAction, *saveAction, *saveAsAction, *saveImageAction, *imageSizeAction,
        *printAction, *printPreviewAction, *printSetupAction, *exitAction, *helpAction,
        *aboutAction, *examplesAction, *exportAction, *saveMovieAction;
    QAction* resetViewAction = nullptr;
    QAction* curvesOnlyAction = nullptr;  // checkable: hide spheres, axes and great circles
    QAction *randomAction = nullptr, *designAction = nullptr;
    // View > Smooth edges: always, when still, never (checkable, one on).
    std::array<QAction*, 3> smoothEdgesActions{};
    QMenu* fileMenu() const { return fileMenu_; }

    // The Edit menu's "Undo" and "Redo", named after the step they take;
    // null until setUndoStack.
    QAction *undoAction = nullptr, *redoAction = nullptr;
    void setUndoStack(QUndoStack* stack);

    // Fills the recent-file entries of the File menu; triggering one calls
    // openRecent with its path.
    void setRecentFiles(const QStringList& files);
    std::function<void(const QString&)> openRecent;

    // Asked before the window closes; false keeps it open.
    std::function<bool()> closeGuard;

    // Restores the fixed pane sizes for the current client size.
    void applyPaneSizes();

    // The window's size and place and the pane sizes, kept in settings
    // between runs. restoreLayout is false (and changes nothing) when
    // settings hold no layout or an unusable one.
    void saveLayout(QSettings& settings) const;
    bool restoreLayout(const QSettings& settings);
    // Where closing the window saves its layout; none when null.
    QSettings* layoutSettings = nullptr;

    // The "Help" command: shows the help window at its contents page.
    void onHelp();
    HelpWindow* helpWindow() const { return helpWindow_; }

    // Shows the path computation's progress under the 3-D view once it has
    // run for half a second; hides it when done. Polled by a timer.
    void updatePathProgress();
    QProgressBar* pathProgress() const { return pathProgress_; }
    // What the selected sphere's curves are (read-only text under the view).
    CurveReadout* curveReadout() const { return curveReadout_; }

    // The status line at the window's foot says what a command wrote, and
    // offers to open the folder it went to.
    void showWritten(const QString& text, const QString& folder);
    QLabel* statusText() const { return statusText_; }
    QPushButton* openFolderButton() const { return openFolder_; }

    // Moves the keyboard focus to the next (or previous) of the four panes.
    void focusPane(int step);
    // Moves the keyboard focus from the 3-D view to the next (or previous)
    // control in tab order.
    void leaveView(bool forward);

  protected:
    void resizeEvent(QResizeEvent* e) override;
    void changeEvent(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

  private:
    void buildMenus();
    // Puts the 3-D view's native OpenGL window into its pane.
    void embedView();
    void fitControlSplitter();
    // The properties row's height when rows pixels are there for the three
    // rows of the control column.
    int propertiesHeightFor(int rows) const;

    QSplitter* mainSplitter_ = nullptr;
    QSplitter* controlSplitter_ = nullptr;
    // Holds the control splitter and clips it: in a window too low for the
    // fixed rows, the properties row runs off the bottom instead of
    // squeezing the construction panel.
    QWidget* controlColumn_ = nullptr;
    View3D* view_ = nullptr;
    SwatchList swatches_;
    bool viewEmbedded_ = false;
    QWidget* viewContainer_ = nullptr;
    QWidget* viewColumn_ = nullptr;  // the view and its progress bar
    QProgressBar* pathProgress_ = nullptr;
    QLabel* pathNote_ = nullptr;         // e.g. paths sampled coarser to fit memory
    QLabel* statusText_ = nullptr;       // the status line's last word
    QPushButton* openFolder_ = nullptr;  // opens the folder it names
    QString writtenFolder_;
    CurveReadout* curveReadout_ = nullptr;  // what the selected sphere's curves are
    QWidget* statusStrip_ = nullptr;        // progress, note and read-out under the view
    QTimer* progressTimer_ = nullptr;
    QWidget* constructionPane_ = nullptr;
    QWidget* treePane_ = nullptr;
    QWidget* propertiesPane_ = nullptr;
    ConstructionPanel* construction_ = nullptr;
    SphereTree* tree_ = nullptr;
    PropertiesPanel* properties_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QMenu* editMenu_ = nullptr;
    QAction* recentSeparator_ = nullptr;
    QList<QAction*> recentActions_;
    HelpWindow* helpWindow_ = nullptr;
};
