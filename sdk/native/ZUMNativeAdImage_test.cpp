// Native ad images as ads and adapters make them, and their downloads from the loopback
// server: the scale applied when decoding, each completion once and on the main thread,
// and the failures a server can cause.
#include "ZUMNativeAdImage.h"

#include <cstdio>

#include <nlohmann/json.hpp>

#include "ZUMNativeAdImageAdLoaderOptions.h"
#include "platform/base/RunLoop.h"
#include "platform/base/SystemLog.h"
#include "platform/net/URLLoading.h"
#include "platform/ui/Image.h"
#include "sdk/errors/ZUMErrors.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"
#include "testing/TestImages.h"

namespace {

using json = nlohmann::ordered_json;

class ZUMNativeAdImageTest : public testenv::PlatformTest {
 protected:
  void SetUp() override { platform::URLLoading::setLoopbackOnlyForTesting(true); }
  void TearDown() override { platform::URLLoading::setOffline(false); }

  std::string url(const std::string& path) const { return server.baseURL() + path; }

  // Loads `image`, waits for its completion, and checks that it came once, on the main
  // thread, and not inside the call.
  platform::ErrorPtr load(const std::shared_ptr<ZUMNativeAdImage>& image) {
    int calls = 0;
    platform::ErrorPtr result;
    image->loadImageWithCompletionHandler([&](platform::ErrorPtr error) {
      EXPECT_TRUE(platform::isMainThread());
      ++calls;
      result = std::move(error);
    });
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(env.runUntil([&] { return calls > 0; }));
    env.runUntilIdle();
    EXPECT_EQ(calls, 1);
    return result;
  }

  testenv::LoopbackServer server;
};

TEST_F(ZUMNativeAdImageTest, DictionariesGiveImagesOnlyWithAURL) {
  platform::SystemLog::Capture capture(true);
  EXPECT_EQ(ZUMNativeAdImage::createWithDictionary(json{{"url", "not a url"}}), nullptr);
  env.runUntilIdle();
  EXPECT_TRUE(capture.contains("Native ad image without a valid \"url\" skipped."));
  EXPECT_EQ(ZUMNativeAdImage::createWithDictionary(json{{"url", 7}}), nullptr);
  EXPECT_EQ(ZUMNativeAdImage::createWithDictionary(json{{"scale", 2}}), nullptr);
  EXPECT_EQ(ZUMNativeAdImage::createWithDictionary(json::array()), nullptr);

  const auto plain = ZUMNativeAdImage::createWithDictionary(json{{"url", "https://img.example/a.png"}});
  ASSERT_NE(plain, nullptr);
  EXPECT_TRUE(plain->required());
  EXPECT_EQ(plain->scale(), 1.0);
  EXPECT_EQ(plain->imageURL()->absoluteString(), "https://img.example/a.png");
  EXPECT_EQ(plain->image(), nullptr);

  const auto optional = ZUMNativeAdImage::createWithDictionary(
      json{{"url", "https://img.example/b.png"}, {"require", false}, {"scale", 3}});
  ASSERT_NE(optional, nullptr);
  EXPECT_FALSE(optional->required());
  EXPECT_EQ(optional->scale(), 3.0);

  const auto given = ZUMNativeAdImage::createWithImage(platform::Image::createBlank({10, 4}, 2.0));
  ASSERT_NE(given, nullptr);
  EXPECT_FALSE(given->required());
  EXPECT_EQ(given->scale(), 2.0);
  EXPECT_FALSE(given->imageURL());
  EXPECT_EQ(ZUMNativeAdImage::createWithImage(nullptr), nullptr);
  EXPECT_FALSE(ZUMNativeAdImage::createWithURL(*platform::URL::fromString("https://img.example/c.png"), 2)->required());
}

TEST_F(ZUMNativeAdImageTest, ListsTakeEveryImageOnlyWhenSeveralAreAskedFor) {
  const json configurations = json::array({json{{"url", "bad url"}}, json{{"url", "https://img.example/1.png"}},
                                           json{{"url", "https://img.example/2.png"}}});
  auto several = ZUMNativeAdImageAdLoaderOptions::create();
  several->setShouldRequestMultipleImages(true);
  const auto all = ZUMNativeAdImage::nativeAdImagesFromImageConfigurationArray(configurations, several.get());
  ASSERT_TRUE(all);
  ASSERT_EQ(all->size(), 2u);
  EXPECT_EQ(all->at(0)->imageURL()->absoluteString(), "https://img.example/1.png");
  EXPECT_EQ(all->at(1)->imageURL()->absoluteString(), "https://img.example/2.png");

  // One image from the first dictionary only: a first that gives none gives no list.
  EXPECT_FALSE(ZUMNativeAdImage::nativeAdImagesFromImageConfigurationArray(configurations, nullptr));
  const json valid =
      json::array({json{{"url", "https://img.example/1.png"}}, json{{"url", "https://img.example/2.png"}}});
  EXPECT_EQ(ZUMNativeAdImage::nativeAdImagesFromImageConfigurationArray(valid, nullptr)->size(), 1u);
  EXPECT_EQ(ZUMNativeAdImage::nativeAdImagesFromImageConfigurationArray(valid,
                                                                        ZUMNativeAdImageAdLoaderOptions::create().get())
                ->size(),
            1u);

  EXPECT_FALSE(ZUMNativeAdImage::nativeAdImagesFromImageConfigurationArray(json::array(), several.get()));
  EXPECT_FALSE(ZUMNativeAdImage::nativeAdImagesFromImageConfigurationArray(json::array({1, "x"}), several.get()));
  EXPECT_FALSE(ZUMNativeAdImage::nativeAdImagesFromImageConfigurationArray(json{{"url", "https://img.example/1.png"}},
                                                                           several.get()));
}

TEST_F(ZUMNativeAdImageTest, ADownloadDecodesAtTheImagesScaleAndIsNotRepeated) {
  server.route("/icon.png", {.body = testenv::pngBytes(100, 60), .contentType = "image/png"});
  auto image = ZUMNativeAdImage::createWithDictionary(json{{"url", url("/icon.png")}, {"scale", 2}});
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(load(image), nullptr);
  ASSERT_NE(image->image(), nullptr);
  EXPECT_EQ(image->image()->size(), (platform::Size{50, 30}));

  EXPECT_EQ(load(image), nullptr);
  EXPECT_EQ(server.requests("/icon.png").size(), 1u);

  // A caller that wants no answer still gets its image.
  auto unheard = ZUMNativeAdImage::createWithURL(*platform::URL::fromString(url("/icon.png")), 1);
  unheard->loadImageWithCompletionHandler(nullptr);
  EXPECT_TRUE(env.runUntil([&] { return unheard->image() != nullptr; }));
}

TEST_F(ZUMNativeAdImageTest, AGivenImageCompletesWithoutTheNetwork) {
  auto image = ZUMNativeAdImage::createWithImage(platform::Image::createBlank({4, 4}));
  image->setImageURL(platform::URL::fromString(url("/never.png")));
  EXPECT_EQ(load(image), nullptr);
  EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(ZUMNativeAdImageTest, FailuresReachTheCompletionAndTheImageCanBeLoadedAgain) {
  server.route("/empty.png", {.body = "", .contentType = "image/png"});
  auto empty = ZUMNativeAdImage::createWithURL(*platform::URL::fromString(url("/empty.png")), 1);
  auto error = load(empty);
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->domain(), kZUMErrorDomain);
  EXPECT_EQ(error->code(), kZUMErrorInternalError);
  EXPECT_EQ(error->localizedDescription(), "Failed to load " + empty->description() + ". Received 0 bytes.");
  EXPECT_EQ(empty->image(), nullptr);

  // A page where a picture should be decodes to nothing and says how much came.
  server.route("/empty.png", {.body = "<html>no</html>"});
  error = load(empty);
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->localizedDescription(), "Failed to load " + empty->description() + ". Received 15 bytes.");

