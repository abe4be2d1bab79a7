// What the owner of a ZUMStatisticDictionary hears: that statistics changed. Notices
// are coalesced: every notifying write queued before a notice runs is covered by it.
// Called on the statistics' own serial queue; the statistics may be read from it.
#pragma once

class ZUMStatisticDictionary;

class ZUMStatisticDictionaryDelegate {
 public:
  virtual ~ZUMStatisticDictionaryDelegate() = default;
  virtual void statisticDictionaryDidChange(ZUMStatisticDictionary& statistics) = 0;
};
