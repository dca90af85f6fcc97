// assignment.h — payloads of the assignment elements: #assign, #global and
// #local in their expression form (Assignment, AssignmentGroup) and their
// captured-body form (BlockAssignment, also used by GlobalAssignment and
// LocalAssignment).
#pragma once

#include <string>
#include <string_view>

#include "core/expression/expr.h"
#include "core/template_element.h"
#include "error/template_error.h"
#include "template/t_model.h"

namespace tovarn {

// Where an assignment stores: #assign (the template namespace, or the one
// named after "in"), #global, #local.
enum class AssignmentScope : uint8_t { Template, Global, Local };

enum class AssignOp : uint8_t { Assign, PlusAssign, MinusAssign, StarAssign, SlashAssign, PercentAssign, PlusPlus, MinusMinus };

// "=", "+=", "-=", "*=", "/=", "%=", "++", "--".
constexpr std::string_view assign_op_text(AssignOp op) {
  constexpr std::string_view texts[] = {"=", "+=", "-=", "*=", "/=", "%=", "++", "--"};
  return texts[static_cast<size_t>(op)];
}

// "#assign", "#global", "#local".
constexpr std::string_view assignment_directive_name(AssignmentScope scope) {
  return scope == AssignmentScope::Template ? "#assign" : scope == AssignmentScope::Global ? "#global" : "#local";
}

// Payload of ElementKind::Assignment: one `name op value`.
//   <#assign x += 2 in ns>  ->  Template, "x", PlusAssign, value 2, ns_expr ns
//   <#local "a b"++>        ->  Local, "a b", PlusPlus, no value
struct Assignment : ElementData {
  AssignmentScope scope = AssignmentScope::Template;
  std::string target;  // as written (a string-literal name decoded)
  AssignOp op = AssignOp::Assign;
  ExprPtr value;    // null for ++ and --
  // "in ns" (only #assign can have one). In a group the first assignment owns
  // the expression and the others point at it through `shared_ns`; read it
  // with namespace_expr().
  ExprPtr ns_expr;
  const Expr* shared_ns = nullptr;

  const Expr* namespace_expr() const { return ns_expr ? ns_expr.get() : shared_ns; }
};

// Payload of ElementKind::AssignmentGroup: the Assignment elements of one tag
// with more than one assignment, in written order (`<#assign a=1 b=2>`).
struct AssignmentGroup : ElementData {
  ElementList assignments;
};

// Payload of ElementKind::BlockAssignment (`<#assign x>body</#assign>`, also
// `<#assign x in ns>body</#assign>`), GlobalAssignment (`<#global x>body</#global>`)
// and LocalAssignment (`<#local x>body</#local>`): the body's output is captured
// and stored under `target`.
struct BlockAssignment : ElementData {
  AssignmentScope scope = AssignmentScope::Template;
  std::string target;
  ExprPtr ns_expr;  // #assign only
  ElementList body;
};

class Environment;

// `current += added`: numbers add; two sequences join lazily (items are read
// from the operands on demand); otherwise two texts join (numbers and
// booleans formatted, markup giving its markup text, the result a plain
// string); two listable hashes merge into a new ordered hash (the right
// operand's values win, first places stay); other hashes combine lazily
// (lookups ask the right operand first). Else the left operand's text
// conversion error, or the right's.
//   eval_add_concat(env, from_scalar("a"), from_int(1))   ->  "a1"
Result<TModel> eval_add_concat(Environment& env, const TModel& current, const TModel& added);

}  // namespace tovarn
