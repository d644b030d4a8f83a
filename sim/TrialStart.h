#pragma once

#include <string>

#include "sim/Chain.h"

namespace quarn {

// The chain part of a trial start: builds the demand series, resets the four
// stages, sets the week to 1, resets the Sterman state and simulates week 1.
// A trial whose values the chain cannot hold is refused before anything of
// the chain is touched.
void startTrialChain(ChainContext& c, const std::string& inputFolder);

// Starts the trial again on the customer demand its last start built,
// without reading its demand file again (for trials played many times). A
// trial whose demand series does not have its weeks plus one is refused.
void restartTrialChain(ChainContext& c);

}  // namespace quarn
