// The Animate menu and tool bar: play and pause the rolling spheres, rewind,
// stop, change the speed, choose how the untraced rest of each path shows,
// and a time slider over one common period of the automaton.
#pragma once

#include <QObject>

class QAction;
class QMainWindow;
class QSlider;
class QTimer;
class QToolBar;
class RollingPlayer;

// UI thread only; the player carries the state over to the render thread.
class AnimationControls : public QObject {
    Q_OBJECT
  public:
    // Adds the menu (before the Help menu) and the tool bar to window.
    AnimationControls(QMainWindow& window, RollingPlayer& player);

    QAction *playAction, *rewindAction, *stopAction, *fasterAction, *slowerAction, *faintAction,
        *hiddenAction;
    QSlider* timeSlider() const { return slider_; }
    QToolBar* toolBar() const { return toolBar_; }

    // Brings the buttons and the slider up to date with the player.
    void refresh();

    // Keeps Space and Home for the widget that has the keyboard when it
    // uses them itself (buttons, lists, sliders, text fields).
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    RollingPlayer& player_;
    QSlider* slider_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    QTimer* timer_ = nullptr;
};
