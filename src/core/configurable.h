// configurable.h — the settings record that governs parsing and processing,
// with its defaults.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/settings_values.h"

namespace tovarn {

enum class AutoEscapingPolicy : uint8_t { On, Off, Default };

// Output formats (markup languages) a template can produce.
enum class OutputFormatKind : uint8_t { PlainText, HTML, XML, XHTML, JavaScript, JSON, CSS, RTF };

struct Settings {
  std::string locale = "en_US";
  std::string time_zone_name = "GMT+00:00";  // the canonical name of time_zone
  std::string number_format = "number";
  std::string boolean_format = "true,false";
  std::string date_format;
  std::string time_format;
  std::string datetime_format;
  std::string output_encoding = "UTF-8";
  std::string url_escaping_charset;
  std::string template_exception_handler = "rethrow";
  std::optional<std::string> input_encoding;
  TzSetting time_zone;
  uint64_t update_delay = 1;
  bool whitespace_stripping = true;
  bool strict_syntax = false;
  bool classic_compatible = false;
  bool fallback_on_null_loop_variable = true;
  bool localized_lookup = true;
  bool lazy_imports = false;
  AutoEscapingPolicy auto_escaping = AutoEscapingPolicy::Default;
  std::optional<bool> lazy_auto_imports;
  std::string c_format = "JavaScript or JSON";
  OutputFormatKind output_format = OutputFormatKind::PlainText;
};

}  // namespace tovarn

namespace tovarn {

// Per-template settings: template-level auto-imports and auto-includes, then
// optional overrides copied onto a Settings record by apply_to.
struct TemplateConfiguration {
  std::vector<std::pair<std::string, std::string>> auto_imports;  // (namespace var, template)
  std::vector<std::string> auto_includes;
  std::optional<bool> whitespace_stripping;
  std::optional<bool> strict_syntax;
  std::optional<OutputFormatKind> output_format;
  std::optional<std::string> input_encoding;
  std::optional<std::string> locale;
  std::optional<std::string> number_format;
  std::optional<std::string> boolean_format;
  std::optional<std::string> date_format;
  std::optional<std::string> time_format;
  std::optional<std::string> datetime_format;
  std::optional<std::string> output_encoding;
  std::optional<std::string> url_escaping_charset;
  std::optional<AutoEscapingPolicy> auto_escaping;
  std::optional<std::string> c_format;
  std::optional<bool> classic_compatible;
  std::optional<bool> lazy_imports;
  std::optional<std::optional<bool>> lazy_auto_imports;

  // Copies every present override onto `s`; the lists are left alone.
  void apply_to(Settings& s) const;
  // Copies the lists and every present override onto another template configuration.
  void apply_to(TemplateConfiguration& other) const;
};

}  // namespace tovarn
