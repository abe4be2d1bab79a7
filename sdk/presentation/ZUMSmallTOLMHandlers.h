// Registers the small in-page message handlers in the places of every ad-view
// delegate's chain: the base delegate's (active view, default, reward, orientation,
// refresh, native video click, analytics, page-close delay, CSI), the banner delegate's
// (app events, ad-app, page-load delay) and the full-screen ad delegate's (ad-app, app
// events). Called once by the SDK's load entry; delegates made afterwards get them.
//
// Any thread.
#pragma once

void ZUMRegisterSmallTOLMHandlers();
