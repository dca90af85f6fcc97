// lookup.cpp — the locale separator table behind locale_symbols.
//
// A small table of our own rather than ICU's locale data: the engine promises
// exactly these separators, and ICU's data differs (and changes between ICU
// versions) for several of these languages.
#include "builtins/lookup.h"

#include <array>
#include <cstdint>

namespace tovarn {

namespace {

constexpr LocaleSymbols kDefaultSymbols{".", ","};
constexpr LocaleSymbols kCommaDotSymbols{",", "."};
// French groups with U+202F NARROW NO-BREAK SPACE.
constexpr LocaleSymbols kFrenchSymbols{",", "\xE2\x80\xAF"};

// Languages that write a decimal comma and group with a dot.
constexpr std::string_view kCommaDotLanguages[] = {
    "bg", "cs", "da", "de", "el", "es", "et", "fi", "hr", "hu", "id", "it", "lt", "lv",
    "nl", "no", "pl", "pt", "ro", "ru", "sk", "sl", "sv", "th", "tr", "uk", "vi",
};

enum class Style : uint8_t { Default, CommaDot, French };

// Style of every lower-case two-letter language, indexed by (c0 - 'a') * 26 +
// (c1 - 'a'): one load per lookup, since this runs for every printed number.
constexpr std::array<Style, 26 * 26> make_styles() {
  std::array<Style, 26 * 26> t{};
  for (std::string_view lang : kCommaDotLanguages) {
    t[(lang[0] - 'a') * 26 + (lang[1] - 'a')] = Style::CommaDot;
  }
  t[('f' - 'a') * 26 + ('r' - 'a')] = Style::French;
  return t;
}
constexpr std::array<Style, 26 * 26> kStyles = make_styles();

bool is_lower(char c) { return c >= 'a' && c <= 'z'; }

const LocaleSymbols& symbols_of(std::string_view locale) {
  // The language is the text before the first '_'; only two letters count.
  if (locale.size() < 2 || (locale.size() > 2 && locale[2] != '_')) return kDefaultSymbols;
  if (!is_lower(locale[0]) || !is_lower(locale[1])) return kDefaultSymbols;
  switch (kStyles[(locale[0] - 'a') * 26 + (locale[1] - 'a')]) {
    case Style::CommaDot: return kCommaDotSymbols;
    case Style::French: return kFrenchSymbols;
    case Style::Default: break;
  }
  return kDefaultSymbols;
}

}  // namespace

LocaleSymbols locale_symbols(std::string_view locale) { return symbols_of(locale); }

std::string_view decimal_separator(std::string_view locale) {
  return symbols_of(locale).decimal_separator;
}

std::string_view group_separator(std::string_view locale) {
  return symbols_of(locale).group_separator;
}

}  // namespace tovarn
