// Empty control-column pane.
#include "panestub.h"

PaneStub::PaneStub(const QString& name, QWidget* parent) : QFrame(parent) {
    setObjectName(name);
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    // The frame sets the pane sizes itself; a pane must be able to shrink to
    // a single pixel row when the window is low.
    setMinimumSize(1, 1);
}
