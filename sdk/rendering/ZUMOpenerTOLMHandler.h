// Turns an ad page's click and open messages into calls on the opener it shares with its
// ad-view delegate: "click" tracks a click URL without opening anything, "open" opens
// what its "a" parameter names (an unknown or missing "a" opens as "app"),
// "fetchAppStore" preloads a store sheet. The handler only reads and converts the
// parameters; every check and every reply to the page is the opener's. It never holds
// messages back.
//
// Holds its opener strongly. Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/base/URL.h"
#include "sdk/rendering/ZUMTOLMHandler.h"

class ZUMOpener;

class ZUMOpenerTOLMHandler final : public ZUMTOLMHandler {
 public:
  static std::shared_ptr<ZUMOpenerTOLMHandler> create(std::shared_ptr<ZUMOpener> opener);

  const std::shared_ptr<ZUMOpener>& opener() const { return opener_; }
  void setOpener(std::shared_ptr<ZUMOpener> opener) { opener_ = std::move(opener); }

  const ActionTable* actionBlockDictionary() const override;
  const ActionTable* subActionBlockDictionary() const override;

  // "o": "p" both portraits (6), "l" both landscapes (24), "c" the family of the status
  // bar's orientation; anything else all four (30).
  static std::uint64_t orientationFromParams(const nlohmann::ordered_json& parameters);
  // "custom_close" is "1".
  static bool shouldUseCustomClose(const nlohmann::ordered_json& parameters);

 private:
  explicit ZUMOpenerTOLMHandler(std::shared_ptr<ZUMOpener> opener) : opener_(std::move(opener)) {}

  void click(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void open(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void fetchInAppStore(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void openInAppStore(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void openBrowser(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void openInlineSafari(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void openWebApp(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void expand(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void openApp(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void openAppLink(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  // The slot's click URL for the URL (the URL itself without a slot).
  platform::URL clickURL(const platform::URL& url) const;

  std::shared_ptr<ZUMOpener> opener_;
};
