// if_block.h — payload of the #if element: its condition/body branches
// (#if, then each #elseif in written order) and the optional #else body.
#pragma once

#include <optional>
#include <vector>

#include "core/expression/expr.h"
#include "core/template_element.h"

namespace tovarn {

// One `<#if cond>` or `<#elseif cond>` branch.
struct IfBranch {
  ExprPtr condition;
  ElementList body;
  uint32_t line = 0;    // position of the branch's tag ('<' or '[')
  uint32_t column = 0;
};

// Payload of ElementKind::If. The branches are tried in order; the first
// whose condition is true runs its body. None true: the #else body, if any.
// #elseif chains are kept flat, so running and walking them never recurses.
//   <#if a>x<#elseif b>y<#else>z</#if>  ->  branches [a: x, b: y], else_body z
struct IfBlock : ElementData {
  std::vector<IfBranch> branches;        // never empty; branches[0] is the #if itself
  std::optional<ElementList> else_body;  // present when <#else> was written
};

}  // namespace tovarn
