// Documents made from chain descriptions: random automata and the
// candidates of a chosen symmetry, built with the construction operations
// so that they are what a user could have built by hand.
#pragma once

#include <cstdint>
#include <string>

#include "curvedesign.h"
#include "document.h"

// Raises doc's path accuracy until every traced curve of a k-fold symmetry
// has enough samples for its k lobes to be seen (within the sample budget).
void raiseAccuracyToShow(Document& doc);

// Fills doc, which must be empty and have no views, with the chain.
bool makeChainDocument(Document& doc, const ChainPlan& plan);

// Writes the chain as a .one file; "" or the reason it could not.
std::string writeChainFile(const ChainPlan& plan, const std::string& path);
