// Plugs network delivery into the hub's start-up (ZUMStartupHooks): the URL-loading
// interception of the first batch, the pinger's retry schedule of the additional batch,
// and the foreground ping, sent through the pinger's retry store under
// kZUMForegroundPingRetryGroupKey. Call once at start-up, before the hub's first batch
// runs; any thread.
#pragma once

// The retry group of the foreground ping.
inline constexpr const char* kZUMForegroundPingRetryGroupKey = "/vantor/ads/foreground_ping";

void ZUMRegisterNetworkDelivery();
