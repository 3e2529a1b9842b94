// Documents made from chain descriptions: random automata and the
// candidates of a chosen symmetry, built with the construction operations
// so that they are what a user could have built by hand.
#pragma once

#include <cstdint>
#include <string>

#include "document.h"
#include "curvedesign.h"

// Fills doc, which must be empty and have no views, with the chain.
bool makeChainDocument(Document& doc, const ChainPlan& plan);

// Writes the chain as a .one file; "" or the reason it could not.
std::string writeChainFile(const ChainPlan& plan, const std::string& path);
