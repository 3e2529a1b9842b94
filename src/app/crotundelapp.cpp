// Application start-up and the document commands of the File menu.
#include "crotundelapp.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QStandardPaths>
#include <algorithm>

#include "animationcontrols.h"
#include "caboutdlg.h"
#include "cmainframe.h"
#include "crotundeldoc.h"
#include "dialogimagemovie.h"
#include "examplesdialog.h"
#include "fileexports.h"
#include "pictureprinter.h"
#include "recentfilelist.h"
#include "undohistory.h"
#include "viewopenglmt.h"
#include "viewsphereproperties.h"
#include "viewspheretree.h"
#include "viewspheretreeconstruction.h"
#include "windowobserver.h"

namespace {
// The settings live under the program's own name (~/.config/Rotundel/ on
// Linux); what an earlier version left under its old name is taken over.
std::unique_ptr<QSettings> openSettings() {
    auto settings = std::make_unique<QSettings>(CRotundelApp::kAppTitle, CRotundelApp::kAppTitle);
    CRotundelApp::adoptOldSettings(
        QSettings(CRotundelApp::kOldSettingsOrganization, CRotundelApp::kAppTitle), *settings);
    return settings;
}
}  // namespace

bool CRotundelApp::adoptOldSettings(const QSettings& from, QSettings& to) {
    if (!to.allKeys().isEmpty() || from.allKeys().isEmpty()) return false;
    for (const QString& key : from.allKeys()) to.setValue(key, from.value(key));
    to.sync();
    return true;
}

