// DemoView.cpp - the demo's fixed GL state and its projection.
#include "DemoView.h"

#include <GL/glew.h>
#include <GL/glu.h>

namespace DemoView {

void SetFixedState() {
    glEnable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glClearColor(BACKGROUND_GREY, BACKGROUND_GREY, BACKGROUND_GREY, 1.0f);
    glClearDepth(1.0);
}

void SetProjection(float width, float height) {
    glViewport(0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height));
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(FOV_Y_DEGREES, static_cast<double>(width / height),
                   static_cast<double>(NEAR_PLANE), FAR_PLANE);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

}  // namespace DemoView
