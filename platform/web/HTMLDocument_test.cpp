#include "platform/web/HTMLDocument.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(HTMLDocumentTest, FindsScriptsElementsBodyAndTitle) {
  auto doc = HTMLDocument::parse(R"(<!DOCTYPE html><html><head><title> Ad &amp; more </title>
    <script src="lib.js"></script><!-- <script>ignored()</script> -->
    <script type="text/template">not js</script></head>
    <body style="background-color: red">Hello <b>wide</b><br>world &#x41;&lt;
    <script>if (a < b) { x = "</div>"; }</SCRIPT >
    <iframe id="f" name="frame1" src="about:blank"></iframe>
    <a id=link href='https://example.com/?a=1&amp;b=2' target=_blank>go</a>
    <form id="f2" action="/submit"></form></body></html>)");
  ASSERT_EQ(doc.scripts().size(), 3u);
  EXPECT_EQ(doc.scripts()[0].src, "lib.js");
  EXPECT_FALSE(doc.scripts()[1].isJavaScript);
  EXPECT_FALSE(doc.scripts()[2].src);
  EXPECT_EQ(doc.scripts()[2].text, R"(if (a < b) { x = "</div>"; })");
  EXPECT_EQ(doc.title(), "Ad & more");
  EXPECT_EQ(doc.bodyStyle(), "background-color: red");
  EXPECT_EQ(doc.bodyText(), "Hello wide world A< go");
  ASSERT_EQ(doc.elements().size(), 3u);
  EXPECT_EQ(doc.elements()[0].name, "frame1");
  EXPECT_EQ(doc.elements()[1].href, "https://example.com/?a=1&b=2");
  EXPECT_EQ(doc.elements()[1].target, "_blank");
  EXPECT_EQ(doc.elements()[2].action, "/submit");
}

TEST(HTMLDocumentTest, TruncatedAndHostileInputStillGivesADocument) {
  for (const char* html : {"<", "<script>unterminated", "<a href=\"x", "<!--", "&#99999999999;", "<body style='", "</",
                           "<iframe", "<<<>>>", "&#xD800;"}) {
    auto doc = HTMLDocument::parse(html);
    (void)doc;
  }
  EXPECT_EQ(HTMLDocument::parse("<script>a()").scripts().at(0).text, "a()");
  EXPECT_EQ(HTMLDocument::parse("x &#0; y").bodyText(), "x \xEF\xBF\xBD y");
}

}  // namespace
}  // namespace platform
