// switch_block.h — payload of the #switch element and its #case / #on /
// #default branches.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "core/expression/expr.h"
#include "core/template_element.h"

namespace tovarn {

enum class CaseKind : uint8_t {
  Case,     // <#case v>: falls through into the following branches
  On,       // <#on v1, v2>: no fall-through
  Default,  // <#default>
};

// One branch of a #switch, in written order.
struct CaseDef {
  CaseKind kind = CaseKind::Case;
  ExprList values;  // #case: exactly one; #on: one or more; #default: none
  ElementList body;
  uint32_t line = 0;  // position of the branch's tag
  uint32_t column = 0;

  bool is_on() const { return kind == CaseKind::On; }
};

// Payload of ElementKind::Switch. `cases` holds every branch in source order,
// the #default included (at `default_index`), so that case-mode fall-through
// is a plain walk from the matching index to the end. A switch mixes #case and
// #on never; #default is last whenever #on is used.
//   <#switch x><#case 1>a<#default>d<#case 2>b</#switch>
//     -> cases [Case 1: a, Default: d, Case 2: b], default_index 1
struct SwitchBlock : ElementData {
  ExprPtr value;
  std::vector<CaseDef> cases;
  std::optional<size_t> default_index;
  bool on_mode = false;  // the branches are #on branches

  const ElementList* default_body() const { return default_index ? &cases[*default_index].body : nullptr; }
};

}  // namespace tovarn
