#pragma once

#include <string>

#include "db/DatabaseChoice.h"

namespace quarn {

// The demo experiment: settings "Demo" and "Simulated" with their players,
// displays, training, pause and predicter.

// Makes DATAFOLDER/quarn.mdb with the demo's plan; refused when the file
// exists. Returns the file's path.
std::string makeDemoFile(const std::string& dataFolder);

// Makes the demo's tables on a server and fills them; refused when the
// server holds any of them. Returns the server's location.
std::string makeDemoOnServer(const DatabaseChoice& choice);

// Writes the demand file the demo's Wholesaler trial reads, unless it exists.
std::string writeDemandFile(const std::string& inputFolder);

}  // namespace quarn