  server.route("/empty.png", {.body = testenv::pngBytes(2, 2), .contentType = "image/png"});
  EXPECT_EQ(load(empty), nullptr);
  EXPECT_NE(empty->image(), nullptr);

  // The connection's own error passes unchanged.
  platform::URLLoading::setOffline(true);
  error = load(ZUMNativeAdImage::createWithURL(*platform::URL::fromString(url("/x.png")), 1));
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->domain(), platform::kURLErrorDomain);

  auto noURL = ZUMNativeAdImage::createWithImage(platform::Image::createBlank({1, 1}));
  noURL->setImage(nullptr);
  error = load(noURL);
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->code(), kZUMErrorInternalError);
  EXPECT_EQ(error->localizedDescription(), "Couldn't create URL request for (null).");
}

TEST_F(ZUMNativeAdImageTest, AnImageLetGoWhileLoadingStillCompletes) {
  server.route("/late.png", {.body = testenv::pngBytes(3, 3), .contentType = "image/png", .held = true});
  int calls = 0;
  platform::ErrorPtr result = platform::Error::create("unset", 1);
  ZUMNativeAdImage::createWithURL(*platform::URL::fromString(url("/late.png")), 1)
      ->loadImageWithCompletionHandler([&](platform::ErrorPtr error) {
        ++calls;
        result = std::move(error);
      });
  ASSERT_TRUE(env.runUntil([&] { return server.heldCount("/late.png") == 1; }));
  server.release("/late.png");
  ASSERT_TRUE(env.runUntil([&] { return calls > 0; }));
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(result, nullptr);
}

TEST_F(ZUMNativeAdImageTest, TheDescriptionNamesScaleAndURL) {
  auto image = ZUMNativeAdImage::createWithURL(*platform::URL::fromString("https://img.example/d.png"), 2);
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(image.get()));
  EXPECT_EQ(image->description(),
            std::string("<ZUMNativeAdImage: ") + address + " scale: 2.000000 URL: https://img.example/d.png>");
}

}  // namespace
