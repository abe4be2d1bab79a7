#include "sdk/mediation/ZUMMWebViewRenderedChecker.h"

#include "platform/base/MainThreadChecker.h"
#include "platform/ui/View.h"
#include "sdk/foundation/ZUMGeometry.h"
#include "sdk/rendering/ZUMViewContentRendered.h"

void ZUMMWebViewRenderedChecker::checkIsContentRenderedInWebView() {
  platform::assertMainThread();
  auto webView = webView_.lock();
  auto delegate = delegate_.lock();
  if (!webView || !delegate) return;
  // The pixels are compared premultiplied with the premultiplied background, and a
  // snapshot of no pixels gives NaN, which is never below the threshold.
  const double background =
      ZUMBackgroundPixelFraction(ZUMScreenshotOfView(webView), webView->backgroundColor(), ZUMPixelScan::kWholeImage);
  delegate->webViewIsRendered(*webView, background < 0.9);
}
