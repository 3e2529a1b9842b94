// The application: start-up, the document and its main window, the File and
// Help commands, recent files and settings.
#pragma once

#include <QObject>
#include <QSettings>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class AnimationControls;
struct ChainPlan;
class MainWindow;
class FileExports;
class Document;
class PicturePrinter;
class RecentFileList;
class UndoHistory;
class View3D;
class WindowObserver;
class QWidget;

// UI thread only. Needs a QApplication to exist first.
class Application : public QObject {
    Q_OBJECT
  public:
    static constexpr const char* kAppTitle = "Rotundel";
    // Where earlier versions kept the settings; read once, when the
    // program's own place has none yet.
    static constexpr const char* kOldSettingsOrganization =
        "Local AppWizard-Generated Applications";
    static constexpr const char* kFileFilter = "Automata Files (*.one)";

    Application();
    ~Application() override;

    // Builds the window, then opens file (or makes a new document when it
    // is empty) and shows the window maximised. False when the start
    // failed; the reason has been shown.
    bool start(const QString& file = {});

    Document& document() { return *doc_; }
    MainWindow* mainFrame() const { return frame_.get(); }

    // The panes, for the document's pages and tree to reach each other.
    View3D* view = nullptr;
    QWidget* constructionView = nullptr;
    QWidget* treeView = nullptr;
    QWidget* propertiesView = nullptr;
    WindowObserver* observer() const { return observer_.get(); }
    UndoHistory* undoHistory() const { return undo_.get(); }
    AnimationControls* animation() const { return animation_; }
    FileExports* fileExports() const { return exports_; }

    // --- Commands; each returns whether it went through ---
    bool newFile();
    bool openFile();
    bool openDocumentFile(const QString& path);
    bool saveFile();
    bool saveFileAs();
    void askImageSizeAndFrames();
    void showAbout();
    // Help > "Examples...": opens the chosen example as an untitled copy.
    bool onHelpExamples();
    // Opens path as a new, untitled document with the same contents, so
    // that saving never writes over the original.
    bool openDocumentCopy(const QString& path);
    // The camera turned to the view that shows a made-to-order automaton.
    void showDesignView(const ChainPlan& plan);
    // File > "New random automaton": the automaton of seed (a fresh one
    // when none is given), untitled, its name showing the seed.
    bool newRandomFile(std::optional<quint64> seed = {});
    // Design > "By symmetry...": asks for the order and the levels, shows
    // the candidates' pictures and opens the chosen one untitled.
    bool onDesignBySymmetry();

    // Asks "Save changes to ...?" when the document has unsaved changes:
    // true to go on (saved or discarded), false to stop (cancelled, or the
    // save failed).
    bool askToSaveChanges();

    // The document's name as the title shows it ("Untitled" until saved).
    QString documentTitle() const;
    QString documentPath() const { return path_; }

    QSettings& settings() { return *settings_; }
    // Copies every key of from into to when to holds none yet; true when
    // something was copied.
    static bool adoptOldSettings(const QSettings& from, QSettings& to);
    RecentFileList& recentFiles() { return *recent_; }

    // Where file dialogs are answered; tests replace these to stay headless.
    std::function<QString()> askOpenPath;
    std::function<QString(const QString& suggested)> askSavePath;
    // Where "Examples..." looks and how it draws its pictures; tests point
    // these elsewhere.
    QString examplesFolder;
    QString renderProgram;
    QString thumbnailCache;

  private:
    bool doSave(const QString& path);
    void updateTitle();
    void refreshRecentMenu();
    void rememberDocumentPath(const QString& path);
    // A warning box: the message, and under it the detail (the file's
    // name and the system's reason).
    void showError(const QString& text, const QString& detail = {});
    static QString fileDetail(const QString& path, const std::string& reason);

    QString untitledName_;  // the name of an untitled document, when not "Untitled"
    std::unique_ptr<QSettings> settings_;
    std::unique_ptr<RecentFileList> recent_;
    std::unique_ptr<Document> doc_;
    std::unique_ptr<MainWindow> frame_;
    std::unique_ptr<WindowObserver> observer_;
    std::unique_ptr<PicturePrinter> printer_;
    std::unique_ptr<UndoHistory> undo_;
    QString path_;
    AnimationControls* animation_ = nullptr;  // owned by the main window
    FileExports* exports_ = nullptr;          // owned by the main window
};
