// settings_values.cpp — parsing and validation of setting values: time zones
// (ICU for the IANA database), output-format, c_format, auto-escaping and
// exception-handler names, boolean texts, setting keys, the Python setters'
// checks and the run-time `#setting` directive's checks.
#include "core/settings_values.h"

#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <array>
#include <memory>
#include <utility>

#include "core/configurable.h"

namespace tovarn {

namespace {

char ascii_upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool equals_ignore_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (ascii_upper(a[i]) != ascii_upper(b[i])) return false;
  return true;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

std::string_view trim(std::string_view s) {
  while (!s.empty() && is_space(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_space(s.back())) s.remove_suffix(1);
  return s;
}

// "GMT" followed by a sign and "h", "hh", "h:mm", "hh:mm" or "hhmm"
// (hours below 24, minutes below 60), letters in any case.
struct GmtOffset {
  char sign;
  int hours;
  int minutes;
};

std::optional<GmtOffset> parse_gmt_offset(std::string_view t) {
  if (t.size() < 5 || !equals_ignore_case(t.substr(0, 3), "GMT")) return std::nullopt;
  char sign = t[3];
  if (sign != '+' && sign != '-') return std::nullopt;
  std::string_view rest = t.substr(4);
  auto two = [](std::string_view d) { return (d[0] - '0') * 10 + (d[1] - '0'); };
  auto all_digits = [](std::string_view d) {
    for (char c : d)
      if (!is_digit(c)) return false;
    return true;
  };

  int hours = 0, minutes = 0;
  size_t colon = rest.find(':');
  std::string_view h = rest.substr(0, colon);
  if (colon != std::string_view::npos) {
    std::string_view m = rest.substr(colon + 1);
    if (h.empty() || h.size() > 2 || !all_digits(h) || m.size() != 2 || !all_digits(m))
      return std::nullopt;
    hours = h.size() == 1 ? h[0] - '0' : two(h);
    minutes = two(m);
  } else if (!all_digits(rest) || rest.size() == 3) {
    return std::nullopt;
  } else if (rest.size() <= 2) {
    hours = rest.size() == 1 ? rest[0] - '0' : two(rest);
  } else if (rest.size() == 4) {
    hours = two(rest.substr(0, 2));
    minutes = two(rest.substr(2));
  } else {
    return std::nullopt;
  }
  if (hours > 23 || minutes > 59) return std::nullopt;
  return GmtOffset{sign, hours, minutes};
}

std::string gmt_offset_name(const GmtOffset& o) {
  std::string out = "GMT";
  out += o.sign;
  out += static_cast<char>('0' + o.hours / 10);
  out += static_cast<char>('0' + o.hours % 10);
  out += ':';
  out += static_cast<char>('0' + o.minutes / 10);
  out += static_cast<char>('0' + o.minutes % 10);
  return out;
}

// A zone of the time-zone database; ICU's own "GMT+5"-style custom IDs are
// not system zones and so are refused here.
bool is_iana_zone(std::string_view id) {
  if (id.empty()) return false;
  UErrorCode status = U_ZERO_ERROR;
  icu::UnicodeString canonical;
  UBool is_system = false;
  icu::TimeZone::getCanonicalID(icu::UnicodeString::fromUTF8(icu::StringPiece(id.data(), id.size())),
                                canonical, is_system, status);
  return U_SUCCESS(status) && is_system;
}

constexpr std::array<std::string_view, 6> kCFormatNames = {
    "JavaScript or JSON", "JavaScript", "JSON", "Java", "legacy", "XS"};

constexpr std::array<std::pair<std::string_view, std::string_view>, 12> kCamelSettingKeys = {{
    {"cFormat", "c_format"},
    {"timeZone", "time_zone"},
    {"dateFormat", "date_format"},
    {"timeFormat", "time_format"},
    {"numberFormat", "number_format"},
    {"booleanFormat", "boolean_format"},
    {"datetimeFormat", "datetime_format"},
    {"outputEncoding", "output_encoding"},
    {"classicCompatible", "classic_compatible"},
    {"urlEscapingCharset", "url_escaping_charset"},
    {"sqlDateAndTimeTimeZone", "sql_date_and_time_time_zone"},
    {"templateExceptionHandler", "template_exception_handler"},
}};

// The names `#setting` accepts; the last one is accepted but not listed in
// the unknown-name message.
constexpr std::array<std::string_view, 13> kRuntimeSettingNames = {
    "boolean_format", "c_format",        "classic_compatible", "date_format",
    "datetime_format", "locale",         "number_format",      "output_encoding",
    "sql_date_and_time_time_zone",       "time_format",        "time_zone",
    "url_escaping_charset",              "template_exception_handler"};

constexpr std::array<std::string_view, 7> kParseTimeOnlySettingNames = {
    "whitespace_stripping", "whiteSpaceStripping", "strict_syntax", "strictSyntax",
    "output_format",        "outputFormat",        "auto_escaping"};

template <size_t N>
bool contains(const std::array<std::string_view, N>& names, std::string_view name) {
  for (std::string_view n : names)
    if (n == name) return true;
  return false;
}

std::string with_prefix(std::string_view prefix, std::string_view text) {
  std::string out(prefix);
  out += text;
  return out;
}

// The string-argument setters of TovConfiguration.
enum class Setter : uint8_t {
  Locale, TimeZone, NumberFormat, DateFormat, TimeFormat, DateTimeFormat, BooleanFormat,
  CFormat, OutputFormat, AutoEscaping, ExceptionHandler, LookupStrategy, InputEncoding,
  OutputEncoding, UrlEscapingCharset,
};

constexpr std::array<std::pair<std::string_view, Setter>, 15> kSetters = {{
    {"set_locale", Setter::Locale},
    {"set_time_zone", Setter::TimeZone},
    {"set_number_format", Setter::NumberFormat},
    {"set_date_format", Setter::DateFormat},
    {"set_time_format", Setter::TimeFormat},
    {"set_date_time_format", Setter::DateTimeFormat},
    {"set_boolean_format", Setter::BooleanFormat},
    {"set_c_format", Setter::CFormat},
    {"set_output_format", Setter::OutputFormat},
    {"set_auto_escaping", Setter::AutoEscaping},
    {"set_template_exception_handler", Setter::ExceptionHandler},
    {"set_lookup_strategy", Setter::LookupStrategy},
    {"set_input_encoding", Setter::InputEncoding},
    {"set_output_encoding", Setter::OutputEncoding},
    {"set_url_escaping_charset", Setter::UrlEscapingCharset},
}};

std::optional<Setter> find_setter(std::string_view name) {
  for (const auto& [n, setter] : kSetters)
    if (n == name) return setter;
  return std::nullopt;
}

// Validates `value` for `setter` and, when `s` is given, stores it. Returns
// the ValueError message of a refused value.
std::optional<std::string> run_setter(Settings* s, Setter setter, std::string_view value) {
  auto store = [s](std::string Settings::*field, std::string_view v) {
    if (s) s->*field = std::string(v);
  };
  switch (setter) {
    case Setter::Locale: store(&Settings::locale, value); break;
    case Setter::NumberFormat: store(&Settings::number_format, value); break;
    case Setter::DateFormat: store(&Settings::date_format, value); break;
    case Setter::TimeFormat: store(&Settings::time_format, value); break;
    case Setter::DateTimeFormat: store(&Settings::datetime_format, value); break;
    case Setter::BooleanFormat: store(&Settings::boolean_format, value); break;
    case Setter::OutputEncoding: store(&Settings::output_encoding, value); break;
    case Setter::UrlEscapingCharset: store(&Settings::url_escaping_charset, value); break;
    case Setter::InputEncoding:
      if (s) s->input_encoding = std::string(value);
      break;
    case Setter::TimeZone: {
      std::optional<TzSetting> tz = parse_tz_setting(value);
      if (!tz) return with_prefix("Invalid time zone: ", value);
      if (s) set_time_zone(*s, *tz);
      break;
    }
    case Setter::CFormat:
      if (!is_c_format_name(value)) return with_prefix("Unknown C format: ", value);
      store(&Settings::c_format, value);
      break;
    case Setter::OutputFormat: {
      std::optional<OutputFormatKind> kind = parse_output_format_name(value);
      if (!kind) return with_prefix("Unknown output format: ", value);
      if (s) s->output_format = *kind;
      break;
    }
    case Setter::AutoEscaping: {
      std::optional<AutoEscapingPolicy> policy = parse_auto_escaping_policy(value);
      if (!policy) return with_prefix("Invalid auto escaping policy: ", value);
      if (s) s->auto_escaping = *policy;
      break;
    }
    case Setter::ExceptionHandler:
      if (!is_exception_handler_name(value))
        return with_prefix("Invalid template exception handler: ", value);
      store(&Settings::template_exception_handler, value);  // kept as given
      break;
    case Setter::LookupStrategy:
      if (!equals_ignore_case(value, "default")) return with_prefix("Unknown lookup strategy: ", value);
      break;
  }
  return std::nullopt;
}

}  // namespace

std::optional<TzSetting> parse_tz_setting(std::string_view text) {
  std::string_view t = trim(text);
  if (equals_ignore_case(t, "Z") || equals_ignore_case(t, "UTC") || equals_ignore_case(t, "GMT"))
    return TzSetting{TzSetting::Kind::Utc, 0, java_time_zone_id(t)};
  if (std::optional<GmtOffset> o = parse_gmt_offset(t)) {
    int32_t seconds = (o->hours * 3600 + o->minutes * 60) * (o->sign == '-' ? -1 : 1);
    return TzSetting{TzSetting::Kind::Fixed, seconds, gmt_offset_name(*o)};
  }
  if (is_iana_zone(t)) return TzSetting{TzSetting::Kind::Named, 0, std::string(t)};
  return std::nullopt;
}

std::string java_time_zone_id(std::string_view text) {
  std::string_view t = trim(text);
  if (equals_ignore_case(t, "Z") || equals_ignore_case(t, "UTC")) return "UTC";
  if (equals_ignore_case(t, "GMT")) return "GMT";
  if (std::optional<GmtOffset> o = parse_gmt_offset(t)) return gmt_offset_name(*o);
  return std::string(t);
}

int32_t tz_offset_seconds_at(const TzSetting& tz, double utc_millis) {
  switch (tz.kind) {
    case TzSetting::Kind::Utc: return 0;
    case TzSetting::Kind::Fixed: return tz.offset_seconds;
    case TzSetting::Kind::Named: break;
  }
  std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createTimeZone(
      icu::UnicodeString::fromUTF8(icu::StringPiece(tz.name.data(), tz.name.size()))));
  UErrorCode status = U_ZERO_ERROR;
  int32_t raw = 0, dst = 0;
  zone->getOffset(utc_millis, false, raw, dst, status);
  return U_SUCCESS(status) ? (raw + dst) / 1000 : 0;
}

void set_time_zone(Settings& s, const TzSetting& tz) {
  s.time_zone = tz;
  s.time_zone_name = tz.name;
}

std::optional<OutputFormatKind> parse_output_format_name(std::string_view name) {
  static constexpr std::array<std::pair<std::string_view, OutputFormatKind>, 17> kNames = {{
      {"plainText", OutputFormatKind::PlainText}, {"plaintext", OutputFormatKind::PlainText},
      {"HTML", OutputFormatKind::HTML},           {"html", OutputFormatKind::HTML},
      {"XML", OutputFormatKind::XML},             {"xml", OutputFormatKind::XML},
      {"XHTML", OutputFormatKind::XHTML},         {"xhtml", OutputFormatKind::XHTML},
      {"JS", OutputFormatKind::JavaScript},       {"JavaScript", OutputFormatKind::JavaScript},
      {"javascript", OutputFormatKind::JavaScript}, {"JSON", OutputFormatKind::JSON},
      {"json", OutputFormatKind::JSON},           {"CSS", OutputFormatKind::CSS},
      {"css", OutputFormatKind::CSS},             {"RTF", OutputFormatKind::RTF},
      {"rtf", OutputFormatKind::RTF},
  }};
  for (const auto& [n, kind] : kNames)
    if (n == name) return kind;
  return std::nullopt;
}

std::string_view output_format_name(OutputFormatKind kind) {
  switch (kind) {
    case OutputFormatKind::PlainText: return "plainText";
    case OutputFormatKind::HTML: return "HTML";
    case OutputFormatKind::XML: return "XML";
    case OutputFormatKind::XHTML: return "XHTML";
    case OutputFormatKind::JavaScript: return "JavaScript";
    case OutputFormatKind::JSON: return "JSON";
    case OutputFormatKind::CSS: return "CSS";
    case OutputFormatKind::RTF: return "RTF";
  }
  return "plainText";
}

std::optional<std::string> setting_name_error(std::string_view name) {
  if (contains(kParseTimeOnlySettingNames, name))
    return "The setting name is recognized, but changing this setting from inside a template "
           "isn't supported.";
  if (contains(kRuntimeSettingNames, canonical_setting_key(name))) return std::nullopt;
  std::string msg = "Unknown setting name: \"";
  msg += name;
  msg += "\". The allowed setting names are: ";
  for (size_t i = 0; i + 1 < kRuntimeSettingNames.size(); ++i) {
    if (i > 0) msg += ", ";
    msg += kRuntimeSettingNames[i];
  }
  return msg;
}

bool is_c_format_name(std::string_view name) { return contains(kCFormatNames, name); }

std::optional<AutoEscapingPolicy> parse_auto_escaping_policy(std::string_view text) {
  if (equals_ignore_case(text, "on")) return AutoEscapingPolicy::On;
  if (equals_ignore_case(text, "off")) return AutoEscapingPolicy::Off;
  if (equals_ignore_case(text, "default")) return AutoEscapingPolicy::Default;
  return std::nullopt;
}

bool is_exception_handler_name(std::string_view name) {
  for (std::string_view n : {"rethrow", "debug", "html_debug", "ignore"})
    if (equals_ignore_case(name, n)) return true;
  return false;
}

std::string canonical_setting_key(std::string_view name) {
  for (const auto& [camel, snake] : kCamelSettingKeys)
    if (camel == name) return std::string(snake);
  return std::string(name);
}

Result<bool> parse_bool_setting(std::string_view text) {
  if (text == "true" || text == "yes" || text == "y") return true;
  if (text == "false" || text == "no" || text == "n") return false;
  return Error::misc(with_prefix("Invalid boolean value: ", text));
}

Result<bool> get_yes_no_text(std::string_view text) {
  if (text == "t" || text == "y" || text == "yes" || text == "true") return true;
  if (text == "f" || text == "n" || text == "no" || text == "false") return false;
  std::string msg =
      "Value must be boolean (or one of these strings: \"n\", \"no\", \"f\", \"false\", \"y\", "
      "\"yes\", \"t\", \"true\"), but it was \"";
  msg += text;
  msg += "\".";
  return Error::misc(std::move(msg));
}

std::optional<std::string> validate_setter(std::string_view setter, std::string_view value) {
  std::optional<Setter> which = find_setter(setter);
  return which ? run_setter(nullptr, *which, value) : std::nullopt;
}

std::optional<std::string> apply_setter(Settings& s, std::string_view setter, std::string_view value) {
  std::optional<Setter> which = find_setter(setter);
  if (!which) return with_prefix("Unknown setter: ", setter);
  return run_setter(&s, *which, value);
}

Status apply_setting_text(Settings& s, const TzSetting& run_start_tz, std::string_view name,
                          std::string_view text) {
  // The parser has refused every other name already; this keeps the function
  // safe when called directly.
  if (std::optional<std::string> err = setting_name_error(name)) return Error::misc(std::move(*err));
  const std::string key = canonical_setting_key(name);

  auto store = [&](std::string Settings::*field) {
    s.*field = std::string(text);
    return ok();
  };
  if (key == "locale") return store(&Settings::locale);
  if (key == "number_format") return store(&Settings::number_format);
  if (key == "date_format") return store(&Settings::date_format);
  if (key == "time_format") return store(&Settings::time_format);
  if (key == "datetime_format") return store(&Settings::datetime_format);
  if (key == "output_encoding") return store(&Settings::output_encoding);
  if (key == "url_escaping_charset") return store(&Settings::url_escaping_charset);
  if (key == "boolean_format") {
    if (text != "c" && text.find(',') == std::string_view::npos) {
      std::string msg =
          "Setting value must be a string that contains two comma-separated values for true and "
          "false, or it must be \"c\", but it was \"";
      msg += text;
      msg += "\".";
      return Error::misc(std::move(msg));
    }
    return store(&Settings::boolean_format);
  }
  if (key == "c_format") {
    if (!is_c_format_name(text)) return Error::misc(with_prefix("Unknown c_format: ", text));
    return store(&Settings::c_format);
  }
  if (key == "time_zone") {
    if (text == "default") {
      set_time_zone(s, run_start_tz);
      return ok();
    }
    std::optional<TzSetting> tz = parse_tz_setting(text);
    if (!tz) return Error::misc(with_prefix("Unknown time zone: ", text));
    set_time_zone(s, *tz);
    return ok();
  }
  if (key == "classic_compatible") {
    ASSIGN_OR_RETURN(bool on, parse_bool_setting(text));
    s.classic_compatible = on;
    return ok();
  }
  if (key == "template_exception_handler") {
    if (text != "rethrow" && text != "debug" && text != "html_debug" && text != "ignore") {
      std::string msg = with_prefix("Invalid template_exception_handler value: ", text);
      msg += ". It must be one of: rethrow, debug, html_debug, ignore";
      return Error::misc(std::move(msg));
    }
    return store(&Settings::template_exception_handler);
  }
  return ok();  // sql_date_and_time_time_zone: accepted, no effect
}

}  // namespace tovarn
