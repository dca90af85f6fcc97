// stop_return.h — payloads of `<#return [value]>` and `<#stop [message]>`.
#pragma once

#include "core/expression/expr.h"
#include "core/template_element.h"

namespace tovarn {

// Payload of ElementKind::Return. A #function's return always has a value, a
// #macro's never (the parser checks both).
struct ReturnInstruction : ElementData {
  ExprPtr value;  // null for <#return>
};

// Payload of ElementKind::Stop.
struct StopInstruction : ElementData {
  ExprPtr message;  // null for <#stop>
};

}  // namespace tovarn
