// File > "New random automaton" and Design > "By symmetry...": automata made
// to order, opened as untitled documents.
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFormLayout>
#include <QLabel>
#include <QRandomGenerator>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>

#include "chaindocument.h"
#include "mainwindow.h"
#include "application.h"
#include "curvedesign.h"
#include "examplesdialog.h"

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

}  // namespace

bool Application::onFileNewRandom(std::optional<quint64> seed) {
    const quint64 chosen = seed ? *seed : QRandomGenerator::global()->generate();
    QTemporaryDir folder;
    if (!folder.isValid()) {
        showError("No room for a temporary file.");
        return false;
    }
    const QString path = folder.filePath("random.one");
    std::string error = writeChainFile(randomChain(chosen), QFile::encodeName(path).toStdString());
    if (!error.empty()) {
        showError(QString::fromStdString(error));
        return false;
    }
    if (!openDocumentCopy(path)) return false;
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
    std::vector<ChainPlan> chains = symmetricChains(order, levels, kCandidates);
    if (chains.empty()) {
        showError(QString("No automaton of %1 levels with exactly %2-fold symmetry was found among "
                          "the simple ones.")
                      .arg(levels)
                      .arg(order));
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
    for (std::size_t i = 0; i < chains.size(); ++i) {
        QString name = QString("%1-fold %2").arg(order).arg(i + 1, 2, 10, QChar('0'));
        std::string error = writeChainFile(
            chains[i], QFile::encodeName(folder.filePath(name + ".one")).toStdString());
        if (!error.empty()) {
            showError(QString::fromStdString(error));
            return false;
        }
        table << "| `" << name << ".one` | " << QString::fromStdString(chains[i].describe())
              << " |\n";
    }
    readme.close();
    ExamplesDialog gallery(folder.path(), renderProgram, thumbnailCache, frame_.get());
    gallery.setWindowTitle(QString("Curves with %1-fold symmetry").arg(order));
    if (gallery.exec() != QDialog::Accepted || gallery.chosenPath().isEmpty()) return false;
    return openDocumentCopy(gallery.chosenPath());
}
