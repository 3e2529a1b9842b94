// Small automata for the model tests, built with the link operations.
#pragma once

#include <string>

#include "automaton.h"
#include "placement.h"
#include "pointpaths.h"
#include "relations.h"

struct TestAutomaton : Automaton {
    ~TestAutomaton() override {
        destroyInProgress = destroyingEverything = 1;
        if (root) {
            markDoomed(*this, *root);
            destroySubtree(*this, root);
        }
    }
    // A sphere in the first free slot; the first one becomes root, radius
    // root and stationary sphere, the first child of the root the time master.
    Sphere& add(const std::string& name, Sphere* parent = nullptr, Rational factor = {1, 2}) {
        Sphere* s = new Sphere(name);
        s->document = this;
        for (auto& slot : sphereTable)
            if (!slot) {
                slot = s;
                break;
            }
        ++sphereCount;
        s->radiusFactor = factor;
        if (!root) {
            root = radiusRoot = stationarySphere = s;
        } else {
            Sphere& p = parent ? *parent : *root;
            attach(*s, p, kParent);
            attach(*s, p, kRadius);
            if (!timeMaster)
                timeMaster = s;
            else
                attach(*s, *timeMaster, kTime);
        }
        return *s;
    }
};
