// grammar_control.cpp — the control-flow directives: #if/#elseif/#else,
// #list/#items/#sep, the legacy #foreach, #switch with #case/#on/#default,
// #attempt/#recover, #break and #continue, with the parser's loop and
// break/continue context.
#include <string>

#include "core/attempt_block.h"
#include "core/if_block.h"
#include "core/iterator_block.h"
#include "core/switch_block.h"
#include "parser/grammar_element_helpers.h"
#include "parser/grammar_expression.h"

namespace tovarn {

namespace {

// Pushes a loop-context entry for the lifetime of the guard.
class LoopContextGuard {
 public:
  LoopContextGuard(Parser& p, LoopContextEntry entry) : p_(p) { p_.loop_contexts.push_back(entry); }
  ~LoopContextGuard() { p_.loop_contexts.pop_back(); }
  LoopContextGuard(const LoopContextGuard&) = delete;
  LoopContextGuard& operator=(const LoopContextGuard&) = delete;

 private:
  Parser& p_;
};

// `[, name2]` after a first loop variable name; `at` positions the messages.
Result<std::optional<std::string>> second_loop_var(Parser& p, Pos at, const std::string& first) {
  ASSIGN_OR_RETURN(bool comma, accept_tok(p, Tok::Comma));
  if (!comma) return std::optional<std::string>();
  ASSIGN_OR_RETURN(Token t, p.next_tok());
  if (t.kind != Tok::Ident) return p.error_at(at, "Expected a second loop variable name after \",\".");
  if (t.text == first)
    return p.error_at(at, "The key and value loop variable names must differ, but both were: " + first);
  return std::optional<std::string>(std::move(t.text));
}

}  // namespace

// ---------------------------------------------------------------------------
// #if

Result<Element> parse_if(Parser& p, Pos at) {
  auto payload = std::make_unique<IfBlock>();
  Pos branch_at = at;
  // Each round reads one condition and its body; #elseif chains stay a loop.
  for (;;) {
    IfBranch branch;
    branch.line = branch_at.line;
    branch.column = branch_at.column;
    ASSIGN_OR_RETURN(branch.condition, parse_expression(p));
    TRY(p.expect_tag_end());
    ASSIGN_OR_RETURN(Block body, p.parse_block_impl({"if"}, {"elseif", "else"}, false));
    branch.body = std::move(body.elements);
    payload->branches.push_back(std::move(branch));
    const BlockStop& stop = body.stop;
    if (stop.kind == BlockStopKind::EndTag) break;
    if (stop.kind == BlockStopKind::EndOfFile) return p.error_at(at, "Unclosed <#if> block.");
    if (stop.kind == BlockStopKind::CallEnd) return p.error_at(at, "Unexpected </@...> in the #if block.");
    if (stop.name == "elseif") {
      branch_at = stop.tag_start;
      continue;
    }
    if (stop.name != "else") return p.error_at(at, "Unexpected directive in the #if block.");
    TRY(p.expect_tag_end_raw());
    // #elseif and #else stop the #else body too, so that they are reported
    // as misplaced rather than as stray directives.
    ASSIGN_OR_RETURN(Block else_body, p.parse_block_impl({"if"}, {"elseif", "else"}, false));
    if (else_body.stop.kind == BlockStopKind::EndOfFile) return p.error_at(at, "Unclosed <#if> block.");
    if (else_body.stop.kind != BlockStopKind::EndTag) return p.error_at(at, "Unexpected directive in the #else block.");
    payload->else_body = std::move(else_body.elements);
    break;
  }
  return make_element(ElementKind::If, at, std::move(payload));
}

// ---------------------------------------------------------------------------
// #list, #items, #sep, #foreach

Result<Element> parse_list(Parser& p, Pos at) {
  auto payload = std::make_unique<IteratorBlock>();
  ASSIGN_OR_RETURN(payload->list_expr, parse_expression(p));
  ASSIGN_OR_RETURN(bool has_as, accept_tok(p, Tok::As));
  if (has_as) {
    ASSIGN_OR_RETURN(Token t, p.next_tok());
    if (t.kind != Tok::Ident) return p.error_at(at, "Expected a loop variable name after \"as\".");
    payload->loop_var = std::move(t.text);
    ASSIGN_OR_RETURN(payload->loop_var2, second_loop_var(p, at, payload->loop_var));
  }
  TRY(p.expect_tag_end());

  Block body;
  bool saw_items = false;
  {
    LoopContextGuard ctx(p, LoopContextEntry{has_as, false, false, false});
    CountGuard brk(p.break_permission, has_as);
    CountGuard cont(p.continue_permission, has_as);
    ASSIGN_OR_RETURN(body, p.parse_block_impl({"list"}, {"else"}, false));
    saw_items = p.loop_contexts.back().saw_items;
  }
  payload->body = std::move(body.elements);
  switch (body.stop.kind) {
    case BlockStopKind::EndTag: break;
    case BlockStopKind::EndOfFile: return p.error_at(at, "Unclosed <#list> block.");
    case BlockStopKind::CallEnd: return p.error_at(at, "Unexpected </@...> in the #list block.");
    case BlockStopKind::Directive: {
      if (body.stop.name != "else")
        return p.error_at(at, "Unexpected directive <#" + body.stop.name + "> in the #list block.");
      TRY(p.expect_tag_end_raw());
      ASSIGN_OR_RETURN(Block else_body, p.parse_block_impl({"list"}, {"else"}, false));
      if (else_body.stop.kind == BlockStopKind::EndOfFile) return p.error_at(at, "Unclosed <#list> block.");
      if (else_body.stop.kind != BlockStopKind::EndTag)
        return p.error_at(at, "Unexpected directive in the #else block.");
      payload->else_body = std::move(else_body.elements);
      break;
    }
  }
  if (!has_as && !saw_items)
    return p.error_at(at, "#list must have either \"as loopVar\" parameter or nested #items that belongs to it.");
  return make_element(ElementKind::List, at, std::move(payload));
}

Result<Element> parse_items(Parser& p, Pos at) {
  auto payload = std::make_unique<Items>();
  TRY(p.expect_tok(Tok::As, "\"as\" after #items"));
  ASSIGN_OR_RETURN(Token t, p.next_tok());
  if (t.kind != Tok::Ident) return p.error_at(at, "Expected a loop variable name after #items.");
  payload->loop_var = std::move(t.text);
  ASSIGN_OR_RETURN(payload->loop_var2, second_loop_var(p, at, payload->loop_var));
  TRY(p.expect_tag_end());

  if (p.loop_contexts.empty()) return p.error_at(at, "#items must be inside a #list block.");
  const size_t entry = p.loop_contexts.size() - 1;
  {
    const LoopContextEntry& ctx = p.loop_contexts[entry];
    if (ctx.is_foreach) return p.error_at(at, "#foreach doesn't support nested #items.");
    if (ctx.has_loop_variables)
      return p.error_at(at, "The parent #list of the #items must not have \"as loopVar\" parameter.");
    if (ctx.in_items) return p.error_at(at, "Can't nest #items into each other when they belong to the same #list.");
  }
  p.loop_contexts[entry].saw_items = true;
  p.loop_contexts[entry].in_items = true;
  Block body;
  {
    CountGuard brk(p.break_permission);
    CountGuard cont(p.continue_permission);
    ASSIGN_OR_RETURN(body, p.parse_block_impl({"items"}, {}, false));
  }
  p.loop_contexts[entry].in_items = false;
  if (body.stop.kind == BlockStopKind::EndOfFile) return p.error_at(at, "Unclosed <#items> block.");
  if (body.stop.kind == BlockStopKind::CallEnd) return p.error_at(at, "Unexpected </@...> in the #items block.");
  if (body.stop.kind == BlockStopKind::Directive)
    return p.error_at(at, "Unexpected directive <#" + body.stop.name + "> in the #items block.");
  payload->body = std::move(body.elements);
  return make_element(ElementKind::Items, at, std::move(payload));
}

Result<Element> parse_sep(Parser& p, Pos at) {
  if (p.loop_contexts.empty()) return p.error_at(at, "#sep must be inside a #list (or #foreach) block.");
  TRY(p.expect_tag_end_raw());
  ASSIGN_OR_RETURN(Block body, p.parse_block_impl({"sep"}, {}, true));
  // Only "</#sep>" belongs to the #sep; any other stop is the enclosing block's.
  if (!(body.stop.kind == BlockStopKind::EndTag && body.stop.name == "sep")) p.pending_stop = std::move(body.stop);
  auto payload = std::make_unique<Sep>();
  payload->body = std::move(body.elements);
  return make_element(ElementKind::Sep, at, std::move(payload));
}

Result<Element> parse_foreach(Parser& p, Pos at) {
  auto payload = std::make_unique<IteratorBlock>();
  payload->is_foreach = true;
  ASSIGN_OR_RETURN(Token t, p.next_tok());
  if (t.kind != Tok::Ident) return p.error_at(at, "Expected a loop variable name after <#foreach>.");
  payload->loop_var = std::move(t.text);
  TRY(p.expect_tok(Tok::In, "\"in\" after the loop variable name"));
  ASSIGN_OR_RETURN(payload->list_expr, parse_expression(p));
  TRY(p.expect_tag_end());
  Block body;
  {
    LoopContextGuard ctx(p, LoopContextEntry{true, true, false, false});
    CountGuard brk(p.break_permission);
    CountGuard cont(p.continue_permission);
    ASSIGN_OR_RETURN(body, p.parse_block_impl({"foreach"}, {}, false));
  }
  if (body.stop.kind == BlockStopKind::EndOfFile) return p.error_at(at, "Unclosed <#foreach> block.");
  if (body.stop.kind == BlockStopKind::CallEnd) return p.error_at(at, "Unexpected </@...> in the #foreach block.");
  if (body.stop.kind == BlockStopKind::Directive)
    return p.error_at(at, "Unexpected directive <#" + body.stop.name + "> in the #foreach block.");
  payload->body = std::move(body.elements);
  return make_element(ElementKind::List, at, std::move(payload));
}

// ---------------------------------------------------------------------------
// #switch

namespace {

constexpr std::string_view kSwitchFiller =
    "only whitespace and comments are allowed between the #case/#default blocks.";

// Whether the character after a branch name fits its tag (as the block loop checks).
bool branch_shape_ok(std::string_view name, const Lexer& lx) {
  if (lx.at_end()) return false;
  char32_t c = lx.peek();
  if (is_tvl_space(c)) return takes_parameters(name) || name == "else";
  if (c == '>' || c == ']') return may_close_at_once(name);
  if (c == '/') return may_self_close(name);
  return false;
}

// Reads what stands between "<#switch x>" and its first branch. Returns the
// first branch's name and tag position, or an empty name for "</#switch>".
Result<std::pair<std::string, Pos>> switch_lead_in(Parser& p, Pos at) {
  Lexer& lx = p.lexer();
  for (;;) {
    p.discard_lookahead();
    TextChunk chunk = lx.next_text_chunk();
    if (!is_whitespace_text(chunk.text)) return p.error_at(at, "Unexpected content in #switch; " + std::string(kSwitchFiller));
    if (chunk.end == ChunkEnd::EndOfInput) return p.error_at(at, "Unclosed <#switch> block.");
    if (chunk.end == ChunkEnd::InterpolationStart)
      return p.error_at(at, "Unexpected interpolation in #switch; " + std::string(kSwitchFiller));
    p.tag_start = lx.pos();
    lx.reset_nesting();
    TagOpen open = lx.read_tag_open();
    switch (open.kind) {
      case TagKind::TerseComment: {
        TRY(lx.scan_comment(open.square, open.start));
        continue;
      }
      case TagKind::UserCall:
        return p.error_at(at, "Unexpected user directive call in #switch; expected #case, #default or </#switch>.");
      case TagKind::CallEnd: return p.error_at(at, "Unexpected </@...> in #switch.");
      case TagKind::EndTag: {
        lx.decide_tag_syntax(open.square);
        std::string name = ascii_lower(lx.read_name());
        if (name == "switch" && lx.try_raw_tag_close()) {
          p.last_end = lx.pos();
          return std::pair<std::string, Pos>{std::string(), open.start};
        }
        return p.error_at(at, "Unexpected closing tag \"</#" + name + ">\" in #switch.");
      }
      case TagKind::Directive: {
        lx.decide_tag_syntax(open.square);
        p.set_mode(p.tag_mode());
        std::string written = lx.read_name();
        std::string name = ascii_lower(written);
        Pos name_at{open.start.line, open.start.column + 1};
        if (!is_known_directive(name)) return p.error_at(name_at, unknown_directive_message(written));
        if (!branch_shape_ok(name, lx)) return p.error_at(name_at, malformed_directive_message(name));
        if (name != "case" && name != "on" && name != "default")
          return p.error_at(at, "Unexpected directive <#" + name + "> in #switch; expected #case, #default or </#switch>.");
        return std::pair<std::string, Pos>{std::move(name), open.start};
      }
      case TagKind::None:
        return p.error_at(at, "Unexpected content in #switch; " + std::string(kSwitchFiller));
    }
  }
}

}  // namespace

Result<Element> parse_switch(Parser& p, Pos at) {
  auto payload = std::make_unique<SwitchBlock>();
  ASSIGN_OR_RETURN(payload->value, parse_expression(p));
  TRY(p.expect_tag_end());
  ASSIGN_OR_RETURN(auto first, switch_lead_in(p, at));
  std::string name = std::move(first.first);
  Pos case_at = first.second;
  bool had_case = false;
  CountGuard brk(p.break_permission);
  while (!name.empty()) {
    CaseDef c;
    c.line = case_at.line;
    c.column = case_at.column;
    if (name == "default") {
      if (payload->default_index) return p.error_at(at, "You already had a #default in the #switch block.");
      c.kind = CaseKind::Default;
      TRY(p.expect_tag_end_raw());
      payload->default_index = payload->cases.size();
    } else if (name == "case") {
      if (payload->on_mode)
        return p.error_at(at, "You can't use both #on, and #case in a #switch block, and you already had an #on.");
      had_case = true;
      c.kind = CaseKind::Case;
      ASSIGN_OR_RETURN(ExprPtr v, parse_expression(p));
      c.values.push_back(std::move(v));
      TRY(p.expect_tag_end());
    } else {  // on
      if (had_case)
        return p.error_at(at, "You can't use both #on, and #case in a #switch block, and you already had a #case.");
      if (payload->default_index)
        return p.error_at(at, "You can't use #on after #default in a #switch block; #default must come last.");
      payload->on_mode = true;
      c.kind = CaseKind::On;
      for (;;) {
        ASSIGN_OR_RETURN(ExprPtr v, parse_expression(p));
        c.values.push_back(std::move(v));
        ASSIGN_OR_RETURN(bool more, accept_tok(p, Tok::Comma));
        if (!more) break;
      }
      TRY(p.expect_tag_end());
    }
    ASSIGN_OR_RETURN(Block body, p.parse_block_impl({"switch"}, {"case", "default", "on"}, false));
    c.body = std::move(body.elements);
    payload->cases.push_back(std::move(c));
    switch (body.stop.kind) {
      case BlockStopKind::EndTag: name.clear(); break;
      case BlockStopKind::EndOfFile: return p.error_at(at, "Unclosed <#switch> block.");
      case BlockStopKind::CallEnd: return p.error_at(at, "Unexpected </@...> in #switch.");
      case BlockStopKind::Directive:
        name = std::move(body.stop.name);
        case_at = body.stop.tag_start;
        break;
    }
  }
  return make_element(ElementKind::Switch, at, std::move(payload));
}

// ---------------------------------------------------------------------------
// #attempt, #break, #continue

Result<Element> parse_attempt(Parser& p, Pos at) {
  TRY(p.expect_tag_end_raw());
  ASSIGN_OR_RETURN(Block attempt, p.parse_block_impl({}, {"recover"}, false));
  if (attempt.stop.kind != BlockStopKind::Directive || attempt.stop.name != "recover")
    return p.error_at(at, "#attempt must contain a #recover block.");
  TRY(p.expect_tag_end_raw());
  ASSIGN_OR_RETURN(ElementList recover, closed_body(p, {"recover", "attempt"}, at, "Unclosed #attempt/#recover block."));
  auto payload = std::make_unique<AttemptBlock>();
  payload->attempt_body = std::move(attempt.elements);
  payload->recover_body = std::move(recover);
  return make_element(ElementKind::Attempt, at, std::move(payload));
}

Result<Element> parse_break_continue(Parser& p, Pos at, bool is_continue) {
  TRY(p.expect_tag_end_raw());
  if (is_continue && p.continue_permission == 0)
    return p.error_at(at,
                      "<#continue> must be nested inside a directive that supports it:  #list with \"as\", #items (or "
                      "the deprecated #foreach)");
  if (!is_continue && p.break_permission == 0)
    return p.error_at(at,
                      "<#break> must be nested inside a directive that supports it:  #list with \"as\", #items, "
                      "#switch (or the deprecated #foreach)");
  return Element(is_continue ? ElementKind::Continue : ElementKind::Break, at.line, at.column);
}

}  // namespace tovarn
