// Registers, once, what every subsystem plugs into the areas below it at start-up (the
// hub's start-up hooks, classes looked up by name, and the implementations of the
// interfaces the slot and the ad model declare: ZUMSlotRendering, ZUMSlotResponseProcessing,
// ZUMSlotEvents, ZUMSlotTelemetry, ZUMSlotMediation, ZUMSlotFormats, ZUMAdTelemetry,
// ZUMAdFormats, ZUMClickTrackerMediation, each with its setShared()). Called by ZUMMobileAds::load().
#pragma once

void ZUMRegisterBuiltIns();
