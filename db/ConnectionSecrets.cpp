#include "db/ConnectionSecrets.h"

#include <cctype>
#include <optional>
#include <vector>

#include "base/Text.h"
#include "db/DatabaseChoice.h"

namespace quarn {

namespace {

constexpr const char* kNotShown = "(a connection string not shown: it may hold a password)";

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower >= 'a' && lower <= 'f') return lower - 'a' + 10;
  return -1;
}

std::string percentDecoded(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
        hexValue(text[i + 2]) >= 0) {
      out.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
      i += 2;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

// Decoded until nothing changes, so that a doubly encoded name shows too.
std::string fullyDecodedLower(std::string_view text) {
  std::string decoded(text);
  for (int round = 0; round < 4; ++round) {
    std::string next = percentDecoded(decoded);
    if (next == decoded) break;
    decoded = std::move(next);
  }
  return toLowerAscii(decoded);
}

bool uriHasUserPassword(std::string_view uri) {
  const size_t start = uri.find("://");
  if (start == std::string_view::npos) return false;
  const std::string_view rest = uri.substr(start + 3);
  const std::string_view authority = rest.substr(0, rest.find_first_of("/?"));
  const size_t at = authority.rfind('@');
  return at != std::string_view::npos &&
         authority.substr(0, at).find(':') != std::string_view::npos;
}

std::string redactUri(std::string_view uri) {
  const size_t schemeEnd = uri.find("://") + 3;
  std::string out(uri.substr(0, schemeEnd));
  std::string_view rest = uri.substr(schemeEnd);
  const size_t authorityEnd = std::min(rest.find_first_of("/?"), rest.size());
  const std::string_view authority = rest.substr(0, authorityEnd);
  const size_t at = authority.rfind('@');
  if (at != std::string_view::npos) {
    const std::string_view user = authority.substr(0, at);
    const size_t colon = user.find(':');
    out += colon == std::string_view::npos ? std::string(user)
                                           : std::string(user.substr(0, colon + 1)) + kHiddenSecret;
    out += authority.substr(at);
  } else {
    out += authority;
  }
  rest = rest.substr(authorityEnd);
  const size_t queryStart = std::min(rest.find('?'), rest.size());
  const std::string_view path = rest.substr(0, queryStart);
  out +=
      mayHoldPassword(percentDecoded(path)) ? std::string("/") + kHiddenSecret : std::string(path);
  if (queryStart == rest.size()) return out;
  out += '?';
  std::string_view query = rest.substr(queryStart + 1);
  bool first = true;
  while (true) {
    const size_t end = std::min(query.find('&'), query.size());
    const std::string_view pair = query.substr(0, end);
    const size_t equals = pair.find('=');
    const std::string_view key = pair.substr(0, equals);
    if (!first) out += '&';
    first = false;
    if (equals == std::string_view::npos) {
      out += mayHoldPassword(key) ? kHiddenSecret : std::string(key);
    } else if (fullyDecodedLower(key) == "password" ||
               mayHoldPassword(percentDecoded(pair.substr(equals + 1)))) {
      out += std::string(key) + "=" + kHiddenSecret;
    } else {
      out += pair;
    }
    if (end == query.size()) break;
    query = query.substr(end + 1);
  }
  return out;
}

struct KeywordPair {
  std::string key;
  std::string value;  // unquoted, escapes resolved
};

// Takes a keyword string apart as libpq reads it: key = value, the value
// bare or in single quotes, a backslash escaping the next character.
std::optional<std::vector<KeywordPair>> keywordPairs(std::string_view text) {
  std::vector<KeywordPair> pairs;
  size_t i = 0;
  const auto skipSpace = [&] {
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  };
  for (;;) {
    skipSpace();
    if (i == text.size()) return pairs;
    KeywordPair pair;
    while (i < text.size() && text[i] != '=' && !std::isspace(static_cast<unsigned char>(text[i])))
      pair.key += text[i++];
    skipSpace();
    if (i == text.size() || text[i] != '=') return std::nullopt;
    ++i;
    skipSpace();
    if (i < text.size() && text[i] == '\'') {
      ++i;
      for (;; ++i) {
        if (i == text.size()) return std::nullopt;
        if (text[i] == '\\' && i + 1 < text.size()) {
          pair.value += text[++i];
        } else if (text[i] == '\'') {
          ++i;
          break;
        } else {
          pair.value += text[i];
        }
      }
    } else {
      while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i]))) {
        if (text[i] == '\\' && i + 1 < text.size()) ++i;
        pair.value += text[i++];
      }
    }
    pairs.push_back(std::move(pair));
  }
}

std::string quoted(const std::string& value) {
  std::string out = "'";
  for (const char c : value) {
    if (c == '\'' || c == '\\') out += '\\';
    out += c;
  }
  return out + "'";
}

std::string redactKeywords(std::string_view text) {
  const std::optional<std::vector<KeywordPair>> pairs = keywordPairs(text);
  if (!pairs) return kNotShown;
  std::string out;
  for (const KeywordPair& pair : *pairs) {
    if (!out.empty()) out += ' ';
    out += pair.key + "=";
    if (fullyDecodedLower(pair.key) == "password") {
      out += kHiddenSecret;
    } else if (mayHoldPassword(pair.value)) {
      // A connection string nested in dbname, or a value that only looks
      // like one: shown with its own passwords removed.
      out += quoted(redactConnectionString(pair.value));
    } else {
      out += pair.value.find_first_of(" \t'\\") == std::string::npos && !pair.value.empty()
                 ? pair.value
                 : quoted(pair.value);
    }
  }
  return out;
}

}  // namespace

bool mayHoldPassword(std::string_view text) {
  const std::string decoded = fullyDecodedLower(text);
  if (decoded.find("password") != std::string::npos) return true;
  // A URI anywhere, also one nested in a keyword string's dbname.
  for (size_t at = decoded.find("://"); at != std::string::npos; at = decoded.find("://", at + 3)) {
    if (uriHasUserPassword(std::string_view(decoded).substr(at))) return true;
  }
  return false;
}

std::string redactConnectionString(std::string_view text) {
  if (!mayHoldPassword(text)) return std::string(text);
  const std::string_view trimmed = trimSpace(text);
  if (isConnectionUri(trimmed)) return redactUri(trimmed);
  return redactKeywords(trimmed);
}

bool isNestedConnectionString(std::string_view dbname) {
  return isConnectionUri(trimSpace(dbname)) || dbname.find('=') != std::string_view::npos;
}

}  // namespace quarn
