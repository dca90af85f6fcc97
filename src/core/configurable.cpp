// configurable.cpp — settings defaults and per-template overrides.
#include "core/configurable.h"

namespace tovarn {

namespace {

// Visits each (override, target field) pair; `copy` writes one field:
// onto Settings a present override replaces the value, onto another
// TemplateConfiguration it replaces the optional.
template <class Target, class Copy>
void for_each_override(const TemplateConfiguration& t, Target& d, Copy copy) {
  copy(t.whitespace_stripping, d.whitespace_stripping);
  copy(t.strict_syntax, d.strict_syntax);
  copy(t.output_format, d.output_format);
  copy(t.input_encoding, d.input_encoding);
  copy(t.locale, d.locale);
  copy(t.number_format, d.number_format);
  copy(t.boolean_format, d.boolean_format);
  copy(t.date_format, d.date_format);
  copy(t.time_format, d.time_format);
  copy(t.datetime_format, d.datetime_format);
  copy(t.output_encoding, d.output_encoding);
  copy(t.url_escaping_charset, d.url_escaping_charset);
  copy(t.auto_escaping, d.auto_escaping);
  copy(t.c_format, d.c_format);
  copy(t.classic_compatible, d.classic_compatible);
  copy(t.lazy_imports, d.lazy_imports);
  copy(t.lazy_auto_imports, d.lazy_auto_imports);
}

}  // namespace

void TemplateConfiguration::apply_to(Settings& s) const {
  for_each_override(*this, s, [](const auto& src, auto& dst) {
    if (src) dst = *src;
  });
}

void TemplateConfiguration::apply_to(TemplateConfiguration& other) const {
  other.auto_imports = auto_imports;
  other.auto_includes = auto_includes;
  for_each_override(*this, other, [](const auto& src, auto& dst) {
    if (src) dst = src;
  });
}

}  // namespace tovarn
