// Application start-up and the document commands of the File menu.
#include "application.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QStandardPaths>
#include <algorithm>

#include "aboutdialog.h"
#include "animationcontrols.h"
#include "constructionpanel.h"
#include "document.h"
#include "examplesdialog.h"
#include "fileexports.h"
#include "imagemoviedialog.h"
#include "mainwindow.h"
#include "pictureprinter.h"
#include "propertiespanel.h"
#include "recentfilelist.h"
#include "spheretree.h"
#include "undohistory.h"
#include "view3d.h"
#include "windowobserver.h"

namespace {
// The settings live under the program's own name (~/.config/Rotundel/ on
// Linux); what an earlier version left under its old name is taken over.
std::unique_ptr<QSettings> openSettings() {
    auto settings = std::make_unique<QSettings>(Application::kAppTitle, Application::kAppTitle);
    Application::adoptOldSettings(
        QSettings(Application::kOldSettingsOrganization, Application::kAppTitle), *settings);
    return settings;
}
}  // namespace

bool Application::adoptOldSettings(const QSettings& from, QSettings& to) {
    if (!to.allKeys().isEmpty() || from.allKeys().isEmpty()) return false;
    for (const QString& key : from.allKeys()) to.setValue(key, from.value(key));
    to.sync();
    return true;
}

Application::Application()
    : settings_(openSettings()),
      recent_(std::make_unique<RecentFileList>(*settings_)),
      doc_(std::make_unique<Document>()) {
    askOpenPath = [this] {
        return QFileDialog::getOpenFileName(frame_.get(), "Open", QString(), kFileFilter);
    };
    askSavePath = [this](const QString& suggested) {
        QFileDialog dialog(frame_.get(), "Save As", suggested, kFileFilter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix("one");
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().first();
    };
}

Application::~Application() {
    // The render thread ends before the document and the window it uses.
    if (view) view->exitThreadsAndWait();
    doc_->journal = nullptr;
    doc_->disconnectViews();
    frame_.reset();
}

bool Application::start(const QString& file) {
    QApplication::setApplicationName(kAppTitle);
    QApplication::setWindowIcon(QIcon(":/icons/rotundel.svg"));

    frame_ = std::make_unique<MainWindow>();
    if (!frame_->buildPanes()) return false;
    view = frame_->view();
    constructionView = frame_->constructionPane();
    treeView = frame_->treePane();
    propertiesView = frame_->propertiesPane();
    view->setDocument(doc_.get());
    observer_ = std::make_unique<WindowObserver>(view, &frame_->swatches());
    observer_->addPane(frame_->sphereTree());
    observer_->addPane(frame_->sphereProperties());
    frame_->sphereTree()->setDocument(doc_.get());
    frame_->construction()->setDocument(doc_.get());
    frame_->sphereProperties()->setDocument(doc_.get());
    printer_ = std::make_unique<PicturePrinter>(view, frame_.get());
    undo_ = std::make_unique<UndoHistory>(*doc_);
    doc_->journal = undo_.get();
    frame_->setUndoStack(&undo_->stack());

    MainWindow* f = frame_.get();
    connect(f->newAction, &QAction::triggered, this, [this] { newFile(); });
    connect(f->openAction, &QAction::triggered, this, [this] { openFile(); });
    connect(f->saveAction, &QAction::triggered, this, [this] { saveFile(); });
    connect(f->saveAsAction, &QAction::triggered, this, [this] { saveFileAs(); });
    connect(f->saveImageAction, &QAction::triggered, view, &View3D::onSaveImage);
    connect(f->imageSizeAction, &QAction::triggered, this, [this] { askImageSizeAndFrames(); });
    connect(f->printAction, &QAction::triggered, this, [this] { printer_->printPicture(); });
    connect(f->printPreviewAction, &QAction::triggered, this, [this] { printer_->printPreview(); });
    connect(f->printSetupAction, &QAction::triggered, this, [this] { printer_->printSetup(); });
    connect(f->aboutAction, &QAction::triggered, this, [this] { showAbout(); });
    connect(f->examplesAction, &QAction::triggered, this, [this] { onHelpExamples(); });
    connect(f->randomAction, &QAction::triggered, this, [this] { newRandomFile(); });
    connect(f->designAction, &QAction::triggered, this, [this] { onDesignBySymmetry(); });
    examplesFolder = ExamplesDialog::examplesFolder();
    renderProgram = QCoreApplication::applicationFilePath();
    thumbnailCache =
        QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + "/example-pictures";
    // Smooth edges: the choice is the user's, kept from one run to the next.
    const int smooth = std::clamp(settings_->value("View/SmoothEdges", 1).toInt(), 0, 2);
    f->smoothEdgesActions[static_cast<std::size_t>(smooth)]->setChecked(true);
    view->setSmoothEdges(static_cast<View3D::SmoothEdges>(smooth));
    for (int i = 0; i < 3; ++i)
        connect(f->smoothEdgesActions[static_cast<std::size_t>(i)], &QAction::toggled, this,
                [this, i](bool on) {
                    if (!on) return;
                    settings_->setValue("View/SmoothEdges", i);
                    view->setSmoothEdges(static_cast<View3D::SmoothEdges>(i));
                });
    animation_ = new AnimationControls(*f, view->rolling());
    exports_ = new FileExports(*doc_, *view, f);
    exports_->documentPath = [this] { return path_; };
    connect(f->saveMovieAction, &QAction::triggered, exports_, &FileExports::onSaveMovie);
    connect(f->exportAction, &QAction::triggered, exports_, &FileExports::onExport);
    f->openRecent = [this](const QString& path) {
        if (!QFileInfo::exists(path)) {
            showError(QString("The file %1 no longer exists.").arg(QDir::toNativeSeparators(path)));
            recent_->remove(path);
            refreshRecentMenu();
            return;
        }
        openDocumentFile(path);
    };
    f->closeGuard = [this] { return askToSaveChanges(); };
    refreshRecentMenu();

    doc_->connectViews(view, observer_.get());
    // A file that cannot be opened has been reported; the program then
    // starts with a new document, as after any failed Open.
    if (file.isEmpty() || !openDocumentFile(file)) {
        if (!newFile()) return false;
    }

    // As the user left it; the first time maximised (a display without a
    // window manager ignores the state, so the window also takes the whole
    // available screen itself).
    frame_->layoutSettings = settings_.get();
    if (frame_->restoreLayout(*settings_)) {
        frame_->show();
    } else {
        if (QScreen* screen = QGuiApplication::primaryScreen())
            frame_->setGeometry(screen->availableGeometry());
        frame_->showMaximized();
    }
    frame_->applyPaneSizes();
    return true;
}

QString Application::documentTitle() const {
    if (path_.isEmpty()) return untitledName_.isEmpty() ? QString("Untitled") : untitledName_;
    return QFileInfo(path_).fileName();
}

void Application::updateTitle() {
    // The view keeps this title and adds its statistics after it.
    QString title = documentTitle() + "[*] - " + kAppTitle;
    if (view)
        view->setTitleBase(title);
    else if (frame_)
        frame_->setWindowTitle(title);
    // Textures are looked for beside the document first.
    if (view)
        view->setDocumentFolder(
            path_.isEmpty() ? std::string()
                            : QFile::encodeName(QFileInfo(path_).absolutePath()).toStdString());
}

void Application::refreshRecentMenu() {
    if (frame_) frame_->setRecentFiles(recent_->files());
}

void Application::showError(const QString& text, const QString& detail) {
    QMessageBox box(QMessageBox::Warning, kAppTitle, text, QMessageBox::Ok, frame_.get());
    box.setInformativeText(detail);
    box.exec();
}

QString Application::fileDetail(const QString& path, const std::string& reason) {
    QString detail = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    if (!reason.empty()) detail += "\n" + QString::fromStdString(reason);
    return detail;
}

bool Application::askToSaveChanges() {
    if (!doc_->isModified()) return true;
    QMessageBox box(QMessageBox::Warning, kAppTitle,
                    QString("Save changes to %1?").arg(documentTitle()),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, frame_.get());
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
        case QMessageBox::Save:
            return saveFile();
        case QMessageBox::Discard:
            return true;
        default:
            return false;
    }
}

