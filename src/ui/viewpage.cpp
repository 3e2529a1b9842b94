// The " View" page's controls and what each one changes.
#include "viewpage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QRadioButton>
#include <QSignalBlocker>
#include <cmath>

#include "document.h"
#include "pointpaths.h"
#include "sphere.h"

namespace {
enum : int { kAccuracyControl = 1049 };
}

ViewPage::ViewPage(QWidget* parent)
    : PropertyPage(" View", parent) {
    auto* page = pageColumn(this);

    auto* view = new QVBoxLayout;
    auto* stationaryLabel = new QLabel("Stationary sphere:");
    stationary_ = new SphereList(ListKind::Stationary);
    stationary_->setObjectName("stationaryList");
    stationary_->setAccessibleName("Stationary sphere");
    stationary_->setToolTip("The sphere held still; everything else moves relative to it");
    stationary_->setMaximumHeight(80);
    stationaryLabel->setBuddy(stationary_);
    view->addWidget(stationaryLabel);
    view->addWidget(stationary_);

    auto* automaton = new QVBoxLayout;
    mode_ = new QButtonGroup(this);
    auto* fromStationary = new QRadioButton("From stationary perspective");
    fromStationary->setToolTip("Turn the automaton yourself with the mouse");
    keepInView_ = new QCheckBox("Keep automaton entirely in view");
    keepInView_->setObjectName("keepInView");
    keepInView_->setToolTip("Set the camera distance so that the whole automaton fits");
    auto* fromOrbit = new QRadioButton("From orbit");
    fromOrbit->setToolTip("The camera circles the automaton by itself");
    mode_->addButton(fromStationary, 0);
    mode_->addButton(fromOrbit, 1);
    automaton->addWidget(fromStationary);
    // The box belongs to the first choice: indented under it.
    auto* indented = new QHBoxLayout;
    indented->addSpacing(18);
    indented->addWidget(keepInView_, 1);
    automaton->addLayout(indented);
    automaton->addWidget(fromOrbit);
    view->addWidget(group(" View automaton :", automaton));
    page->addWidget(group(" VIEW : ", view));

    auto* precision = new QGridLayout;
    auto* accuracyLabel = new QLabel("Accuracy of sphere point paths :");
    accuracy_ = new ValueSpin;
    accuracy_->setObjectName("accuracy");
    accuracy_->setRange(kMinAccuracy, kMaxAccuracy);
    accuracy_->setToolTip(
        "0 to 100: higher samples the point paths more finely (smoother, slower)");
    accuracyLabel->setBuddy(accuracy_);
    note_ = new QLabel;
    note_->setObjectName("accuracyNote");
    note_->setWordWrap(true);
    precision->addWidget(accuracyLabel, 0, 0);
    precision->addWidget(accuracy_, 0, 1);
    precision->addWidget(note_, 1, 0, 1, 2);
    page->addWidget(group(" ANIMATION  PRECISION : ", precision));

    auto* stereoRow = new QHBoxLayout;
    stereo_ = new QCheckBox("Stereoscopic View  (anaglyph)");
    stereo_->setObjectName("stereo");
    stereo_->setToolTip("Draw the picture for two-colour glasses");
    scheme_ = new QComboBox;
    scheme_->setObjectName("anaglyphScheme");
    scheme_->setAccessibleName("Anaglyph colours");
    scheme_->setToolTip("The colours of the glasses: left eye / right eye");
    scheme_->addItems({"red/blue", "red/green", "red/cyan", "blue/red", "green/red", "cyan/red"});
    stereoRow->addWidget(stereo_);
    stereoRow->addWidget(scheme_);
    page->addLayout(stereoRow);
    page->addStretch(1);

    stationary_->onChoose = [this](Sphere* s) { chooseStationary(s); };
    // Toggled and changed, not clicked: keys and assistive tools act too;
    // the refresh is silent.
    connect(mode_, &QButtonGroup::idToggled, this, [this](int id, bool on) {
        if (on) chooseMode(id);
    });
    connect(keepInView_, &QCheckBox::toggled, this, &ViewPage::toggleKeepInView);
    accuracy_->offer = [this](int v) { return setAccuracy(v); };
    connect(stereo_, &QCheckBox::toggled, this, &ViewPage::toggleStereo);
    connect(scheme_, &QComboBox::currentIndexChanged, this,
            &ViewPage::chooseScheme);
    setEnabled(false);
}

