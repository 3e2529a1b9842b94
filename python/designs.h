// Automata made to order and the exact facts of their curves, for Python.
#pragma once

#include <pybind11/pybind11.h>

#include <functional>
#include <memory>
#include <vector>

#include "automatonstate.h"

namespace designs {

// The random automaton of a seed (0 to 2**64 - 1): the same on every machine.
std::shared_ptr<AutomatonState> random(const pybind11::handle& seed);
// Automata whose traced point has exactly symmetry-fold symmetry.
std::vector<std::shared_ptr<AutomatonState>> design(const pybind11::handle& symmetry,
                                                    const pybind11::handle& levels,
                                                    const pybind11::handle& count);
// One dict per traced point: period, laps, symmetry, lobes, mirror, length,
// reach, thickness and the one-line description.
pybind11::list curves(AutomatonState& state, const std::function<pybind11::object(Sphere*)>& refOf);

}  // namespace designs
