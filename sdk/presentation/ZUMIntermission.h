// The full-screen session of one slot. Everything that takes the screen from the host
// for an ad joins it as a participant (ZUMIntermitting). The session begins when the
// first participant joins: it posts the will-present notification, tells the slot, keeps
// the device awake and hides the ad from MRAID visibility. It ends when the last
// participant has given the screen back: the host's idle timer (and, when a presenter
// hid it, the status bar) come back exactly as they were, the slot is told, and the
// did-dismiss notification is posted. When the application returns to the foreground it
// dismisses, one after the other, the participants that ask for it.
//
// Ownership: participants hold their session strongly, the slot weakly; the session
// holds its participants and its slot weakly. A participant that disappears without
// giving the screen back is noticed at the next call (or when the session goes), and
// the session ends as if it had relinquished.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/base/NotificationCenter.h"

namespace platform {
class OperationQueue;
}

class ZUMIntermitting;
class ZUMSlot;

class ZUMIntermission : public std::enable_shared_from_this<ZUMIntermission> {
 public:
  // nullptr without a slot.
  static std::shared_ptr<ZUMIntermission> create(const std::shared_ptr<ZUMSlot>& slot);
  // The slot's session, made and stored in the slot when it has none; nullptr without a
  // slot. What every participant does to join.
  static std::shared_ptr<ZUMIntermission> intermissionForSlot(const std::shared_ptr<ZUMSlot>& slot);
  ~ZUMIntermission();
  ZUMIntermission(const ZUMIntermission&) = delete;
  ZUMIntermission& operator=(const ZUMIntermission&) = delete;

  // The live participants that hold the screen, in the order they joined.
  std::vector<std::shared_ptr<ZUMIntermitting>> activeParticipants() const;
  bool isActiveParticipant(const ZUMIntermitting& participant) const;
  std::shared_ptr<ZUMSlot> slot() const { return slot_.lock(); }

  // Joins a participant; the first one begins the session. nullptr does nothing.
  void addParticipant(const std::shared_ptr<ZUMIntermitting>& participant);
  // The participant starts giving the screen back; the last active one restores the
  // host's idle timer and status bar. Foreground dismissals wait until it has finished.
  void participantWillRelinquishScreen(const ZUMIntermitting& participant);
  // The participant has given the screen back (will-relinquish first when it has not
  // said so); the last one ends the session.
  void participantDidRelinquishScreen(const ZUMIntermitting& participant);
  // A presenter is about to hide the status bar: the session restores it at the end of
  // this run.
  void participantWillOverrideStatusBarVisibility(const ZUMIntermitting& participant);

 private:
  struct Member {
    std::weak_ptr<ZUMIntermitting> participant;
    const ZUMIntermitting* identity;
  };
  using Members = std::vector<Member>;

  explicit ZUMIntermission(const std::shared_ptr<ZUMSlot>& slot);
  static bool contains(const Members& members, const ZUMIntermitting* identity);
  static void remove(Members& members, const ZUMIntermitting* identity);
  // Drops participants that are gone and ends what they leave behind.
  void cleanUp();
  void begin();
  void willEnd();
  void didEnd();
  void applicationWillEnterForeground();

  Members active_;
  Members deactivating_;
  std::shared_ptr<platform::OperationQueue> deactivationQueue_;
  std::weak_ptr<ZUMSlot> slot_;
  std::int64_t activeCount_ = 0;
  std::int64_t deactivatingCount_ = 0;
  bool publisherIdleTimerDisabled_ = false;
  bool statusBarWasOriginallyHidden_ = false;
  bool statusBarOverridden_ = false;
  platform::NotificationCenter::Token foregroundObserver_;
};
