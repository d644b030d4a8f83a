#pragma once

// The one way a text becomes a field of a comma-separated file (RFC 4180),
// for the tables the administration exports and the analysis' files alike.

#include <string>
#include <string_view>

namespace quarn {

// `text` as a field: in double quotes, each quote inside doubled, when it
// holds a comma, a quote or a line break, or begins or ends with a space
// (which spreadsheet programs trim from a bare field); else as it is.
std::string csvField(std::string_view text);

// `text` in double quotes whatever it holds: an empty text that must read
// apart from an empty field (which stands for no value).
std::string quotedCsvField(std::string_view text);

}  // namespace quarn
