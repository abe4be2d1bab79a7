// A compiled regular expression in the platform's syntax (ICU's: look-behind, "\b",
// "(?i)" and the like), matched against UTF-8 text. Matching runs under a step limit,
// so a pattern that backtracks without end fails to match instead of hanging.
//
//   auto re = ZUMRegularExpression::create("(?<!@)@name@");   // nullptr when invalid
//   if (re && re->matches(text)) ...
//
// Immutable once made; one expression may be used from any number of threads at once.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

class ZUMRegularExpression {
 public:
  enum Options : unsigned {
    kNone = 0,
    kCaseInsensitive = 1,
  };

  // The expression of `pattern`; nullptr when the pattern is invalid.
  static std::shared_ptr<const ZUMRegularExpression> create(std::string_view pattern, Options options = kNone);
  ~ZUMRegularExpression();
  ZUMRegularExpression(const ZUMRegularExpression&) = delete;
  ZUMRegularExpression& operator=(const ZUMRegularExpression&) = delete;

  const std::string& pattern() const { return pattern_; }

  // Whether the expression matches anywhere in `text`.
  bool matches(std::string_view text) const;
  // `text` with every match replaced by `replacement`, in which "$n" stands for group n
  // and "\" quotes the next character. `count`, when given, receives the number of
  // replacements. A replacement that names a missing group, or a match that runs out
  // of steps, leaves the text as it was (count 0).
  std::string stringByReplacingMatches(std::string_view text, std::string_view replacement,
                                       std::size_t* count = nullptr) const;

  // `text` quoted so that it stands for itself in a replacement ("$" and "\" escaped).
  static std::string escapedTemplate(std::string_view text);
  // `text` quoted so that it matches itself as a pattern.
  static std::string escapedPattern(std::string_view text);

 private:
  struct Compiled;
  ZUMRegularExpression(std::string pattern, std::unique_ptr<Compiled> compiled);

  std::string pattern_;
  std::unique_ptr<Compiled> compiled_;
};
