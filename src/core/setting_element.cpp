// setting_element.cpp — execution of #setting: changes a setting for the rest
// of the run, in the run's private copy of the settings.
#include "core/setting_element.h"

#include "core/environment.h"
#include "core/eval.h"
#include "core/exec.h"
#include "core/settings_values.h"
#include "core/value_output.h"

namespace tovarn {

namespace {

// The text a setting value stands for: booleans as true/false, numbers as
// their plain decimal text, anything else as it prints.
Result<std::string> setting_text(Environment& env, const TModel& v) {
  if (v.has(Cap::Boolean) && !v.has(Cap::Scalar)) {
    ASSIGN_OR_RETURN(bool b, v.get_boolean());
    return std::string(b ? "true" : "false");
  }
  if (v.has(Cap::Number) && !v.has(Cap::Scalar)) {
    ASSIGN_OR_RETURN(TNumber n, v.get_number());
    return n.to_plain_string();
  }
  return model_to_string(env, v);
}

}  // namespace

ExecOutcome exec_setting(Environment& env, const Element& e) {
  const Setting& s = e.as<Setting>();
  Result<TModel> value = eval(env, *s.value);
  if (!value.ok()) return ExecOutcome::failed(value.take_error());
  Result<std::string> text = setting_text(env, *value);
  if (!text.ok()) return ExecOutcome::failed(text.take_error());
  return ExecOutcome::from(apply_setting_text(env.mutable_settings(), env.start_time_zone(), s.name, *text));
}

}  // namespace tovarn
