#include "base/Text.h"

#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>

#include "base/Prompter.h"

namespace quarn {

namespace {

// The code point that starts at `text[i]` and its length in bytes, or a
// length of 0 for a byte that does not start a well-formed character.
struct CodePoint {
  uint32_t value = 0;
  size_t length = 0;
};

CodePoint decode(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return {lead, 1};
  size_t length = 0;
  uint32_t value = 0;
  uint32_t smallest = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, value = lead & 0x1F, smallest = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, value = lead & 0x0F, smallest = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, value = lead & 0x07, smallest = 0x10000;
  } else {
    return {};
  }
  if (i + length > text.size()) return {};
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return {};
    value = (value << 6) | (byte(i + k) & 0x3F);
  }
  if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return {};
  return {value, length};
}

bool invisible(uint32_t c) {
  return (c >= 0x80 && c <= 0x9F) || c == 0xAD || c == 0x061C || c == 0x180E ||
         (c >= 0x200B && c <= 0x200F) || (c >= 0x2028 && c <= 0x202E) ||
         (c >= 0x2060 && c <= 0x2069) || c == 0xFEFF || (c >= 0xFFF9 && c <= 0xFFFB);
}

// Spaces that look like the ordinary one (or like nothing) but are not it.
bool unusualSpace(uint32_t c) {
  return c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string byteCode(unsigned char byte) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "\\x%02x", byte);
  return buffer;
}

std::string unicodeCode(uint32_t c) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "<U+%04X>", static_cast<unsigned>(c));
  return buffer;
}

}  // namespace

std::string printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const CodePoint c = decode(text, i);
    if (c.length == 0) {
      out += byteCode(static_cast<unsigned char>(text[i]));
      ++i;
      continue;
    }
    if (c.value < 0x20 || c.value == 0x7F) {
      out += byteCode(static_cast<unsigned char>(c.value));
    } else if (invisible(c.value)) {
      out += unicodeCode(c.value);
    } else {
      out.append(text.substr(i, c.length));
    }
    i += c.length;
  }
  return out;
}

bool isUtf8(std::string_view text, size_t* badOffset) {
  for (size_t i = 0; i < text.size();) {
    const CodePoint c = decode(text, i);
    if (c.length == 0) {
      if (badOffset) *badOffset = i;
      return false;
    }
    i += c.length;
  }
  return true;
}

std::string_view withoutByteOrderMark(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  return text;
}

std::string textLineFault(std::string_view name) {
  if (!isUtf8(name)) return QUARN_TRANSLATABLE("Text", "holds bytes that are not UTF-8 text");
  for (unsigned char c : name) {
    if (c == ',') return QUARN_TRANSLATABLE("Text", "holds a comma");
    if (c == '\r' || c == '\n') return QUARN_TRANSLATABLE("Text", "holds a line break");
    if (c < 0x20 || c == 0x7F) return "holds the control character " + byteCode(c);
  }
  return "";
}

std::string_view trimmed(std::string_view text, std::string_view characters) {
  const size_t first = text.find_first_not_of(characters);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(characters) - first + 1);
}

std::string_view trimBlanks(std::string_view text) {
  return trimmed(text, " ");
}

std::string_view trimSpace(std::string_view text) {
  return trimmed(text, " \t\n\v\f\r");
}

std::string toLowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

namespace {

// The locale whose lower-case mapping folds letters; null when the system
// lacks it (ASCII is folded then).
locale_t utf8Locale() {
  static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  return locale;
}

// The code point that starts at text[i], moving i past it. A byte that does
// not start valid UTF-8 stands for itself, above the code points, so that
// it equals only the same byte.
char32_t nextFoldable(std::string_view text, size_t& i) {
  const CodePoint c = decode(text, i);
  if (c.length == 0) return 0x110000 + static_cast<unsigned char>(text[i++]);
  i += c.length;
  return c.value;
}

char32_t foldCase(char32_t code) {
  if (code > 0x10FFFF) return code;
  if (const locale_t locale = utf8Locale()) {
    return static_cast<char32_t>(towlower_l(static_cast<wint_t>(code), locale));
  }
  return code < 0x80 ? static_cast<char32_t>(std::tolower(static_cast<int>(code))) : code;
}

}  // namespace

