#include "platform/net/BodyBuffer.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(BodyBufferTest, TakesBackExactlyWhatWasAppendedInOrder) {
  const std::size_t piece = BodyBuffer::kPieceBytes;
  const std::vector<std::vector<std::size_t>> rows = {{},       {1}, {piece}, {piece, 1}, {piece - 1, 2, piece * 3 + 5},
                                                      {1, 1, 1}};
  for (const auto& sizes : rows) {
    BodyBuffer buffer;
    std::string expected;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
      std::string bytes(sizes[i], '\0');
      for (std::size_t j = 0; j < bytes.size(); ++j) bytes[j] = static_cast<char>('a' + (i * 7 + j) % 26);
      buffer.append(bytes);
      expected += bytes;
    }
    EXPECT_EQ(buffer.size(), expected.size());
    EXPECT_EQ(buffer.take(), expected) << sizes.size();
    EXPECT_EQ(buffer.size(), 0u);
    EXPECT_EQ(buffer.take(), "");
  }
}

}  // namespace
}  // namespace platform
