// Recent files, stored the way the settings have always held them.
#include "recentfilelist.h"

#include <QFileInfo>

namespace {
const char* const kGroup = "Recent File List";

// The same file reached through different spellings counts once.
QString canonical(const QString& path) {
    QFileInfo info(path);
    QString c = info.canonicalFilePath();
    return c.isEmpty() ? info.absoluteFilePath() : c;
}
}  // namespace

RecentFileList::RecentFileList(QSettings& settings) : settings_(settings) {
    settings_.beginGroup(kGroup);
    for (int i = 1; i <= kSize; ++i) {
        QString f = settings_.value(QString("File%1").arg(i)).toString();
        if (!f.isEmpty() && !files_.contains(f)) files_.append(f);
    }
    settings_.endGroup();
}

void RecentFileList::add(const QString& path) {
    QString c = canonical(path);
    files_.removeAll(c);
    files_.prepend(c);
    while (files_.size() > kSize) files_.removeLast();
    store();
}

void RecentFileList::remove(const QString& path) {
    files_.removeAll(path);
    files_.removeAll(canonical(path));
    store();
}

void RecentFileList::store() {
    settings_.beginGroup(kGroup);
    for (int i = 1; i <= kSize; ++i) {
        if (i <= files_.size())
            settings_.setValue(QString("File%1").arg(i), files_[i - 1]);
        else
            settings_.remove(QString("File%1").arg(i));
    }
    settings_.endGroup();
    settings_.sync();
}
