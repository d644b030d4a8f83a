#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quarn {

// Text as a message shows it: characters that cannot be seen appear as their
// code, control characters and bytes that are not UTF-8 as "\x1b", invisible
// Unicode characters (a byte-order mark, zero-width spaces, direction marks)
// as "<U+FEFF>". Everything else is left as it is.
std::string Printable(std::string_view text);

// Whether `text` is well-formed UTF-8 (no overlong forms, no surrogates).
// `badOffset`, when given, receives the offset of the first byte that is not.
bool IsUtf8(std::string_view text, size_t* badOffset = nullptr);

// `text` without a leading UTF-8 byte-order mark (what spreadsheets write).
std::string_view WithoutByteOrderMark(std::string_view text);

// Why a name cannot stand in a line of a participant's comma-separated text
// file (a comma, a line break, another control character, bytes that are not
// UTF-8), as the end of a sentence ("holds a comma"); empty when it can.
std::string TextLineFault(std::string_view name);

}  // namespace quarn
