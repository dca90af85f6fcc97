// visit_node.h — payloads of the node-traversal directives `<#visit node using ns>`,
// `<#recurse node using ns>` and the body of a stray `<#on v>`. No value of this
// system is a node, so these only carry what the tags say.
#pragma once

#include "core/expression/expr.h"
#include "core/macro_def.h"
#include "core/template_element.h"

namespace tovarn {

// Payload of ElementKind::Visit.
struct VisitNode : ElementData {
  ExprPtr node;        // null when omitted
  ExprPtr namespaces;  // the "using" expression; null when omitted
};

// Payload of ElementKind::Recurse.
struct RecurseNode : ElementData {
  ExprPtr node;
  ExprPtr namespaces;
};

// Payload of ElementKind::On (an #on outside #switch): running it defines a
// parameterless macro named by the value, whose body is `code->body`.
struct OnBlock : ElementData {
  ExprList values;
  Rc<MacroCode> code;
};

}  // namespace tovarn
