// An empty pane that holds a place in the control column until its real
// contents exist, at the size the frame gives it.
#pragma once

#include <QFrame>

class PaneStub : public QFrame {
    Q_OBJECT
  public:
    explicit PaneStub(const QString& name, QWidget* parent = nullptr);
};
