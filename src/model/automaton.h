// The automaton-wide roles and settings that the model reads and writes.
// The document derives from this and adds files, views and the render link.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "geometry.h"

struct Sphere;

struct Automaton {
    static constexpr int kTableSize = 300;

    Automaton() = default;
    Automaton(const Automaton&) = delete;
    Automaton& operator=(const Automaton&) = delete;
    virtual ~Automaton() = default;

    std::array<Sphere*, kTableSize> sphereTable{};
    int sphereCount = 0;
    Sphere* root = nullptr;
    Sphere* radiusRoot = nullptr;
    Sphere* timeMaster = nullptr;
    Sphere* stationarySphere = nullptr;
    Sphere* referenceChild = nullptr;

    int destroyInProgress = 0;     // a destroy operation is under way
    int destroyingEverything = 0;  // ... and it destroys the root

    double baseRadius = 1.0;
    int movieFrameCount = 100;
    double pathStep = 0.25005;
    double twoPi = 6.28318530718;
    int pathsUpToDate = 0;  // set once the frame update has computed the paths
    // The stamp of the last placement or path pass, unique in the process
    // (newPlacementStamp) and kept by copies: whoever keeps something made
    // from the spheres' positions or paths (display lists, tube buffers)
    // makes it again when this differs from the stamp it was made at.
    std::uint64_t placements = 0;
    // Positions sampled by one path pass over all points, at most. Not stored
    // in files: it protects this machine's memory, not the automaton.
    std::size_t sampleBudget = 1'000'000;
    // Common periods longer than this many turns of the time master are not
    // worked out: within the sample budget such a path would get less than
    // a sample a turn, and the exact search for its period grows without
    // end (hundreds of spheres with coprime rates). 0: the sample budget's
    // number; kNoPeriodLimit: no limit (tests of the arithmetic itself).
    std::uint64_t periodTurnLimit = 0;
    static constexpr std::uint64_t kNoPeriodLimit = ~std::uint64_t{0};
    Mat4 workMatrix = identityMatrix();

    // Called by the subtree destruction once per destroyed sphere, before its
    // slot is emptied, so that owners of per-sphere resources (textures,
    // tree items) can let them go.
    virtual void sphereReleased(Sphere&) {}

    // Slot index of s in the table, or -1.
    int slotOf(const Sphere* s) const;
};
