#include "sdk/foundation/ZUM_HVRStringEncoding.h"

#include <gtest/gtest.h>

namespace {

TEST(ZUM_HVRStringEncodingTest, Base64OfRFC4648AndItsWebsafeAlphabet) {
  const auto& standard = ZUM_HVRStringEncoding::rfc4648Base64StringEncoding();
  // The test vectors of RFC 4648, section 10.
  const std::pair<const char*, const char*> vectors[] = {{"", ""},
                                                         {"f", "Zg=="},
                                                         {"fo", "Zm8="},
                                                         {"foo", "Zm9v"},
                                                         {"foob", "Zm9vYg=="},
                                                         {"fooba", "Zm9vYmE="},
                                                         {"foobar", "Zm9vYmFy"}};
  for (const auto& [plain, encoded] : vectors) EXPECT_EQ(standard.encode(plain), encoded) << plain;
  const std::string bytes("\xfb\xff\xbf", 3);
  EXPECT_EQ(standard.encode(bytes), "+/+/");
  EXPECT_EQ(ZUM_HVRStringEncoding::rfc4648Base64WebsafeStringEncoding().encode(bytes), "-_-_");
}

}  // namespace
