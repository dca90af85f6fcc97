// unified_call.h — payload of the user-directive call `<@callee args; vars>body</@callee>`
// and of the legacy `<#call name args>`.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/expression/expr.h"
#include "core/template_element.h"

namespace tovarn {

enum class CallTargetKind : uint8_t {
  Name,             // <@m>: a plain variable name
  NamespaceMember,  // <@ns.m>: a namespace variable and a routine name
  Expression,       // <@x.y.z>, <@m?x>, <@(a)>, ...: any other callee
};

// The callee of a call.
struct CallTarget {
  CallTargetKind kind = CallTargetKind::Name;
  std::string name;     // Name: the name; NamespaceMember: the routine name
  std::string ns_name;  // NamespaceMember: the namespace variable name
  ExprPtr expr;         // Expression: the callee; null for the other kinds
  // The name end tags may repeat ("m", "ns.m", "a.b.c"); absent when the
  // callee has none (any "</@...>" other than "</@>" is then refused).
  std::optional<std::string> canonical_name;

  // The callee as messages show it: "m", "ns.m", or the expression's text.
  std::string description() const { return expr ? expr_desc(*expr) : ns_name.empty() ? name : ns_name + "." + name; }
};

// One argument: positional (no name) or named (`name=value`).
struct CallArg {
  std::optional<std::string> name;
  ExprPtr value;
};

// Payload of ElementKind::UnifiedCall. Arguments are either all positional
// or all named (`named_args`).
//   <@m a=1 b=x; i, j>..</@m>  ->  target Name "m", args [a=1, b=x], loop_vars [i, j], body
//   <@ns.m 1, 2/>              ->  target NamespaceMember ns/m, args [1, 2], no body
struct UnifiedCall : ElementData {
  CallTarget target;
  std::vector<CallArg> args;
  bool named_args = false;
  std::vector<std::string> loop_vars;  // names after ';'
  std::optional<ElementList> body;     // the nested content; absent for "/>"
};

// The nested content handed to a user-defined directive or a transform: it
// runs `body` in the caller's context, with the call's loop-variable names
// bound to the values the directive set (when there are any). A #return
// inside it is remembered so that the caller can pass it on after the
// directive finishes, and so it still reaches the macro that owns it.
class ElementsBody final : public TemplateDirectiveBody {
 public:
  explicit ElementsBody(const ElementList& body) : body_(body) {}
  ElementsBody(const ElementList& body, const std::vector<std::string>& names, const std::vector<TModel>& values)
      : body_(body), names_(&names), values_(&values) {}

  Status render(Environment& env) override;

  bool returned() const { return returned_; }
  std::optional<TModel>& return_value() { return return_value_; }

 private:
  const ElementList& body_;
  const std::vector<std::string>* names_ = nullptr;
  const std::vector<TModel>* values_ = nullptr;
  bool returned_ = false;
  std::optional<TModel> return_value_;
};

}  // namespace tovarn
