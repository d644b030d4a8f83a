#pragma once

#include <memory>
#include <string>

namespace boost::asio::ssl {
class context;
}

namespace quarn::server {

// The lab's certificate and its private key, PEM files.
struct TlsFiles {
  std::string certificate;
  std::string key;
};

// The server's side of TLS with `files`: TLS 1.2 or later. A file that
// cannot be read or used (no PEM certificate or key, a key that does not
// fit the certificate) raises std::runtime_error naming the file.
std::unique_ptr<boost::asio::ssl::context> serverTlsContext(const TlsFiles& files);

}  // namespace quarn::server
