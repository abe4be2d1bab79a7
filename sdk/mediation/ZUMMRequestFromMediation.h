// The ordinary request that the SDK's own adapters load their ads with, built from what
// the connector answers about the publisher's request, with the parameters that tell the
// ad server the request comes from a waterfall ("pw" "1", the adapter list, the entry's
// extras and inlined ad).
//
// The publisher's extras object is never changed: the new request carries a copy. Main
// thread (the connector's answers are).
#pragma once

#include <memory>

class ZUMMediationAdRequest;
class ZUMMediationAdRequestInternal;
class ZUMRequest;

// A new request with the mediation request's targeting, its network extras and, when
// the mediation request is one of the SDK's connectors, its request agent and adapter
// list.
[[nodiscard]] std::shared_ptr<ZUMRequest> ZUMRequestWithMediationAdRequest(
    const ZUMMediationAdRequest& mediationRequest);
// Sets the private mediation extras {"man": adapter names, "mcan": current adapter}
// when there is a current adapter name; nothing for nullptr.
void ZUMRequestAddAdapterListWithMediationAdRequest(ZUMRequest& request,
                                                    const ZUMMediationAdRequestInternal* mediationRequest);
// Registers on `request` a copy of the mediation request's ZUMExtras (a new one when it
// answers none) with "_requestUrl", "mad_hac", "pw", the entry's string extras and the
// inlined ad added; nothing for nullptr.
void ZUMRequestConfigureNetworkExtrasWithMediationAdRequest(ZUMRequest& request,
                                                            const ZUMMediationAdRequest* mediationRequest);
