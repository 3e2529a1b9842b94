// The " Light" page's controls and what each one changes.
#include "lightpage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <algorithm>
#include <mutex>

#include "document.h"
#include "renderlink.h"
#include "sphere.h"
#include "spheretree.h"
#include "swatchlist.h"

int Sphere::*const LightPage::kFlagFields[kFlagCount] = {
    &Sphere::showRotationAxis, &Sphere::showPerpendicularAxis, &Sphere::showRevolutionAxis,
    &Sphere::showGreatCircle,  &Sphere::showCentersLine,       &Sphere::showPointPaths};

LightPage::LightPage(QWidget* parent) : PropertyPage(" Light", parent) {
    auto* page = pageColumn(this);

    auto* nameRow = new QHBoxLayout;
    auto* nameLabel = new QLabel("NAME: ");
    name_ = new QLineEdit;
    name_->setObjectName("nameBox");
    name_->setToolTip("The selected sphere's name: type a new one and press Enter");
    nameLabel->setBuddy(name_);
    setName_ = new QPushButton("Set name");
    setName_->setObjectName("setName");
    setName_->setToolTip("Rename the selected sphere in the tree");
    nameRow->addWidget(nameLabel);
    nameRow->addWidget(name_, 1);
    nameRow->addWidget(setName_);
    page->addLayout(nameRow);

    all_ = new QCheckBox(" Changes affect  ALL  particles");
    all_->setObjectName("allParticles");
    all_->setToolTip("Surface and display options go to every sphere of the automaton");
    page->addWidget(all_);

    auto* surfaceGrid = new QGridLayout;
    surface_ = new QButtonGroup(this);
    const struct {
        const char* text;
        const char* tip;
    } styles[] = {{"Solid (opaque)", "Draw the sphere as a solid body"},
                  {"Solid (transparent)", "Draw the sphere as a see-through body"},
                  {"Mesh", "Draw the sphere as a wire mesh"},
                  {"Texture", "Wrap the sphere's picture around it"},
                  {"None", "Draw no body, only its axes and paths"}};
    for (int i = 0; i < 5; ++i) {
        auto* radio = new QRadioButton(styles[i].text);
        radio->setToolTip(styles[i].tip);
        surface_->addButton(radio, i);
        surfaceGrid->addWidget(radio, i, 0);
    }
    color_ = new QPushButton("Set color");
    color_->setObjectName("setColor");
    color_->setToolTip("Choose the selected sphere's colour");
    swatch_ = new QFrame;
    swatch_->setObjectName("colorSwatch");
    swatch_->setFixedSize(32, 32);
    swatch_->setFrameShape(QFrame::Box);
    swatch_->setAutoFillBackground(true);
    swatch_->setAccessibleName("Colour of the selected sphere");
    texture_ = new QPushButton("Set texture");
    texture_->setObjectName("setTexture");
    texture_->setToolTip("Choose a picture to wrap around the selected sphere");
    auto* colorRow = new QHBoxLayout;
    colorRow->addWidget(color_);
    colorRow->addWidget(swatch_);
    surfaceGrid->addLayout(colorRow, 0, 1, 2, 1);
    surfaceGrid->addWidget(texture_, 3, 1);
    surfaceGrid->setColumnStretch(0, 1);

    auto* others = new QVBoxLayout;
    const struct {
        const char* text;
        const char* tip;
    } flags[kFlagCount] = {
        {"Rotation axis (child)", "Show the axis this sphere spins about"},
        {"Perpendicular axis (child)", "Show this sphere's axis perpendicular to its spin axis"},
        {"Revolution axis (parent)", "Show the parent's axis this sphere revolves about"},
        {"Revolution great circle", "Show the circle this sphere rolls along"},
        {"Child to parent centers line",
         "Show the line between this sphere's and its parent's centres"},
        {"Show point paths", "Show the paths this sphere's points trace"}};
    for (int i = 0; i < kFlagCount; ++i) {
        flags_[i] = new QCheckBox(flags[i].text);
        flags_[i]->setToolTip(flags[i].tip);
        others->addWidget(flags_[i]);
        connect(flags_[i], &QCheckBox::toggled, this, [this, i] { toggleFlag(i); });
    }

    auto* components = new QVBoxLayout;
    components->addWidget(group(" Sphere surface: ", surfaceGrid));
    components->addWidget(group(" Others  : ", others));
    page->addWidget(group("COMPONENTS : ", components));
    page->addStretch(1);

    connect(setName_, &QPushButton::clicked, this, [this] {
        if (tree_) tree_->editSelectedName();
    });
    // Typed in place: Enter renames as the tree's own editor does (the
    // same refusals, the same step of the history).
    connect(name_, &QLineEdit::returnPressed, this, [this] {
        Sphere* s = sphere();
        if (!s || !tree_) return;
        if (QTreeWidgetItem* item = tree_->itemOf(*s)) tree_->finishRename(item, name_->text());
        if ((s = sphere())) name_->setText(" " + sphereName(*s));
    });
    // Toggled, so that keys and assistive tools choose a style too; in ALL
    // mode a click on the style already shown spreads it as well.
    connect(surface_, &QButtonGroup::idToggled, this, [this](int id, bool on) {
        if (on) chooseSurface(id);
    });
    connect(surface_, &QButtonGroup::idClicked, this, [this](int id) {
        if (all_->isChecked()) chooseSurface(id);
    });
    connect(color_, &QPushButton::clicked, this, &LightPage::chooseColor);
    connect(texture_, &QPushButton::clicked, this, &LightPage::chooseTexture);
    setEnabled(false);
}

