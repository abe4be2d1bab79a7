// The settings a web view of the web view layer is made with: which engine ("ui" for the
// older, "wk" for the newer), whether media needs a user action to play, the data
// detectors and whether pages are scaled to fit. A plain copyable value: a
// default-constructed configuration reads its defaults from the user defaults at that
// moment; a copy takes the source's values.
//
// Any thread (reading the user defaults is thread-safe).
#pragma once

#include <cstdint>
#include <string>

class ZUMWebViewConfiguration {
 public:
  // webViewClassKey: the user default "/vantor/ads/wv_class" when it is a non-empty
  // string, else "ui". mediaPlaybackRequiresUserAction: the boolean of the user default
  // "/vantor/ads/banner_prevent_autoplay" (NO when absent). No data detectors; pages are
  // not scaled to fit.
  ZUMWebViewConfiguration();

  // "ui" (the older engine) or "wk" (the newer); any other key stands for "ui".
  const std::string& webViewClassKey() const { return webViewClassKey_; }
  void setWebViewClassKey(std::string key) { webViewClassKey_ = std::move(key); }
  bool mediaPlaybackRequiresUserAction() const { return mediaPlaybackRequiresUserAction_; }
  void setMediaPlaybackRequiresUserAction(bool value) { mediaPlaybackRequiresUserAction_ = value; }
  // Flags of the platform's data detectors; 0 for none.
  std::uint64_t dataDetectorType() const { return dataDetectorType_; }
  void setDataDetectorType(std::uint64_t types) { dataDetectorType_ = types; }
  bool scalesPageToFit() const { return scalesPageToFit_; }
  void setScalesPageToFit(bool value) { scalesPageToFit_ = value; }

 private:
  std::string webViewClassKey_;
  bool mediaPlaybackRequiresUserAction_ = false;
  std::uint64_t dataDetectorType_ = 0;
  bool scalesPageToFit_ = false;
};
