// Movies and path exports from the window.
#include "fileexports.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPixmap>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "besidework.h"
#include "document.h"
#include "mainwindow.h"
#include "moviefile.h"
#include "pagekit.h"
#include "pathmesh.h"
#include "placement.h"
#include "plottersvg.h"
#include "relations.h"
#include "sandtrack.h"
#include "sphere.h"
#include "view3d.h"

namespace {
// Notes and warnings of an export, for one message box afterwards.
QString capitalised(std::string text) {
    if (!text.empty())
        text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return QString::fromStdString(text);
}

// How the export service begins a warning.
constexpr std::string_view kWarning = "warning: ";

// A length as the export service's options spell it: millimetres at the
// print size when the model has a size, automaton units otherwise.
std::string lengthText(double v, bool millimetres) {
    return QString::number(v, 'g', 10).toStdString() + (millimetres ? "mm" : "");
}

// The curves an export draws, as a list of checkable curves (every point
// traced as seen from the stationary sphere, all checked) and a box that
// leaves out the circles the spheres' centres trace; as the export service's
// --point and --no-centres. With no curve checked the dialog's OK is off.
class CurveChecks {
  public:
    CurveChecks(QFormLayout* form, Document& doc, QDialogButtonBox* buttons) : buttons_(buttons) {
        list_ = new QListWidget;
        list_->setAccessibleName("Curves to draw");
        forEachNeighbour(doc.stationarySphere, [&](Sphere& s, Sphere*) {
            // The stationary sphere's own points stand still: they trace
            // nothing, and a track or page of one would be refused.
            if (&s == doc.stationarySphere) return;
            for (std::size_t i = 0; i < s.points.size(); ++i) {
                const bool centre = s.points[i].quantumDistance == 0;
                auto* item = new QListWidgetItem(QString("%1, point %2%3")
                                                     .arg(sphereName(s))
                                                     .arg(i)
                                                     .arg(centre ? " (centre)" : ""),
                                                 list_);
                item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
                item->setCheckState(Qt::Checked);
                item->setData(Qt::UserRole,
                              QString::fromStdString(s.name + ":" + std::to_string(i)));
                item->setData(Qt::UserRole + 1, centre);
            }
        });
        list_->setMaximumHeight(list_->sizeHintForRow(0) * std::min(list_->count(), 8) + 8);
        label_ = new QLabel("Dra&wn curves:");
        label_->setBuddy(list_);
        form->addRow(label_, list_);
        noCentres_ = new QCheckBox("Leave out the sphere &centres' circles");
        form->addRow(noCentres_);
        QObject::connect(noCentres_, &QCheckBox::toggled, list_, [this](bool on) {
            for (int i = 0; i < list_->count(); ++i)
                if (list_->item(i)->data(Qt::UserRole + 1).toBool())
                    list_->item(i)->setCheckState(on ? Qt::Unchecked : Qt::Checked);
        });
        QObject::connect(list_, &QListWidget::itemChanged, list_, [this] { refresh(); });
    }
    // Whether the whole choice is on (a track may follow its own point).
    void setEnabled(bool on) {
        list_->setEnabled(on);
        label_->setEnabled(on);
        noCentres_->setEnabled(on);
        refresh();
    }
    std::vector<std::string> checked() const {
        std::vector<std::string> out;
        for (int i = 0; i < list_->count(); ++i)
            if (list_->item(i)->checkState() == Qt::Checked)
                out.push_back(list_->item(i)->data(Qt::UserRole).toString().toStdString());
        return out;
    }
    // Only the curve named "B:0" checked (when the list has it).
    bool checkOnly(const std::string& name) {
        bool has = false;
        for (int i = 0; i < list_->count(); ++i)
            has = has || list_->item(i)->data(Qt::UserRole).toString().toStdString() == name;
        if (!has) return false;
        for (int i = 0; i < list_->count(); ++i)
            list_->item(i)->setCheckState(
                list_->item(i)->data(Qt::UserRole).toString().toStdString() == name
                    ? Qt::Checked
                    : Qt::Unchecked);
        return true;
    }
    // The options: none while every curve is checked.
    ExportOptionValues options() const {
        ExportOptionValues o;
        const auto on = checked();
        if (static_cast<int>(on.size()) == list_->count()) return o;
        bool onlyCentresOff = noCentres_->isChecked();
        for (int i = 0; i < list_->count(); ++i) {
            const bool centre = list_->item(i)->data(Qt::UserRole + 1).toBool();
            const bool isOn = list_->item(i)->checkState() == Qt::Checked;
            onlyCentresOff = onlyCentresOff && isOn != centre;
        }
        if (onlyCentresOff) {
            o.emplace_back("no-centres", "");
            return o;
        }
        std::string text;
        for (const std::string& p : on) text += (text.empty() ? "" : ",") + p;
        o.emplace_back("point", text);
        return o;
    }

