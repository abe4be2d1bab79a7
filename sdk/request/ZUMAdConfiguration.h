// The ad options of an ad loader or a banner view: at most one option of each class,
// each a copy of the host's object, and the request parameters they add together.
//
// The first option of a class wins: a later one of the same class is logged and ignored,
// as is an entry that is no option at all (nullptr). Immutable once made; any thread.
#pragma once

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "ZUMAdLoaderOptions.h"

class ZUMAdConfiguration {
 public:
  using Options = std::vector<std::shared_ptr<ZUMAdLoaderOptions>>;

  static std::shared_ptr<ZUMAdConfiguration> create(const Options& options);

  // The kept options, in the order given; nullopt when none was valid.
  const std::optional<Options>& options() const { return options_; }
  // The kept option of exactly that class, or nullptr.
  std::shared_ptr<ZUMAdLoaderOptions> optionOfClass(std::string_view className) const;
  template <class T>
  std::shared_ptr<T> option() const {
    return std::dynamic_pointer_cast<T>(optionOfClass(T::kClassName));
  }
  // Each kept option's parameters merged into one dictionary, later keys over earlier.
  nlohmann::ordered_json requestParameters() const;

 private:
  std::optional<Options> options_;
};
