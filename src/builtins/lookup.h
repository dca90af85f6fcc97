// lookup.h — locale tables used by the formatters: the decimal and grouping
// separators of a locale's language.
//
// Only the language (the locale text before the first "_") matters, and only
// two-letter languages are looked up; anything else gets "." and ",":
//   decimal_separator("de_DE") == ","      group_separator("de_DE") == "."
//   decimal_separator("fr_FR") == ","      group_separator("fr_FR") == "\u202F"
//   decimal_separator("en_US") == "."      group_separator("deu")   == ","
#pragma once

#include <string_view>

namespace tovarn {

// The two separators of one locale, as UTF-8 texts of one character each.
// The views point at static storage and stay valid for the program's life.
struct LocaleSymbols {
  std::string_view decimal_separator;
  std::string_view group_separator;
};

// The separators for `locale` (for example "en_US", "de", "fr_CA"). The
// language comparison is exact and case-sensitive ("DE_de" is not German).
LocaleSymbols locale_symbols(std::string_view locale);

// The decimal separator for `locale`: "," or ".".
std::string_view decimal_separator(std::string_view locale);

// The grouping separator for `locale`: ".", "," or U+202F (narrow no-break
// space, for French).
std::string_view group_separator(std::string_view locale);

}  // namespace tovarn