  private:
    void refresh() {
        if (QPushButton* ok = buttons_->button(QDialogButtonBox::Ok))
            ok->setEnabled(!list_->isEnabled() || !checked().empty());
    }
    QListWidget* list_ = nullptr;
    QLabel* label_ = nullptr;
    QCheckBox* noCentres_ = nullptr;
    QDialogButtonBox* buttons_ = nullptr;
};

// Size, tube radius, and what shapes this path's type of mesh (a solid's
// cell, a 3MF file's one part, a viewer's sides), as the export service's
// options. Radius and cell are automatic unless given; either way the
// dialog shows what the export will use and warn of, by the service's own
// rules for a model whose largest dimension is extent (automaton units).
std::optional<ExportOptionValues> meshOptionsDialog(QWidget* parent, Document& doc,
                                                    const QString& path, double extent) {
    const std::string output = path.toStdString();
    auto shapes = [&](const char* option) { return Exporter::applies(option, {output, {}}); };
    QDialog dialog(parent);
    dialog.setWindowTitle(QString("Tubes of %1").arg(QFileInfo(path).fileName()));
    auto* form = new QFormLayout(&dialog);
    auto* sized = new QCheckBox("Scale to a &largest dimension of");
    auto* size = new QDoubleSpinBox;
    size->setRange(1, 100000);
    size->setValue(100);
    size->setSuffix(" mm");
    size->setEnabled(false);
    size->setAccessibleName("Largest dimension in millimetres");
    form->addRow(sized, size);
    // Unchecked, the radius and cell boxes show the automatic values.
    auto* givenRadius = new QCheckBox("Tube &radius of");
    auto* radius = new QDoubleSpinBox;
    radius->setRange(0.0001, 100000);
    radius->setDecimals(4);
    radius->setEnabled(false);
    form->addRow(givenRadius, radius);
    auto* used = new QLabel;
    used->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    auto* usedLabel = new QLabel("Radius &used:");
    usedLabel->setBuddy(used);
    form->addRow(usedLabel, used);
    auto* warning = new QLabel;
    warning->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    warning->setAccessibleName("Warning");
    form->addRow(warning);
    QCheckBox* givenCell = nullptr;
    QDoubleSpinBox* cell = nullptr;
    if (shapes("resolution")) {
        givenCell = new QCheckBox("Solid's cell (r&esolution) of");
        cell = new QDoubleSpinBox;
        cell->setRange(0.0001, 100000);
        cell->setDecimals(4);
        cell->setEnabled(false);
        form->addRow(givenCell, cell);
    }
    QCheckBox* unite = nullptr;
    if (shapes("union")) {
        unite = new QCheckBox("&Fuse all curves into one part");
        form->addRow(unite);
    }
    // A solid has no sides.
    QSpinBox* sides = nullptr;
    if (!cell) {
        sides = new QSpinBox;
        sides->setRange(3, PathMesh::kMostSides);
        sides->setValue(7);
        auto* sidesLabel = new QLabel("&Sides of each tube:");
        sidesLabel->setBuddy(sides);
        form->addRow(sidesLabel, sides);
    }
    auto* orient = new QComboBox;
    orient->addItems({"Axis up, lying on the bed", "As the automaton stands"});
    auto* orientLabel = new QLabel("&Orientation:");
    orientLabel->setBuddy(orient);
    form->addRow(orientLabel, orient);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    CurveChecks curves(form, doc, buttons);
    form->addRow(buttons);

    // The choices, lengths in millimetres or automaton units.
    auto choices = [&](bool millimetres) {
        ExportOptionValues o;
        if (sized->isChecked()) o.emplace_back("size", lengthText(size->value(), true));
        if (givenRadius->isChecked())
            o.emplace_back("tube-radius", lengthText(radius->value(), millimetres));
        if (givenCell && givenCell->isChecked())
            o.emplace_back("resolution", lengthText(cell->value(), millimetres));
        if (unite && unite->isChecked()) o.emplace_back("union", "");
        if (sides) o.emplace_back("sides", std::to_string(sides->value()));
        if (orient->currentIndex() == 1) o.emplace_back("orient", "document");
        return o;
    };
    TubePreview shown;
    bool refreshing = false;
    auto refresh = [&] {
        if (refreshing) return;
        refreshing = true;
        const bool mm = sized->isChecked();
        const QString unit = mm ? " mm" : " units";
        const QString at = mm ? " in millimetres at the print size" : " in automaton units";
        radius->setSuffix(unit);
        radius->setAccessibleName("Tube radius" + at);
        if (cell) {
            cell->setSuffix(unit);
            cell->setAccessibleName("Cell of the solid" + at);
        }
        shown = Exporter::previewTubes(doc, {output, choices(mm)}, extent);
        QStringList warnings;
        if (shown.error.empty()) {
            if (!givenRadius->isChecked()) radius->setValue(shown.radius);
            if (cell && !givenCell->isChecked()) cell->setValue(shown.resolution);
            used->setText(capitalised(shown.messages.front()));
            for (std::size_t i = 1; i < shown.messages.size(); ++i)
                warnings << capitalised(shown.messages[i].substr(kWarning.size()));
        } else {
            used->clear();
            warnings << capitalised(shown.error);
        }
        warning->setText(warnings.join("\n"));
        warning->setVisible(!warnings.isEmpty());
        refreshing = false;
    };
    // A given radius or cell keeps its length across a change of units.
    QObject::connect(sized, &QCheckBox::toggled, &dialog, [&](bool on) {
        size->setEnabled(on);
        if (shown.error.empty() && (givenRadius->isChecked() || (cell && givenCell->isChecked()))) {
            const TubePreview next =
                on ? Exporter::previewTubes(doc, {output, choices(false)}, extent) : shown;
            const double toNew = on ? next.scale : 1 / shown.scale;
            if (next.error.empty()) {
                const QSignalBlocker quiet(radius), quietCell(cell);
                if (givenRadius->isChecked())
                    radius->setValue(on ? next.radius : shown.automatonRadius);
                if (cell && givenCell->isChecked()) cell->setValue(cell->value() * toNew);
            }
        }
        refresh();
    });
    QObject::connect(givenRadius, &QCheckBox::toggled, radius, &QWidget::setEnabled);
    QObject::connect(givenRadius, &QCheckBox::toggled, &dialog, refresh);
    QObject::connect(radius, &QDoubleSpinBox::valueChanged, &dialog, refresh);
    QObject::connect(size, &QDoubleSpinBox::valueChanged, &dialog, refresh);
    if (cell) {
        QObject::connect(givenCell, &QCheckBox::toggled, cell, &QWidget::setEnabled);
        QObject::connect(givenCell, &QCheckBox::toggled, &dialog, refresh);
        QObject::connect(cell, &QDoubleSpinBox::valueChanged, &dialog, refresh);
    }
    refresh();
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    ExportOptionValues o = choices(sized->isChecked());
    for (auto& c : curves.options()) o.push_back(std::move(c));
    return o;
}

// Page, view, tolerance and scale of a drawing for pen plotters, and for
// G-code the pen's commands and speed.
std::optional<ExportOptionValues> plotterOptionsDialog(QWidget* parent, Document& doc, bool gcode) {
    QDialog dialog(parent);
    dialog.setWindowTitle(gcode ? "G-code for plotters" : "SVG for plotters");
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
    auto* scaled = new QCheckBox("Fixed &scale of");
    auto* scale = new QDoubleSpinBox;
    scale->setDecimals(3);
    scale->setRange(0.001, 100000);
    scale->setValue(20);
    scale->setSuffix(" mm per unit");
    scale->setEnabled(false);
    scale->setAccessibleName("Millimetres per automaton unit");
    QObject::connect(scaled, &QCheckBox::toggled, scale, &QWidget::setEnabled);
    QLineEdit *penUp = nullptr, *penDown = nullptr, *penChange = nullptr;
    QDoubleSpinBox* feed = nullptr;
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(pageLabel, page);
    form->addRow(landscape);
    form->addRow(marginLabel, margin);
    form->addRow(viewLabel, view);
    form->addRow(toleranceLabel, tolerance);
    form->addRow(scaled, scale);
    if (gcode) {
        auto line = [form](QLineEdit* edit, const char* label) {
            auto* l = new QLabel(label);
            l->setBuddy(edit);
            form->addRow(l, edit);
            return edit;
        };
        penUp = line(new QLineEdit("G0 Z5"), "Pen &up:");
        penDown = line(new QLineEdit("G1 Z0"), "Pen &down:");
        feed = new QDoubleSpinBox;
        feed->setRange(1, 1e6);
        feed->setDecimals(0);
        feed->setValue(3000);
        feed->setSuffix(" mm/min");
        auto* feedLabel = new QLabel("&Feed:");
        feedLabel->setBuddy(feed);
        form->addRow(feedLabel, feed);
        penChange = line(new QLineEdit, "Pen c&hange:");
        penChange->setPlaceholderText("none: one file per layer");
    }
    CurveChecks curves(form, doc, buttons);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    static const char* const kViews[] = {"top", "front", "side", "camera"};
    auto number = [](double v) { return QString::number(v, 'g', 10).toStdString(); };
    ExportOptionValues o = {{"plotter", ""},
                            {"page", page->currentText().toLower().toStdString()},
                            {"margin", number(margin->value()) + "mm"},
                            {"view", kViews[std::clamp(view->currentIndex(), 0, 3)]},
                            {"tolerance", number(tolerance->value()) + "mm"}};
    if (landscape->isChecked()) o.emplace_back("landscape", "");
    if (scaled->isChecked()) o.emplace_back("scale", number(scale->value()) + "mm");
    if (gcode) {
        o.emplace_back("pen-up", penUp->text().toStdString());
        o.emplace_back("pen-down", penDown->text().toStdString());
        o.emplace_back("feed", number(feed->value()));
        if (!penChange->text().isEmpty())
            o.emplace_back("pen-change", penChange->text().toStdString());
    }
    for (auto& c : curves.options()) o.push_back(std::move(c));
    return o;
}

// Points, tolerance and start of a sand-table track: by default the point
// with the most lobes, or the curves checked in turn; the selected sphere's
// first point is offered first, as the window's track follows what the user
// is looking at.
std::optional<ExportOptionValues> trackOptionsDialog(QWidget* parent, Document& doc) {
    QDialog dialog(parent);
    dialog.setWindowTitle("Sand-table track");
    auto* form = new QFormLayout(&dialog);
    auto* mostLobes = new QCheckBox("Follow the point with the most &lobes that is not a circle");
    mostLobes->setChecked(true);
    form->addRow(mostLobes);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    CurveChecks curves(form, doc, buttons);
    if (doc.selectedSphere && curves.checkOnly(doc.selectedSphere->name + ":0"))
        mostLobes->setChecked(false);
    curves.setEnabled(!mostLobes->isChecked());
    QObject::connect(mostLobes, &QCheckBox::toggled, &dialog,
                     [&curves](bool on) { curves.setEnabled(!on); });
    auto* tolerance = new QDoubleSpinBox;
    tolerance->setDecimals(6);
    tolerance->setRange(SandTrack::kFinestTolerance, 0.1);
    tolerance->setSingleStep(0.0001);
    tolerance->setValue(0.0002);
    tolerance->setSuffix(" table radii");
    auto* toleranceLabel = new QLabel("&Tolerance:");
    toleranceLabel->setBuddy(tolerance);
    auto* start = new QComboBox;
    start->addItems({"Whichever is nearer the curve", "The centre", "The rim"});
    auto* startLabel = new QLabel("&Begin and end at:");
    startLabel->setBuddy(start);
    auto options = [&] {
        ExportOptionValues o;
        if (!mostLobes->isChecked()) {
            // Every curve checked is followed, all of them too.
            std::string text;
            for (const std::string& p : curves.checked()) text += (text.empty() ? "" : ",") + p;
            if (!text.empty()) o.emplace_back("point", text);
        }
        o.emplace_back("tolerance", QString::number(tolerance->value(), 'g', 10).toStdString());
        if (start->currentIndex() > 0)
            o.emplace_back("start", start->currentIndex() == 1 ? "centre" : "rim");
        return o;
    };
    // What the table will draw, as the command line's --preview pictures
    // it: the track written beside the window, in a folder of its own.
    auto* picture = new QLabel;
    picture->setObjectName("trackPreview");
    picture->setAlignment(Qt::AlignCenter);
    picture->setMinimumSize(240, 240);
    picture->setAccessibleName("Preview of the track");
    picture->setText("Preview shows what the table will draw.");
    picture->setWordWrap(true);
    auto* preview = new QPushButton("&Preview");
    preview->setObjectName("showTrackPreview");
    preview->setToolTip("Draws the track as the table will, with these settings");
    QObject::connect(preview, &QPushButton::clicked, &dialog, [&] {
        QTemporaryDir folder;
        std::unique_ptr<Document> copy = doc.workCopy();
        if (!folder.isValid() || !copy) return;
        ExportRequest request;
        request.output = folder.filePath("track.thr").toStdString();
        request.options = options();
        const std::string png = folder.filePath("track.png").toStdString();
        request.set("preview", png);
        ExportResult result;
        BesideWork beside;
        beside.title = "Track preview";
        beside.run(&dialog, [&] {
            if (!copy->pathsUpToDate) frameUpdate(*copy);
            result = Exporter::write(*copy, request, {});
        });
        const QPixmap drawn(QString::fromStdString(png));
        if (result.ok && !drawn.isNull())
            picture->setPixmap(
                drawn.scaled(240, 240, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        else
            picture->setText(capitalised(result.error));
    });
    form->addRow(toleranceLabel, tolerance);
    form->addRow(startLabel, start);
    form->addRow(preview, picture);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return std::optional(options());
}

}  // namespace

FileExports::FileExports(Document& doc, View3D& view, QWidget* window)
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
        dialog.selectFile(suggestedName());
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().first();
    };
    askMeshOptions = [this](const QString& path) {
        return meshOptionsDialog(window_, doc_, path, modelExtent(path));
    };
    askPlotterOptions = [this] { return plotterOptionsDialog(window_, doc_, false); };
    askGcodeOptions = [this] { return plotterOptionsDialog(window_, doc_, true); };
    askTrackOptions = [this] { return trackOptionsDialog(window_, doc_); };
    auto tell = [this](QMessageBox::Icon icon) {
        return [this, icon](const QString& text) {
            auto* box = new QMessageBox(icon, "Rotundel", text, QMessageBox::Ok, window_);
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->open();
        };
    };
    tellWarning = tell(QMessageBox::Warning);
    // What is said without a warning goes to the status line with the
    // confirmation (tellWritten), which needs no answer.
    tellWritten = [this](const QString& text, const QString& folder) {
        if (auto* main = qobject_cast<MainWindow*>(window_)) main->showWritten(text, folder);
    };
    askExportPath = [this] {
        const QString plotter = "SVG for plotters (*.svg)";
        QStringList filters{"CSV table of the samples (*.csv)",
                            "SVG drawing through the camera (*.svg)", plotter};
        for (const auto& f : PathMesh::formats())
            filters << QString("%1 (*%2)").arg(f.description, f.extension);
        filters << "Sand-table track, theta and rho (*.thr)"
                << "G-code for pen plotters (*.gcode)"
                << "Web page to turn and roll (*.html)";
        QFileDialog dialog(window_, "Export", QString(), "");
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilters(filters);
        dialog.setDefaultSuffix("csv");
        connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
            dialog.setDefaultSuffix(filter.section("*.", 1, 1).section(')', 0, 0));
        });
        dialog.selectFile(suggestedName());
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        exportForPlotter = dialog.selectedNameFilter() == plotter;
        return dialog.selectedFiles().first();
    };
}