CRotundelApp::CRotundelApp()
    : settings_(openSettings()),
      recent_(std::make_unique<RecentFileList>(*settings_)),
      doc_(std::make_unique<CRotundelDoc>()) {
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

CRotundelApp::~CRotundelApp() {
    // The render thread ends before the document and the window it uses.
    if (view) view->ExitThreadsAndWait();
    doc_->journal = nullptr;
    doc_->DisconnectViews();
    frame_.reset();
}

bool CRotundelApp::InitInstance(const QString& file) {
    QApplication::setApplicationName(kAppTitle);
    QApplication::setWindowIcon(QIcon(":/icons/rotundel.svg"));

    frame_ = std::make_unique<CMainFrame>();
    if (!frame_->OnCreateClient()) return false;
    view = frame_->view();
    constructionView = frame_->constructionPane();
    treeView = frame_->treePane();
    propertiesView = frame_->propertiesPane();
    view->setDocument(doc_.get());
    observer_ = std::make_unique<WindowObserver>(view);
    observer_->addPane(frame_->sphereTree());
    observer_->addPane(frame_->sphereProperties());
    frame_->sphereTree()->setDocument(doc_.get());
    frame_->construction()->setDocument(doc_.get());
    frame_->sphereProperties()->setDocument(doc_.get());
    printer_ = std::make_unique<PicturePrinter>(view, frame_.get());
    undo_ = std::make_unique<UndoHistory>(*doc_);
    doc_->journal = undo_.get();
    frame_->setUndoStack(&undo_->stack());

    CMainFrame* f = frame_.get();
    connect(f->newAction, &QAction::triggered, this, [this] { OnFileNew(); });
    connect(f->openAction, &QAction::triggered, this, [this] { OnFileOpen(); });
    connect(f->saveAction, &QAction::triggered, this, [this] { OnFileSave(); });
    connect(f->saveAsAction, &QAction::triggered, this, [this] { OnFileSaveAs(); });
    connect(f->saveImageAction, &QAction::triggered, view, &ViewOpenGLmt::OnSaveImage);
    connect(f->imageSizeAction, &QAction::triggered, this, [this] { OnImageSizeMovieFrames(); });
    connect(f->printAction, &QAction::triggered, this, [this] { printer_->OnFilePrint(); });
    connect(f->printPreviewAction, &QAction::triggered, this,
            [this] { printer_->OnFilePrintPreview(); });
    connect(f->printSetupAction, &QAction::triggered, this,
            [this] { printer_->OnFilePrintSetup(); });
    connect(f->aboutAction, &QAction::triggered, this, [this] { OnAppAbout(); });
    connect(f->examplesAction, &QAction::triggered, this, [this] { OnHelpExamples(); });
    connect(f->randomAction, &QAction::triggered, this, [this] { OnFileNewRandom(); });
    connect(f->designAction, &QAction::triggered, this, [this] { OnDesignBySymmetry(); });
    examplesFolder = ExamplesDialog::examplesFolder();
    renderProgram = QCoreApplication::applicationFilePath();
    thumbnailCache =
        QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + "/example-pictures";
    // Smooth edges: the choice is the user's, kept from one run to the next.
    const int smooth = std::clamp(settings_->value("View/SmoothEdges", 1).toInt(), 0, 2);
    f->smoothEdgesActions[static_cast<std::size_t>(smooth)]->setChecked(true);
    view->setSmoothEdges(static_cast<ViewOpenGLmt::SmoothEdges>(smooth));
    for (int i = 0; i < 3; ++i)
        connect(f->smoothEdgesActions[static_cast<std::size_t>(i)], &QAction::toggled, this,
                [this, i](bool on) {
                    if (!on) return;
                    settings_->setValue("View/SmoothEdges", i);
                    view->setSmoothEdges(static_cast<ViewOpenGLmt::SmoothEdges>(i));
                });
    animation_ = new AnimationControls(*f, view->rolling());
    exports_ = new FileExports(*doc_, *view, f);
    connect(f->saveMovieAction, &QAction::triggered, exports_, &FileExports::OnSaveMovie);
    connect(f->exportAction, &QAction::triggered, exports_, &FileExports::OnExport);
    f->openRecent = [this](const QString& path) {
        if (!QFileInfo::exists(path)) {
            showError(QString("The file %1 no longer exists.").arg(QDir::toNativeSeparators(path)));
            recent_->remove(path);
            refreshRecentMenu();
            return;
        }
        OpenDocumentFile(path);
    };
    f->closeGuard = [this] { return SaveModified(); };
    refreshRecentMenu();

    doc_->ConnectViews(view, observer_.get());
    // A file that cannot be opened has been reported; the program then
    // starts with a new document, as after any failed Open.
    if (file.isEmpty() || !OpenDocumentFile(file)) {
        if (!OnFileNew()) return false;
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

QString CRotundelApp::documentTitle() const {
    if (path_.isEmpty()) return untitledName_.isEmpty() ? QString("Untitled") : untitledName_;
    return QFileInfo(path_).fileName();
}

void CRotundelApp::updateTitle() {
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

void CRotundelApp::refreshRecentMenu() {
    if (frame_) frame_->setRecentFiles(recent_->files());
}

void CRotundelApp::showError(const QString& text, const QString& detail) {
    QMessageBox box(QMessageBox::Warning, kAppTitle, text, QMessageBox::Ok, frame_.get());
    box.setInformativeText(detail);
    box.exec();
}

QString CRotundelApp::fileDetail(const QString& path, const std::string& reason) {
    QString detail = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    if (!reason.empty()) detail += "\n" + QString::fromStdString(reason);
    return detail;
}

bool CRotundelApp::SaveModified() {
    if (!doc_->IsModified()) return true;
    QMessageBox box(QMessageBox::Warning, kAppTitle,
                    QString("Save changes to %1?").arg(documentTitle()),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, frame_.get());
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
        case QMessageBox::Save:
            return OnFileSave();
        case QMessageBox::Discard:
            return true;
        default:
            return false;
    }
}

bool CRotundelApp::OnFileNew() {
    if (!SaveModified()) return false;
    if (!doc_->NewDocument()) {
        showError(QString::fromStdString(doc_->lastError()));
        return false;
    }
    doc_->SetModifiedFlag(false);
    if (undo_) undo_->clear();
    path_.clear();
    untitledName_.clear();
    updateTitle();
    return true;
}

bool CRotundelApp::OnFileOpen() {
    QString path = askOpenPath();
    if (path.isEmpty()) return false;
    return OpenDocumentFile(path);
}

bool CRotundelApp::OpenDocumentFile(const QString& path) {
    if (!SaveModified()) return false;
    DocResult r = doc_->OpenDocument(QFile::encodeName(path).toStdString());
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
void CRotundelApp::rememberDocumentPath(const QString& path) {
    doc_->SetModifiedFlag(false);
    // The steps stay; the one reached now is the saved one.
    if (undo_) undo_->setClean();
    path_ = QFileInfo(path).absoluteFilePath();
    untitledName_.clear();
    recent_->add(path_);
    refreshRecentMenu();
    updateTitle();
}

bool CRotundelApp::OnFileSave() {
    // A file that has become read-only is saved under another name.
    QFileInfo info(path_);
    if (path_.isEmpty() || (info.exists() && !info.isWritable())) return OnFileSaveAs();
    return DoSave(path_);
}

bool CRotundelApp::OnFileSaveAs() {
    QString suggested = path_.isEmpty() ? documentTitle() + ".one" : path_;
    QString path = askSavePath(suggested);
    if (path.isEmpty()) return false;
    return DoSave(path);
}

bool CRotundelApp::DoSave(const QString& path) {
    DocResult r = doc_->SaveDocument(QFile::encodeName(path).toStdString());
    if (!r) {
        showError(QString::fromStdString(r.message), fileDetail(path, r.reason));
        return false;
    }
    rememberDocumentPath(path);
    return true;
}

void CRotundelApp::OnImageSizeMovieFrames() {
    DialogImageMovie dialog(doc_->imageWidth, doc_->movieFrameCount, frame_.get());
    if (dialog.exec() != QDialog::Accepted) return;
    doc_->SetImageSizeAndFrames(dialog.imageWidth(), dialog.movieFrames());
}

bool CRotundelApp::OnHelpExamples() {
    ExamplesDialog dialog(examplesFolder, renderProgram, thumbnailCache, frame_.get());
    if (dialog.exec() != QDialog::Accepted || dialog.chosenPath().isEmpty()) return false;
    return OpenDocumentCopy(dialog.chosenPath());
}

bool CRotundelApp::OpenDocumentCopy(const QString& path) {
    if (!SaveModified()) return false;
    DocResult r = doc_->OpenDocument(QFile::encodeName(path).toStdString());
    if (!r) {
        showError(QString::fromStdString(r.message));
        return false;
    }
    if (undo_) undo_->clear();
    doc_->SetModifiedFlag(false);
    path_.clear();
    untitledName_.clear();
    updateTitle();
    return true;
}

void CRotundelApp::OnAppAbout() {
    CAboutDlg about(frame_.get());
    about.exec();
}
