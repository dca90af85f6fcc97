// settings_values_test.cpp — tests of the setting vocabularies: time zones,
// output-format and other names, boolean texts, setting keys, the Python
// setters' validation and the run-time `#setting` checks.
#include "core/settings_values.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/configurable.h"

namespace tovarn {
namespace {

using Kind = TzSetting::Kind;

TEST(SettingsValues, ParseTzSettingAccepted) {
  struct Case {
    std::string text;
    Kind kind;
    int32_t offset;
    std::string name;
  };
  const std::vector<Case> cases = {
      {"UTC", Kind::Utc, 0, "UTC"},
      {"z", Kind::Utc, 0, "UTC"},
      {"gmt", Kind::Utc, 0, "GMT"},
      {"  utc\t", Kind::Utc, 0, "UTC"},
      {"gmt+2", Kind::Fixed, 7200, "GMT+02:00"},
      {"GMT+1", Kind::Fixed, 3600, "GMT+01:00"},
      {"GMT-0530", Kind::Fixed, -(5 * 3600 + 30 * 60), "GMT-05:30"},
      {"GMT+0530", Kind::Fixed, 5 * 3600 + 30 * 60, "GMT+05:30"},
      {"GMT+5:45", Kind::Fixed, 5 * 3600 + 45 * 60, "GMT+05:45"},
      {"GMT-23:59", Kind::Fixed, -(23 * 3600 + 59 * 60), "GMT-23:59"},
      {"GMT+00", Kind::Fixed, 0, "GMT+00:00"},
      {"GMT-0", Kind::Fixed, 0, "GMT-00:00"},
      {" GMT+10 ", Kind::Fixed, 36000, "GMT+10:00"},
      {"Europe/Paris", Kind::Named, 0, "Europe/Paris"},
      {" America/New_York ", Kind::Named, 0, "America/New_York"},
      {"Etc/GMT+5", Kind::Named, 0, "Etc/GMT+5"},
  };
  for (const Case& c : cases) {
    std::optional<TzSetting> tz = parse_tz_setting(c.text);
    ASSERT_TRUE(tz.has_value()) << c.text;
    EXPECT_EQ(tz->kind, c.kind) << c.text;
    EXPECT_EQ(tz->name, c.name) << c.text;
    if (c.kind == Kind::Fixed) {
      EXPECT_EQ(tz->offset_seconds, c.offset) << c.text;
    }
    EXPECT_EQ(java_time_zone_id(c.text), c.name) << c.text;
  }
}

TEST(SettingsValues, ParseTzSettingRefused) {
  const std::vector<std::string> refused = {
      "Mars/Base", "GMT+24", "GMT+2400", "GMT+0560", "GMT+530", "GMT+05300", "GMT+5:", "GMT+5:3",
      "GMT+123:00", "GMT+", "GMT5", "GMT+a", "UTC+1", "europe/paris", "", "   ", "Etc/Unknown",
  };
  for (const std::string& text : refused) EXPECT_FALSE(parse_tz_setting(text).has_value()) << text;
}

TEST(SettingsValues, JavaTimeZoneIdKeepsOtherTexts) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {" Europe/Paris ", "Europe/Paris"}, {"europe/paris", "europe/paris"},
      {"GMT+24", "GMT+24"},               {"Gmt-7", "GMT-07:00"},
      {"utc", "UTC"},                     {"GMT+530", "GMT+530"},
  };
  for (const auto& [in, want] : cases) EXPECT_EQ(java_time_zone_id(in), want) << in;
}

TEST(SettingsValues, TzOffsetAtInstant) {
  const double jan = 1704067200000.0;  // 2024-01-01T00:00Z
  const double jul = 1719792000000.0;  // 2024-07-01T00:00Z
  TzSetting paris = *parse_tz_setting("Europe/Paris");
  EXPECT_EQ(tz_offset_seconds_at(paris, jan), 3600);
  EXPECT_EQ(tz_offset_seconds_at(paris, jul), 7200);
  EXPECT_EQ(tz_offset_seconds_at(*parse_tz_setting("GMT-0530"), jan), -19800);
  EXPECT_EQ(tz_offset_seconds_at(*parse_tz_setting("Z"), jul), 0);
  EXPECT_EQ(tz_offset_seconds_at(TzSetting{}, jul), 0);
}