void FileExports::onSaveMovie() {
    QString path = askMoviePath();
    if (path.isEmpty()) return;
    QString error = saveMovie(path);
    if (!error.isEmpty()) QMessageBox::warning(window_, "Rotundel", error);
}

QString FileExports::suggestedName() const {
    QString path = documentPath ? documentPath() : QString();
    return path.isEmpty() ? QString("Automaton") : QFileInfo(path).completeBaseName();
}

std::pair<int, int> FileExports::imageSize() const {
    QSize size = View3D::imageSizeFor(doc_.imageWidth, view_.clientWidth(), view_.clientHeight());
    return {size.width(), size.height()};
}

QString FileExports::write(const ExportRequest& request, ExportContext context,
                           const QString& title, int total) {
    std::uint64_t version = ~std::uint64_t{0};
    view_.documentFolder(&context.documentFolder, &version);
    std::tie(context.viewWidth, context.viewHeight) = imageSize();
    if (QString path = documentPath ? documentPath() : QString(); !path.isEmpty()) {
        context.inputName = QFile::encodeName(QFileInfo(path).fileName()).toStdString();
        context.documentPath = QFile::encodeName(path).toStdString();
    }
    std::unique_ptr<Document> copy = doc_.workCopy();
    if (!copy) return QString::fromStdString(Document::kRestoreFailed);
    // What the command line writes on its standard error, notes aside: a
    // mesh's tube radius, then any warnings. Told on the worker thread, read
    // here once it is done.
    const bool mesh = Exporter::kindOf(request) == ExportKind::Mesh;
    QStringList said, warnings, notes;
    context.tell = [&](const std::string& m) {
        if (m.rfind(kWarning, 0) == 0)
            warnings << capitalised(m.substr(kWarning.size()));
        else if (m.rfind("note: ", 0) == 0)
            notes << capitalised(m.substr(6));
        else if (mesh)
            said << capitalised(m);
    };
    BesideWork beside;
    beside.title = title;
    beside.total = total;
    context.cancel = &beside.cancelled;
    context.progress = [&beside](int n, int) { beside.done = n; };
    ExportResult result;
    beside.run(window_, [&] {
        if (!copy->pathsUpToDate) {
            frameUpdate(*copy);
            copy->pathsComputed();
        }
        result = Exporter::write(*copy, request, context);
    });
    if (result.ok && !warnings.isEmpty() && tellWarning)
        tellWarning((said + warnings).join("\n"));
    else if (result.ok && !said.isEmpty() && tellSaid)
        tellSaid(said.join("\n"));
    if (result.ok && tellWritten) {
        const QFileInfo file(QString::fromStdString(request.output));
        QStringList told{QString("Wrote %1.").arg(file.fileName())};
        for (const QString& line : said + notes + warnings)
            told << (line.endsWith('.') ? line : line + ".");
        tellWritten(told.join(" "), file.absolutePath());
    }
    if (result.ok || result.cancelled) return {};
    return capitalised(result.error);
}

