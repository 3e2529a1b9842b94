// The File menu's list of the four files used last, kept in the settings
// under "Recent File List" as File1..File4, newest first.
#pragma once

#include <QSettings>
#include <QStringList>

class RecentFileList {
  public:
    static constexpr int kSize = 4;

    explicit RecentFileList(QSettings& settings);

    const QStringList& files() const { return files_; }
    // Moves path to the front (adding it if new) and stores the list.
    void add(const QString& path);
    // Drops path (a file that could not be opened) and stores the list.
    void remove(const QString& path);

  private:
    void store();

    QSettings& settings_;
    QStringList files_;
};
