// File › "Save movie..." and File › "Export...": movies of the automaton,
// and its point paths as a table, a drawing (through the camera or for pen
// plotters, as SVG or G-code), tube meshes for viewers and printers, or a
// sand-table track.
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
    // Size, tube radius and what shapes the type of the mesh file path
    // names; empty when cancelled.
    std::function<std::optional<ExportOptionValues>(const QString& path)> askMeshOptions;
    // Page, view, tolerance and scale of a drawing for plotters; empty when
    // cancelled.
    std::function<std::optional<ExportOptionValues>()> askPlotterOptions;
    // The same for G-code, with the pen's commands and speed.
    std::function<std::optional<ExportOptionValues>()> askGcodeOptions;
    // Point, tolerance and start of a sand-table track, the point preselected
    // from the selected sphere; empty when cancelled.
    std::function<std::optional<ExportOptionValues>()> askTrackOptions;
    // Show, after a file is written, its warnings (a tube too thin to
    // print) together with what was said of it, or what was said alone (the
    // tube radius used); neither waits for an answer.
    std::function<void(const QString&)> tellWarning;
    std::function<void(const QString&)> tellSaid;
    // Every file written, confirmed where the window says such things (its
    // status line): "Wrote x.obj." with what was said of it, and the
    // folder it went to, which the status line offers to open.
    std::function<void(const QString& text, const QString& folder)> tellWritten;

  private:
    QString suggestedName() const;
    // The picture size of "Save image" for this window's view.
    std::pair<int, int> imageSize() const;
    // Writes request from a copy of the document on a worker thread: the
    // window stays responsive, and once the work has taken half a second a
    // progress dialog (title, total steps or 0 when unknown) offers to
    // cancel it.
    QString write(const ExportRequest& request, ExportContext context, const QString& title,
                  int total = 0);
    // The largest dimension, in automaton units, that the tubes of the mesh
    // file path names are sized by (the paths computed first if they are
    // out of date).
    double modelExtent(const QString& path);

    Document& doc_;
    View3D& view_;
    QWidget* window_;
};
