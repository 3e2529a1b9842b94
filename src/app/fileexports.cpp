// Movies and path exports from the window.
#include "fileexports.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressDialog>
#include <QSpinBox>
#include <atomic>
#include <thread>

#include "atomicfile.h"
#include "crotundeldoc.h"
#include "framerenderer.h"
#include "movierecorder.h"
#include "pathcsv.h"
#include "pathmesh.h"
#include "pathsvg.h"
#include "placement.h"
#include "relations.h"
#include "sandtrack.h"
#include "sphere.h"
#include "viewopenglmt.h"

namespace {
// Tube radius, sides and size of a mesh file. The radius is automatic
// unless changed: 0.75% of the model's largest dimension, at least 0.6 mm
// when the model has a size.
std::optional<MeshOptions> meshOptionsDialog(QWidget* parent) {
    QDialog dialog(parent);
    dialog.setWindowTitle("Tubes");
    auto* form = new QFormLayout(&dialog);
    auto* radiusKind = new QComboBox;
    radiusKind->addItems({"Automatic: 0.75% of the largest dimension (at least 0.6 mm when sized)",
                          "Given below (automaton units)"});
    auto* kindLabel = new QLabel("Tube &thickness:");
    kindLabel->setBuddy(radiusKind);
    auto* radius = new QDoubleSpinBox;
    radius->setRange(0.0001, 1000);
    radius->setDecimals(4);
    radius->setValue(0.075);
    radius->setEnabled(false);
    auto* radiusLabel = new QLabel("Tube &radius:");
    radiusLabel->setBuddy(radius);
    auto* sides = new QSpinBox;
    sides->setRange(3, PathMesh::kMostSides);
    sides->setValue(7);
    auto* sidesLabel = new QLabel("&Sides of each tube:");
    sidesLabel->setBuddy(sides);
    auto* sized = new QCheckBox("Scale to a &largest dimension of");
    auto* size = new QDoubleSpinBox;
    size->setRange(1, 100000);
    size->setValue(100);
    size->setSuffix(" mm");
    size->setEnabled(false);
    size->setAccessibleName("Largest dimension in millimetres");
    QObject::connect(radiusKind, &QComboBox::currentIndexChanged, radius,
                     [radius](int kind) { radius->setEnabled(kind == 1); });
    QObject::connect(sized, &QCheckBox::toggled, size, &QWidget::setEnabled);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(kindLabel, radiusKind);
    form->addRow(radiusLabel, radius);
    form->addRow(sidesLabel, sides);
    form->addRow(sized, size);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    MeshOptions options;
    if (radiusKind->currentIndex() == 1) options.tubeRadius = radius->value();
    options.sides = sides->value();
    if (sized->isChecked()) options.sizeMillimetres = size->value();
    return options;
}

// Page, view and tolerance of a drawing for pen plotters.
std::optional<PlotterOptions> plotterOptionsDialog(QWidget* parent) {
    QDialog dialog(parent);
    dialog.setWindowTitle("SVG for plotters");
    auto* form = new QFormLayout(&dialog);
    auto* page = new QComboBox;
    page->addItems({"A4", "A3", "A5", "Letter"});
    auto* pageLabel = new QLabel("&Page:");
    pageLabel->setBuddy(page);
    auto* landscape = new QCheckBox("&Landscape");
    auto* margin = new QDoubleSpinBox;
    margin->setRange(0, 100);
    margin->setValue(10);
    margin->setSuffix(" mm");
    auto* marginLabel = new QLabel("&Margin:");
    marginLabel->setBuddy(margin);
    auto* view = new QComboBox;
    view->addItems(
        {"Top (down the stationary sphere's axis)", "Front", "Side", "Through the camera"});
    auto* viewLabel = new QLabel("&View:");
    viewLabel->setBuddy(view);
    auto* tolerance = new QDoubleSpinBox;
    tolerance->setDecimals(3);
    tolerance->setRange(PlotterSvg::kFinestTolerance, 10);
    tolerance->setSingleStep(0.01);
    tolerance->setValue(0.02);
    tolerance->setSuffix(" mm");
    auto* toleranceLabel = new QLabel("&Tolerance:");
    toleranceLabel->setBuddy(tolerance);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(pageLabel, page);
    form->addRow(landscape);
    form->addRow(marginLabel, margin);
    form->addRow(viewLabel, view);
    form->addRow(toleranceLabel, tolerance);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    PlotterOptions o;
    std::tie(o.pageWidth, o.pageHeight) = *PlotterSvg::pageSize(page->currentText().toStdString());
    if (landscape->isChecked()) std::swap(o.pageWidth, o.pageHeight);
    o.margin = margin->value();
    o.view = static_cast<PlotterOptions::View>(view->currentIndex());
    o.tolerance = tolerance->value();
    return o;
}
}  // namespace

