// The error handed to the host by every failure callback: a copy of an internal error's
// domain, code and user info (descriptions and underlying error included), adding
// nothing of its own. Immutable; may be used on any thread.
#pragma once

#include <memory>

#include "platform/base/Error.h"

class ZUMRequestError;
using ZUMRequestErrorPtr = std::shared_ptr<const ZUMRequestError>;

class ZUMRequestError : public platform::Error {
 public:
  using platform::Error::Error;

 private:
  friend ZUMRequestErrorPtr ZUMRequestErrorFromError(const platform::ErrorPtr& error);
};

// A new request error equal to `error` in domain, code and every user-info entry;
// nullptr for no error.
ZUMRequestErrorPtr ZUMRequestErrorFromError(const platform::ErrorPtr& error);
