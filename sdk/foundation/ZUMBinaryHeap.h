// A binary min-heap ordered by a three-way comparator (negative: less, 0: equal,
// positive: greater): the minimum is the least element. Used to keep the best K of a
// stream of candidates (add, then drop the minimum when over K).
//
// A plain value; not thread-safe: use it from one thread at a time.
#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

template <typename T>
class ZUMBinaryHeap {
 public:
  using Comparator = std::function<int(const T&, const T&)>;

  explicit ZUMBinaryHeap(Comparator comparator) : comparator_(std::move(comparator)) {}

  void addObject(T value) {
    elements_.push_back(std::move(value));
    siftUp(elements_.size() - 1);
  }

  // Whether an element compares equal to `value`.
  bool containsObject(const T& value) const {
    return std::any_of(elements_.begin(), elements_.end(),
                       [&](const T& element) { return comparator_(element, value) == 0; });
  }

  std::size_t count() const { return elements_.size(); }

  // The least element; std::nullopt when empty.
  std::optional<T> minimum() const {
    if (elements_.empty()) return std::nullopt;
    return elements_.front();
  }

  // Removes the least element and returns it; std::nullopt when empty.
  std::optional<T> removedMinimum() {
    if (elements_.empty()) return std::nullopt;
    T least = std::move(elements_.front());
    elements_.front() = std::move(elements_.back());
    elements_.pop_back();
    if (!elements_.empty()) siftDown(0);
    return least;
  }

  // Every element in ascending order; std::nullopt when empty.
  std::optional<std::vector<T>> sortedObjects() const {
    if (elements_.empty()) return std::nullopt;
    std::vector<T> sorted = elements_;
    std::stable_sort(sorted.begin(), sorted.end(), [this](const T& a, const T& b) { return comparator_(a, b) < 0; });
    return sorted;
  }

 private:
  bool less(std::size_t a, std::size_t b) const { return comparator_(elements_[a], elements_[b]) < 0; }

  void siftUp(std::size_t index) {
    while (index > 0) {
      std::size_t parent = (index - 1) / 2;
      if (!less(index, parent)) return;
      std::swap(elements_[index], elements_[parent]);
      index = parent;
    }
  }

  void siftDown(std::size_t index) {
    while (true) {
      std::size_t left = 2 * index + 1, right = left + 1, least = index;
      if (left < elements_.size() && less(left, least)) least = left;
      if (right < elements_.size() && less(right, least)) least = right;
      if (least == index) return;
      std::swap(elements_[index], elements_[least]);
      index = least;
    }
  }

  Comparator comparator_;
  std::vector<T> elements_;
};
