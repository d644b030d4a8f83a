#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quarn::server {

// The cookie that lets a browser come back to its session: a reload, a phone
// that slept or a lost network finds the same game on the server.
inline constexpr std::string_view kSessionCookieName = "quarn_session";

// A new session token: 128 bits from the system's random source, as 32
// lowercase hex digits.
std::string newSessionToken();

// The session token a Cookie header carries: the first quarn_session cookie
// whose value is a token as newSessionToken() makes it; nothing when there
// is none (a malformed value counts as none).
std::optional<std::string> sessionTokenOf(std::string_view cookieHeader);

// The Set-Cookie header's value that gives the browser `token`: for the
// whole site, never readable by the page's scripts nor sent with another
// site's requests; under TLS only over TLS.
std::string sessionCookie(std::string_view token, bool secure);

// The name of the browser's device, as a workstation's mark names its
// computer: "browser " and 8 hex digits of a hash of the token, so the same
// token gives the same name (also after a restart of the server) while the
// name never gives the token away.
std::string deviceNameOf(std::string_view token);

}  // namespace quarn::server
