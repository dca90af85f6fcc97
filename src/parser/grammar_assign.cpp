// grammar_assign.cpp — #assign/#global/#local in their expression and block
// forms, #macro/#function definitions, #nested and #return.
#include <string>

#include "core/assignment.h"
#include "core/body_instruction.h"
#include "core/macro_def.h"
#include "core/stop_return.h"
#include "parser/grammar_element_helpers.h"
#include "parser/grammar_expression.h"

namespace tovarn {

namespace {

std::optional<AssignOp> assign_op(Tok k) {
  switch (k) {
    case Tok::Eq: return AssignOp::Assign;
    case Tok::PlusAssign: return AssignOp::PlusAssign;
    case Tok::MinusAssign: return AssignOp::MinusAssign;
    case Tok::StarAssign: return AssignOp::StarAssign;
    case Tok::SlashAssign: return AssignOp::SlashAssign;
    case Tok::PercentAssign: return AssignOp::PercentAssign;
    case Tok::PlusPlus: return AssignOp::PlusPlus;
    case Tok::MinusMinus: return AssignOp::MinusMinus;
    default: return std::nullopt;
  }
}

bool is_name_token(Tok k) { return k == Tok::Ident || k == Tok::Str; }

// The operator (next token, known to be one) and, unless it is ++/--, the value.
Result<Element> one_assignment(Parser& p, Pos at, AssignmentScope scope, std::string target) {
  ASSIGN_OR_RETURN(Token op_tok, p.next_tok());
  auto a = std::make_unique<Assignment>();
  a->scope = scope;
  a->target = std::move(target);
  a->op = *assign_op(op_tok.kind);
  if (a->op != AssignOp::PlusPlus && a->op != AssignOp::MinusMinus) {
    ASSIGN_OR_RETURN(a->value, parse_expression(p));
  }
  return make_element(ElementKind::Assignment, at, std::move(a));
}

const char* kNoNamespaceHere = "Cannot assign to namespace here.";

// `<#assign x>body</#assign>` and friends, after the tag end.
Result<Element> block_assignment(Parser& p, Pos at, AssignmentScope scope, std::string target, ExprPtr ns) {
  NameList ends = scope == AssignmentScope::Template ? NameList{"assign", "global", "local"}
                  : scope == AssignmentScope::Global ? NameList{"global"}
                                                     : NameList{"local"};
  ASSIGN_OR_RETURN(Block body, p.parse_block_impl(ends, {}, false));
  if (body.stop.kind != BlockStopKind::EndTag) return p.error_at(at, "Unclosed block assignment.");
  if (scope == AssignmentScope::Template && body.stop.name != "assign")
    return p.error_at(at, "Mismatched assignment tags.");
  auto payload = std::make_unique<BlockAssignment>();
  payload->scope = scope;
  payload->target = std::move(target);
  payload->ns_expr = std::move(ns);
  payload->body = std::move(body.elements);
  ElementKind kind = scope == AssignmentScope::Template ? ElementKind::BlockAssignment
                     : scope == AssignmentScope::Global ? ElementKind::GlobalAssignment
                                                        : ElementKind::LocalAssignment;
  return make_element(kind, at, std::move(payload));
}

}  // namespace

Result<Element> parse_assignment(Parser& p, Pos at, std::string_view directive) {
  const AssignmentScope scope = directive == "assign"   ? AssignmentScope::Template
                                : directive == "global" ? AssignmentScope::Global
                                                        : AssignmentScope::Local;
  if (scope == AssignmentScope::Local && p.macro_depth == 0 && p.function_depth == 0)
    return p.error_at(at, "Local variable assigned outside a macro.");
  ASSIGN_OR_RETURN(std::string target, ident_or_string_literal(p));
  ASSIGN_OR_RETURN(const Token* next, p.peek_tok());

  if (next->kind == Tok::TagEnd || next->kind == Tok::In) {
    ExprPtr ns;
    if (next->kind == Tok::In) {
      if (scope != AssignmentScope::Template) return p.error_at(at, kNoNamespaceHere);
      TRY(p.next_tok());
      ASSIGN_OR_RETURN(ns, parse_expression(p));
      TRY(p.expect_tag_end());
    } else {
      TRY(p.next_tok());
    }
    return block_assignment(p, at, scope, std::move(target), std::move(ns));
  }
  if (next->kind == Tok::EmptyTagEnd)
    return p.error_at(*next, "The tag can't be self-closing (\" />\"): block assignments need a body.");
  if (!assign_op(next->kind))
    return p.error_at(*next, "Expected an assignment operator (\"=\", \"+=\", ...) after the variable name, but found " +
                                 tok_desc(*next) + ".");

  ElementList assignments;
  ASSIGN_OR_RETURN(Element first, one_assignment(p, at, scope, std::move(target)));
  assignments.push_back(std::move(first));
  for (;;) {
    ASSIGN_OR_RETURN(bool comma, accept_tok(p, Tok::Comma));
    // Look at a second token only inside the tag: past its end the lexer
    // would scan template text as an expression.
    ASSIGN_OR_RETURN(const Token* t1, p.peek_tok());
    bool another = false;
    if (is_name_token(t1->kind)) {
      ASSIGN_OR_RETURN(const Token* t2, p.peek_tok2());
      another = assign_op(t2->kind).has_value();
    }
    if (another) {
      ASSIGN_OR_RETURN(std::string name, ident_or_string_literal(p));
      ASSIGN_OR_RETURN(Element more, one_assignment(p, at, scope, std::move(name)));
      assignments.push_back(std::move(more));
      continue;
    }
    if (!comma) break;
    ASSIGN_OR_RETURN(t1, p.peek_tok());
    if (!is_name_token(t1->kind))
      return p.error_at(*t1, "Expected a variable name after \",\" in the assignment, but found " + tok_desc(*t1) + ".");
    ASSIGN_OR_RETURN(const Token* t2, p.peek_tok2());
    return p.error_at(*t2, "Expected an assignment operator (\"=\", \"+=\", ...), but found " + tok_desc(*t2) + ".");
  }

  ASSIGN_OR_RETURN(bool has_ns, accept_tok(p, Tok::In));
  if (has_ns) {
    if (scope != AssignmentScope::Template) return p.error_at(at, kNoNamespaceHere);
    ASSIGN_OR_RETURN(ExprPtr ns, parse_expression(p));
    // Every assignment of the tag writes into that one namespace: the first
    // assignment owns the expression, the others refer to it.
    auto& owner = assignments.front().as<Assignment>();
    owner.ns_expr = std::move(ns);
    for (size_t i = 1; i < assignments.size(); ++i) assignments[i].as<Assignment>().shared_ns = owner.ns_expr.get();
  }
  TRY(p.loose_end());

  if (assignments.size() == 1) return std::move(assignments.front());
  auto group = std::make_unique<AssignmentGroup>();
  group->assignments = std::move(assignments);
  return make_element(ElementKind::AssignmentGroup, at, std::move(group));
}

// ---------------------------------------------------------------------------
// #macro, #function

Result<Element> parse_macro(Parser& p, Pos at, bool is_function) {
  if (p.macro_depth > 0 || p.function_depth > 0)
    return p.error_at(at, "Macro or function definitions can't be nested into each other.");
  auto def = make_rc<MacroDef>();
  def->code = make_rc<MacroCode>();
  def->is_function = is_function;
  def->template_name = p.template_name();
  def->line = at.line;
  def->column = at.column;
  ASSIGN_OR_RETURN(def->name, ident_or_string_literal(p));

  ASSIGN_OR_RETURN(bool paren, accept_tok(p, Tok::LParen));
  std::vector<MacroParam>& params = def->code->params;
  bool had_default = false;
  for (;;) {
    ASSIGN_OR_RETURN(const Token* t, p.peek_tok());
    if (t->kind != Tok::Ident) break;
    ASSIGN_OR_RETURN(Token name, p.next_tok());
    MacroParam param;
    param.name = std::move(name.text);
    ASSIGN_OR_RETURN(param.catch_all, accept_tok(p, Tok::Ellipsis));
    ASSIGN_OR_RETURN(bool has_default, accept_tok(p, Tok::Eq));
    if (has_default) {
      ASSIGN_OR_RETURN(param.default_value, parse_expression(p));
    }
    if (param.catch_all && has_default)
      return p.error_at(at, "\"Catch-all\" macro parameter may not have a default value.");
    if (!params.empty() && params.back().catch_all)
      return p.error_at(at,
                        "There may only be one \"catch-all\" parameter in a macro declaration, and it must be the last "
                        "parameter.");
    if (!has_default && !param.catch_all && had_default)
      return p.error_at(at,
                        "In a macro declaration, parameters without a default value must all occur before the "
                        "parameters with default values.");
    had_default = had_default || has_default;
    params.push_back(std::move(param));
    TRY(accept_tok(p, Tok::Comma));
  }
  if (paren) TRY(p.expect_tok(Tok::RParen, "\")\" to close the parameter list"));
  TRY(p.expect_tag_end());

  Block body;
  {
    CountGuard depth(is_function ? p.function_depth : p.macro_depth);
    ASSIGN_OR_RETURN(body, p.parse_block_impl({"macro", "function"}, {}, false));
  }
  if (body.stop.kind != BlockStopKind::EndTag) return p.error_at(at, "Unclosed macro or function definition.");
  if (!is_function && body.stop.name != "macro") return p.error_at(at, "Expected macro end tag here.");
  if (is_function && body.stop.name != "function") return p.error_at(at, "Expected function end tag here.");
  def->code->body = std::move(body.elements);

  auto payload = std::make_unique<MacroDefElement>();
  payload->def = std::move(def);
  return make_element(ElementKind::MacroDef, at, std::move(payload));
}

// ---------------------------------------------------------------------------
// #nested, #return

Result<Element> parse_nested(Parser& p, Pos at) {
  if (p.macro_depth == 0 && p.function_depth == 0)
    return p.error_at(at, "Cannot use a \"nested\" instruction outside a macro.");
  auto payload = std::make_unique<BodyInstruction>();
  ASSIGN_OR_RETURN(Tok k, peek_kind(p));
  if (k == Tok::TagEnd || k == Tok::EmptyTagEnd) {
    TRY(p.next_tok());
  } else {
    ASSIGN_OR_RETURN(payload->args, positional_args(p, false));
    TRY(p.loose_end());
  }
  return make_element(ElementKind::BodyInstruction, at, std::move(payload));
}

Result<Element> parse_return(Parser& p, Pos at) {
  auto payload = std::make_unique<ReturnInstruction>();
  ASSIGN_OR_RETURN(Tok k, peek_kind(p));
  if (k == Tok::TagEnd || k == Tok::EmptyTagEnd) {
    TRY(p.next_tok());
  } else {
    ASSIGN_OR_RETURN(payload->value, parse_expression(p));
    TRY(p.loose_end());
  }
  if (p.function_depth > 0 && !payload->value) return p.error_at(at, "A function must return a value");
  if (p.macro_depth > 0 && payload->value) return p.error_at(at, "A macro cannot return a value");
  if (p.macro_depth == 0 && p.function_depth == 0)
    return p.error_at(at, "A return instruction can only occur inside a macro or function");
  return make_element(ElementKind::Return, at, std::move(payload));
}

}  // namespace tovarn
