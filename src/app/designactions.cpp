// File > "New random automaton" and Design > "By symmetry...": automata made
// to order, opened as untitled documents.
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHash>
#include <QLabel>
#include <QRandomGenerator>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>

#include "application.h"
#include "besidework.h"
#include "chaindocument.h"
#include "curvedesign.h"
#include "curveinvariants.h"
#include "examplesdialog.h"
#include "exporter.h"
#include "mainwindow.h"
#include "passstop.h"
#include "placement.h"

namespace {

// Asks for the order and the number of levels; false when cancelled.
bool askSymmetry(QWidget* parent, int* order, int* levels) {
    QDialog d(parent);
    d.setWindowTitle("Design by symmetry");
    auto* orderBox = new QSpinBox;
    orderBox->setObjectName("designOrder");
    orderBox->setRange(2, 24);
    orderBox->setValue(*order);
    auto* levelsBox = new QSpinBox;
    levelsBox->setObjectName("designLevels");
    levelsBox->setRange(2, 4);
    levelsBox->setValue(*levels);
    auto* form = new QFormLayout(&d);
    form->addRow(new QLabel("Curves whose shape repeats exactly this many times around the axis."));
    form->addRow("&Symmetry (fold):", orderBox);
    form->addRow("&Levels (spheres in the chain):", levelsBox);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &d, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &d, &QDialog::reject);
    form->addRow(buttons);
    if (d.exec() != QDialog::Accepted) return false;
    *order = orderBox->value();
    *levels = levelsBox->value();
    return true;
}

// A candidate as the gallery lists it: its curve's symmetry and lobes, then
// its spheres (radius, inside or out, rate) from the root down.
QString candidateText(const ChainPlan& plan, int order) {
    ChainAutomaton a(plan);
    reset(a);
    frameUpdate(a);
    const std::vector<CurveInvariants> curves = curveInvariants(a);
    QString shape = QString("%1-fold rotational symmetry").arg(order);
    // The traced point (point 0 of each sphere is its centre).
    for (const CurveInvariants& c : curves)
        if (c.point > 0) {
            if (c.mirror) shape += ", mirrors";
            shape += QString(", %1 %2").arg(c.lobes).arg(c.lobes == 1 ? "lobe" : "lobes");
            if (!c.knot.empty()) shape += ", " + QString::fromStdString(c.knot);
            break;
        }
    if (!plan.flat()) shape += ", leaves the plane";
    return shape + "; spheres " + QString::fromStdString(plan.describe());
}

}  // namespace

void Application::showDesignView(const ChainPlan& plan) {
    // A flat design's symmetry shows best down its axis; a tilted one keeps
    // the usual slanted view, which shows its depth.
    if (plan.flat())
        if (auto top = Exporter::viewOrientation("top")) doc_->turnView(*top);
}

bool Application::newRandomFile(std::optional<quint64> seed) {
    const quint64 chosen = seed ? *seed : QRandomGenerator::global()->generate();
    QTemporaryDir folder;
    if (!folder.isValid()) {
        showError("No room for a temporary file.");
        return false;
    }
    const QString path = folder.filePath("random.one");
    const ChainPlan plan = randomChain(chosen);
    std::string error = writeChainFile(plan, QFile::encodeName(path).toStdString());
    if (!error.empty()) {
        showError(QString::fromStdString(error));
        return false;
    }
    if (!openDocumentCopy(path)) return false;
    showDesignView(plan);
    // The seed goes into the name, so the user can note it and make the
    // same automaton again.
    untitledName_ = QString("Random %1").arg(chosen);
    updateTitle();
    return true;
}

bool Application::onDesignBySymmetry() {
    static int order = 5, levels = 3;
    if (!askSymmetry(frame_.get(), &order, &levels)) return false;
    constexpr int kCandidates = 12;
    constexpr int kSearchSeconds = 20;
    bool late = false;
    std::vector<ChainPlan> chains;
    std::vector<QString> texts;
    {
        // The search is quick for most orders; the deep chains of high
        // orders take seconds, which the window waits out answering the
        // user, with a way to stop the search early.
        BesideWork beside;
        beside.title = "Design search";
        beside.run(frame_.get(), [&] {
            StopScope stop(&beside.cancelled);
            try {
                chains = symmetricChains(order, levels, kCandidates, kSearchSeconds, &late);
                // The gallery's descriptions measure each candidate's curve:
                // part of the work the window does not wait for.
                for (const ChainPlan& plan : chains) texts.push_back(candidateText(plan, order));
            } catch (const PassStopped&) {
            }
        });
        // Cancelled: the user no longer wants candidates.
        if (beside.cancelled || texts.size() != chains.size()) return false;
    }
    if (chains.empty()) {
        showError(QString("No automaton of %1 levels with exactly %2-fold symmetry was found in "
                          "%3 s of search.")
                      .arg(levels)
                      .arg(order)
                      .arg(kSearchSeconds));
        return false;
    }
    QTemporaryDir folder;
    if (!folder.isValid()) {
        showError("No room for temporary files.");
        return false;
    }
    // The gallery reads its descriptions from a README table, as for the
    // examples.
    QFile readme(folder.filePath("README.md"));
    if (!readme.open(QIODevice::WriteOnly | QIODevice::Text)) {
        showError("No room for temporary files.");
        return false;
    }
    QTextStream table(&readme);
    QHash<QString, QString> views;
    for (std::size_t i = 0; i < chains.size(); ++i) {
        QString name = QString("%1-fold %2").arg(order).arg(i + 1, 2, 10, QChar('0'));
        if (chains[i].flat()) views.insert(name + ".one", "top");
        std::string error = writeChainFile(
            chains[i], QFile::encodeName(folder.filePath(name + ".one")).toStdString());
        if (!error.empty()) {
            showError(QString::fromStdString(error));
            return false;
        }
        table << "| `" << name << ".one` | " << texts[i] << " |\n";
    }
    readme.close();
    ExamplesDialog gallery(folder.path(), renderProgram, thumbnailCache, frame_.get(), views);
    gallery.setWindowTitle(QString("Design candidates with %1-fold symmetry").arg(order));
    gallery.setIntro(
        QString("Automata whose traced curve repeats exactly %1 times around its axis, "
                "simplest first. Choose a candidate to open a copy of it.%2")
            .arg(order)
            .arg(late ? QString(" The search stopped after %1 s with these %2.")
                            .arg(kSearchSeconds)
                            .arg(chains.size())
                      : QString()));
    gallery.setListName("Design candidates");
    if (gallery.exec() != QDialog::Accepted || gallery.chosenPath().isEmpty()) return false;
    const QString chosen = gallery.chosenPath();
    if (!openDocumentCopy(chosen)) return false;
    for (std::size_t i = 0; i < chains.size(); ++i)
        if (QFileInfo(chosen).completeBaseName() ==
            QString("%1-fold %2").arg(order).arg(i + 1, 2, 10, QChar('0')))
            showDesignView(chains[i]);
    return true;
}
