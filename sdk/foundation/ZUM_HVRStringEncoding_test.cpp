#include "sdk/foundation/ZUM_HVRStringEncoding.h"

#include <gtest/gtest.h>

namespace {

TEST(ZUM_HVRStringEncodingTest, Base64OfRFC4648) {
  const auto& standard = ZUM_HVRStringEncoding::rfc4648Base64StringEncoding();
  // The test vectors of RFC 4648, section 10.
  EXPECT_EQ(standard.encode(""), "");
  EXPECT_EQ(standard.encode("f"), "Zg==");
  EXPECT_EQ(standard.encode("fo"), "Zm8=");
  EXPECT_EQ(standard.encode("foo"), "Zm9v");
  EXPECT_EQ(standard.encode("foob"), "Zm9vYg==");
  EXPECT_EQ(standard.encode("fooba"), "Zm9vYmE=");
  EXPECT_EQ(standard.encode("foobar"), "Zm9vYmFy");
}

TEST(ZUM_HVRStringEncodingTest, WebsafeAlphabetReplacesPlusAndSlash) {
  const std::string bytes("\xfb\xff\xbf", 3);
  EXPECT_EQ(ZUM_HVRStringEncoding::rfc4648Base64StringEncoding().encode(bytes), "+/+/");
  EXPECT_EQ(ZUM_HVRStringEncoding::rfc4648Base64WebsafeStringEncoding().encode(bytes), "-_-_");
  // A fingerprint of ten 4-byte pieces.
  EXPECT_EQ(ZUM_HVRStringEncoding::rfc4648Base64WebsafeStringEncoding().encode(std::string(40, '\xff')).size(), 56u);
}

}  // namespace