FileExports::FileExports(CRotundelDoc& doc, ViewOpenGLmt& view, QWidget* window)
    : QObject(window), doc_(doc), view_(view), window_(window) {
    askMoviePath = [this] {
        QFileDialog dialog(window_, "Save movie", QString(), "");
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilters({"MP4 movie (*.mp4)", "WebM movie (*.webm)", "GIF animation (*.gif)",
                               "Folder of PNG frames (*)"});
        dialog.setDefaultSuffix("mp4");
        connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
            QString ext = filter.section("*.", 1, 1).section(')', 0, 0);
            dialog.setDefaultSuffix(ext);
        });
        dialog.selectFile("Automaton");
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().first();
    };
    askMeshOptions = [this] { return meshOptionsDialog(window_); };
    askPlotterOptions = [this] { return plotterOptionsDialog(window_); };
    tellWarning = [this](const QString& text) {
        auto* box =
            new QMessageBox(QMessageBox::Warning, "Rotundel", text, QMessageBox::Ok, window_);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    };
    askExportPath = [this] {
        const QString plotter = "SVG for plotters (*.svg)";
        QStringList filters{"CSV table of the samples (*.csv)",
                            "SVG drawing through the camera (*.svg)", plotter};
        for (const auto& f : PathMesh::formats())
            filters << QString("%1 (*%2)").arg(f.description, f.extension);
        filters << "Sand-table track, theta and rho (*.thr)";
        QFileDialog dialog(window_, "Export", QString(), "");
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilters(filters);
        dialog.setDefaultSuffix("csv");
        connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
            dialog.setDefaultSuffix(filter.section("*.", 1, 1).section(')', 0, 0));
        });
        dialog.selectFile("Automaton");
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        exportForPlotter = dialog.selectedNameFilter() == plotter;
        return dialog.selectedFiles().first();
    };
}

void FileExports::OnSaveMovie() {
    QString path = askMoviePath();
    if (path.isEmpty()) return;
    QString error = saveMovie(path);
    if (!error.isEmpty()) QMessageBox::warning(window_, "Rotundel", error);
}

QString FileExports::saveMovie(const QString& path) {
    if (!doc_.root) return "There is no automaton to film.";
    MovieRequest request;
    request.output = path.toStdString();
    request.frames = std::max(1, doc_.movieFrameCount);
    QSize size =
        ViewOpenGLmt::imageSizeFor(doc_.imageWidth, view_.clientWidth(), view_.clientHeight());
    request.width = size.width();
    request.height = size.height();
    request.rolling = view_.rolling().active();
    request.faintRest = view_.rolling().faintRest();
    std::uint64_t version = ~std::uint64_t{0};
    view_.documentFolder(&request.documentFolder, &version);
    FrameSettings settings = frameSettingsOf(doc_);
    request.camera = settings.camera;

    // The automaton belongs to the recording thread until it is done: the
    // render thread stays parked, and the dialog keeps the user from edits.
    bool paused = doc_.PauseIfRunning();
    std::atomic<bool> cancel{false}, finished{false};
    std::atomic<int> done{0};
    MovieResult result;
    MovieControl control;
    control.cancel = &cancel;
    control.progress = [&done](int n, int) { done = n; };
    std::thread worker([&] {
        result = MovieRecorder::record(doc_, settings, &doc_.cameraController, request, control);
        finished = true;
    });
    QProgressDialog progress("Rendering the movie...", "Cancel", 0, request.frames, window_);
    progress.setWindowTitle("Save movie");
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAccessibleName("Movie progress");
    progress.show();
    while (!finished) {
        progress.setValue(done);
        progress.setLabelText(
            QString("Rendering frame %1 of %2...").arg(done + 1).arg(request.frames));
        if (progress.wasCanceled()) cancel = true;
        QApplication::processEvents(QEventLoop::AllEvents, 30);
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
    }
    worker.join();
    progress.reset();
    // Another context drew the spheres meanwhile; the window's drawer
    // compiles its own lists again rather than trust names it did not make.
    forEachPreOrder(doc_.root, [](Sphere& s) {
        s.bodyListValid = 0;
        s.pathListValid = 0;
    });
    if (paused) doc_.RenderResume();
    if (result.ok || result.cancelled) return {};
    return QString::fromStdString(result.error);
}

