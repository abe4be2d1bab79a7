#include "platform/web/HTMLDocument.h"

#include <cctype>
#include <cstdint>
#include <map>

namespace platform {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string lowered(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = lower(c);
  return out;
}

void appendUTF8(std::string& out, std::uint32_t cp) {
  if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Decodes the character references browsers need most: the five XML ones, &nbsp; and
// numeric ones. Unknown references stay as written.
std::string decodeEntities(std::string_view s) {
  static const std::map<std::string, std::uint32_t, std::less<>> kNamed = {
      {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}, {"nbsp", 0xA0}};
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    if (s[i] != '&') {
      out.push_back(s[i++]);
      continue;
    }
    std::size_t semi = s.find(';', i + 1);
    if (semi == std::string_view::npos || semi - i > 12) {
      out.push_back(s[i++]);
      continue;
    }
    std::string_view ref = s.substr(i + 1, semi - i - 1);
    if (ref.size() >= 2 && ref[0] == '#') {
      std::uint32_t cp = 0;
      bool hex = ref[1] == 'x' || ref[1] == 'X';
      std::size_t start = hex ? 2 : 1;
      bool ok = start < ref.size();
      for (std::size_t k = start; ok && k < ref.size(); ++k) {
        char c = ref[k];
        int digit = -1;
        if (c >= '0' && c <= '9')
          digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
          digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
          digit = c - 'A' + 10;
        if (digit < 0)
          ok = false;
        else
          cp = std::min<std::uint32_t>(cp * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit), 0x110000);
      }
      if (ok) {
        appendUTF8(out, cp);
        i = semi + 1;
        continue;
      }
    } else if (auto it = kNamed.find(ref); it != kNamed.end()) {
      appendUTF8(out, it->second);
      i = semi + 1;
      continue;
    }
    out.push_back(s[i++]);
  }
  return out;
}

// Finds "</name" (any case) from `from`; npos when absent.
std::size_t findEndTag(std::string_view html, std::size_t from, std::string_view name) {
  for (std::size_t i = html.find("</", from); i != std::string_view::npos; i = html.find("</", i + 1)) {
    if (i + 2 + name.size() > html.size()) return std::string_view::npos;
    bool match = true;
    for (std::size_t k = 0; k < name.size() && match; ++k) match = lower(html[i + 2 + k]) == name[k];
    if (!match) continue;
    std::size_t after = i + 2 + name.size();
    if (after == html.size() || isSpace(html[after]) || html[after] == '>' || html[after] == '/') return i;
  }
  return std::string_view::npos;
}

struct Tag {
  std::string name;
  std::map<std::string, std::string, std::less<>> attributes;
  std::size_t end = 0;  // index after '>'
};

std::string attribute(const Tag& tag, std::string_view name) {
  auto it = tag.attributes.find(name);
  return it == tag.attributes.end() ? std::string() : it->second;
}

// Reads a start tag whose '<' is at `pos` and whose name begins at pos + 1.
Tag readStartTag(std::string_view html, std::size_t pos) {
  Tag tag;
  std::size_t i = pos + 1;
  while (i < html.size() && !isSpace(html[i]) && html[i] != '>' && html[i] != '/') tag.name.push_back(lower(html[i++]));
  for (;;) {
    while (i < html.size() && (isSpace(html[i]) || html[i] == '/')) ++i;
    if (i >= html.size()) {
      tag.end = html.size();
      return tag;
    }
    if (html[i] == '>') {
      tag.end = i + 1;
      return tag;
    }
    std::string name;
    while (i < html.size() && !isSpace(html[i]) && html[i] != '=' && html[i] != '>' && html[i] != '/') {
      name.push_back(lower(html[i++]));
    }
    while (i < html.size() && isSpace(html[i])) ++i;
    std::string value;
    if (i < html.size() && html[i] == '=') {
      ++i;
      while (i < html.size() && isSpace(html[i])) ++i;
      if (i < html.size() && (html[i] == '"' || html[i] == '\'')) {
        char quote = html[i++];
        std::size_t close = html.find(quote, i);
        if (close == std::string_view::npos) close = html.size();
        value = decodeEntities(html.substr(i, close - i));
        i = std::min(close + 1, html.size());
      } else {
        std::size_t start = i;
        while (i < html.size() && !isSpace(html[i]) && html[i] != '>') ++i;
        value = decodeEntities(html.substr(start, i - start));
      }
    }
    if (!name.empty()) tag.attributes.emplace(std::move(name), std::move(value));
  }
}