QString ViewPage::accuracyText() const {
    Document* doc = document();
    if (!doc) return {};
    QString text = QString("step %1").arg(doc->pathStep, 0, 'g', 6);
    Sphere* s = doc->selectedSphere;
    if (!s || !doc->stationarySphere || s->points.empty()) return text;
    PathPlan plan = planPath(*doc, *s);
    if (!plan.period || plan.samples <= 0) return text;
    // Two significant digits say enough about the size of the work.
    double n = static_cast<double>(plan.samples);
    double unit = n >= 100 ? std::pow(10.0, std::floor(std::log10(n)) - 1) : 1.0;
    qlonglong about = static_cast<qlonglong>(std::llround(n / unit) * unit);
    return text + QString(", about %1 samples").arg(QLocale(QLocale::English).toString(about));
}

void ViewPage::refresh() {
    Document* doc = document();
    setEnabled(doc != nullptr);
    if (!doc) return;
    {
        QSignalBlocker hold(mode_);
        mode_->button(doc->viewFromStationary == 1 ? 0 : 1)->setChecked(true);
    }
    {
        QSignalBlocker a(keepInView_), b(stereo_), c(scheme_);
        keepInView_->setChecked(doc->keepInView != 0);
        stereo_->setChecked(doc->stereo != 0);
        scheme_->setCurrentIndex(std::clamp(doc->anaglyphScheme, 1, 6) - 1);
    }
    keepInView_->setEnabled(doc->viewFromStationary == 1);
    accuracy_->show(doc->pathAccuracy);
    note_->setText(accuracyText());
    if (doc->sphereCount > 0 && doc->selectedSphere)
        stationary_->fill(*doc, doc->stationarySphere);
    else
        stationary_->empty();
}

void ViewPage::chooseStationary(Sphere* s) {
    Document* doc = document();
    if (!doc || !s || s == doc->stationarySphere) return;
    apply("Stationary sphere", 0, kPlace | kRewind | kUpdateViews,
          [doc, s] { doc->stationarySphere = s; });
}

void ViewPage::chooseMode(int id) {
    Document* doc = document();
    const int fromStationary = id == 0 ? 1 : 0;
    keepInView_->setEnabled(fromStationary == 1);
    if (!doc || doc->viewFromStationary == fromStationary) return;
    apply("View mode", 0, 0, [doc, fromStationary] { doc->viewFromStationary = fromStationary; });
}

void ViewPage::toggleKeepInView() {
    Document* doc = document();
    if (!doc) return;
    const int on = keepInView_->isChecked() ? 1 : 0;
    // Switching it on fits the camera now; every later fit follows it.
    apply("Keep in view", 0, on ? kFitCamera : 0, [doc, on] { doc->keepInView = on; });
}

bool ViewPage::setAccuracy(int value) {
    Document* doc = document();
    if (!doc) return true;
    apply("Path accuracy", kAccuracyControl, kPlace | kRewind, [this, doc, value] {
        doc->pathAccuracy = std::clamp(value, kMinAccuracy, kMaxAccuracy);
        doc->setPathAccuracy();
        note_->setText(accuracyText());
    });
    return true;
}

void ViewPage::toggleStereo() {
    Document* doc = document();
    if (!doc) return;
    const int on = stereo_->isChecked() ? 1 : 0;
    apply("Stereo", 0, 0, [doc, on] { doc->stereo = on; });
}

void ViewPage::chooseScheme(int index) {
    Document* doc = document();
    if (!doc || index < 0 || doc->anaglyphScheme == index + 1) return;
    apply("Anaglyph scheme", 0, 0, [doc, index] { doc->anaglyphScheme = index + 1; });
}
