// The automata that the benchmarks measure: the new document's two
// spheres, a deep chain with tilted axes, and a wide tree.
#pragma once

#include <memory>
#include <string>

#include "placement.h"
#include "relations.h"

namespace bench {

struct BenchAutomaton : Automaton {
    ~BenchAutomaton() override {
        destroyInProgress = destroyingEverything = 1;
        if (root) {
            markDoomed(*this, *root);
            destroySubtree(*this, root);
        }
    }
    Sphere& add(Sphere* parent, Rational factor) {
        Sphere* s = new Sphere(std::to_string(sphereCount));
        s->document = this;
        sphereTable[static_cast<std::size_t>(sphereCount++)] = s;
        s->radiusFactor = factor;
        s->addPoint(0, 0, 0);
        s->color = kLevelColors[sphereCount % 9];
        if (!root) {
            root = radiusRoot = stationarySphere = s;
            return *s;
        }
        attach(*s, *parent, kParent);
        attach(*s, *parent, kRadius);
        if (!timeMaster)
            timeMaster = s;
        else
            attach(*s, *timeMaster, kTime);
        return *s;
    }
    void setAccuracy(int accuracy) {
        pathStep = 0.0001 + (100 - accuracy) / 100.0 * (0.5 - 0.0001);
    }
};

inline std::unique_ptr<BenchAutomaton> newDocument() {
    auto a = std::make_unique<BenchAutomaton>();
    Sphere& r = a->add(nullptr, Rational(1, 2));
    a->add(&r, Rational(1, 2));
    return a;
}

inline std::unique_ptr<BenchAutomaton> deepChain() {
    auto a = std::make_unique<BenchAutomaton>();
    Sphere* s = &a->add(nullptr, Rational(1));
    const Rational factors[] = {{1, 2}, {2, 3}, {3, 5}, {1, 2}, {3, 4}, {2, 3}};
    for (int i = 0; i < 6; ++i) {
        s = &a->add(s, factors[i]);
        s->axisAngleZ = 15.0 * (i + 1);
        s->axisAngleX = 20.0 * (i + 1);
        s->inside = short(i % 3 == 2);
        for (int p = 1; p < 4; ++p) s->addPoint(30.0 * p, 45.0 * p, 1 + p % 2);
    }
    a->setAccuracy(100);
    return a;
}

inline std::unique_ptr<BenchAutomaton> wideTree() {
    auto a = std::make_unique<BenchAutomaton>();
    Sphere& r = a->add(nullptr, Rational(1));
    int made = 1;
    for (int i = 0; i < 4 && made < 20; ++i) {
        Sphere& c = a->add(&r, Rational(1, 2 + i % 2));
        c.axisAngleX = 30.0 * i;
        ++made;
        for (int j = 0; j < 3 && made < 20; ++j) {
            Sphere& g = a->add(&c, Rational(1, 3));
            g.axisAngleZ = 40.0 * j;
            g.rollingRate = Rational(j + 1, 2);
            ++made;
            if (made < 20) {
                a->add(&g, Rational(1, 2)).inside = 1;
                ++made;
            }
        }
    }
    for (auto* s : treeSpheres(*a))
        while (s->pointCount() < 3) s->addPoint(60.0 * s->pointCount(), 30, 1);
    a->setAccuracy(80);
    return a;
}

}  // namespace bench
