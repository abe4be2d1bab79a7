#include "platform/crypto/Certificate.h"

#include <limits>

#include <openssl/err.h>
#include <openssl/x509.h>

namespace platform {

std::shared_ptr<Certificate> Certificate::createWithData(std::string_view der) {
  if (der.empty() || der.size() > static_cast<std::size_t>(std::numeric_limits<long>::max())) return nullptr;
  const auto* cursor = reinterpret_cast<const unsigned char*>(der.data());
  X509* x509 = d2i_X509(nullptr, &cursor, static_cast<long>(der.size()));
  if (x509 && cursor != reinterpret_cast<const unsigned char*>(der.data()) + der.size()) {
    X509_free(x509);
    x509 = nullptr;
  }
  if (!x509) {
    ERR_clear_error();  // the refusal is the answer; leave no error behind for others
    return nullptr;
  }
  return std::shared_ptr<Certificate>(new Certificate(x509));
}

Certificate::~Certificate() { X509_free(x509_); }

}  // namespace platform
