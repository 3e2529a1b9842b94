// Help > "Examples...": the example automata that come with the program,
// each with a picture and a line saying what it shows.
#pragma once

#include <QDialog>
#include <QHash>
#include <QList>
#include <QString>
#include <memory>

class QListWidget;
class QListWidgetItem;
class QProcess;

// UI thread only. Pictures are drawn once by the program's own render
// command in a separate process (so a slow or failing drawing never holds
// up the window) and kept in the cache folder, keyed by the file's
// contents, so a changed example gets a new picture.
class QLabel;

class ExamplesDialog : public QDialog {
    Q_OBJECT
  public:
    struct Example {
        QString path;
        QString name;         // the file's name without ".one"
        QString description;  // from the folder's README.md, or ""
        QString view;         // the render command's --view for its picture, or ""
    };
    static constexpr int kThumbWidth = 160;
    static constexpr int kThumbHeight = 120;

    // The installed examples (beside the program, or under its share
    // folder), else those of the source tree; "" when there are none.
    static QString examplesFolder();
    // The .one files of folder: those the README.md table describes in its
    // order, then the others by name.
    static QList<Example> listExamples(const QString& folder);

    // renderProgram: the rotundel executable that draws the pictures;
    // views: the view of the pictures of some files, by file name.
    ExamplesDialog(const QString& folder, const QString& renderProgram, const QString& cacheFolder,
                   QWidget* parent = nullptr, const QHash<QString, QString>& views = {});
    ~ExamplesDialog() override;

    // The example chosen when the dialog was accepted ("" otherwise).
    QString chosenPath() const;
    QListWidget* list() const { return list_; }
    // What the dialog says above its list, and the list's name: other
    // galleries (the design candidates) say what their entries are.
    void setIntro(const QString& text);
    void setListName(const QString& name);
    QString intro() const;
    // Pictures still to be drawn.
    int pendingThumbnails() const { return static_cast<int>(queue_.size()); }

  private:
    QString cachePath(const Example& e) const;
    void drawNext();
    void drawFinished(bool ok, bool giveUp);

    QList<Example> examples_;
    QString renderProgram_;
    QString cacheFolder_;
    QListWidget* list_;
    QLabel* intro_;
    QList<int> queue_;  // rows whose picture is being or still to be drawn
    std::unique_ptr<QProcess> process_;
    QString drawing_;  // the temporary picture of the running drawing
};
