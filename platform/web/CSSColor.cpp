#include "platform/web/CSSColor.h"

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace platform {

namespace {

std::string trimmedLower(std::string_view text) {
  std::size_t b = 0, e = text.size();
  while (b < e && (text[b] == ' ' || text[b] == '\t' || text[b] == '\n')) ++b;
  while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t' || text[e - 1] == '\n')) --e;
  std::string out(text.substr(b, e - b));
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::optional<Color> parseHex(std::string_view hex) {
  std::vector<int> digits;
  for (char c : hex) {
    int d = hexDigit(c);
    if (d < 0) return std::nullopt;
    digits.push_back(d);
  }
  double c[4] = {0, 0, 0, 1};
  if (digits.size() == 3 || digits.size() == 4) {
    for (std::size_t i = 0; i < digits.size(); ++i) c[i] = (digits[i] * 17) / 255.0;
  } else if (digits.size() == 6 || digits.size() == 8) {
    for (std::size_t i = 0; i < digits.size() / 2; ++i) c[i] = (digits[2 * i] * 16 + digits[2 * i + 1]) / 255.0;
  } else {
    return std::nullopt;
  }
  return Color::rgb(c[0], c[1], c[2], c[3]);
}

// One component: a number (0-255, or 0-1 for alpha) or a percentage.
std::optional<double> component(std::string_view text, bool alpha) {
  std::string s = trimmedLower(text);
  if (s.empty()) return std::nullopt;
  bool percent = s.back() == '%';
  if (percent) s.pop_back();
  char* end = nullptr;
  double value = std::strtod(s.c_str(), &end);
  if (end == s.c_str() || *end != '\0' || !std::isfinite(value)) return std::nullopt;
  if (percent)
    value /= 100.0;
  else if (!alpha)
    value /= 255.0;
  return std::fmin(1.0, std::fmax(0.0, value));
}

}  // namespace

std::optional<Color> CSSColor::parse(std::string_view text) {
  std::string s = trimmedLower(text);
  if (s.empty()) return std::nullopt;
  if (s[0] == '#') return parseHex(std::string_view(s).substr(1));
  if (s == "transparent") return Color::rgb(0, 0, 0, 0);
  struct Named {
    const char* name;
    double r, g, b;
  };
  static const Named kNames[] = {{"black", 0, 0, 0},
                                 {"white", 1, 1, 1},
                                 {"red", 1, 0, 0},
                                 {"green", 0, 128 / 255.0, 0},
                                 {"lime", 0, 1, 0},
                                 {"blue", 0, 0, 1},
                                 {"yellow", 1, 1, 0},
                                 {"gray", 128 / 255.0, 128 / 255.0, 128 / 255.0},
                                 {"grey", 128 / 255.0, 128 / 255.0, 128 / 255.0}};
  for (const auto& named : kNames) {
    if (s == named.name) return Color::rgb(named.r, named.g, named.b);
  }
  bool hasAlpha = s.starts_with("rgba(");
  if (!hasAlpha && !s.starts_with("rgb(")) return std::nullopt;
  if (s.back() != ')') return std::nullopt;
  std::size_t open = s.find('(');
  std::string_view inner = std::string_view(s).substr(open + 1, s.size() - open - 2);
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= inner.size(); ++i) {
    if (i == inner.size() || inner[i] == ',') {
      parts.push_back(inner.substr(start, i - start));
      start = i + 1;
    }
  }
  if (parts.size() != 3 && parts.size() != 4) return std::nullopt;
  double c[4] = {0, 0, 0, 1};
  for (std::size_t i = 0; i < parts.size(); ++i) {
    auto value = component(parts[i], i == 3);
    if (!value) return std::nullopt;
    c[i] = *value;
  }
  return Color::rgb(c[0], c[1], c[2], c[3]);
}

}  // namespace platform
