#pragma once

#include <string>

namespace quarn::admin {

// The man page of quarngame-admin (roff, section 1), made from the
// commands' own descriptions in Commands.def and their examples in
// CommandExamples.def: one subsection per command, then the options, the
// folder rule, exit status, files and related pages.
std::string adminManPage(const std::string& version);

// Text as roff prints it literally: backslashes escaped, dashes as
// hyphen-minus, a leading dot or quote protected.
std::string roffText(const std::string& text);

}  // namespace quarn::admin
