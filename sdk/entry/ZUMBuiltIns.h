// Registers, once, what every subsystem plugs into the foundation at start-up (the
// hub's start-up hooks, classes looked up by name). Called by ZUMMobileAds::load().
#pragma once

void ZUMRegisterBuiltIns();
