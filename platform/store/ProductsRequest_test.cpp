#include "platform/store/ProductsRequest.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/store/StoreControls.h"
#include "testing/TestEnvironment.h"

namespace platform {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class RecordingDelegate : public ProductsRequestDelegate {
 public:
  void productsRequestDidReceiveResponse(ProductsRequest&, const ProductsResponse& response) override {
    std::string text = "response:";
    for (const auto& product : response.products) {
      text += " " + product->productIdentifier() + "=" + product->price().stringValue() + " " +
              product->priceLocale().currencyCode().value_or("?");
    }
    for (const auto& identifier : response.invalidProductIdentifiers) text += " invalid " + identifier;
    events.push_back(text);
  }
  void requestDidFailWithError(ProductsRequest&, const ErrorPtr& error) override {
    events.push_back("failed " + error->domain() + " " + std::to_string(error->code()));
  }
  void requestDidFinish(ProductsRequest&) override { events.push_back("finished"); }
  std::vector<std::string> events;
};

class ProductsRequestTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    StoreControls::addProduct(Product::create("com.example.coins", *Decimal::fromString("0.99"), Locale("en_US")));
    StoreControls::addProduct(Product::create("com.example.gems", *Decimal::fromString("4.49"), Locale("de_DE")));
  }
  std::shared_ptr<ProductsRequest> start(std::set<std::string> identifiers) {
    auto request = ProductsRequest::create(std::move(identifiers));
    request->setDelegate(delegate);
    request->start();
    return request;
  }
  std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
};

TEST_F(ProductsRequestTest, AnswersWithTheCataloguesProductsAndTheRestAsInvalid) {
  auto request = start({"com.example.gems", "com.example.coins", "com.example.unknown"});
  request->start();  // asks once
  EXPECT_THAT(delegate->events, IsEmpty());
  env.runUntilIdle();
  EXPECT_THAT(delegate->events,
              ElementsAre("response: com.example.coins=0.99 USD com.example.gems=4.49 EUR invalid com.example.unknown",
                          "finished"));
}

TEST_F(ProductsRequestTest, AFailingRequestCallsTheFailureOnce) {
  StoreControls::setProductRequestAnswer(StoreControls::ProductRequestAnswer::Fail, Error::create("SKErrorDomain", 5));
  auto request = start({"com.example.coins"});
  env.runUntilIdle();
  EXPECT_THAT(delegate->events, ElementsAre("failed SKErrorDomain 5"));
}

TEST_F(ProductsRequestTest, ACancelledRequestCallsNothing) {
  StoreControls::setProductRequestAnswer(StoreControls::ProductRequestAnswer::Never);
  auto never = start({"com.example.coins"});
  env.runUntilIdle();
  never->cancel();
  StoreControls::setProductRequestAnswer(StoreControls::ProductRequestAnswer::Respond);
  auto cancelledBeforeItsTurn = start({"com.example.coins"});
  cancelledBeforeItsTurn->cancel();
  auto released = start({"com.example.coins"});
  released.reset();
  env.runUntilIdle();
  EXPECT_THAT(delegate->events, IsEmpty());
}

}  // namespace
}  // namespace platform
