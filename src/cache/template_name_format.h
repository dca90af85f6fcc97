// template_name_format.h — template names: relative names, normalisation of
// root-based names, absolute names, localized candidates and acquisition.
//
//   TemplateNameFormat::to_root_based_name("dir/t.tvl", "x.tvl")    // "dir/x.tvl"
//   TemplateNameFormat::normalize_root_based_name("a/b/../c")       // "a/c"
//   localized_candidates("page.tvl", "en_US")  // page_en_US.tvl, page_en.tvl, page.tvl
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "error/template_error.h"

namespace tovarn {

// The name format of this system (the "Default020300" rules).
class TemplateNameFormat {
 public:
  // `target` read relative to `base`; scheme names pass through. Never fails.
  static std::string to_root_based_name(std::string_view base, std::string_view target);
  // Resolves "..", "." and one leading "/"; rejects names that leave the root
  // or contain U+0000.
  static Result<std::string> normalize_root_based_name(std::string_view name);
  // "x" → "/x"; names with a scheme and names starting with "/" unchanged.
  static std::string root_based_name_to_absolute_name(std::string_view name);
};

// A name written in the template `base` turned into a full name (what
// Environment::resolve_template_name does with the current template name).
std::string resolve_template_name(std::string_view base, std::string_view name);

// Locale-specific names for `name`, most specific first, the plain name last.
std::vector<std::string> localized_candidates(std::string_view name, std::string_view locale);

// The names an acquisition step "*" expands to, deepest directory first.
std::vector<std::string> acquisition_names(std::string_view candidate);

// Every name an include-style lookup tries, in order: the localized
// candidates (only when `locale` is not empty), each expanded by acquisition.
//   lookup_candidate_names("a/*/x.tvl", "en")  // a/x_en.tvl, x_en.tvl, a/x.tvl, x.tvl
std::vector<std::string> lookup_candidate_names(std::string_view name, std::string_view locale);

}  // namespace tovarn