void LightPage::resetAllParticles() {
    all_->setChecked(false);
}

void LightPage::showSwatch(std::uint32_t color) {
    QPalette p = swatch_->palette();
    p.setColor(QPalette::Window, SwatchList::toQColor(color));
    swatch_->setPalette(p);
}

void LightPage::refresh() {
    Sphere* s = sphere();
    setEnabled(s != nullptr);
    if (!s) return;
    name_->setText(" " + sphereName(*s));
    {
        QSignalBlocker hold(surface_);
        if (QAbstractButton* b = surface_->button(s->surface)) b->setChecked(true);
    }
    for (int i = 0; i < kFlagCount; ++i) {
        QSignalBlocker hold(flags_[i]);
        flags_[i]->setChecked(s->*kFlagFields[i] != 0);
    }
    showSwatch(s->color);
}

void LightPage::chooseSurface(int surface) {
    Sphere* s = sphere();
    if (!s) return;
    const bool all = all_->isChecked();
    // A click on a style not shown yet both toggles and clicks: the second
    // finds nothing left to do.
    auto has = [surface](const Sphere* t) { return !t || t->surface == surface; };
    const auto& table = document()->sphereTable;
    if (all ? std::all_of(table.begin(), table.end(), has) : has(s)) return;
    // In ALL mode every sphere takes the style shown, whatever it had.
    apply(all ? QString("Surface of all spheres") : stepName("Surface"), 0, kRewind, [=, this] {
        if (!all) {
            s->surface = surface;
            return;
        }
        for (Sphere* t : document()->sphereTable)
            if (t) t->surface = surface;
    });
}

void LightPage::toggleFlag(int i) {
    Sphere* s = sphere();
    if (!s) return;
    const int on = flags_[i]->isChecked() ? 1 : 0;
    const bool all = all_->isChecked();
    apply(all ? QString("Display of all spheres") : stepName("Display"), 0, kRewind, [=, this] {
        if (!all) {
            s->*kFlagFields[i] = on;
            return;
        }
        for (Sphere* t : document()->sphereTable)
            if (t) t->*kFlagFields[i] = on;
    });
}

void LightPage::chooseColor() {
    Sphere* s = sphere();
    if (!s) return;
    std::optional<std::uint32_t> chosen = Prompts::color(this, s->color);
    if (!chosen) return;
    apply(stepName("Colour"), 0, kRewind | kPlace | kUpdateViews, [this, s, chosen] {
        s->color = *chosen & 0xffffff;
        if (tree_) tree_->recolour(*s);
        showSwatch(s->color);
    });
}

void LightPage::chooseTexture() {
    Sphere* s = sphere();
    if (!s) return;
    // The view asks for the file; the picture itself is loaded where the
    // textures live, and the file chosen is the step of the edit history.
    if (RenderLink* link = document()->renderLink()) link->chooseTexture(*s);
}
