#include "ZUMNativeAdImage.h"

#include <cstdio>
#include <utility>

#include <nlohmann/json.hpp>

#include "ZUMNativeAdImageAdLoaderOptions.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/OperationQueue.h"
#include "platform/net/URLConnection.h"
#include "platform/ui/Image.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMJSONReaders.h"
#include "sdk/foundation/ZUMLogger.h"

namespace {

void completeOnMainQueue(ZUMNativeAdImage::CompletionHandler completion, platform::ErrorPtr error) {
  platform::DispatchQueue::main()->async(
      [completion = std::move(completion), error = std::move(error)] { completion(error); });
}

}  // namespace

ZUMNativeAdImage::ZUMNativeAdImage(std::optional<platform::URL> url, double scale, bool required)
    : required_(required), imageURL_(std::move(url)), scale_(scale) {}

std::shared_ptr<ZUMNativeAdImage> ZUMNativeAdImage::createWithDictionary(const nlohmann::ordered_json& dictionary) {
  const auto text = ZUMJSONStringForKey(dictionary, "url");
  auto url = text ? platform::URL::fromString(*text) : std::nullopt;
  if (!url) {
    ZUMLog(kZUMLogLevelDefault, "Native ad image without a valid \"url\" skipped.");
    return nullptr;
  }
  return std::make_shared<ZUMNativeAdImage>(std::move(url), ZUMJSONDoubleForKey(dictionary, "scale", 1.0),
                                            ZUMJSONBoolForKey(dictionary, "require", true));
}

std::shared_ptr<ZUMNativeAdImage> ZUMNativeAdImage::createWithImage(std::shared_ptr<platform::Image> image) {
  if (!image) return nullptr;
  auto made = std::make_shared<ZUMNativeAdImage>(std::nullopt, image->scale(), false);
  made->image_ = std::move(image);
  return made;
}

std::shared_ptr<ZUMNativeAdImage> ZUMNativeAdImage::createWithURL(platform::URL url, double scale) {
  return std::make_shared<ZUMNativeAdImage>(std::move(url), scale, false);
}

std::optional<std::vector<std::shared_ptr<ZUMNativeAdImage>>>
ZUMNativeAdImage::nativeAdImagesFromImageConfigurationArray(const nlohmann::ordered_json& configurations,
                                                            const ZUMNativeAdImageAdLoaderOptions* options) {
  const auto* array = ZUMJSONArray(configurations);
  if (!array || array->empty()) return std::nullopt;
  std::vector<std::shared_ptr<ZUMNativeAdImage>> images;
  if (options && options->shouldRequestMultipleImages()) {
    for (const auto& configuration : *array) {
      if (auto image = createWithDictionary(configuration)) images.push_back(std::move(image));
    }
  } else if (auto image = createWithDictionary(array->front())) {
    images.push_back(std::move(image));
  }
  if (images.empty()) return std::nullopt;
  return images;
}

void ZUMNativeAdImage::loadImageWithCompletionHandler(CompletionHandler completion) {
  startLoading(std::move(completion));
}

std::shared_ptr<platform::URLConnection> ZUMNativeAdImage::startLoading(CompletionHandler completion) {
  platform::assertMainThread();
  if (!completion) completion = [](platform::ErrorPtr) {};
  if (image_) {
    completeOnMainQueue(std::move(completion), nullptr);
    return nullptr;
  }
  if (!imageURL_) {
    completeOnMainQueue(std::move(completion),
                        ZUMMakeErrorWithDescription(kZUMErrorInternalError, "Couldn't create URL request for (null)."));
    return nullptr;
  }
  // The image keeps itself alive until its load answers, as the host expects its
  // completion even when it let go of the image.
  return platform::URLConnection::sendAsynchronousRequest(
      platform::URLRequest(*imageURL_), platform::OperationQueue::main(),
      [self = shared_from_this(), completion = std::move(completion)](std::optional<platform::HTTPURLResponse>,
                                                                      std::string data, platform::ErrorPtr error) {
        if (error) {
          completion(std::move(error));
          return;
        }
        if (!data.empty()) self->image_ = platform::Image::decode(data, self->scale_);
        if (!self->image_) {
          completion(ZUMMakeErrorWithDescription(
              kZUMErrorInternalError,
              "Failed to load " + self->description() + ". Received " + std::to_string(data.size()) + " bytes."));
          return;
        }
        completion(nullptr);
      });
}

std::string ZUMNativeAdImage::description() const {
  char head[96];
  std::snprintf(head, sizeof head, "<ZUMNativeAdImage: %p scale: %f URL: ", static_cast<const void*>(this), scale_);
  return head + (imageURL_ ? imageURL_->absoluteString() : std::string("(null)")) + ">";
}
