#include "sim/PlainText.h"

#include <cstdint>
#include <cstdio>

namespace quarn {

namespace {

// The code point that starts at `text[i]` and its length in bytes, or a
// length of 0 for a byte that does not start a well-formed character.
struct CodePoint {
  uint32_t value = 0;
  size_t length = 0;
};

CodePoint Decode(std::string_view text, size_t i) {
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

bool Invisible(uint32_t c) {
  return (c >= 0x80 && c <= 0x9F) || c == 0xAD || (c >= 0x200B && c <= 0x200F) ||
         (c >= 0x2028 && c <= 0x202E) || (c >= 0x2060 && c <= 0x2064) || c == 0xFEFF ||
         (c >= 0xFFF9 && c <= 0xFFFB);
}

std::string ByteCode(unsigned char byte) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "\\x%02x", byte);
  return buffer;
}

std::string UnicodeCode(uint32_t c) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "<U+%04X>", static_cast<unsigned>(c));
  return buffer;
}

}  // namespace

std::string Printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const CodePoint c = Decode(text, i);
    if (c.length == 0) {
      out += ByteCode(static_cast<unsigned char>(text[i]));
      ++i;
      continue;
    }
    if (c.value < 0x20 || c.value == 0x7F) {
      out += ByteCode(static_cast<unsigned char>(c.value));
    } else if (Invisible(c.value)) {
      out += UnicodeCode(c.value);
    } else {
      out.append(text.substr(i, c.length));
    }
    i += c.length;
  }
  return out;
}

bool IsUtf8(std::string_view text, size_t* badOffset) {
  for (size_t i = 0; i < text.size();) {
    const CodePoint c = Decode(text, i);
    if (c.length == 0) {
      if (badOffset) *badOffset = i;
      return false;
    }
    i += c.length;
  }
  return true;
}

std::string_view WithoutByteOrderMark(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  return text;
}

std::string TextLineFault(std::string_view name) {
  if (!IsUtf8(name)) return "holds bytes that are not UTF-8 text";
  for (unsigned char c : name) {
    if (c == ',') return "holds a comma";
    if (c == '\r' || c == '\n') return "holds a line break";
    if (c < 0x20 || c == 0x7F) return "holds the control character " + ByteCode(c);
  }
  return "";
}

}  // namespace quarn
