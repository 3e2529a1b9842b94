// The About box.
#include "aboutdialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("About Rotundel");
    auto* icon = new QLabel;
    icon->setPixmap(QIcon(":/icons/rotundel.svg").pixmap(48, 48));
    auto* text = new QVBoxLayout;
    text->addWidget(new QLabel("Rotundel Version 1.0"));
    text->addWidget(
        new QLabel("Rolling-sphere automata and the curves their points trace.\n"
                   "Written by the Rotundel developers."));
    auto* row = new QHBoxLayout;
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addLayout(text, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
}
