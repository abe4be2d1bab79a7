// What the application hears from the audio/video manager: when ad video starts and
// when all of it pauses, when ad sound starts and when all of it stops. Every operation
// is optional. Called on the main thread.
#pragma once

class ZUMAudioVideoManager;

class ZUMAudioVideoManagerDelegate {
 public:
  virtual ~ZUMAudioVideoManagerDelegate() = default;
  virtual void audioVideoManagerWillPlayVideo(ZUMAudioVideoManager& manager) { (void)manager; }
  virtual void audioVideoManagerDidPauseAllVideo(ZUMAudioVideoManager& manager) { (void)manager; }
  virtual void audioVideoManagerWillPlayAudio(ZUMAudioVideoManager& manager) { (void)manager; }
  virtual void audioVideoManagerDidStopPlayingAudio(ZUMAudioVideoManager& manager) { (void)manager; }
};
