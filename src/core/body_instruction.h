// body_instruction.h — payload of `<#nested args>`, which runs the nested
// content of the current macro call.
#pragma once

#include "core/expression/expr.h"
#include "core/template_element.h"

namespace tovarn {

// Payload of ElementKind::BodyInstruction: the positional arguments bound to
// the call's loop variables (`<#nested x, 2>`); empty for `<#nested>`.
struct BodyInstruction : ElementData {
  ExprList args;
};

}  // namespace tovarn
