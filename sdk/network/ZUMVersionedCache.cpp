#include "sdk/network/ZUMVersionedCache.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

#include "platform/base/DispatchQueue.h"
#include "platform/base/FileManager.h"
#include "platform/base/Random.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/foundation/ZUMURLUtilities.h"
#include "sdk/network/ZUMResourceCache.h"

namespace {

struct Files {
  std::filesystem::path content;  // <md5>.tcache
  std::filesystem::path version;  // <md5>.version
};

std::optional<Files> filesForCacheID(std::string_view cacheID, platform::ErrorPtr* error) {
  auto url = ZUMResourceCache::fileURLForCacheID(cacheID, error);
  auto path = url ? url->path() : std::nullopt;
  if (!path) return std::nullopt;
  Files files;
  files.content = *path;
  files.version = files.content;
  files.version.replace_extension(".version");
  return files;
}

// The most a cache reads back: the content is a script of a few hundred kilobytes, the
// version a short name. A larger file is damaged or not ours.
constexpr std::uintmax_t kMaxContentBytes = 16 * 1024 * 1024;
constexpr std::uintmax_t kMaxVersionBytes = 4 * 1024;

// The file's bytes when it holds at most `limit`; a larger file counts as absent, with a
// log line (and, when asked, an error), so it is never read into memory.
std::optional<std::string> readBounded(const std::filesystem::path& path, std::uintmax_t limit,
                                       platform::ErrorPtr* error = nullptr) {
  std::error_code sizeError;
  const auto size = std::filesystem::file_size(path, sizeError);
  if (!sizeError && size > limit) {
    ZUMLog(kZUMLogLevelDefault, "Ignored the cache file " + path.filename().string() + ": " + std::to_string(size) +
                                    " bytes, more than " + std::to_string(limit) + ".");
    if (error) *error = ZUMMakeErrorWithDescription(kZUMErrorInternalError, "Cache file too large.");
    return std::nullopt;
  }
  return platform::FileManager::readFile(path, error);
}

void completeOnMainQueue(ZUMVersionedCache::Completion completion, platform::ErrorPtr error) {
  if (!completion) return;
  platform::DispatchQueue::main()->async(
      [completion = std::move(completion), error = std::move(error)] { completion(error); });
}

}  // namespace

// Hears the download of an update while the versioned cache lives.
class ZUMVersionedCache::Listener final : public ZUMResourceCacheDelegate {
 public:
  explicit Listener(std::weak_ptr<ZUMVersionedCache> owner) : owner_(std::move(owner)) {}

  void resourceCacheDidSucceedCaching(const std::shared_ptr<ZUMResourceCache>& cache) override {
    if (auto owner = owner_.lock()) owner->downloadEnded(cache, nullptr);
  }
  void resourceCacheDidFailCachingWithError(const std::shared_ptr<ZUMResourceCache>& cache,
                                            const platform::ErrorPtr& error) override {
    if (auto owner = owner_.lock()) {
      owner->downloadEnded(
          cache, error ? error : ZUMMakeErrorWithDescription(kZUMErrorInternalError, "Cache update cancelled."));
    }
  }

 private:
  std::weak_ptr<ZUMVersionedCache> owner_;
};

std::shared_ptr<ZUMVersionedCache> ZUMVersionedCache::create(std::string cacheID) {
  std::shared_ptr<ZUMVersionedCache> cache(new ZUMVersionedCache(std::move(cacheID)));
  cache->load();
  return cache;
}

ZUMVersionedCache::ZUMVersionedCache(std::string cacheID) : cacheID_(std::move(cacheID)) {}

ZUMVersionedCache::~ZUMVersionedCache() {
  // The download goes with this object (and removes its side file); its caller still
  // hears how the update ended.
  completeOnMainQueue(std::move(completion_),
                      ZUMMakeErrorWithDescription(kZUMErrorInternalError, "Cache update cancelled."));
}

