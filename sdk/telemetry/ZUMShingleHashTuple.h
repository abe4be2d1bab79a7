// One shingle kept by a content fingerprint: its tokens and their rolling hash. Ranked
// by length first (a shorter shingle is less), then by hash; two tuples of equal length
// and hash rank equal, whatever their tokens.
//
// A plain value; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class ZUMShingleHashTuple {
 public:
  ZUMShingleHashTuple(std::vector<std::string> shingle, std::uint64_t hashValue)
      : shingle_(std::move(shingle)), hashValue_(hashValue) {}

  const std::vector<std::string>& shingle() const { return shingle_; }
  std::uint64_t hashValue() const { return hashValue_; }

  // -1, 0 or 1 as (token count, hash) of `a` ranks below, with or above that of `b`.
  static int compare(std::size_t countA, std::uint64_t hashA, std::size_t countB, std::uint64_t hashB) {
    if (countA != countB) return countA < countB ? -1 : 1;
    if (hashA != hashB) return hashA < hashB ? -1 : 1;
    return 0;
  }
  static int compare(const ZUMShingleHashTuple& a, const ZUMShingleHashTuple& b) {
    return compare(a.shingle_.size(), a.hashValue_, b.shingle_.size(), b.hashValue_);
  }

 private:
  std::vector<std::string> shingle_;
  std::uint64_t hashValue_;
};
