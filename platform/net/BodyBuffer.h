// A response body kept as it arrives, in pieces of at most kPieceBytes, and joined once
// at the end. A single buffer grown by doubling leaves its earlier, smaller copies
// resident and holds two copies while it grows, so a body that runs to its cap would cost
// about twice the cap; pieces cost the cap and no more until the body is taken whole.
//
// A value type for one thread at a time.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class BodyBuffer {
 public:
  static constexpr std::size_t kPieceBytes = 64 * 1024;

  std::size_t size() const { return size_; }

  void append(std::string_view bytes) {
    size_ += bytes.size();
    while (!bytes.empty()) {
      if (pieces_.empty() || pieces_.back().size() >= kPieceBytes) pieces_.emplace_back();
      std::string& piece = pieces_.back();
      const std::size_t taken = std::min(bytes.size(), kPieceBytes - piece.size());
      piece.append(bytes.substr(0, taken));
      bytes.remove_prefix(taken);
    }
  }

  // The whole body; the buffer is empty afterwards.
  std::string take() {
    std::string whole;
    if (pieces_.size() == 1) {
      whole = std::move(pieces_.front());
    } else {
      whole.reserve(size_);
      for (const std::string& piece : pieces_) whole += piece;
    }
    clear();
    return whole;
  }

  void clear() {
    pieces_.clear();
    size_ = 0;
  }

 private:
  std::vector<std::string> pieces_;
  std::size_t size_ = 0;
};

}  // namespace platform
