#pragma once

namespace quarn {

// The schema of an experiment database (db/schema.sql), embedded in the
// binary.
const char* schemaSql();

}  // namespace quarn
