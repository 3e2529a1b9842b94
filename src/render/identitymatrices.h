// Drawing straight in normalised device coordinates over the picture.
#pragma once
#include <GL/gl.h>

// Sets the projection and modelview matrices to identity for the scope and
// puts both back when it ends, leaving the modelview matrix current.
class IdentityMatrices {
  public:
    IdentityMatrices() {
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
    }
    ~IdentityMatrices() {
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
    }
    IdentityMatrices(const IdentityMatrices&) = delete;
    IdentityMatrices& operator=(const IdentityMatrices&) = delete;
};