TEST(SettingsValues, OutputFormatNames) {
  struct Case {
    std::string text;
    std::optional<OutputFormatKind> want;
  };
  const std::vector<Case> cases = {
      {"plainText", OutputFormatKind::PlainText}, {"plaintext", OutputFormatKind::PlainText},
      {"HTML", OutputFormatKind::HTML},           {"html", OutputFormatKind::HTML},
      {"XML", OutputFormatKind::XML},             {"xml", OutputFormatKind::XML},
      {"XHTML", OutputFormatKind::XHTML},         {"xhtml", OutputFormatKind::XHTML},
      {"JS", OutputFormatKind::JavaScript},       {"JavaScript", OutputFormatKind::JavaScript},
      {"javascript", OutputFormatKind::JavaScript}, {"JSON", OutputFormatKind::JSON},
      {"json", OutputFormatKind::JSON},           {"CSS", OutputFormatKind::CSS},
      {"css", OutputFormatKind::CSS},             {"RTF", OutputFormatKind::RTF},
      {"rtf", OutputFormatKind::RTF},             {"Html", std::nullopt},
      {"js", std::nullopt},                       {"PLAINTEXT", std::nullopt},
      {" HTML", std::nullopt},                    {"undefined", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(parse_output_format_name(c.text), c.want) << c.text;

  const std::vector<std::pair<OutputFormatKind, std::string>> names = {
      {OutputFormatKind::PlainText, "plainText"}, {OutputFormatKind::HTML, "HTML"},
      {OutputFormatKind::XML, "XML"},             {OutputFormatKind::XHTML, "XHTML"},
      {OutputFormatKind::JavaScript, "JavaScript"}, {OutputFormatKind::JSON, "JSON"},
      {OutputFormatKind::CSS, "CSS"},             {OutputFormatKind::RTF, "RTF"},
  };
  for (const auto& [kind, name] : names) {
    EXPECT_EQ(output_format_name(kind), name);
    EXPECT_EQ(parse_output_format_name(name), kind) << name;  // names round-trip
  }
}

TEST(SettingsValues, SmallVocabularies) {
  for (const char* n : {"JavaScript or JSON", "JavaScript", "JSON", "Java", "legacy", "XS"})
    EXPECT_TRUE(is_c_format_name(n)) << n;
  for (const char* n : {"json", "javascript or json", "Legacy", "xs", "JS", ""})
    EXPECT_FALSE(is_c_format_name(n)) << n;

  const std::vector<std::pair<std::string, std::optional<AutoEscapingPolicy>>> policies = {
      {"on", AutoEscapingPolicy::On},           {"OFF", AutoEscapingPolicy::Off},
      {"Default", AutoEscapingPolicy::Default}, {"oN", AutoEscapingPolicy::On},
      {"enable", std::nullopt},                 {" on", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& [text, want] : policies) EXPECT_EQ(parse_auto_escaping_policy(text), want) << text;

  for (const char* n : {"rethrow", "DEBUG", "Html_Debug", "ignore"})
    EXPECT_TRUE(is_exception_handler_name(n)) << n;
  for (const char* n : {"html-debug", "htmldebug", "ignored", ""})
    EXPECT_FALSE(is_exception_handler_name(n)) << n;
}

TEST(SettingsValues, CanonicalSettingKey) {
  const std::vector<std::pair<std::string, std::string>> cases = {
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
      {"time_zone", "time_zone"},
      {"locale", "locale"},
      {"dateTimeFormat", "dateTimeFormat"},  // not a known camelCase form
      {"TimeZone", "TimeZone"},
      {"strictSyntax", "strictSyntax"},
      {"", ""},
  };
  for (const auto& [in, want] : cases) EXPECT_EQ(canonical_setting_key(in), want) << in;
}

TEST(SettingsValues, BooleanTexts) {
  struct Case {
    std::string text;
    std::optional<bool> setting;  // parse_bool_setting
    std::optional<bool> yes_no;   // get_yes_no_text
  };
  const std::vector<Case> cases = {
      {"true", true, true},   {"yes", true, true},     {"y", true, true},
      {"t", std::nullopt, true}, {"false", false, false}, {"no", false, false},
      {"n", false, false},    {"f", std::nullopt, false}, {"TRUE", std::nullopt, std::nullopt},
      {"Yes", std::nullopt, std::nullopt}, {"1", std::nullopt, std::nullopt},
      {"", std::nullopt, std::nullopt},    {" true", std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    Result<bool> b = parse_bool_setting(c.text);
    if (c.setting) {
      ASSERT_TRUE(b.ok()) << c.text;
      EXPECT_EQ(b.value(), *c.setting) << c.text;
    } else {
      ASSERT_FALSE(b.ok()) << c.text;
      EXPECT_EQ(b.error().kind(), ErrorKind::Misc);
      EXPECT_EQ(b.error()->text, "Invalid boolean value: " + c.text);
    }

    Result<bool> y = get_yes_no_text(c.text);
    if (c.yes_no) {
      ASSERT_TRUE(y.ok()) << c.text;
      EXPECT_EQ(y.value(), *c.yes_no) << c.text;
    } else {
      ASSERT_FALSE(y.ok()) << c.text;
      EXPECT_EQ(y.error()->text,
                "Value must be boolean (or one of these strings: \"n\", \"no\", \"f\", \"false\", "
                "\"y\", \"yes\", \"t\", \"true\"), but it was \"" +
                    c.text + "\".");
    }
  }
}

TEST(SettingsValues, SetterValidation) {
  struct Case {
    std::string setter, value;
    std::optional<std::string> error;
  };
  const std::vector<Case> cases = {
      {"set_time_zone", "gmt+2", std::nullopt},
      {"set_time_zone", "Europe/Paris", std::nullopt},
      {"set_time_zone", "Mars/Base", "Invalid time zone: Mars/Base"},
      {"set_time_zone", " GMT+24", "Invalid time zone:  GMT+24"},  // quoted as given
      {"set_c_format", "JSON", std::nullopt},
      {"set_c_format", "JavaScript or JSON", std::nullopt},
      {"set_c_format", "json", "Unknown C format: json"},
      {"set_output_format", "html", std::nullopt},
      {"set_output_format", "HTML", std::nullopt},
      {"set_output_format", "JS", std::nullopt},
      {"set_output_format", "Html", "Unknown output format: Html"},
      {"set_auto_escaping", "OFF", std::nullopt},
      {"set_auto_escaping", "Default", std::nullopt},
      {"set_auto_escaping", "yes", "Invalid auto escaping policy: yes"},
      {"set_template_exception_handler", "HTML_DEBUG", std::nullopt},
      {"set_template_exception_handler", "fail", "Invalid template exception handler: fail"},
      {"set_lookup_strategy", "DEFAULT", std::nullopt},
      {"set_lookup_strategy", "acquire", "Unknown lookup strategy: acquire"},
      {"set_locale", "anything at all", std::nullopt},
      {"set_boolean_format", "yes", std::nullopt},  // only #setting checks the comma
      {"set_no_such_thing", "x", std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(validate_setter(c.setter, c.value), c.error) << c.setter << "(" << c.value << ")";
}

TEST(SettingsValues, ApplySetterStoresOrLeavesUnchanged) {
  Settings s;
  EXPECT_EQ(apply_setter(s, "set_locale", "de_DE"), std::nullopt);
  EXPECT_EQ(apply_setter(s, "set_number_format", "0.00"), std::nullopt);
  EXPECT_EQ(apply_setter(s, "set_date_format", "yyyy"), std::nullopt);
  EXPECT_EQ(apply_setter(s, "set_time_format", "HH"), std::nullopt);
  EXPECT_EQ(apply_setter(s, "set_date_time_format", "iso"), std::nullopt);
  EXPECT_EQ(apply_setter(s, "set_boolean_format", "Y,N"), std::nullopt);
  EXPECT_EQ(apply_setter(s, "set_time_zone", " gmt+2 "), std::nullopt);
  EXPECT_EQ(apply_setter(s, "set_c_format", "XS"), std::nullopt);
  EXPECT_EQ(apply_setter(s, "set_output_format", "xhtml"), std::nullopt);
  EXPECT_EQ(apply_setter(s, "set_auto_escaping", "ON"), std::nullopt);
  EXPECT_EQ(apply_setter(s, "set_template_exception_handler", "Debug"), std::nullopt);
  EXPECT_EQ(apply_setter(s, "set_input_encoding", "ISO-8859-2"), std::nullopt);
  EXPECT_EQ(apply_setter(s, "set_output_encoding", "UTF-16"), std::nullopt);
  EXPECT_EQ(apply_setter(s, "set_url_escaping_charset", "latin1"), std::nullopt);
  EXPECT_EQ(s.locale, "de_DE");
  EXPECT_EQ(s.number_format, "0.00");
  EXPECT_EQ(s.date_format, "yyyy");
  EXPECT_EQ(s.time_format, "HH");
  EXPECT_EQ(s.datetime_format, "iso");
  EXPECT_EQ(s.boolean_format, "Y,N");
  EXPECT_EQ(s.time_zone_name, "GMT+02:00");
  EXPECT_EQ(s.c_format, "XS");
  EXPECT_EQ(s.output_format, OutputFormatKind::XHTML);
  EXPECT_EQ(s.auto_escaping, AutoEscapingPolicy::On);
  EXPECT_EQ(s.template_exception_handler, "Debug");  // stored as given
  EXPECT_EQ(s.input_encoding, "ISO-8859-2");
  EXPECT_EQ(s.output_encoding, "UTF-16");
  EXPECT_EQ(s.url_escaping_charset, "latin1");

  // Refused values leave every field as it was.
  const Settings before = s;
  EXPECT_EQ(apply_setter(s, "set_time_zone", "Mars/Base"), "Invalid time zone: Mars/Base");
  EXPECT_EQ(apply_setter(s, "set_c_format", "json"), "Unknown C format: json");
  EXPECT_EQ(apply_setter(s, "set_output_format", "Html"), "Unknown output format: Html");
  EXPECT_EQ(apply_setter(s, "set_auto_escaping", "maybe"), "Invalid auto escaping policy: maybe");
  EXPECT_EQ(apply_setter(s, "set_template_exception_handler", "x"),
            "Invalid template exception handler: x");
  EXPECT_EQ(apply_setter(s, "set_strict_syntax", "true"), "Unknown setter: set_strict_syntax");
  EXPECT_EQ(s.time_zone_name, before.time_zone_name);
  EXPECT_EQ(s.c_format, before.c_format);
  EXPECT_EQ(s.output_format, before.output_format);
  EXPECT_EQ(s.auto_escaping, before.auto_escaping);
  EXPECT_EQ(s.template_exception_handler, before.template_exception_handler);
}

TEST(SettingsValues, ApplySettingTextAccepted) {
  const TzSetting start = *parse_tz_setting("Europe/Paris");
  struct Case {
    std::string name, text;
    std::string Settings::*field;  // null: checked separately below
    std::string want;
  };
  const std::vector<Case> cases = {
      {"locale", "de_DE", &Settings::locale, "de_DE"},
      {"number_format", "0.#", &Settings::number_format, "0.#"},
      {"numberFormat", "0", &Settings::number_format, "0"},
      {"date_format", "short", &Settings::date_format, "short"},
      {"time_format", "HH:mm", &Settings::time_format, "HH:mm"},
      {"datetime_format", "iso", &Settings::datetime_format, "iso"},
      {"output_encoding", "ISO-8859-1", &Settings::output_encoding, "ISO-8859-1"},
      {"url_escaping_charset", "UTF-16", &Settings::url_escaping_charset, "UTF-16"},
      {"boolean_format", "yes,no", &Settings::boolean_format, "yes,no"},
      {"boolean_format", "c", &Settings::boolean_format, "c"},
      {"boolean_format", ",", &Settings::boolean_format, ","},
      {"c_format", "legacy", &Settings::c_format, "legacy"},
      {"time_zone", "gmt+1", &Settings::time_zone_name, "GMT+01:00"},
      {"timeZone", "America/New_York", &Settings::time_zone_name, "America/New_York"},
      {"time_zone", "default", &Settings::time_zone_name, "Europe/Paris"},
      {"template_exception_handler", "html_debug", &Settings::template_exception_handler,
       "html_debug"},
  };
  for (const Case& c : cases) {
    Settings s;
    s.time_zone_name = "GMT+03:00";
    Status st = apply_setting_text(s, start, c.name, c.text);
    ASSERT_TRUE(st.ok()) << c.name << "=" << c.text << ": " << st.error()->text;
    EXPECT_EQ(s.*c.field, c.want) << c.name << "=" << c.text;
  }

  Settings s;
  ASSERT_TRUE(apply_setting_text(s, start, "classic_compatible", "yes").ok());
  EXPECT_TRUE(s.classic_compatible);
  ASSERT_TRUE(apply_setting_text(s, start, "classicCompatible", "n").ok());
  EXPECT_FALSE(s.classic_compatible);
  const Settings before = s;
  ASSERT_TRUE(apply_setting_text(s, start, "sql_date_and_time_time_zone", "nonsense").ok());
  EXPECT_EQ(s.time_zone_name, before.time_zone_name);
}

TEST(SettingsValues, ApplySettingTextRefused) {
  const TzSetting start;
  struct Case {
    std::string name, text, message;
  };
  const std::vector<Case> cases = {
      {"boolean_format", "yes",
       "Setting value must be a string that contains two comma-separated values for true and "
       "false, or it must be \"c\", but it was \"yes\"."},
      {"boolean_format", "",
       "Setting value must be a string that contains two comma-separated values for true and "
       "false, or it must be \"c\", but it was \"\"."},
      {"c_format", "json", "Unknown c_format: json"},
      {"time_zone", "Mars/Base", "Unknown time zone: Mars/Base"},
      {"time_zone", "Default", "Unknown time zone: Default"},
      {"time_zone", "GMT+24", "Unknown time zone: GMT+24"},
      {"classic_compatible", "TRUE", "Invalid boolean value: TRUE"},
      {"template_exception_handler", "DEBUG",
       "Invalid template_exception_handler value: DEBUG. It must be one of: rethrow, debug, "
       "html_debug, ignore"},
      {"auto_escaping", "OFF",
       "The setting name is recognized, but changing this setting from inside a template isn't "
       "supported."},
      {"whiteSpaceStripping", "true",
       "The setting name is recognized, but changing this setting from inside a template isn't "
       "supported."},
      {"colour", "red",
       "Unknown setting name: \"colour\". The allowed setting names are: boolean_format, "
       "c_format, classic_compatible, date_format, datetime_format, locale, number_format, "
       "output_encoding, sql_date_and_time_time_zone, time_format, time_zone, "
       "url_escaping_charset"},
  };
  for (const Case& c : cases) {
    Settings s;
    const Settings before = s;
    Status st = apply_setting_text(s, start, c.name, c.text);
    ASSERT_FALSE(st.ok()) << c.name << "=" << c.text;
    EXPECT_EQ(st.error().kind(), ErrorKind::Misc);
    EXPECT_EQ(st.error()->text, c.message);
    EXPECT_EQ(s.boolean_format, before.boolean_format);
    EXPECT_EQ(s.c_format, before.c_format);
    EXPECT_EQ(s.time_zone_name, before.time_zone_name);
    EXPECT_EQ(s.classic_compatible, before.classic_compatible);
    EXPECT_EQ(s.template_exception_handler, before.template_exception_handler);
  }
}

TEST(SettingsValues, SettingNameCheck) {
  for (const char* n : {"locale", "numberFormat", "template_exception_handler", "templateExceptionHandler",
                        "sqlDateAndTimeTimeZone", "time_zone"})
    EXPECT_EQ(setting_name_error(n), std::nullopt) << n;
  for (const char* n : {"strict_syntax", "strictSyntax", "output_format", "outputFormat",
                        "whitespace_stripping"})
    EXPECT_EQ(setting_name_error(n),
              "The setting name is recognized, but changing this setting from inside a template "
              "isn't supported.")
        << n;
  std::optional<std::string> unknown = setting_name_error("autoEscaping");
  ASSERT_TRUE(unknown.has_value());
  EXPECT_EQ(unknown->rfind("Unknown setting name: \"autoEscaping\". ", 0), 0u) << *unknown;
}

}  // namespace
}  // namespace tovarn
