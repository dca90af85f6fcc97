// grammar_element_helpers.h — shared pieces of the directive grammar units:
// element classification (markers, declarations, containers), access to the
// bodies of container elements, small parsing steps used by several
// directives, and the per-directive parsers that dispatch_directive calls
// (defined in grammar_control.cpp, grammar_assign.cpp and grammar_directive.cpp).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/template_element.h"
#include "parser/grammar.h"

namespace tovarn {

// --- Element classification --------------------------------------------------

// #t, #lt, #rt, #nt.
bool is_ws_marker(ElementKind k);
// The kinds between which white-space-only text does not count as content:
// assignments, #macro/#function, comments, #import, #setting.
bool is_declaration_kind(ElementKind k);
// Text and TextChunk, the elements white-space stripping edits.
inline bool is_text_kind(ElementKind k) { return k == ElementKind::Text || k == ElementKind::TextChunk; }
// True when `s` is only SPACE, TAB, LF and CR (or empty).
bool is_whitespace_text(std::string_view s);

// The bodies of a container element in source order: #if branches then
// #else, #list body then #else, switch branches, #attempt then #recover, the
// one body of the other blocks, a call's nested content, a macro's body.
// Leaves (and AssignmentGroup, whose members hold no bodies) give none.
//   std::vector<ElementList*> bodies;
//   element_bodies(e, bodies);
void element_bodies(Element& e, std::vector<ElementList*>& out);
void element_bodies(const Element& e, std::vector<const ElementList*>& out);

// An element of `kind` at `at` carrying `payload`.
template <class T>
Element make_element(ElementKind kind, Pos at, std::unique_ptr<T> payload) {
  Element e(kind, at.line, at.column);
  e.data = std::move(payload);
  return e;
}

// --- Parsing steps -------------------------------------------------------------

// Raises a parser counter for the lifetime of the guard.
class CountGuard {
 public:
  explicit CountGuard(uint32_t& n, bool active = true) : n_(n), active_(active) {
    if (active_) ++n_;
  }
  ~CountGuard() {
    if (active_) --n_;
  }
  CountGuard(const CountGuard&) = delete;
  CountGuard& operator=(const CountGuard&) = delete;

 private:
  uint32_t& n_;
  bool active_;
};

// The kind of the next token, not consumed.
Result<Tok> peek_kind(Parser& p);
// Whether the next token is `kind`; consumes it when it is.
Result<bool> accept_tok(Parser& p, Tok kind);
// A body that must end with one of its end tags: body(end_names; none), and
// `unclosed` (at `at`) for any other stop.
Result<ElementList> closed_body(Parser& p, const NameList& end_names, Pos at, std::string_view unclosed);
// After `<#comment>`/`<#noparse>`'s raw end: the raw text up to the matching
// end tag (`</#name>` or `</name>`, either bracket, any letter case, blanks
// before the closing bracket), which is consumed.
Result<std::string> scan_unparsed(Parser& p, std::string_view name, Pos tag);

// --- Directive parsers (name already read, tag start at `at`) -----------------

// grammar_control.cpp
Result<Element> parse_if(Parser& p, Pos at);
Result<Element> parse_list(Parser& p, Pos at);
Result<Element> parse_items(Parser& p, Pos at);
Result<Element> parse_sep(Parser& p, Pos at);
Result<Element> parse_foreach(Parser& p, Pos at);
Result<Element> parse_switch(Parser& p, Pos at);
Result<Element> parse_attempt(Parser& p, Pos at);
Result<Element> parse_break_continue(Parser& p, Pos at, bool is_continue);

// grammar_assign.cpp
Result<Element> parse_assignment(Parser& p, Pos at, std::string_view directive);  // assign, global, local
Result<Element> parse_macro(Parser& p, Pos at, bool is_function);
Result<Element> parse_nested(Parser& p, Pos at);
Result<Element> parse_return(Parser& p, Pos at);

}  // namespace tovarn
