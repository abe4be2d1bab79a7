#include "platform/media/Asset.h"

#include "platform/base/ASCIIString.h"
#include "platform/base/DispatchQueue.h"
#include "platform/media/FileByteSource.h"
#include "platform/media/HTTPByteSource.h"
#include "platform/media/LoaderByteSource.h"
#include "platform/media/MediaError.h"

namespace platform {

std::shared_ptr<Asset> Asset::create(URL url) { return std::shared_ptr<Asset>(new Asset(std::move(url))); }

Asset::Asset(URL url) : url_(std::move(url)), loader_(AssetResourceLoader::create()) {}

Asset::~Asset() {
  if (decoder_) decoder_->stop();
}

std::shared_ptr<ByteSource> Asset::makeSource() {
  const std::string scheme = url_.scheme().value_or("");
  if (equalsIgnoringASCIICase(scheme, "file")) return FileByteSource::create(url_.path().value_or(""));
  if (equalsIgnoringASCIICase(scheme, "http") || equalsIgnoringASCIICase(scheme, "https")) {
    return HTTPByteSource::create(url_);
  }
  return LoaderByteSource::create(url_, loader_);
}

void Asset::startLoading() {
  {
    std::lock_guard lock(mutex_);
    if (status_ != KeyValueStatus::Unknown) return;
    status_ = KeyValueStatus::Loading;
    source_ = makeSource();
  }
  std::weak_ptr<Asset> weak = weak_from_this();
  auto decoder = MediaDecoder::start(source_, [weak](const MediaInfo* info, ErrorPtr error) {
    auto self = weak.lock();
    if (!self) return;
    self->opened(info, std::move(error));
    // The asset stops this thread when it goes: never let it go here.
    DispatchQueue::main()->async([self = std::move(self)] {});
  });
  std::lock_guard lock(mutex_);
  decoder_ = std::move(decoder);
}

void Asset::opened(const MediaInfo* info, ErrorPtr error) {
  std::vector<std::function<void()>> waiting;
  {
    std::lock_guard lock(mutex_);
    if (status_ != KeyValueStatus::Loading) return;
    if (info) {
      info_ = std::make_unique<MediaInfo>(*info);
      for (const MediaTrackInfo& t : info->tracks) {
        const auto& m = t.transform;
        tracks_.push_back(std::make_shared<AssetTrack>(
            t.trackID, t.isVideo ? kMediaTypeVideo : kMediaTypeAudio, Size{double(t.width), double(t.height)},
            AffineTransform{m[0], m[1], m[2], m[3], m[4], m[5]}, float(t.estimatedDataRate)));
      }
      status_ = KeyValueStatus::Loaded;
    } else {
      error_ = error ? error : makeMediaError(kMediaErrorUnknown, "The media could not be opened");
      status_ = KeyValueStatus::Failed;
    }
    waiting.swap(waiting_);
  }
  for (auto& handler : waiting) handler();
}

void Asset::whenLoaded(std::function<void()> handler) {
  startLoading();
  {
    std::lock_guard lock(mutex_);
    if (status_ == KeyValueStatus::Loading) return waiting_.push_back(std::move(handler));
  }
  handler();
}

void Asset::loadValuesAsynchronously(const std::vector<std::string>&, std::function<void()> completion) {
  whenLoaded([completion = std::move(completion)] {
    if (completion) DispatchQueue::global()->async(completion);
  });
}

Asset::KeyValueStatus Asset::statusOfValue(const std::string& key, ErrorPtr* error) const {
  static const char* const kKeys[] = {"duration", "tracks", "playable"};
  bool known = false;
  for (const char* k : kKeys) known = known || key == k;
  std::lock_guard lock(mutex_);
  if (!known) return KeyValueStatus::Unknown;
  if (error && status_ == KeyValueStatus::Failed) *error = error_;
  return status_;
}

void Asset::cancelLoading() {
  std::vector<std::function<void()>> waiting;
  {
    std::lock_guard lock(mutex_);
    if (status_ != KeyValueStatus::Loading) return;
    status_ = KeyValueStatus::Cancelled;
    waiting.swap(waiting_);
  }
  if (source_) source_->cancel();
  for (auto& handler : waiting) handler();
}

MediaTime Asset::duration() const {
  std::lock_guard lock(mutex_);
  if (!info_) return MediaTime::invalid();
  return MediaTime::makeWithSeconds(info_->duration, 600000);
}

std::vector<std::shared_ptr<AssetTrack>> Asset::tracks() const {
  std::lock_guard lock(mutex_);
  return tracks_;
}

std::vector<std::shared_ptr<AssetTrack>> Asset::tracksWithMediaType(const std::string& mediaType) const {
  std::vector<std::shared_ptr<AssetTrack>> out;
  for (auto& t : tracks()) {
    if (t->mediaType() == mediaType) out.push_back(t);
  }
  return out;
}

std::shared_ptr<MediaDecoder> Asset::decoder() {
  startLoading();
  std::lock_guard lock(mutex_);
  return decoder_;
}

const MediaInfo* Asset::mediaInfo() const {
  std::lock_guard lock(mutex_);
  return info_.get();
}

}  // namespace platform