void FileExports::OnExport() {
    exportForPlotter = false;
    QString path = askExportPath();
    if (path.isEmpty()) return;
    QString error;
    if (exportForPlotter && QFileInfo(path).suffix().toLower() == "svg") {
        auto chosen = askPlotterOptions();
        if (!chosen) return;
        error = exportPlotter(path, *chosen);
        if (!error.isEmpty()) QMessageBox::warning(window_, "Rotundel", error);
        return;
    }
    MeshOptions mesh;
    if (PathMesh::formatForPath(path.toStdString())) {
        auto chosen = askMeshOptions();
        if (!chosen) return;
        mesh = *chosen;
    }
    error = exportPaths(path, mesh);
    if (!error.isEmpty()) QMessageBox::warning(window_, "Rotundel", error);
}

QString FileExports::exportPaths(const QString& path, const MeshOptions& mesh) {
    const std::string file = path.toStdString();
    const QString ext = QFileInfo(path).suffix().toLower();
    const bool csv = ext == "csv", svg = ext == "svg", thr = ext == "thr";
    if (!csv && !svg && !thr && !PathMesh::formatForPath(file))
        return "Export writes .csv, .svg, .obj, .ply, .stl, .glb, .3mf or .thr files.";
    if (!doc_.root) return "There is no automaton to export.";
    // The paths are read, and computed first if an edit has just cleared
    // them, while the render thread stands still.
    bool paused = doc_.PauseIfRunning();
    if (!doc_.pathsUpToDate) frameUpdate(doc_);
    std::string error;
    if (csv) {
        AtomicFile target(file);
        if (target.open()) {
            PathCsv::write(doc_, [&target](std::string_view text) { target.write(text); });
            if (!target.commit()) error = target.error();
        } else {
            error = target.error();
        }
        if (!error.empty()) error = "The table " + file + " could not be written: " + error + ".";
    } else if (svg) {
        QSize size =
            ViewOpenGLmt::imageSizeFor(doc_.imageWidth, view_.clientWidth(), view_.clientHeight());
        CameraRig rig;
        rig.fovy = ViewOpenGLmt::kFovy;
        CameraSetup camera = rig.mono(frameSettingsOf(doc_).camera, size.width(), size.height());
        error = PathSvg::write(doc_, camera, doc_.cameraController.orientationMatrix(),
                               size.width(), size.height(), file);
    } else if (thr) {
        error = SandTrack::write(doc_, {}, file);
    } else {
        QStringList warnings;
        MeshOptions options = mesh;
        options.warning = [&warnings](const std::string& w) {
            warnings << QString::fromStdString(w);
        };
        error = PathMesh::write(doc_, file, options);
        if (error.empty() && !warnings.isEmpty() && tellWarning) tellWarning(warnings.join("\n"));
    }
    if (paused) doc_.RenderResume();
    return QString::fromStdString(error);
}

QString FileExports::exportPlotter(const QString& path, const PlotterOptions& options) {
    if (!doc_.root) return "There is no automaton to export.";
    bool paused = doc_.PauseIfRunning();
    if (!doc_.pathsUpToDate) frameUpdate(doc_);
    PlotterOptions o = options;
    if (o.view == PlotterOptions::View::Camera) {
        QSize size =
            ViewOpenGLmt::imageSizeFor(doc_.imageWidth, view_.clientWidth(), view_.clientHeight());
        CameraRig rig;
        rig.fovy = ViewOpenGLmt::kFovy;
        o.camera = rig.mono(frameSettingsOf(doc_).camera, size.width(), size.height());
        o.orientation = doc_.cameraController.orientationMatrix();
    }
    std::string error = PlotterSvg::write(doc_, o, path.toStdString());
    if (paused) doc_.RenderResume();
    return QString::fromStdString(error);
}
