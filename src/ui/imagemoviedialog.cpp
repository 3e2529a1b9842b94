// The image size and movie frames dialog. Frames are checked first, then the
// width; a bad entry keeps the dialog open with the field selected.
#include "imagemoviedialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QMessageBox>

ImageMovieDialog::ImageMovieDialog(int imageWidth, int movieFrames, QWidget* parent)
    : QDialog(parent), width_(imageWidth), frames_(movieFrames) {
    setWindowTitle(" Set image size and movie frames");
    auto* form = new QFormLayout;
    widthEdit_ = new QLineEdit(QString::number(imageWidth));
    framesEdit_ = new QLineEdit(QString::number(movieFrames));
    widthEdit_->setObjectName("movieWidth");
    framesEdit_->setObjectName("movieFrames");
    // Room for a few digits, no more: the ranges end at four.
    widthEdit_->setMaxLength(12);
    framesEdit_->setMaxLength(12);
    form->addRow("Movie width: ", widthEdit_);
    form->addRow("Movie frames: ", framesEdit_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &ImageMovieDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ImageMovieDialog::reject);
    form->addRow(buttons);
    setLayout(form);
}

QString ImageMovieDialog::validate(const QString& field, const QString& text, int low, int high,
                                   int* value) {
    bool ok = false;
    // Surrounding blanks are tolerated, as a numeric edit field does.
    qlonglong v = text.trimmed().toLongLong(&ok);
    if (!ok) return field + " must be an integer.";
    if (v < low || v > high)
        return QString("%1 must be an integer between %2 and %3.").arg(field).arg(low).arg(high);
    *value = static_cast<int>(v);
    return {};
}

bool ImageMovieDialog::check(const QString& field, QLineEdit* edit, int low, int high, int* value) {
    QString message = validate(field, edit->text(), low, high, value);
    if (message.isEmpty()) return true;
    emit rejectedEntry(message);
    if (showMessages_) QMessageBox::warning(this, "Rotundel", message);
    edit->setFocus();
    edit->selectAll();
    return false;
}

void ImageMovieDialog::accept() {
    int frames = 0, width = 0;
    if (!check("Frames", framesEdit_, kMinFrames, kMaxFrames, &frames)) return;
    if (!check("Width", widthEdit_, kMinWidth, kMaxWidth, &width)) return;
    frames_ = frames;
    width_ = width;
    QDialog::accept();
}