NameFault nameFault(std::string_view name) {
  static constexpr std::string_view kForbidden = "/\\:*?\"<>|,";
  if (name.empty()) return NameFault::Empty;
  int units = 0;
  bool onlyDots = true;
  for (size_t i = 0; i < name.size();) {
    const CodePoint c = decode(name, i);
    if (c.length == 0 || c.value < 0x20 || c.value == 0x7F ||
        (c.value < 0x80 && kForbidden.find(static_cast<char>(c.value)) != std::string_view::npos)) {
      return NameFault::Forbidden;
    }
    if (invisible(c.value) || unusualSpace(c.value)) return NameFault::Invisible;
    if (c.value != '.') onlyDots = false;
    units += c.value >= 0x10000 ? 2 : 1;
    i += c.length;
  }
  if (units > kNameLength) return NameFault::TooLong;
  return onlyDots ? NameFault::OnlyDots : NameFault::None;
}

std::string foldedName(std::string_view name) {
  std::string folded;
  folded.reserve(name.size());
  for (size_t i = 0; i < name.size();) {
    const char32_t c = foldCase(nextFoldable(name, i));
    if (c > 0x10FFFF) {
      folded += static_cast<char>(c - 0x110000);
    } else {
      appendUtf8(folded, c);
    }
  }
  return folded;
}

std::string subjectIdFault(const std::string& subjectId) {
  static_assert(kNameLength == 21, "the texts below name the length");
  switch (nameFault(subjectId)) {
    case NameFault::None:
      return "";
    case NameFault::Empty:
      return QUARN_TRANSLATABLE("Login", "Please enter a User ID.");
    case NameFault::TooLong:
      return QUARN_TRANSLATABLE(
          "Login", "A User ID has at most 21 characters.  Please enter another User ID.");
    case NameFault::Forbidden:
      return QUARN_TRANSLATABLE("Login",
                                "A User ID cannot hold a comma, any of the characters / \\ : * ? "
                                "\" < > | or control characters.  Please enter another User ID.");
    case NameFault::Invisible:
      return QUARN_TRANSLATABLE("Login",
                                "A User ID cannot hold invisible characters or spaces other than "
                                "the ordinary space.  Please enter another User ID.");
    case NameFault::OnlyDots:
      break;
  }
  return QUARN_TRANSLATABLE(
      "Login", "A User ID cannot be made of dots only.  Please enter another User ID.");
}

std::string teamNameFault(const std::string& team) {
  switch (nameFault(team)) {
    case NameFault::None:
      return "";
    case NameFault::Empty:
      return QUARN_TRANSLATABLE("Login",
                                "This setting is played by teams.  Please type your team's name in "
                                "the Team box.");
    case NameFault::TooLong:
      return QUARN_TRANSLATABLE(
          "Login",
          "A team name has at most 21 characters.  Please type another name in the Team box.");
    case NameFault::Forbidden:
      return QUARN_TRANSLATABLE("Login",
                                "A team name cannot hold a comma, any of the characters / \\ : * ? "
                                "\" < > | or control characters.  Please type another name in the "
                                "Team box.");
    case NameFault::Invisible:
      return QUARN_TRANSLATABLE("Login",
                                "A team name cannot hold invisible characters or spaces other than "
                                "the ordinary space.  Please type another name in the Team box.");
    case NameFault::OnlyDots:
      break;
  }
  return QUARN_TRANSLATABLE(
      "Login",
      "A team name cannot be made of dots only.  Please type another name in the Team box.");
}

int compareIgnoringCase(std::string_view a, std::string_view b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const char32_t x = foldCase(nextFoldable(a, i));
    const char32_t y = foldCase(nextFoldable(b, j));
    if (x != y) return x < y ? -1 : 1;
  }
  return (i < a.size()) - (j < b.size());
}

std::string withArguments(std::string_view pattern, const std::vector<std::string>& arguments) {
  std::string result;
  result.reserve(pattern.size());
  for (size_t i = 0; i < pattern.size(); ++i) {
    const bool marker = pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' &&
                        pattern[i + 1] <= '9';
    const size_t index = marker ? static_cast<size_t>(pattern[i + 1] - '1') : 0;
    if (marker && index < arguments.size()) {
      result += arguments[index];
      ++i;
    } else {
      result += pattern[i];
    }
  }
  return result;
}

std::string joinText(const std::vector<std::string>& parts, std::string_view separator) {
  std::string text;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) text += separator;
    text += parts[i];
  }
  return text;
}

}  // namespace quarn
