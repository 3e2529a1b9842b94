// Automata for the drawing tests, built with the model's link operations
// the way the construction operations build them, placed and with paths.
#pragma once

#include <cmath>
#include <string>

#include "automaton.h"
#include "fixtures.h"
#include "framerenderer.h"
#include "placement.h"
#include "relations.h"

struct Scene : TestAutomaton {
    // As TestAutomaton adds it, with point 0 at the centre and the level
    // colour that a new sphere gets.
    Sphere& add(const std::string& name, Sphere* parent = nullptr) {
        Sphere& s = TestAutomaton::add(name, parent, Rational(1, 2));
        s.addPoint(0, 0, 0);
        if (s.parent) s.treeImage = s.parent->treeImage + 1;
        s.color = kLevelColors[s.treeImage % 9];
        return s;
    }
    // Root "A" and its child "B", placed, with paths and stale lists, as a
    // frame finds a new document.
    static void starter(Scene& a) {
        a.add("A");
        a.add("B");
        a.update();
    }
    void update() {
        reset(*this);
        frameUpdate(*this);
    }
    void forEach(void (*f)(Sphere&)) {
        forEachPreOrder(root, [f](Sphere& s) { f(s); });
    }
};

// The document's settings of a new document, with the camera fitted.
inline FrameSettings starterSettings(const Automaton& a) {
    FrameSettings s;
    double theta = 45.0 * 0.5 / 360 * 6.28318530718;
    s.camera.cameraDistance = -1.1111111111111112 * extent(a) / std::sin(theta);
    return s;
}
