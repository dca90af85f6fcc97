// grammar_element_helpers.cpp — element classification, body access and the
// parsing steps shared by the directive grammar units.
#include "parser/grammar_element_helpers.h"

#include <algorithm>

#include "core/assignment.h"
#include "core/attempt_block.h"
#include "core/escape_block.h"
#include "core/if_block.h"
#include "core/iterator_block.h"
#include "core/macro_def.h"
#include "core/output_format_block.h"
#include "core/switch_block.h"
#include "core/transform_block.h"
#include "core/unified_call.h"
#include "core/visit_node.h"

namespace tovarn {

bool is_ws_marker(ElementKind k) {
  return k == ElementKind::T || k == ElementKind::Nt || k == ElementKind::Rt || k == ElementKind::Lt;
}

bool is_declaration_kind(ElementKind k) {
  switch (k) {
    case ElementKind::AssignmentGroup:
    case ElementKind::Assignment:
    case ElementKind::BlockAssignment:
    case ElementKind::GlobalAssignment:
    case ElementKind::LocalAssignment:
    case ElementKind::MacroDef:
    case ElementKind::Comment:
    case ElementKind::Import:
    case ElementKind::Setting:
      return true;
    default:
      return false;
  }
}

bool is_whitespace_text(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; });
}

namespace {

// One implementation for both constness: `List` is ElementList or const ElementList.
template <class E, class List>
void bodies_of(E& e, std::vector<List*>& out) {
  if (!e.data) return;
  switch (e.kind) {
    case ElementKind::If: {
      auto& b = e.template as<IfBlock>();
      for (auto& br : b.branches) out.push_back(&br.body);
      if (b.else_body) out.push_back(&*b.else_body);
      return;
    }
    case ElementKind::List: {
      auto& b = e.template as<IteratorBlock>();
      out.push_back(&b.body);
      if (b.else_body) out.push_back(&*b.else_body);
      return;
    }
    case ElementKind::Items: out.push_back(&e.template as<Items>().body); return;
    case ElementKind::Sep: out.push_back(&e.template as<Sep>().body); return;
    case ElementKind::BlockAssignment:
    case ElementKind::GlobalAssignment:
    case ElementKind::LocalAssignment: out.push_back(&e.template as<BlockAssignment>().body); return;
    case ElementKind::MacroDef: out.push_back(&e.template as<MacroDefElement>().def->code->body); return;
    case ElementKind::UnifiedCall: {
      auto& c = e.template as<UnifiedCall>();
      if (c.body) out.push_back(&*c.body);
      return;
    }
    case ElementKind::Switch:
      for (auto& c : e.template as<SwitchBlock>().cases) out.push_back(&c.body);
      return;
    case ElementKind::Attempt: {
      auto& b = e.template as<AttemptBlock>();
      out.push_back(&b.attempt_body);
      out.push_back(&b.recover_body);
      return;
    }
    case ElementKind::Trim: out.push_back(&e.template as<TrimInstruction>().body); return;
    case ElementKind::Compress: out.push_back(&e.template as<CompressedBlock>().body); return;
    case ElementKind::Escape: out.push_back(&e.template as<EscapeBlock>().body); return;
    case ElementKind::NoEscape:
    case ElementKind::AutoEsc:
    case ElementKind::NoAutoEsc: out.push_back(&e.template as<BodyBlock>().body); return;
    case ElementKind::OutputFormat: out.push_back(&e.template as<OutputFormatBlock>().body); return;
    case ElementKind::Transform: out.push_back(&e.template as<TransformBlock>().body); return;
    case ElementKind::On: out.push_back(&e.template as<OnBlock>().code->body); return;
    default: return;
  }
}

}  // namespace

void element_bodies(Element& e, std::vector<ElementList*>& out) { bodies_of(e, out); }
void element_bodies(const Element& e, std::vector<const ElementList*>& out) { bodies_of(e, out); }

Result<Tok> peek_kind(Parser& p) {
  ASSIGN_OR_RETURN(const Token* t, p.peek_tok());
  return t->kind;
}

Result<bool> accept_tok(Parser& p, Tok kind) {
  ASSIGN_OR_RETURN(Tok k, peek_kind(p));
  if (k != kind) return false;
  TRY(p.next_tok());
  return true;
}

Result<ElementList> closed_body(Parser& p, const NameList& end_names, Pos at, std::string_view unclosed) {
  ASSIGN_OR_RETURN(Block body, p.parse_block_impl(end_names, {}, false));
  if (body.stop.kind != BlockStopKind::EndTag) return p.error_at(at, std::string(unclosed));
  return std::move(body.elements);
}

namespace {

// Length of the end tag of `name` at `i` code points ahead, or 0 when there is none.
size_t unparsed_end_at(const Lexer& lx, size_t i, std::string_view name) {
  char32_t open = lx.peek(i);
  if ((open != '<' && open != '[') || lx.peek(i + 1) != '/') return 0;
  size_t k = i + 2;
  if (lx.peek(k) == '#') ++k;
  for (char c : name) {
    char32_t got = lx.peek(k);
    if (got >= 'A' && got <= 'Z') got += 'a' - 'A';
    if (got != static_cast<char32_t>(c)) return 0;
    ++k;
  }
  while (lx.index() + k < lx.size() && is_tvl_space(lx.peek(k))) ++k;
  if (lx.peek(k) != '>' && lx.peek(k) != ']') return 0;
  return k + 1 - i;
}

}  // namespace

Result<std::string> scan_unparsed(Parser& p, std::string_view name, Pos tag) {
  Lexer& lx = p.lexer();
  const size_t start = lx.index();
  for (size_t i = 0; start + i < lx.size(); ++i) {
    if (size_t n = unparsed_end_at(lx, i, name)) {
      std::string text = lx.text_between(start, start + i);
      lx.advance(i + n);
      p.last_end = lx.pos();
      return text;
    }
  }
  std::string n(name);
  return p.error_at(tag, "Unclosed \"<#" + n + ">\" (missing \"</#" + n + ">\" or \"</" + n + ">\").");
}

}  // namespace tovarn
