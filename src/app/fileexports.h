// File › "Save movie..." and File › "Export...": movies of the automaton,
// and its point paths as a table, a drawing (through the camera or for pen
// plotters), tube meshes for viewers and printers, or a sand-table track.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

#include "exporter.h"

class Document;
class View3D;
class QWidget;

// UI thread only.
class FileExports : public QObject {
    Q_OBJECT
  public:
    FileExports(Document& doc, View3D& view, QWidget* window);

    // Asks for a file (or folder) name and records the movie with a
    // progress dialog that can cancel it. The rolling animation's period
    // when the Animate menu has it running or paused, otherwise the
    // dynamic animation (axes turning, camera orbiting).
    void onSaveMovie();
    // Records into path; "" on success or when cancelled, otherwise the
    // reason.
    QString saveMovie(const QString& path);

    // Asks for a file name and writes the point paths in the format its
    // extension names, through the export service the command line uses.
    void onExport();
    // Writes path with the export service's options (as the command line
    // spells them); "" on success, otherwise the reason.
    QString exportPaths(const QString& path, const ExportOptionValues& options = {});

    // The document's file, for the names the dialogs suggest and messages
    // ("" while it has none).
    std::function<QString()> documentPath;

    // Where file dialogs are answered; tests replace these.
    std::function<QString()> askMoviePath;
    std::function<QString()> askExportPath;
    // Set by askExportPath: an .svg name is a drawing for plotters.
    bool exportForPlotter = false;
    // The tube radius and sides of a mesh file; empty when cancelled.
    std::function<std::optional<ExportOptionValues>()> askMeshOptions;
    // Page, view and tolerance of a drawing for plotters; empty when cancelled.
    std::function<std::optional<ExportOptionValues>()> askPlotterOptions;
    // Shows what a written mesh should be checked for (a tube that crosses
    // itself); does not wait for an answer.
    std::function<void(const QString&)> tellWarning;

  private:
    QString suggestedName() const;
    // The picture size of "Save image" for this window's view.
    std::pair<int, int> imageSize() const;
    QString write(const ExportRequest& request, ExportContext context);

    Document& doc_;
    View3D& view_;
    QWidget* window_;
};
