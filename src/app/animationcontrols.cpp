// Animate menu, tool bar and time slider.
#include "animationcontrols.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSlider>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <cmath>
#include <utility>

#include "rollingplayer.h"

namespace {
constexpr int kSliderSteps = 1000;
}

AnimationControls::AnimationControls(QMainWindow& window, RollingPlayer& player)
    : QObject(&window), player_(player) {
    auto* menu = new QMenu("&Animate", &window);
    menu->setObjectName("animateMenu");
    // Before Help, which stays the last menu.
    QAction* help = nullptr;
    for (QAction* a : window.menuBar()->actions())
        if (a->text().remove('&') == "Help") help = a;
    window.menuBar()->insertMenu(help, menu);

    auto add = [&](const QString& text, const QString& name, QKeySequence key = {}) {
        QAction* a = menu->addAction(text);
        a->setObjectName(name);
        if (!key.isEmpty()) a->setShortcut(key);
        return a;
    };
    playAction = add("&Play/Pause", "animatePlay", QKeySequence(Qt::Key_Space));
    // Home belongs to the view (it resets it); rewinding is Ctrl+Home.
    rewindAction = add("&Rewind", "animateRewind", QKeySequence(Qt::CTRL | Qt::Key_Home));
    stopAction = add("&Stop", "animateStop");
    menu->addSeparator();
    fasterAction = add("&Faster", "animateFaster", QKeySequence("Ctrl+]"));
    slowerAction = add("S&lower", "animateSlower", QKeySequence("Ctrl+["));
    menu->addSeparator();
    faintAction = add("Rest of path &faint", "animateFaint");
    hiddenAction = add("Rest of path &hidden", "animateHidden");
    auto* rest = new QActionGroup(this);
    for (QAction* a : {faintAction, hiddenAction}) {
        a->setCheckable(true);
        rest->addAction(a);
    }
    faintAction->setChecked(player.faintRest());
    hiddenAction->setChecked(!player.faintRest());

    toolBar_ = window.addToolBar("Animate");
    toolBar_->setObjectName("animateToolBar");
    toolBar_->addAction(playAction);
    toolBar_->addAction(rewindAction);
    toolBar_->addAction(stopAction);
    toolBar_->addAction(slowerAction);
    toolBar_->addAction(fasterAction);
    auto* label = new QLabel("&Time ");
    slider_ = new QSlider(Qt::Horizontal);
    slider_->setObjectName("animateTime");
    slider_->setRange(0, kSliderSteps);
    slider_->setPageStep(kSliderSteps / 20);
    slider_->setMinimumWidth(200);
    slider_->setMaximumWidth(400);
    slider_->setAccessibleName("Time in the period");
    slider_->setToolTip("Time in one common period of the automaton");
    label->setBuddy(slider_);
    toolBar_->addWidget(label);
    toolBar_->addWidget(slider_);

    const std::pair<QAction*, void (RollingPlayer::*)()> commands[] = {
        {playAction, &RollingPlayer::togglePlay},
        {rewindAction, &RollingPlayer::rewind},
        {stopAction, &RollingPlayer::stop},
        {fasterAction, &RollingPlayer::faster},
        {slowerAction, &RollingPlayer::slower}};
    for (auto [action, command] : commands)
        connect(action, &QAction::triggered, this, [this, command] {
            (player_.*command)();
            refresh();
        });
    connect(faintAction, &QAction::toggled, this, [this](bool on) { player_.setFaintRest(on); });
    connect(slider_, &QSlider::valueChanged, this, [this](int v) {
        player_.setFraction(static_cast<double>(v) / kSliderSteps);
        refresh();
    });

    // The slider follows the clock while the spheres roll.
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, &AnimationControls::refresh);
    timer_->start(50);
    qApp->installEventFilter(this);
    refresh();
}

void AnimationControls::refresh() {
    bool playing = player_.playing();
    playAction->setText(playing ? "&Pause" : "&Play");
    playAction->setToolTip(playing ? "Pause the rolling spheres (Space)"
                                   : "Roll the spheres (Space)");
    stopAction->setEnabled(player_.active());
    double speed = player_.speed();
    fasterAction->setEnabled(speed < RollingPlayer::kFastest);
    slowerAction->setEnabled(speed > RollingPlayer::kSlowest);
    fasterAction->setToolTip(
        QString("Faster (one period in %1 s)").arg(RollingPlayer::kPeriodSeconds / speed / 2));
    slowerAction->setToolTip(
        QString("Slower (one period in %1 s)").arg(RollingPlayer::kPeriodSeconds / speed * 2));
    if (!slider_->isSliderDown()) {
        int v = static_cast<int>(std::lround(player_.fraction() * kSliderSteps));
        if (v != slider_->value()) {
            QSignalBlocker quiet(slider_);
            slider_->setValue(v);
        }
    }
}

bool AnimationControls::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::ShortcutOverride) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Space && k->modifiers() == Qt::NoModifier &&
            (qobject_cast<QAbstractButton*>(watched) || qobject_cast<QAbstractItemView*>(watched) ||
             qobject_cast<QAbstractSlider*>(watched) || qobject_cast<QAbstractSpinBox*>(watched) ||
             qobject_cast<QComboBox*>(watched) || qobject_cast<QLineEdit*>(watched) ||
             qobject_cast<QTextEdit*>(watched) || qobject_cast<QPlainTextEdit*>(watched)))
            e->accept();
    }
    return QObject::eventFilter(watched, e);
}
