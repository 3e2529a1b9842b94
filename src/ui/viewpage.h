// " View": the document-wide view settings: the sphere held still, the
// camera's mode, how finely paths are sampled, and anaglyph stereo.
#pragma once

#include "documentrules.h"
#include "pagekit.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;

class ViewPage : public PropertyPage {
    Q_OBJECT
  public:
    static constexpr int kMinAccuracy = 0, kMaxAccuracy = rules::kAccuracyMax;

    explicit ViewPage(QWidget* parent = nullptr);
    void refresh() override;

    SphereList* stationaryList() const { return stationary_; }
    QButtonGroup* viewMode() const { return mode_; }  // 0 stationary perspective, 1 orbit
    QCheckBox* keepInViewBox() const { return keepInView_; }
    ValueSpin* accuracySpin() const { return accuracy_; }
    QLabel* accuracyNote() const { return note_; }
    QCheckBox* stereoBox() const { return stereo_; }
    QComboBox* schemeBox() const { return scheme_; }  // index = anaglyphScheme - 1

    // What the accuracy means for the selected sphere's path, e.g.
    // "step 0.0001, about 310,000 samples". Reads the placed automaton.
    QString accuracyText() const;

  private:
    void chooseStationary(Sphere* s);
    void chooseMode(int id);
    void toggleKeepInView();
    bool setAccuracy(int value);
    void toggleStereo();
    void chooseScheme(int index);

    SphereList* stationary_;
    QButtonGroup* mode_;
    QCheckBox* keepInView_;
    ValueSpin* accuracy_;
    QLabel* note_;
    QCheckBox* stereo_;
    QComboBox* scheme_;
};
