// Printing the picture of the 3-D view.
#include "pictureprinter.h"

#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <algorithm>

#include "view3d.h"

namespace {
// Rendering at the printer's full resolution would ask for pictures of tens
// of millions of pixels; this many across is sharp on paper.
constexpr int kMaxPrintWidth = 2400;
}  // namespace

PicturePrinter::PicturePrinter(View3D* view, QWidget* parent)
    : view_(view),
      parent_(parent),
      printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)) {}

PicturePrinter::~PicturePrinter() = default;

QString PicturePrinter::paint(QPrinter* printer) {
    QRectF page = printer->pageRect(QPrinter::DevicePixel);
    if (page.width() < 1 || page.height() < 1) return "The page has no printable area.";
    int width = std::clamp(static_cast<int>(page.width()), 50, kMaxPrintWidth);
    QSize size = View3D::imageSizeFor(width, view_->clientWidth(), view_->clientHeight());
    QString error;
    QImage image = view_->renderImage(size, &error);
    if (image.isNull()) return error;
    QPainter painter;
    if (!painter.begin(printer)) return "The printer could not be started.";
    QSizeF fitted = QSizeF(image.size()).scaled(page.size(), Qt::KeepAspectRatio);
    QRectF target(
        QPointF((page.width() - fitted.width()) / 2, (page.height() - fitted.height()) / 2),
        fitted);
    painter.drawImage(target, image);
    painter.end();
    return {};
}

void PicturePrinter::printPicture() {
    QPrintDialog dialog(printer_.get(), parent_);
    if (dialog.exec() != QDialog::Accepted) return;
    QString error = paint(printer_.get());
    if (!error.isEmpty()) QMessageBox::warning(parent_, "Rotundel", error);
}

void PicturePrinter::printPreview() {
    QPrintPreviewDialog dialog(printer_.get(), parent_);
    QString error;
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [this, &error](QPrinter* p) { error = paint(p); });
    dialog.exec();
    if (!error.isEmpty()) QMessageBox::warning(parent_, "Rotundel", error);
}

void PicturePrinter::printSetup() {
    QPageSetupDialog dialog(printer_.get(), parent_);
    dialog.exec();
}
