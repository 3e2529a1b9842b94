// " Light": how the selected sphere is drawn: its name, surface style,
// colour, texture and the auxiliary lines it shows; surface and lines can
// go to every sphere at once.
#pragma once

#include "pagekit.h"

class QButtonGroup;
class QCheckBox;
class QFrame;
class QLineEdit;
class QPushButton;
class SphereTree;

class LightPage : public PropertyPage {
    Q_OBJECT
  public:
    static constexpr int kFlagCount = 6;

    explicit LightPage(QWidget* parent = nullptr);
    // The tree that renames spheres and shows their colours.
    void setTree(SphereTree* tree) { tree_ = tree; }
    void refresh() override;
    // Switches " Changes affect  ALL  particles" off (new and opened documents).
    void resetAllParticles();

    QLineEdit* nameBox() const { return name_; }
    QPushButton* setNameButton() const { return setName_; }
    QCheckBox* allBox() const { return all_; }
    QButtonGroup* surface() const { return surface_; }  // id = the surface value
    QPushButton* colorButton() const { return color_; }
    QFrame* swatch() const { return swatch_; }
    QPushButton* textureButton() const { return texture_; }
    QCheckBox* flag(int i) const { return flags_[i]; }

    // The sphere field behind each display-flag box, in box order.
    static int Sphere::*const kFlagFields[kFlagCount];

  private:
    void chooseSurface(int surface);
    void toggleFlag(int i);
    void chooseColor();
    void chooseTexture();
    void showSwatch(std::uint32_t color);

    SphereTree* tree_ = nullptr;
    QLineEdit* name_;
    QPushButton* setName_;
    QCheckBox* all_;
    QButtonGroup* surface_;
    QPushButton* color_;
    QFrame* swatch_;
    QPushButton* texture_;
    QCheckBox* flags_[kFlagCount];
};
