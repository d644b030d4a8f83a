#include "server/TlsContext.h"

#include <openssl/ssl.h>

#include <boost/asio/ssl/context.hpp>
#include <fstream>
#include <stdexcept>

namespace quarn::server {

namespace ssl = boost::asio::ssl;

namespace {

void requireReadable(const std::string& path, const std::string& what) {
  if (!std::ifstream(path))
    throw std::runtime_error("the " + what + " " + path + " cannot be read");
}

// Runs `load`; its failure is said with the file it read.
template <class Load>
void loadFile(const std::string& path, const std::string& what, const Load& load) {
  requireReadable(path, what);
  boost::system::error_code error;
  load(error);
  if (error) {
    throw std::runtime_error("the " + what + " " + path + " cannot be used (" + error.message() +
                             ")");
  }
}

}  // namespace

std::unique_ptr<ssl::context> serverTlsContext(const TlsFiles& files) {
  auto context = std::make_unique<ssl::context>(ssl::context::tls_server);
  context->set_options(ssl::context::default_workarounds | ssl::context::no_sslv2 |
                       ssl::context::no_sslv3 | ssl::context::single_dh_use);
  SSL_CTX_set_min_proto_version(context->native_handle(), TLS1_2_VERSION);
  // The key first: a certificate that does not fit it then leaves the
  // context without a key, which the check below says plainly.
  loadFile(files.key, "key", [&](boost::system::error_code& error) {
    context->use_private_key_file(files.key, ssl::context::pem, error);
  });
  loadFile(files.certificate, "certificate", [&](boost::system::error_code& error) {
    context->use_certificate_chain_file(files.certificate, error);
  });
  if (SSL_CTX_check_private_key(context->native_handle()) != 1) {
    throw std::runtime_error("the key " + files.key + " does not belong to the certificate " +
                             files.certificate);
  }
  return context;
}

}  // namespace quarn::server
