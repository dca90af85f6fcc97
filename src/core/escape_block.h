// escape_block.h — payloads of the escaping blocks: `<#escape x as expr>`,
// and the body-only blocks #noescape, #autoesc and #noautoesc.
#pragma once

#include <string>

#include "core/expression/expr.h"
#include "core/template_element.h"

namespace tovarn {

// Payload of ElementKind::Escape: inside `body`, every interpolation's value
// is passed through `expr` with `variable` bound to it.
//   <#escape x as x?html>..</#escape>  ->  variable "x", expr x?html
struct EscapeBlock : ElementData {
  std::string variable;
  ExprPtr expr;
  ElementList body;
};

// Payload of ElementKind::NoEscape, AutoEsc and NoAutoEsc: just the body.
struct BodyBlock : ElementData {
  ElementList body;
};

}  // namespace tovarn
