#include "sdk/native/ZUMNativeAdAttributionView.h"

#include <algorithm>
#include <map>
#include <string>

#include "ZUMNativeAdImage.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/LayoutConstraint.h"
#include "sdk/native/ZUMNativeAdAttribution.h"
#include "sdk/native/ZUMPushTransitionView.h"

namespace {

using platform::LayoutConstraint;
using Attribute = LayoutConstraint::Attribute;

constexpr double kPaddingToTextHeight = 0.37;
constexpr double kCornerRadius = 3.0;

// A constant size of the icon area.
std::shared_ptr<LayoutConstraint> sizeConstraint(const std::shared_ptr<platform::View>& view, Attribute attribute,
                                                 double points) {
  return LayoutConstraint::create(view, attribute, LayoutConstraint::Relation::Equal, nullptr,
                                  Attribute::NotAnAttribute, 1.0, points);
}

}  // namespace

ZUMNativeAdAttributionView::ZUMNativeAdAttributionView(const platform::Rect& frame) : platform::View(frame) {}

std::shared_ptr<ZUMNativeAdAttributionView> ZUMNativeAdAttributionView::create(const platform::Rect& frame) {
  std::shared_ptr<ZUMNativeAdAttributionView> view(new ZUMNativeAdAttributionView(frame));
  view->commonInit();
  return view;
}

std::shared_ptr<ZUMNativeAdAttributionView> ZUMNativeAdAttributionView::create(
    const std::shared_ptr<ZUMNativeAdAttribution>& attribution) {
  if (!attribution) return nullptr;
  auto view = create(platform::Rect::zero());
  view->setAttribution(*attribution);
  const bool noText = !attribution->text() || attribution->text()->empty();
  view->setHidden(attribution->icons().empty() && noText);
  return view;
}

void ZUMNativeAdAttributionView::commonInit() {
  platform::assertMainThread();
  setClipsToBounds(true);
  iconView_ = ZUMPushTransitionView::create();
  textView_ = platform::Label::create();
  textPaddingLeft_ = platform::View::create();
  textPaddingRight_ = platform::View::create();
  for (const std::shared_ptr<platform::View>& view :
       {std::static_pointer_cast<platform::View>(iconView_), std::static_pointer_cast<platform::View>(textView_),
        textPaddingLeft_, textPaddingRight_}) {
    addSubview(view);
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
  }
  const std::map<std::string, std::shared_ptr<platform::View>> views{{"_iconView", iconView_},
                                                                     {"_textView", textView_},
                                                                     {"_textPaddingLeft", textPaddingLeft_},
                                                                     {"_textPaddingRight", textPaddingRight_}};
  addConstraints(
      LayoutConstraint::constraintsWithVisualFormat("H:|[_textPaddingLeft][_textView][_textPaddingRight][_iconView]|",
                                                    LayoutConstraint::alignAll(Attribute::CenterY), views));
  addConstraints(LayoutConstraint::constraintsWithVisualFormat("V:|[_textPaddingLeft]|", 0, views));
  addConstraints(
      LayoutConstraint::constraintsWithVisualFormat("V:[_textPaddingLeft(>=_textView,>=_iconView)]", 0, views));
  for (const auto& padding : {textPaddingLeft_, textPaddingRight_}) {
    addConstraint(LayoutConstraint::create(padding, Attribute::Width, LayoutConstraint::Relation::Equal, textView_,
                                           Attribute::Height, kPaddingToTextHeight, 0));
  }
}

void ZUMNativeAdAttributionView::setAttribution(const ZUMNativeAdAttribution& attribution) {
  platform::assertMainThread();
  textView_->setText(attribution.text());
  textView_->setFont(attribution.font());
  textView_->setTextColor(attribution.textColor());
  setBackgroundColor(attribution.backgroundColor());

  std::vector<std::shared_ptr<platform::View>> imageViews;
  double widest = 0;
  double tallest = 0;
  for (const auto& icon : attribution.icons()) {
    if (!icon || !icon->image()) continue;
    auto imageView = platform::ImageView::create(icon->image());
    const platform::Size size = icon->image()->size();
    widest = std::max(widest, size.width);
    tallest = std::max(tallest, size.height);
    imageViews.push_back(std::move(imageView));
  }
  iconView_->setAnimationDuration(attribution.iconAnimationDuration());
  iconView_->setPresentationDuration(attribution.iconPresentationDuration());
  iconView_->setViews(std::move(imageViews));

  iconView_->removeConstraints(dynamicConstraints_);
  dynamicConstraints_ = {sizeConstraint(iconView_, Attribute::Width, widest),
                         sizeConstraint(iconView_, Attribute::Height, tallest)};
  iconView_->addConstraints(dynamicConstraints_);
}

std::shared_ptr<platform::View> ZUMNativeAdAttributionView::iconView() const { return iconView_; }
std::shared_ptr<platform::View> ZUMNativeAdAttributionView::textView() const { return textView_; }

void ZUMNativeAdAttributionView::layoutSubviews() {
  platform::View::layoutSubviews();
  setCornerRadius(kCornerRadius);  // clipped to bounds since made
}
