// Drawing of the arcball guides.
#include "balloverlay.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "identitymatrices.h"

void BallOverlay::release() {
    if (ballList_) glDeleteLists(ballList_, 1);
    ballList_ = 0;
}

void BallOverlay::draw(const Arcball& ball) {
    Arcball::Overlay o = ball.overlayState();
    IdentityMatrices screen;

    const double R = o.ballRadius;
    if (ballList_ && listRadius_ != R) release();
    if (!ballList_) {
        GLUquadric* q = gluNewQuadric();
        ballList_ = glGenLists(1);
        if (q && ballList_) {
            gluQuadricDrawStyle(q, GLU_LINE);
            gluQuadricNormals(q, GLU_NONE);
            glNewList(ballList_, GL_COMPILE);
            gluDisk(q, R, R, 24, 1);
            glEndList();
            listRadius_ = R;
        }
        if (q) gluDeleteQuadric(q);
    }

    // Current colour, lighting, enables, depth buffer, viewport (and the
    // few other groups the mask names).
    glPushAttrib(0x2B71);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    if (o.drawConstraints && o.constraintMode != 0 && ballList_) {
        glColor3d(0, 0.75, 0);
        if (o.constraintMode == 1) {
            glCallList(ballList_);
            glBegin(GL_LINES);
            glVertex3d(-R, 0, 0);
            glVertex3d(R, 0, 0);
            glVertex3d(0, -R, 0);
            glVertex3d(0, R, 0);
            glEnd();
        } else {
            glPushMatrix();
            glMultMatrixd(o.rotationMatrix.data());
            glCallList(ballList_);
            glRotated(90, 1, 0, 0);
            glCallList(ballList_);
            glRotated(90, 0, 1, 0);
            glCallList(ballList_);
            glPopMatrix();
        }
    }
    glPopAttrib();
}
