// macro_def.cpp — macro and function definitions as values.
#include "core/macro_def.h"

#include "core/environment.h"
#include "core/exec.h"

namespace tovarn {

namespace {

// The value a macro reads as when looked up by name (type "macro").
class MacroValue final : public ModelObject {
 public:
  explicit MacroValue(Rc<MacroDef> def) : ModelObject(ModelKind::Macro, "macro", 0), def_(std::move(def)) {}
  RefCounted* internal() const noexcept override { return def_.get(); }

 private:
  Rc<MacroDef> def_;
};

}  // namespace

TModel macro_value(const Rc<MacroDef>& def) { return TModel(new MacroValue(def)); }

std::string macro_def_description(const MacroDef& def) {
  std::string s = def.is_function ? "#function " : "#macro ";
  s += def.name;
  for (const MacroParam& p : def.params()) {
    s += " " + p.name;
    if (p.default_value) s += "=" + literal_canonical(*p.default_value);
  }
  return s;
}

ExecOutcome exec_macro_def(Environment& env, const Element& e) { return not_yet_supported(e); }

ExecOutcome exec_return(Environment& env, const Element& e) { return not_yet_supported(e); }

}  // namespace tovarn
