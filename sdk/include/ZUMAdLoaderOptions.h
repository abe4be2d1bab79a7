// The base of every ad option: an object a host hands to an ad loader or a banner view
// to tune its requests. Each option class is kept once per configuration, copied when
// kept (ZUMAdConfiguration), so the host may change its own object afterwards.
//
// Subclasses name themselves (className(), also the configuration's key), copy their own
// fields and may contribute request parameters. Plain values; any thread once built.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

class ZUMAdLoaderOptions {
 public:
  static constexpr const char* kClassName = "ZUMAdLoaderOptions";
  static std::shared_ptr<ZUMAdLoaderOptions> create() { return std::make_shared<ZUMAdLoaderOptions>(); }
  virtual ~ZUMAdLoaderOptions() = default;

  // A new object of the same class with the same fields.
  virtual std::shared_ptr<ZUMAdLoaderOptions> copy() const { return std::make_shared<ZUMAdLoaderOptions>(*this); }
  // The parameters this option adds to a request; nullopt: none.
  virtual std::optional<nlohmann::ordered_json> requestParameters() const;
  virtual std::string className() const { return kClassName; }
  // "<ClassName: 0x...>".
  std::string description() const;
};
