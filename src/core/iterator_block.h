// iterator_block.h — payloads of the listing elements: #list (and the legacy
// #foreach), #items and #sep.
#pragma once

#include <optional>
#include <string>

#include "core/expression/expr.h"
#include "core/template_element.h"

namespace tovarn {

// Payload of ElementKind::List.
//   <#list xs as x>..<#else>..</#list>    list_expr xs, loop_var "x", body, else_body
//   <#list h as k, v>..</#list>           hash listing: loop_var "k" (key), loop_var2 "v" (value)
//   <#list xs>..<#items as x>..</#items>..</#list>   loop_var empty: #items iterates
//   <#foreach x in xs>..</#foreach>       is_foreach, loop_var "x"
struct IteratorBlock : ElementData {
  ExprPtr list_expr;
  std::string loop_var;                  // empty when the body uses #items
  std::optional<std::string> loop_var2;  // second name of a hash listing
  ElementList body;
  std::optional<ElementList> else_body;  // present when <#else> was written
  bool is_foreach = false;               // written as the legacy #foreach

  bool has_loop_var() const { return !loop_var.empty(); }
};

// Payload of ElementKind::Items: `<#items as x[, y]>body</#items>`.
struct Items : ElementData {
  std::string loop_var;
  std::optional<std::string> loop_var2;
  ElementList body;
};

// Payload of ElementKind::Sep: `<#sep>body` (the end tag is optional).
struct Sep : ElementData {
  ElementList body;
};

}  // namespace tovarn
