// What a web view needs from an HTML text without a real parser: the scripts in
// document order (inline text, or the `src` to fetch, and their type), the elements the
// page environment models (iframes, links and forms with an id), the body's style
// attribute and text, and the title. Comments, attribute quoting, raw-text elements and
// character references are handled; anything else is read leniently, as browsers do.
// Hostile input gives some document, never a crash.
//
// A plain value; any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class HTMLDocument {
 public:
  struct Script {
    std::optional<std::string> src;  // as written, not resolved
    std::string text;                // inline text (ignored when src is set)
    // Whether the type attribute names JavaScript (absent, empty, or a JavaScript type).
    bool isJavaScript = true;
  };
  struct Element {
    std::string tag;  // "iframe", "a" or "form"
    std::string id;
    std::string name;
    std::string src;     // iframe
    std::string href;    // a
    std::string target;  // a
    std::string action;  // form
  };

  static HTMLDocument parse(std::string_view html);

  const std::vector<Script>& scripts() const { return scripts_; }
  const std::vector<Element>& elements() const { return elements_; }
  const std::string& bodyStyle() const { return bodyStyle_; }
  // The text of the body outside tags, scripts and styles, white space collapsed.
  const std::string& bodyText() const { return bodyText_; }
  const std::string& title() const { return title_; }

 private:
  std::vector<Script> scripts_;
  std::vector<Element> elements_;
  std::string bodyStyle_;
  std::string bodyText_;
  std::string title_;
};

}  // namespace platform
