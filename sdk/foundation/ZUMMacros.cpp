#include "sdk/foundation/ZUMMacros.h"

#include "sdk/foundation/ZUMRegularExpression.h"

namespace {

// The opening at-sign follows an even run of at-signs; the pairs before the opening and
// before the closing at-sign are kept as groups 1 and 2.
std::string macroPattern(std::string_view escapedName) {
  return "(?<!@)((?:@@)*)@" + std::string(escapedName) + "(?<!@)((?:@@)*)@";
}

}  // namespace

void ZUMReplaceMacro(std::string& text, std::optional<std::string_view> name, std::optional<std::string_view> value) {
  if (!name || !value || text.find('@') == std::string::npos) return;
  auto expression = ZUMRegularExpression::create(macroPattern(ZUMRegularExpression::escapedPattern(*name)));
  if (!expression) return;
  std::size_t count = 0;
  std::string replaced =
      expression->stringByReplacingMatches(text, "$1" + ZUMRegularExpression::escapedTemplate(*value) + "$2", &count);
  if (count > 0) text = std::move(replaced);
}

void ZUMRemoveUnreplacedMacros(std::string& text) {
  if (text.find('@') == std::string::npos) return;
  static const auto expression = ZUMRegularExpression::create(macroPattern("[^@]+"));
  if (!expression) return;
  std::size_t count = 0;
  std::string replaced = expression->stringByReplacingMatches(text, "$1$2", &count);
  if (count > 0) text = std::move(replaced);
}

void ZUMUnescapeMacroAtSigns(std::string& text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    result += text[i];
    if (text[i] == '@' && i + 1 < text.size() && text[i + 1] == '@') ++i;
  }
  text = std::move(result);
}