bool Application::newFile() {
    if (!askToSaveChanges()) return false;
    if (!doc_->newDocument()) {
        showError(QString::fromStdString(doc_->lastError()));
        return false;
    }
    doc_->setModifiedFlag(false);
    if (undo_) undo_->clear();
    path_.clear();
    untitledName_.clear();
    updateTitle();
    return true;
}

bool Application::openFile() {
    QString path = askOpenPath();
    if (path.isEmpty()) return false;
    return openDocumentFile(path);
}

bool Application::openDocumentFile(const QString& path) {
    if (!askToSaveChanges()) return false;
    DocResult r = doc_->openDocument(QFile::encodeName(path).toStdString());
    if (!r) {
        showError(QString::fromStdString(r.message), fileDetail(path, r.reason));
        return false;
    }
    if (undo_) undo_->clear();
    rememberDocumentPath(path);
    return true;
}

// After a file was opened or saved: it is the document's file now, unchanged,
// and first in the recent list.
void Application::rememberDocumentPath(const QString& path) {
    doc_->setModifiedFlag(false);
    // The steps stay; the one reached now is the saved one.
    if (undo_) undo_->setClean();
    path_ = QFileInfo(path).absoluteFilePath();
    untitledName_.clear();
    recent_->add(path_);
    refreshRecentMenu();
    updateTitle();
}

bool Application::saveFile() {
    // A file that has become read-only is saved under another name.
    QFileInfo info(path_);
    if (path_.isEmpty() || (info.exists() && !info.isWritable())) return saveFileAs();
    return doSave(path_);
}

bool Application::saveFileAs() {
    QString suggested = path_.isEmpty() ? documentTitle() + ".one" : path_;
    QString path = askSavePath(suggested);
    if (path.isEmpty()) return false;
    return doSave(path);
}

bool Application::doSave(const QString& path) {
    DocResult r = doc_->saveDocument(QFile::encodeName(path).toStdString());
    if (!r) {
        showError(QString::fromStdString(r.message), fileDetail(path, r.reason));
        return false;
    }
    rememberDocumentPath(path);
    return true;
}

void Application::askImageSizeAndFrames() {
    ImageMovieDialog dialog(doc_->imageWidth, doc_->movieFrameCount, frame_.get());
    if (dialog.exec() != QDialog::Accepted) return;
    doc_->setImageSizeAndFrames(dialog.imageWidth(), dialog.movieFrames());
}

bool Application::onHelpExamples() {
    ExamplesDialog dialog(examplesFolder, renderProgram, thumbnailCache, frame_.get());
    if (dialog.exec() != QDialog::Accepted || dialog.chosenPath().isEmpty()) return false;
    return openDocumentCopy(dialog.chosenPath());
}

bool Application::openDocumentCopy(const QString& path) {
    if (!askToSaveChanges()) return false;
    DocResult r = doc_->openDocument(QFile::encodeName(path).toStdString());
    if (!r) {
        showError(QString::fromStdString(r.message));
        return false;
    }
    if (undo_) undo_->clear();
    doc_->setModifiedFlag(false);
    path_.clear();
    untitledName_.clear();
    updateTitle();
    return true;
}

void Application::showAbout() {
    AboutDialog about(frame_.get());
    about.exec();
}
