#include "server/SessionCookie.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>

namespace quarn::server {

namespace {

constexpr std::size_t kTokenBytes = 16;
constexpr char kHexDigits[] = "0123456789abcdef";

bool isToken(std::string_view text) {
  return text.size() == 2 * kTokenBytes && std::all_of(text.begin(), text.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

std::string hexOf(uint64_t value, int digits) {
  std::string text(static_cast<std::size_t>(digits), '0');
  for (int i = digits - 1; i >= 0; --i, value >>= 4) {
    text[static_cast<std::size_t>(i)] = kHexDigits[value & 0xf];
  }
  return text;
}

// FNV-1a, 32 bits.
uint32_t hashOf(std::string_view text) {
  uint32_t hash = 2166136261u;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 16777619u;
  }
  return hash;
}

}  // namespace

std::string newSessionToken() {
  std::random_device source;
  std::string token;
  token.reserve(2 * kTokenBytes);
  // random_device gives 32 bits a call.
  for (std::size_t i = 0; i < kTokenBytes / 4; ++i) token += hexOf(source(), 8);
  return token;
}

std::optional<std::string> sessionTokenOf(std::string_view cookieHeader) {
  while (!cookieHeader.empty()) {
    const auto end = cookieHeader.find(';');
    const std::string_view pair = trimmed(cookieHeader.substr(0, end));
    cookieHeader =
        end == std::string_view::npos ? std::string_view() : cookieHeader.substr(end + 1);
    const auto equals = pair.find('=');
    if (equals == std::string_view::npos) continue;
    if (trimmed(pair.substr(0, equals)) != kSessionCookieName) continue;
    const std::string_view value = trimmed(pair.substr(equals + 1));
    if (isToken(value)) return std::string(value);
  }
  return std::nullopt;
}

std::string sessionCookie(std::string_view token, bool secure) {
  std::string cookie = std::string(kSessionCookieName) + "=" + std::string(token) +
                       "; Path=/; HttpOnly; SameSite=Strict";
  if (secure) cookie += "; Secure";
  return cookie;
}

std::string deviceNameOf(std::string_view token) {
  return "browser " + hexOf(hashOf(token), 8);
}

}  // namespace quarn::server
