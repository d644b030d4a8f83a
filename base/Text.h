#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quarn {

// Text as a message shows it: characters that cannot be seen appear as their
// code, control characters and bytes that are not UTF-8 as "\x1b", invisible
// Unicode characters (a byte-order mark, zero-width spaces, direction marks)
// as "<U+FEFF>". Everything else is left as it is.
std::string printable(std::string_view text);

// Whether `text` is well-formed UTF-8 (no overlong forms, no surrogates).
// `badOffset`, when given, receives the offset of the first byte that is not.
bool isUtf8(std::string_view text, size_t* badOffset = nullptr);

// `text` without a leading UTF-8 byte-order mark (what spreadsheets write).
std::string_view withoutByteOrderMark(std::string_view text);

// Why a name cannot stand in a line of a participant's comma-separated text
// file (a comma, a line break, another control character, bytes that are not
// UTF-8), as the end of a sentence ("holds a comma"); empty when it can.
std::string textLineFault(std::string_view name);

// The rule for the names a participant types: User IDs and team names. A
// name is not empty, holds at most kNameLength characters (counted as the
// login's boxes count them, a character beyond the Basic Multilingual Plane
// as two), and none of the characters that cannot name a file or stand in a
// comma-separated line (/ \ : * ? " < > | , and control characters, bytes
// that are not UTF-8), no invisible characters (zero-width spaces, direction
// marks and overrides, a byte-order mark) and no space but the ordinary one,
// and is not made of dots only. Names are one name whatever their letter
// case: foldedName gives the form they are compared in.
inline constexpr int kNameLength = 21;
enum class NameFault { None, Empty, TooLong, Forbidden, Invisible, OnlyDots };
NameFault nameFault(std::string_view name);
// `name` with every letter in lower case, beyond ASCII too (Zoë and ZOË give
// one text); two names are the same name when these are equal. A byte that
// is not UTF-8 stays as it is.
std::string foldedName(std::string_view name);
// Why a User ID, or a team name, cannot be used, as the login says it (a
// translatable text); empty when it can. The User ID names the participant's
// text file and stands in its comma-separated lines.
std::string subjectIdFault(const std::string& subjectId);
std::string teamNameFault(const std::string& team);

// `text` without the characters of `characters` at either end.
std::string_view trimmed(std::string_view text, std::string_view characters);
// Without spaces at either end, as the windows trim their entries.
std::string_view trimBlanks(std::string_view text);
// Without white space (space, tab, line breaks, form feed, vertical tab) at
// either end.
std::string_view trimSpace(std::string_view text);

// ASCII letters in lower case; every other byte as it is.
std::string toLowerAscii(std::string_view text);
// Whether the two texts are equal apart from the letter case of ASCII letters.
bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);

// Compares UTF-8 texts without regard to letter case, beyond ASCII too (Zoë
// and ZOË are equal): -1, 0 or 1. A byte that does not start a well-formed
// character stands for itself and equals only the same byte.
int compareIgnoringCase(std::string_view a, std::string_view b);

// The parts one after another, `separator` between each two.
std::string joinText(const std::vector<std::string>& parts, std::string_view separator);

// `pattern` with %1 ... %9 replaced by the arguments, in one pass (a "%2" in
// an argument stays as it is); a translated text may put them in another
// order.
std::string withArguments(std::string_view pattern, const std::vector<std::string>& arguments);

}  // namespace quarn
