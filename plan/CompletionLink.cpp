#include "plan/CompletionLink.h"

#include <string_view>

namespace quarn {

namespace {

bool unreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~';
}

std::string percentEncoded(std::string_view text) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string encoded;
  for (const unsigned char c : text) {
    if (unreserved(c)) {
      encoded += static_cast<char>(c);
    } else {
      encoded += '%';
      encoded += kDigits[c >> 4];
      encoded += kDigits[c & 15];
    }
  }
  return encoded;
}

}  // namespace

bool isCompletionLink(const std::string& link) {
  std::string_view rest(link);
  for (const std::string_view scheme : {"https://", "http://"}) {
    if (rest.size() >= scheme.size()) {
      bool same = true;
      for (size_t i = 0; i < scheme.size(); ++i) {
        const char c = rest[i];
        same = same && (c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) == scheme[i];
      }
      if (same) {
        rest.remove_prefix(scheme.size());
        const size_t hostEnd = rest.find_first_of("/?#");
        const std::string_view host = rest.substr(0, hostEnd);
        if (host.empty() || host.front() == '@' || host.front() == ':') return false;
        for (const unsigned char c : link) {
          if (c <= ' ' || c == 0x7f) return false;
        }
        return true;
      }
    }
  }
  return false;
}

std::string completionAddress(const std::string& link, const std::string& subject) {
  const std::string_view mark(kCompletionIdMark);
  std::string address;
  size_t from = 0;
  for (size_t at = link.find(mark); at != std::string::npos; at = link.find(mark, from)) {
    address += link.substr(from, at - from) + percentEncoded(subject);
    from = at + mark.size();
  }
  return address + link.substr(from);
}

}  // namespace quarn
