// An X.509 certificate made from its DER encoding, after the phone platform's
// certificate object. Immutable once made; use it from any thread.
#pragma once

#include <memory>
#include <string_view>

struct x509_st;

namespace platform {

class Certificate {
 public:
  // nullptr unless the bytes are exactly one DER-encoded certificate (nothing after it).
  static std::shared_ptr<Certificate> createWithData(std::string_view der);
  ~Certificate();
  Certificate(const Certificate&) = delete;
  Certificate& operator=(const Certificate&) = delete;

  // The parsed certificate, for the platform's own trust evaluation.
  const x509_st* x509() const { return x509_; }

 private:
  explicit Certificate(x509_st* x509) : x509_(x509) {}
  x509_st* x509_;
};

}  // namespace platform
