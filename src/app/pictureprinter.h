// Print, Print Preview and Print Setup: the current picture, rendered
// off-screen, scaled to the printable area of the page.
#pragma once

#include <QString>
#include <memory>

class QPrinter;
class QPainter;
class QWidget;
class View3D;

class PicturePrinter {
  public:
    PicturePrinter(View3D* view, QWidget* parent);
    ~PicturePrinter();

    void printPicture();
    void printPreview();
    void printSetup();

    // Draws the picture on printer's current page. Returns an empty string
    // or the reason it could not.
    QString paint(QPrinter* printer);
    QPrinter* printer() const { return printer_.get(); }

  private:
    View3D* view_;
    QWidget* parent_;
    std::unique_ptr<QPrinter> printer_;
};