bool isJavaScriptType(std::string_view type) {
  std::string t = lowered(type);
  if (auto semi = t.find(';'); semi != std::string::npos) t.resize(semi);
  while (!t.empty() && isSpace(t.back())) t.pop_back();
  while (!t.empty() && isSpace(t.front())) t.erase(t.begin());
  return t.empty() || t == "text/javascript" || t == "application/javascript" || t == "text/ecmascript" ||
         t == "application/ecmascript" || t == "application/x-javascript";
}

bool breaksText(std::string_view tag) {
  static const char* const kBlocks[] = {"br", "p",  "div", "li", "tr", "td", "h1",    "h2",
                                        "h3", "h4", "h5",  "h6", "ul", "ol", "table", "section"};
  for (const char* block : kBlocks) {
    if (tag == block) return true;
  }
  return false;
}

class TextCollector {
 public:
  void add(std::string_view raw) {
    std::string text = decodeEntities(raw);
    for (char c : text) {
      if (isSpace(c)) {
        pendingSpace_ = !out_.empty();
      } else {
        if (pendingSpace_) out_.push_back(' ');
        pendingSpace_ = false;
        out_.push_back(c);
      }
    }
  }
  void separate() { pendingSpace_ = !out_.empty(); }
  std::string take() { return std::move(out_); }

 private:
  std::string out_;
  bool pendingSpace_ = false;
};

}  // namespace

HTMLDocument HTMLDocument::parse(std::string_view html) {
  HTMLDocument doc;
  TextCollector body;
  bool inHead = false;
  std::size_t pos = 0;
  while (pos < html.size()) {
    std::size_t lt = html.find('<', pos);
    if (lt == std::string_view::npos) lt = html.size();
    if (!inHead && lt > pos) body.add(html.substr(pos, lt - pos));
    if (lt >= html.size()) break;
    std::string_view rest = html.substr(lt);
    if (rest.starts_with("<!--")) {
      std::size_t close = html.find("-->", lt + 4);
      pos = close == std::string_view::npos ? html.size() : close + 3;
      continue;
    }
    if (rest.starts_with("<!") || rest.starts_with("<?")) {
      std::size_t close = html.find('>', lt);
      pos = close == std::string_view::npos ? html.size() : close + 1;
      continue;
    }
    if (rest.starts_with("</")) {
      std::size_t i = lt + 2;
      std::string name;
      while (i < html.size() && !isSpace(html[i]) && html[i] != '>') name.push_back(lower(html[i++]));
      if (name == "head") inHead = false;
      if (breaksText(name)) body.separate();
      std::size_t close = html.find('>', lt);
      pos = close == std::string_view::npos ? html.size() : close + 1;
      continue;
    }
    if (rest.size() < 2 || !isAlpha(rest[1])) {
      if (!inHead) body.add("<");
      pos = lt + 1;
      continue;
    }
    Tag tag = readStartTag(html, lt);
    pos = tag.end;
    if (tag.name == "script" || tag.name == "style" || tag.name == "title" || tag.name == "textarea" ||
        tag.name == "iframe" || tag.name == "noscript") {
      std::size_t close = findEndTag(html, pos, tag.name);
      std::string_view content = html.substr(pos, (close == std::string_view::npos ? html.size() : close) - pos);
      if (tag.name == "script") {
        Script script;
        if (auto src = tag.attributes.find("src"); src != tag.attributes.end()) script.src = src->second;
        script.text = std::string(content);
        script.isJavaScript = isJavaScriptType(attribute(tag, "type"));
        doc.scripts_.push_back(std::move(script));
      } else if (tag.name == "title") {
        TextCollector title;
        title.add(content);
        doc.title_ = title.take();
      } else if (tag.name == "iframe") {
        doc.elements_.push_back(
            {"iframe", attribute(tag, "id"), attribute(tag, "name"), attribute(tag, "src"), {}, {}, {}});
      } else if (tag.name == "textarea" && !inHead) {
        body.add(content);
      }
      if (close == std::string_view::npos) break;
      pos = html.find('>', close);
      pos = pos == std::string_view::npos ? html.size() : pos + 1;
      continue;
    }
    if (tag.name == "head") {
      inHead = true;
    } else if (tag.name == "body") {
      inHead = false;
      doc.bodyStyle_ = attribute(tag, "style");
    } else if (tag.name == "a") {
      doc.elements_.push_back({"a",
                               attribute(tag, "id"),
                               attribute(tag, "name"),
                               {},
                               attribute(tag, "href"),
                               attribute(tag, "target"),
                               {}});
    } else if (tag.name == "form") {
      doc.elements_.push_back(
          {"form", attribute(tag, "id"), attribute(tag, "name"), {}, {}, {}, attribute(tag, "action")});
    }
    if (breaksText(tag.name)) body.separate();
  }
  doc.bodyText_ = body.take();
  return doc;
}

}  // namespace platform
