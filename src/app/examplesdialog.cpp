// The examples dialog: a list of pictures and descriptions, pictures drawn
// in the background and cached.
#include "examplesdialog.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace {
// An example is a few kilobytes; anything far larger is not one of ours and
// is not read whole just to name its picture.
constexpr qint64 kLargestExample = 1 << 20;
}  // namespace

QString ExamplesDialog::examplesFolder() {
    const QString bin = QCoreApplication::applicationDirPath();
    QStringList candidates{bin + "/examples", bin + "/../share/rotundel/examples"};
#ifdef ROTUNDEL_EXAMPLES_DIR
    candidates.append(ROTUNDEL_EXAMPLES_DIR);
#endif
    for (const QString& c : candidates)
        if (!QDir(c).entryList({"*.one"}, QDir::Files).isEmpty()) return QDir(c).canonicalPath();
    return {};
}

QList<ExamplesDialog::Example> ExamplesDialog::listExamples(const QString& folder) {
    QDir dir(folder);
    QStringList files = dir.entryList({"*.one"}, QDir::Files, QDir::Name);
    QList<Example> out;
    auto add = [&](const QString& file, const QString& description) {
        if (!files.contains(file)) return;
        files.removeAll(file);
        out.append({dir.filePath(file), QFileInfo(file).completeBaseName(), description, {}});
    };
    // Table rows of the README: | `name.one` | what it shows |
    static const QRegularExpression row(R"(^\|\s*`([^`/]+\.one)`\s*\|\s*(.*?)\s*\|\s*$)");
    QFile readme(dir.filePath("README.md"));
    if (readme.size() < kLargestExample && readme.open(QIODevice::ReadOnly | QIODevice::Text)) {
        const QStringList lines = QString::fromUtf8(readme.readAll()).split('\n');
        for (const QString& line : lines)
            if (auto m = row.match(line); m.hasMatch())
                add(m.captured(1), m.captured(2).remove('`'));  // Markdown's code marks
    }
    for (const QString& file : QStringList(files)) add(file, QString());
    return out;
}

ExamplesDialog::ExamplesDialog(const QString& folder, const QString& renderProgram,
                               const QString& cacheFolder, QWidget* parent,
                               const QHash<QString, QString>& views)
    : QDialog(parent),
      examples_(listExamples(folder)),
      renderProgram_(renderProgram),
      cacheFolder_(cacheFolder) {
    for (Example& e : examples_) e.view = views.value(QFileInfo(e.path).fileName());
    setWindowTitle("Examples");
    auto* intro = intro_ =
        new QLabel(examples_.isEmpty() ? "No examples were found with this installation."
                                       : "Choose an example to open a copy of it.");
    list_ = new QListWidget;
    list_->setObjectName("examplesList");
    list_->setAccessibleName("Examples");
    list_->setIconSize(QSize(kThumbWidth, kThumbHeight));
    list_->setWordWrap(true);
    list_->setSpacing(2);
    list_->setMinimumSize(560, 420);
    intro->setBuddy(list_);

    QPixmap blank(kThumbWidth, kThumbHeight);
    blank.fill(Qt::white);
    for (int i = 0; i < examples_.size(); ++i) {
        const Example& e = examples_[i];
        QString text = e.name;
        if (!e.description.isEmpty()) text += "\n" + e.description;
        auto* item = new QListWidgetItem(text, list_);
        item->setToolTip(e.path);
        QString cached = cachePath(e);
        QPixmap picture;
        if (!cached.isEmpty() && picture.load(cached)) {
            item->setIcon(picture);
        } else {
            item->setIcon(blank);
            if (!cached.isEmpty()) queue_.append(i);
        }
    }
    if (list_->count() > 0) list_->setCurrentRow(0);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Open | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Open)->setEnabled(!examples_.isEmpty());
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QListWidget::itemActivated, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(list_, 1);
    layout->addWidget(buttons);
    resize(640, 600);

    if (!queue_.isEmpty()) QDir().mkpath(cacheFolder_);
    drawNext();
}

void ExamplesDialog::setIntro(const QString& text) {
    if (!examples_.isEmpty()) intro_->setText(text);
}

QString ExamplesDialog::intro() const {
    return intro_->text();
}

void ExamplesDialog::setListName(const QString& name) {
    list_->setAccessibleName(name);
}

ExamplesDialog::~ExamplesDialog() {
    if (process_) {
        process_->disconnect(this);
        process_->kill();
        process_->waitForFinished(2000);
    }
    if (!drawing_.isEmpty()) QFile::remove(drawing_);
}

QString ExamplesDialog::chosenPath() const {
    int row = list_->currentRow();
    if (result() != QDialog::Accepted || row < 0 || row >= examples_.size()) return {};
    return examples_[row].path;
}

QString ExamplesDialog::cachePath(const Example& e) const {
    QFile f(e.path);
    if (cacheFolder_.isEmpty() || f.size() > kLargestExample || !f.open(QIODevice::ReadOnly))
        return {};
    QByteArray hash = QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1).toHex();
    return QDir(cacheFolder_)
        .filePath(QFileInfo(e.path).completeBaseName() + "-" + QString::fromLatin1(hash.left(16)) +
                  (e.view.isEmpty() ? "" : "-" + e.view) + "-curves.png");
}

void ExamplesDialog::drawNext() {
    if (queue_.isEmpty() || process_ || renderProgram_.isEmpty()) return;
    const Example& e = examples_[queue_.first()];
    // Drawn under another name and renamed when complete, so that a picture
    // cut short never lands in the cache.
    drawing_ = cachePath(e) + ".part.png";
    process_ = std::make_unique<QProcess>();
    process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(process_.get(), &QProcess::finished, this,
            [this](int code, QProcess::ExitStatus status) {
                drawFinished(status == QProcess::NormalExit && code == 0, false);
            });
    connect(process_.get(), &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        // A program that cannot be started will not draw the others either.
        if (error == QProcess::FailedToStart) drawFinished(false, true);
    });
    // The curves alone: at this size the translucent spheres in front of
    // them would be most of the picture.
    QStringList arguments{"render",       e.path,
                          "-o",           drawing_,
                          "--width",      QString::number(kThumbWidth),
                          "--height",     QString::number(kThumbHeight),
                          "--curves-only"};
    if (!e.view.isEmpty()) arguments << "--view" << e.view;
    process_->start(renderProgram_, arguments);
}

void ExamplesDialog::drawFinished(bool ok, bool giveUp) {
    if (queue_.isEmpty()) return;
    int row = queue_.takeFirst();
    QString target = cachePath(examples_[row]);
    QPixmap picture;
    if (ok && picture.load(drawing_)) {
        QFile::remove(target);
        QFile::rename(drawing_, target);
        list_->item(row)->setIcon(picture);
    }
    QFile::remove(drawing_);
    drawing_.clear();
    // Deleted later: this runs inside the process's own signal.
    QProcess* done = process_.release();
    done->disconnect(this);
    done->deleteLater();
    if (giveUp) queue_.clear();
    drawNext();
}