void ZUMVersionedCache::load() {
  auto files = filesForCacheID(cacheID_, nullptr);
  if (!files) return;
  auto data = readBounded(files->content, kMaxContentBytes);
  if (!data) return;
  std::lock_guard lock(mutex_);
  data_ = std::move(data);
  version_ = readBounded(files->version, kMaxVersionBytes);
}

std::optional<std::string> ZUMVersionedCache::cacheData() const {
  std::lock_guard lock(mutex_);
  return data_;
}

std::optional<std::string> ZUMVersionedCache::cacheVersion() const {
  std::lock_guard lock(mutex_);
  return version_;
}

void ZUMVersionedCache::updateWithURL(const platform::URL& url, std::string version, Completion completion) {
  platform::ErrorPtr refusal;
  std::shared_ptr<ZUMResourceCache> download;
  {
    std::lock_guard lock(mutex_);
    if (download_) {
      refusal = ZUMMakeErrorWithDescription(kZUMErrorInternalError, "Cache update already in progress.");
    } else if (data_ && version_ && *version_ == version) {
      refusal = ZUMMakeErrorWithDescription(kZUMErrorInternalError, "Cache version hasn't changed.");
    } else {
      auto files = filesForCacheID(cacheID_, &refusal);
      auto request = ZUMURLRequestWithBody(url, std::nullopt, std::nullopt, std::nullopt);
      if (files && request) {
        // Each download has a file of its own, so overlapping updates of one cache ID
        // (from two objects, or one starting as another ends) never share bytes.
        auto partial = files->content;
        partial.replace_extension("." + platform::Random::uuidString() + ".part");
        download = ZUMResourceCache::create(*request, platform::URL::fileURL(partial), true);
      }
      if (!download && !refusal) {
        refusal = ZUMMakeErrorWithDescription(kZUMErrorInternalError, "Failed to get cache directory path.");
      }
      if (download) {
        download_ = download;
        listener_ = std::make_shared<Listener>(weak_from_this());
        download->setDelegate(listener_);
        pendingVersion_ = std::move(version);
        completion_ = std::move(completion);
      }
    }
  }
  if (refusal) {
    completeOnMainQueue(std::move(completion), std::move(refusal));
    return;
  }
  download->start();
}

void ZUMVersionedCache::downloadEnded(const std::shared_ptr<ZUMResourceCache>& download, platform::ErrorPtr error) {
  std::shared_ptr<ZUMResourceCache> finished;
  Completion completion;
  std::string version;
  {
    std::lock_guard lock(mutex_);
    if (download != download_) return;
    finished = std::exchange(download_, nullptr);
    listener_.reset();
    completion = std::exchange(completion_, nullptr);
    version = std::move(pendingVersion_);
  }

  if (!error) {
    // Read the new bytes first, then swap the files: the version goes before the
    // content is replaced and comes back after, so a crash in between leaves content
    // without a version (downloaded again), never a version naming other bytes.
    auto files = filesForCacheID(cacheID_, &error);
    std::optional<std::string> data;
    const auto partialPath = finished->fileURL().path();
    if (files && partialPath) data = readBounded(*partialPath, kMaxContentBytes, &error);
    if (data) {
      std::error_code ignored;
      std::filesystem::remove(files->version, ignored);
      std::error_code renameError;
      std::filesystem::rename(*partialPath, files->content, renameError);
      if (renameError) {
        error = ZUMMakeErrorWithDescription(kZUMErrorInternalError, "Failed to store cache " + cacheID_);
        // The old content is still in place but its version file is gone.
        std::lock_guard lock(mutex_);
        version_.reset();
      } else {
        const bool versionStored = platform::FileManager::writeAtomically(files->version, version);
        std::lock_guard lock(mutex_);
        data_ = std::move(data);
        if (versionStored) {
          version_ = std::move(version);
        } else {
          version_.reset();
        }
      }
    }
  }
  // Later, so that this download is gone (with its side file) before the caller can
  // start the next one.
  completeOnMainQueue(std::move(completion), std::move(error));
}