QString FileExports::saveMovie(const QString& path) {
    if (!doc_.root) return "There is no automaton to film.";
    ExportRequest request;
    request.output = path.toStdString();
    if (std::string why = Exporter::check(request, Exporter::Command::Movie); !why.empty())
        return capitalised(why);
    const auto [width, height] = imageSize();
    request.set("frames", std::to_string(std::max(1, doc_.movieFrameCount)))
        .set("width", std::to_string(width))
        .set("height", std::to_string(height));
    if (view_.rolling().active()) request.set("rolling");
    if (doc_.curvesOnly) request.set("curves-only");
    const int frames = std::max(1, doc_.movieFrameCount);

    ExportContext context;
    context.faintRest = view_.rolling().faintRest();
    context.pathsReady = true;
    return write(request, context, "Save movie", frames);
}

void FileExports::onExport() {
    exportForPlotter = false;
    QString path = askExportPath();
    if (path.isEmpty()) return;
    const QString ext = QFileInfo(path).suffix().toLower();
    const std::function<std::optional<ExportOptionValues>()>* ask = nullptr;
    if (exportForPlotter && ext == "svg")
        ask = &askPlotterOptions;
    else if (ext == "gcode")
        ask = &askGcodeOptions;
    else if (ext == "thr")
        ask = &askTrackOptions;
    ExportOptionValues options;
    std::optional<ExportOptionValues> chosen{options};
    if (ask && *ask)
        chosen = (*ask)();
    else if (!ask && askMeshOptions && PathMesh::formatForPath(path.toStdString()))
        chosen = askMeshOptions(path);
    if (!chosen) return;
    options = *chosen;
    QString error = exportPaths(path, options);
    if (!error.isEmpty()) QMessageBox::warning(window_, "Rotundel", error);
}

double FileExports::modelExtent(const QString& path) {
    if (!doc_.root) return 0;
    // A viewer's tubes are built to be measured: a moment on long paths.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (!doc_.pathsUpToDate) frameUpdate(doc_);
    const double extent = PathMesh::extent(doc_, path.toStdString());
    QApplication::restoreOverrideCursor();
    return extent;
}

QString FileExports::exportPaths(const QString& path, const ExportOptionValues& options) {
    ExportRequest request;
    request.output = path.toStdString();
    request.options = options;
    if (std::string why = Exporter::check(request, Exporter::Command::Export); !why.empty())
        return capitalised(why);
    if (!doc_.root) return "There is no automaton to export.";
    ExportContext context;
    context.pathsReady = true;
    return write(request, context, "Export");
}
