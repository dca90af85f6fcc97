// macro_def.cpp — macro and function definitions as values.
#include "core/macro_def.h"

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

}  // namespace tovarn
