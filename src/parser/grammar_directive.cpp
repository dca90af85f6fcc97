// grammar_directive.cpp — the directive grammar: dispatch of "<#name ..." to
// each directive's parser, the simple directives (#include, #import,
// #setting, #stop, the escaping and output blocks, #visit/#recurse, raw-text
// blocks, markers), user-directive calls "<@...>" and the legacy #call, the
// "<#tvl>" header, and the collection of macro definitions.
#include <algorithm>
#include <string>

#include "core/escape_block.h"
#include "core/include.h"
#include "core/library_load.h"
#include "core/macro_def.h"
#include "core/output_format_block.h"
#include "core/setting_element.h"
#include "core/settings_values.h"
#include "core/stop_return.h"
#include "core/transform_block.h"
#include "core/unified_call.h"
#include "core/visit_node.h"
#include "parser/grammar_element_helpers.h"
#include "parser/grammar_expression.h"
#include "template/template.h"

namespace tovarn {

namespace {

// `<#t>`, `<#flush>`, ...: nothing but the tag's end.
Result<Element> bare(Parser& p, Pos at, ElementKind kind) {
  TRY(p.expect_tag_end_raw());
  return Element(kind, at.line, at.column);
}

// `<#noescape>`, `<#autoesc>`, ...: raw end, then a body closed by its own end tag.
Result<ElementList> plain_block_body(Parser& p, Pos at, std::string_view name) {
  TRY(p.expect_tag_end_raw());
  return closed_body(p, {name}, at, "Unclosed <#" + std::string(name) + "> block.");
}

Result<Element> parse_escape(Parser& p, Pos at) {
  auto payload = std::make_unique<EscapeBlock>();
  ASSIGN_OR_RETURN(Token var, p.next_tok());
  if (var.kind != Tok::Ident) return p.error_at(at, "Expected a variable name after <#escape>.");
  payload->variable = std::move(var.text);
  TRY(p.expect_tok(Tok::As, "\"as\""));
  ASSIGN_OR_RETURN(payload->expr, parse_expression(p));
  TRY(p.expect_tag_end());
  ASSIGN_OR_RETURN(payload->body, closed_body(p, {"escape"}, at, "Unclosed <#escape> block."));
  return make_element(ElementKind::Escape, at, std::move(payload));
}

// Names accepted by the parse-time check of `<#outputformat "name">`.
bool registered_output_format(std::string_view name) {
  return parse_output_format_name(name).has_value() || name == "undefined";
}

Result<Element> parse_output_format(Parser& p, Pos at) {
  auto payload = std::make_unique<OutputFormatBlock>();
  ASSIGN_OR_RETURN(payload->format, parse_expression(p));
  if (payload->format->kind == ExprKind::StringLiteral) {
    const std::string& name = payload->format->as<StringLiteralExpr>().text;
    if (!registered_output_format(name))
      return p.error_at(at, "Unregistered output format name, \"" + name +
                                "\". The output formats registered in the Configuration are: \"CSS\", \"HTML\", "
                                "\"JSON\", \"JavaScript\", \"RTF\", \"XHTML\", \"XML\", \"plainText\", \"undefined\"");
    payload->literal_format = parse_output_format_name(name);
  }
  TRY(p.expect_tag_end());
  ASSIGN_OR_RETURN(payload->body, closed_body(p, {"outputformat"}, at, "Unclosed <#outputformat> block."));
  return make_element(ElementKind::OutputFormat, at, std::move(payload));
}

Result<Element> parse_transform(Parser& p, Pos at) {
  auto payload = std::make_unique<TransformBlock>();
  ASSIGN_OR_RETURN(payload->transform, parse_expression(p));
  TRY(p.expect_tag_end());
  ASSIGN_OR_RETURN(payload->body, closed_body(p, {"transform"}, at, "Unclosed <#transform> block."));
  return make_element(ElementKind::Transform, at, std::move(payload));
}

Result<Element> parse_include(Parser& p, Pos at) {
  auto payload = std::make_unique<Include>();
  ASSIGN_OR_RETURN(payload->template_name, parse_expression(p));
  for (;;) {
    ASSIGN_OR_RETURN(const Token* t1, p.peek_tok());
    if (t1->kind != Tok::Ident) break;
    ASSIGN_OR_RETURN(const Token* t2, p.peek_tok2());
    if (t2->kind != Tok::Eq) break;
    ASSIGN_OR_RETURN(Token name, p.next_tok());
    TRY(p.expect_tok(Tok::Eq, "\"=\" after the parameter name"));
    if (name.text != "parse" && name.text != "encoding" && name.text != "ignore_missing")
      return p.error_at(at, "Unsupported named #include parameter: \"" + name.text +
                                "\". Supported parameters are: \"parse\", \"encoding\", \"ignore_missing\".");
    IncludeParam param;
    param.name = std::move(name.text);
    ASSIGN_OR_RETURN(param.value, parse_expression(p));
    payload->params.push_back(std::move(param));
  }
  TRY(p.loose_end());
  return make_element(ElementKind::Include, at, std::move(payload));
}

Result<Element> parse_import(Parser& p, Pos at) {
  auto payload = std::make_unique<LibraryLoad>();
  ASSIGN_OR_RETURN(payload->template_name, parse_expression(p));
  TRY(p.expect_tok(Tok::As, "\"as\" after the template path"));
  ASSIGN_OR_RETURN(Token ns, p.next_tok());
  if (ns.kind != Tok::Ident)
    return p.error_at(ns, "Expected a namespace name after \"as\", but found " + tok_desc(ns) + ".");
  payload->namespace_name = std::move(ns.text);
  TRY(p.loose_end());
  return make_element(ElementKind::Import, at, std::move(payload));
}

Result<Element> parse_setting(Parser& p, Pos at) {
  ASSIGN_OR_RETURN(Token name, p.next_tok());
  if (name.kind != Tok::Ident) return p.error_at(at, "Expected a setting name after <#setting>.");
  if (std::optional<std::string> refused = setting_name_error(name.text)) return p.error_at(at, std::move(*refused));
  auto payload = std::make_unique<Setting>();
  payload->name = canonical_setting_key(name.text);
  TRY(p.expect_tok(Tok::Eq, "\"=\""));
  ASSIGN_OR_RETURN(payload->value, parse_expression(p));
  TRY(p.loose_end());
  return make_element(ElementKind::Setting, at, std::move(payload));
}

// An optional expression, then the loose end; for #stop.
Result<ExprPtr> optional_operand(Parser& p) {
  ASSIGN_OR_RETURN(Tok k, peek_kind(p));
  if (k == Tok::TagEnd || k == Tok::EmptyTagEnd) {
    TRY(p.next_tok());
    return ExprPtr();
  }
  ASSIGN_OR_RETURN(ExprPtr e, parse_expression(p));
  TRY(p.loose_end());
  return e;
}

Result<Element> parse_stop(Parser& p, Pos at) {
  auto payload = std::make_unique<StopInstruction>();
  ASSIGN_OR_RETURN(payload->message, optional_operand(p));
  return make_element(ElementKind::Stop, at, std::move(payload));
}

// #visit and #recurse: [node] [using namespaces].
template <class T>
Result<Element> parse_node_directive(Parser& p, Pos at, ElementKind kind) {
  auto payload = std::make_unique<T>();
  ASSIGN_OR_RETURN(bool has_node, at_expr_start(p));
  if (has_node) {
    ASSIGN_OR_RETURN(payload->node, parse_expression(p));
  }
  ASSIGN_OR_RETURN(bool has_using, accept_tok(p, Tok::Using));
  if (has_using) {
    ASSIGN_OR_RETURN(payload->namespaces, parse_expression(p));
  }
  TRY(p.loose_end());
  return make_element(kind, at, std::move(payload));
}

Result<Element> parse_raw_text(Parser& p, Pos at, std::string_view name) {
  TRY(p.expect_tag_end_raw());
  Pos text_at = p.lexer().pos();
  ASSIGN_OR_RETURN(std::string text, scan_unparsed(p, name, at));
  if (name == "comment") {
    Element e(ElementKind::Comment, at.line, at.column);
    e.text = std::move(text);
    return e;
  }
  Element e(ElementKind::TextChunk, at.line, at.column);
  e.end_line = text_at.line + static_cast<uint32_t>(std::count(text.begin(), text.end(), '\n'));
  e.text = std::move(text);
  return e;
}

// An #on outside #switch. Its body can only end at a sibling #recover or in
// an error, since "</#on>" is no end tag; it is parsed without end names so
// that the end of input reports the unclosed #on itself.
Result<Element> parse_stray_on(Parser& p, Pos at) {
  auto payload = std::make_unique<OnBlock>();
  ASSIGN_OR_RETURN(ExprPtr value, parse_expression(p));
  payload->values.push_back(std::move(value));
  TRY(p.expect_tag_end());
  ASSIGN_OR_RETURN(Block body, p.parse_block_impl({}, {"recover"}, false));
  if (body.stop.kind == BlockStopKind::EndOfFile) return p.error_at(at, "Unclosed <#on> block.");
  if (body.stop.kind == BlockStopKind::Directive)
    return p.error_at(body.stop.tag_start,
                      "Unexpected directive <#" + body.stop.name + "> here (it must be inside the matching block).");
  return p.error_at(at, "Unclosed <#on> block.");
}

// Callee name for end-tag matching: "m", "ns.m", "a.b.c"; none for other callees.
std::optional<std::string> canonical_callee_name(const Expr& e) {
  std::vector<const std::string*> parts;
  const Expr* cur = &e;
  while (cur->kind == ExprKind::Dot) {
    parts.push_back(&cur->as<DotExpr>().name);
    cur = cur->as<DotExpr>().target.get();
  }
  if (cur->kind != ExprKind::Variable) return std::nullopt;
  std::string name = cur->as<VariableExpr>().name;
  for (auto it = parts.rbegin(); it != parts.rend(); ++it) name += "." + **it;
  return name;
}

CallTarget make_call_target(ExprPtr callee) {
  CallTarget target;
  target.canonical_name = canonical_callee_name(*callee);
  if (callee->kind == ExprKind::Variable) {
    target.kind = CallTargetKind::Name;
    target.name = callee->as<VariableExpr>().name;
  } else if (callee->kind == ExprKind::Dot && callee->as<DotExpr>().target->kind == ExprKind::Variable) {
    target.kind = CallTargetKind::NamespaceMember;
    target.ns_name = callee->as<DotExpr>().target->as<VariableExpr>().name;
    target.name = callee->as<DotExpr>().name;
  } else {
    target.kind = CallTargetKind::Expression;
    target.expr = std::move(callee);
  }
  return target;
}

// `name=value name=value ...` (no commas). The default operator's operand must
// touch its "!" inside these values, so `a=x! b=1` is two arguments.
Status named_args(Parser& p, std::vector<CallArg>& out) {
  for (;;) {
    ASSIGN_OR_RETURN(Token name, p.next_tok());
    TRY(p.expect_tok(Tok::Eq, "\"=\" after the parameter name"));
    CallArg arg;
    arg.name = std::move(name.text);
    {
      CountGuard in_arg(p.directive_arg_depth);
      ASSIGN_OR_RETURN(arg.value, parse_expression(p));
    }
    out.push_back(std::move(arg));
    ASSIGN_OR_RETURN(const Token* t1, p.peek_tok());
    if (t1->kind != Tok::Ident) return ok();
    ASSIGN_OR_RETURN(const Token* t2, p.peek_tok2());
    if (t2->kind != Tok::Eq) return ok();
  }
}

Status positional_call_args(Parser& p, std::vector<CallArg>& out) {
  ASSIGN_OR_RETURN(ExprList values, positional_args(p, false));
  for (ExprPtr& v : values) out.push_back(CallArg{std::nullopt, std::move(v)});
  return ok();
}

// Whether the next two tokens are `Ident` `=`.
Result<bool> at_named_arg(Parser& p) {
  ASSIGN_OR_RETURN(const Token* t1, p.peek_tok());
  if (t1->kind != Tok::Ident) return false;
  ASSIGN_OR_RETURN(const Token* t2, p.peek_tok2());
  return t2->kind == Tok::Eq;
}

Result<Element> parse_legacy_call(Parser& p, Pos at) {
  auto payload = std::make_unique<UnifiedCall>();
  ASSIGN_OR_RETURN(std::string name, ident_or_string_literal(p));
  payload->target.kind = CallTargetKind::Name;
  payload->target.canonical_name = name;
  payload->target.name = std::move(name);
  ASSIGN_OR_RETURN(bool named, at_named_arg(p));
  if (named) {
    payload->named_args = true;
    TRY(named_args(p, payload->args));
  } else {
    ASSIGN_OR_RETURN(bool paren, accept_tok(p, Tok::LParen));
    TRY(positional_call_args(p, payload->args));
    if (paren) TRY(p.expect_tok(Tok::RParen, "\")\" to close the argument list"));
  }
  TRY(p.loose_end());
  return make_element(ElementKind::UnifiedCall, at, std::move(payload));
}

}  // namespace

Result<Element> Parser::dispatch_directive(std::string_view name, Pos at) {
  if (name == "if") return parse_if(*this, at);
  if (name == "list") return parse_list(*this, at);
  if (name == "items") return parse_items(*this, at);
  if (name == "sep") return parse_sep(*this, at);
  if (name == "foreach") return parse_foreach(*this, at);
  if (name == "switch") return parse_switch(*this, at);
  if (name == "attempt") return parse_attempt(*this, at);
  if (name == "break") return parse_break_continue(*this, at, false);
  if (name == "continue") return parse_break_continue(*this, at, true);
  if (name == "assign" || name == "global" || name == "local") return parse_assignment(*this, at, name);
  if (name == "macro") return parse_macro(*this, at, false);
  if (name == "function") return parse_macro(*this, at, true);
  if (name == "nested") return parse_nested(*this, at);
  if (name == "return") return parse_return(*this, at);
  if (name == "call") return parse_legacy_call(*this, at);
  if (name == "include") return parse_include(*this, at);
  if (name == "import") return parse_import(*this, at);
  if (name == "setting") return parse_setting(*this, at);
  if (name == "stop") return parse_stop(*this, at);
  if (name == "flush") return bare(*this, at, ElementKind::Flush);
  if (name == "fallback") return bare(*this, at, ElementKind::Fallback);
  if (name == "t") return bare(*this, at, ElementKind::T);
  if (name == "lt") return bare(*this, at, ElementKind::Lt);
  if (name == "rt") return bare(*this, at, ElementKind::Rt);
  if (name == "nt") return bare(*this, at, ElementKind::Nt);
  if (name == "escape") return parse_escape(*this, at);
  if (name == "outputformat") return parse_output_format(*this, at);
  if (name == "transform") return parse_transform(*this, at);
  if (name == "visit") return parse_node_directive<VisitNode>(*this, at, ElementKind::Visit);
  if (name == "recurse") return parse_node_directive<RecurseNode>(*this, at, ElementKind::Recurse);
  if (name == "comment" || name == "noparse") return parse_raw_text(*this, at, name);
  if (name == "compress") {
    auto payload = std::make_unique<CompressedBlock>();
    ASSIGN_OR_RETURN(payload->body, plain_block_body(*this, at, name));
    return make_element(ElementKind::Compress, at, std::move(payload));
  }
  if (name == "trim") {
    auto payload = std::make_unique<TrimInstruction>();
    ASSIGN_OR_RETURN(payload->body, plain_block_body(*this, at, name));
    return make_element(ElementKind::Trim, at, std::move(payload));
  }
  if (name == "noescape" || name == "autoesc" || name == "noautoesc") {
    auto payload = std::make_unique<BodyBlock>();
    ASSIGN_OR_RETURN(payload->body, plain_block_body(*this, at, name));
    ElementKind kind = name == "noescape" ? ElementKind::NoEscape
                       : name == "autoesc" ? ElementKind::AutoEsc
                                           : ElementKind::NoAutoEsc;
    return make_element(kind, at, std::move(payload));
  }
  if (name == "tvl") return error_at(at, "The #tvl header is only allowed at the very beginning of the template.");
  if (name == "on") return parse_stray_on(*this, at);
  // else, elseif, case, default, recover outside the block they belong to.
  return error_at(at, "Unexpected directive <#" + std::string(name) + "> here (it must be inside the matching block).");
}

// ---------------------------------------------------------------------------
// User-directive calls

Result<Element> Parser::parse_unified_call(Pos at) {
  auto payload = std::make_unique<UnifiedCall>();
  ASSIGN_OR_RETURN(ExprPtr callee, call_target_expression(*this));
  payload->target = make_call_target(std::move(callee));

  ASSIGN_OR_RETURN(bool named, at_named_arg(*this));
  if (named) {
    payload->named_args = true;
    TRY(named_args(*this, payload->args));
  } else {
    TRY(positional_call_args(*this, payload->args));
  }

  ASSIGN_OR_RETURN(bool has_loop_vars, accept_tok(*this, Tok::Semicolon));
  if (has_loop_vars) {
    ASSIGN_OR_RETURN(const Token* t, peek_tok());
    if (t->kind == Tok::Ident) {
      for (;;) {
        ASSIGN_OR_RETURN(Token name, expect_tok(Tok::Ident, "a loop variable name"));
        payload->loop_vars.push_back(std::move(name.text));
        ASSIGN_OR_RETURN(bool more, accept_tok(*this, Tok::Comma));
        if (!more) break;
      }
    }
  }

  ASSIGN_OR_RETURN(Token end, loose_end());
  if (end.kind == Tok::TagEnd) {
    ASSIGN_OR_RETURN(Block body, parse_block_impl({}, {}, false));
    if (body.stop.kind == BlockStopKind::EndOfFile)
      return error_at(at, "Unclosed user directive call (missing </@...>).");
    if (body.stop.kind != BlockStopKind::CallEnd) return error_at(at, "Unexpected directive in the call body.");
    const std::string& written = body.stop.name;
    const std::optional<std::string>& canonical = payload->target.canonical_name;
    if (!written.empty() && written != canonical) {
      if (canonical)
        return error_at(end, "Expecting </@> or </@" + *canonical + ">, but found </@" + written + ">.");
      return error_at(end, "Expecting </@>.");
    }
    payload->body = std::move(body.elements);
  }
  return make_element(ElementKind::UnifiedCall, at, std::move(payload));
}

// ---------------------------------------------------------------------------
// The <#tvl> header

namespace {

// true/false/invalid for a boolean header parameter.
std::optional<bool> header_bool(const Expr& e) {
  if (e.kind == ExprKind::BooleanLiteral) return e.as<BooleanLiteralExpr>().flag;
  if (e.kind != ExprKind::StringLiteral) return std::nullopt;
  std::string v = ascii_lower(e.as<StringLiteralExpr>().text);
  if (v == "true" || v == "t" || v == "yes" || v == "y" || v == "on" || v == "1") return true;
  if (v == "false" || v == "f" || v == "no" || v == "n" || v == "off" || v == "0") return false;
  return std::nullopt;
}

enum class HeaderParam { StripWhitespace, StrictSyntax, Encoding, NsPrefixes, Ignored, Unknown };

HeaderParam header_param(std::string_view lower) {
  if (lower == "strip_whitespace" || lower == "stripwhitespace" || lower == "strip_text" || lower == "striptext")
    return HeaderParam::StripWhitespace;
  if (lower == "strict_syntax" || lower == "strictsyntax") return HeaderParam::StrictSyntax;
  if (lower == "encoding") return HeaderParam::Encoding;
  if (lower == "ns_prefixes" || lower == "nsprefixes") return HeaderParam::NsPrefixes;
  if (lower == "attributes" || lower == "auto_esc" || lower == "autoesc" || lower == "output_format" ||
      lower == "outputformat")
    return HeaderParam::Ignored;
  return HeaderParam::Unknown;
}

Pos expr_pos(const Expr& e) { return {e.line, e.column}; }

}  // namespace

Status Parser::parse_tvl_header() {
  for (;;) {
    ASSIGN_OR_RETURN(Token t, next_tok());
    if (t.kind == Tok::TagEnd || t.kind == Tok::EmptyTagEnd) break;
    if (t.kind != Tok::Ident)
      return error_at(t, "Expected an TVL header parameter or the closing \">\", but found " + tok_desc(t) + ".");
    const std::string lower = ascii_lower(t.text);
    const HeaderParam param = header_param(lower);
    if (param == HeaderParam::Unknown) return error_at(t, "Unknown TVL header parameter: " + lower + ".");
    TRY(expect_tok(Tok::Eq, "\"=\" after the TVL header parameter"));
    ASSIGN_OR_RETURN(ExprPtr value, parse_expression(*this));
    switch (param) {
      case HeaderParam::StripWhitespace:
      case HeaderParam::StrictSyntax: {
        std::optional<bool> flag = header_bool(*value);
        if (!flag) return error_at(expr_pos(*value), "Expecting boolean (true/false) parameter");
        if (param == HeaderParam::StripWhitespace) whitespace_stripping = *flag;
        else lexer_.set_strict_syntax(*flag);
        break;
      }
      case HeaderParam::Encoding:
        if (value->kind != ExprKind::StringLiteral)
          return error_at(expr_pos(*value), "Expected a string constant for \"encoding\".");
        template_encoding = value->as<StringLiteralExpr>().text;
        break;
      case HeaderParam::NsPrefixes: {
        if (value->kind != ExprKind::HashLiteral)
          return error_at(expr_pos(*value), "Expected a hash literal for \"ns_prefixes\".");
        for (const HashEntry& entry : value->as<HashLiteralExpr>().entries) {
          if (entry.value->kind != ExprKind::StringLiteral)
            return error_at(expr_pos(*entry.value), "Expected a string constant for the namespace URI in \"ns_prefixes\".");
          std::string key = entry.key->kind == ExprKind::StringLiteral ? entry.key->as<StringLiteralExpr>().text
                            : entry.key->kind == ExprKind::Variable    ? entry.key->as<VariableExpr>().name
                                                                       : expr_desc(*entry.key);
          ns_prefixes.insert_or_assign(std::move(key), entry.value->as<StringLiteralExpr>().text);
        }
        break;
      }
      case HeaderParam::Ignored:
      case HeaderParam::Unknown:
        break;
    }
  }
  // The header's own line ends with it: blanks and one line break after it are dropped.
  discard_lookahead();
  while (lexer_.peek() == ' ' || lexer_.peek() == '\t') lexer_.advance();
  if (lexer_.peek() == '\r') lexer_.advance(lexer_.peek(1) == '\n' ? 2 : 1);
  else if (lexer_.peek() == '\n') lexer_.advance();
  last_end = lexer_.pos();
  return ok();
}

// ---------------------------------------------------------------------------
// Macro collection

void Parser::sync_macro_defs(const ElementList& elements, Template& tpl) {
  // Depth-first in source order with an explicit stack; a later definition of
  // a name replaces an earlier one.
  struct Cursor {
    const ElementList* list;
    size_t next;
  };
  std::vector<Cursor> stack{{&elements, 0}};
  std::vector<const ElementList*> bodies;
  while (!stack.empty()) {
    Cursor& top = stack.back();
    if (top.next == top.list->size()) {
      stack.pop_back();
      continue;
    }
    const Element& e = (*top.list)[top.next++];
    if (e.kind == ElementKind::MacroDef) {
      const Rc<MacroDef>& def = e.as<MacroDefElement>().def;
      tpl.macros.insert_or_assign(def->name, def);
    }
    bodies.clear();
    element_bodies(e, bodies);
    for (auto it = bodies.rbegin(); it != bodies.rend(); ++it) stack.push_back({*it, 0});
  }
}

}  // namespace tovarn
