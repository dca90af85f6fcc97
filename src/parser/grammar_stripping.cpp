// grammar_stripping.cpp — parse-time white-space stripping of lines that hold
// only directives, and the #t/#lt/#rt/#nt markers.
//
// A line that holds nothing but directive tags, comments, markers and blanks
// disappears from the output: its indentation is the last line of the text
// before the first tag and its line break the first line of the text after
// the last tag, so stripping means editing those two text lines. Whether a
// text line may go is decided from its neighbours on the same source line,
// looking through container tags into bodies ("leaves") and out of bodies
// into the enclosing list ("contexts").
//
// All decisions are taken on the tree as parsed; the edits are applied at the
// end, so no decision depends on the order in which texts were edited.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "parser/grammar.h"
#include "parser/grammar_element_helpers.h"

namespace tovarn {

namespace {

// What an element shows first (or last) on a line: visible content, only
// white space (Clean), white space that reaches the line break (Break: the
// line boundary lies inside the element), or nothing at all (Transparent).
enum class LeafClass : uint8_t { Content, Clean, Break, Transparent };

struct Leaf {
  uint32_t line;
  LeafClass cls;
};

// A neighbour search's verdict: a line boundary (start or end) or content.
enum class Side : uint8_t { Edge, Content };

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_break(char c) { return c == '\n' || c == '\r'; }

// Containers that answer leaf questions from their bodies. Block #assign and
// #macro are declarations: they are clean on their own line.
bool answers_from_bodies(const Element& e) {
  return e.kind != ElementKind::BlockAssignment && e.kind != ElementKind::MacroDef;
}

Leaf first_leaf(const Element& e);
Leaf last_leaf(const Element& e);

Leaf text_first_leaf(const Element& e) {
  const std::string& s = e.text;
  if (s.empty()) return {e.line, LeafClass::Clean};
  size_t i = 0;
  while (i < s.size() && is_blank(s[i])) ++i;
  if (i < s.size() && is_break(s[i])) return {e.line, LeafClass::Break};
  return {e.line, LeafClass::Content};
}

Leaf text_last_leaf(const Element& e) {
  const std::string& s = e.text;
  if (s.empty()) return {e.end_line, LeafClass::Clean};
  size_t i = s.size();
  while (i > 0 && is_blank(s[i - 1])) --i;
  if (i > 0 && is_break(s[i - 1])) return {e.end_line, LeafClass::Break};
  return {e.end_line, LeafClass::Content};
}

const Element* first_non_marker(const ElementList& list) {
  for (const Element& e : list)
    if (!is_ws_marker(e.kind)) return &e;
  return nullptr;
}

const Element* last_non_marker(const ElementList& list) {
  for (auto it = list.rbegin(); it != list.rend(); ++it)
    if (!is_ws_marker(it->kind)) return &*it;
  return nullptr;
}

// Recursion here follows container nesting, which the block loop bounds.
Leaf first_leaf(const Element& e) {
  switch (e.kind) {
    case ElementKind::Text: return text_first_leaf(e);
    case ElementKind::DollarVariable: return {e.line, LeafClass::Content};
    default: break;
  }
  std::vector<const ElementList*> bodies;
  if (answers_from_bodies(e)) element_bodies(e, bodies);
  if (bodies.empty()) return {e.line, LeafClass::Clean};
  for (const ElementList* body : bodies)
    if (const Element* first = first_non_marker(*body)) return first_leaf(*first);
  return {e.line, LeafClass::Transparent};
}

Leaf last_leaf(const Element& e) {
  switch (e.kind) {
    case ElementKind::Text: return text_last_leaf(e);
    case ElementKind::TextChunk: return {e.end_line, LeafClass::Clean};
    case ElementKind::DollarVariable: return {e.line, LeafClass::Content};
    case ElementKind::Comment:
      return {e.line + static_cast<uint32_t>(std::count(e.text.begin(), e.text.end(), '\n')), LeafClass::Clean};
    default: break;
  }
  std::vector<const ElementList*> bodies;
  element_bodies(e, bodies);
  if (!answers_from_bodies(e)) {
    // A block declaration is clean; it ends where its body's last element does.
    uint32_t line = e.line;
    if (const Element* last = bodies.empty() ? nullptr : last_non_marker(*bodies.front())) {
      Leaf l = last_leaf(*last);
      if (l.cls != LeafClass::Transparent) line = std::max(line, l.line);
    }
    return {line, LeafClass::Clean};
  }
  if (bodies.empty()) return {e.line, LeafClass::Clean};
  // The main body first; when it shows nothing, the other bodies, the one
  // nearest to the end tag first.
  auto answer = [](const ElementList* body) -> std::optional<Leaf> {
    const Element* last = last_non_marker(*body);
    if (!last) return std::nullopt;
    Leaf l = last_leaf(*last);
    if (l.cls == LeafClass::Transparent) return std::nullopt;
    return l;
  };
  if (auto l = answer(bodies.front())) return *l;
  for (size_t k = bodies.size(); k-- > 1;)
    if (auto l = answer(bodies[k])) return *l;
  return {e.line, LeafClass::Transparent};
}

// The line on which an element ends, for its right-hand neighbour search.
uint32_t end_line_of(const Element& e) {
  if (is_text_kind(e.kind)) return e.end_line;
  Leaf l = last_leaf(e);
  return l.cls == LeafClass::Transparent ? e.line : l.line;
}

// A place where a marker search continues past the end of a list: for
// backward searches the elements before `pos`, for forward ones those from
// `pos` on; then `next`.
struct Link {
  const ElementList* list;
  size_t pos;
  const Link* next;
};

// The surroundings of one element list.
struct ListCtx {
  Side left = Side::Edge;   // what precedes the list on its first line
  Side right = Side::Edge;  // what follows it on its last line
  const Link* back = nullptr;
  const Link* fwd = nullptr;
  bool top = false;  // the template's top-level list
};

enum class Marker : uint8_t { None, Trim, Keep };  // Trim: #t/#lt/#rt; Keep: #nt

constexpr size_t kNone = static_cast<size_t>(-1);

// The nearest #rt/#t (Trim) or #nt (Keep) before the elements of `link`,
// among those that begin on `line`.
Marker chain_back(const Link* link, uint32_t line) {
  for (; link; link = link->next) {
    for (size_t j = link->pos; j-- > 0;) {
      const Element& e = (*link->list)[j];
      if (e.line != line) return Marker::None;
      if (e.kind == ElementKind::Rt || e.kind == ElementKind::T) return Marker::Trim;
      if (e.kind == ElementKind::Nt) return Marker::Keep;
    }
  }
  return Marker::None;
}

// The nearest #lt/#t (Trim) or #nt (Keep) among the elements of `link` that
// begin on or before `line`.
Marker chain_fwd(const Link* link, uint32_t line) {
  for (; link; link = link->next) {
    for (size_t j = link->pos; j < link->list->size(); ++j) {
      const Element& e = (*link->list)[j];
      if (e.line > line) return Marker::None;
      if (e.kind == ElementKind::Lt || e.kind == ElementKind::T) return Marker::Trim;
      if (e.kind == ElementKind::Nt) return Marker::Keep;
    }
  }
  return Marker::None;
}

// Whether only white-space text, markers and declarations follow on `line`
// (the condition under which a right trim also drops a blank rest of text).
bool only_blank_follows(const ElementList& list, size_t from, const Link* link, uint32_t line) {
  Link here{&list, from, link};
  for (const Link* l = &here; l; l = l->next) {
    for (size_t j = l->pos; j < l->list->size(); ++j) {
      const Element& e = (*l->list)[j];
      if (e.line > line) return true;
      if (is_ws_marker(e.kind) || is_declaration_kind(e.kind)) continue;
      if (!is_text_kind(e.kind) || !is_whitespace_text(e.text)) return false;
      if (e.text.find_first_of("\r\n") != std::string::npos) return true;
    }
  }
  return true;
}

// --- Text edits -----------------------------------------------------------------

// End of the first line break at or after `from` (CR LF counts as one), or npos.
size_t first_break_end(const std::string& s, size_t from = 0) {
  size_t i = s.find_first_of("\r\n", from);
  if (i == std::string::npos) return i;
  return (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ? i + 2 : i + 1;
}

// Start of the last line (just after the last line break), or npos.
size_t last_line_start(const std::string& s) {
  size_t i = s.find_last_of("\r\n");
  return i == std::string::npos ? i : i + 1;
}

bool blank_only(std::string_view s) { return std::all_of(s.begin(), s.end(), is_blank); }

// #lt / #t after the text: its last line loses its leading white space.
void trim_last_line_leading(std::string& s, bool at_column_1) {
  size_t start = last_line_start(s);
  if (start == std::string::npos) {
    if (!at_column_1) return;
    start = 0;
  }
  size_t end = start;
  while (end < s.size() && is_blank(s[end])) ++end;
  s.erase(start, end - start);
}

// #rt / #t before the text: a blank first line goes entirely; otherwise the
// first line loses its trailing blanks and its line break. Returns where the
// rest of the text (what followed the first line) now starts: 0 when the
// whole first line went, npos when the text has no line break.
size_t trim_first_line_trailing(std::string& s) {
  size_t after = first_break_end(s);
  if (after == std::string::npos) return after;
  size_t brk = s.find_first_of("\r\n");
  if (blank_only(std::string_view(s).substr(0, brk))) {
    s.erase(0, after);
    return 0;
  }
  size_t keep = brk;
  while (keep > 0 && is_blank(s[keep - 1])) --keep;
  s.erase(keep, after - keep);
  return keep;
}

class Stripper {
 public:
  void mark(ElementList& list, const ListCtx& ctx);
  void apply() {
    for (auto& [element, text] : edits_) {
      element->text = std::move(text);
    }
  }

 private:
  struct ListState {
    ElementList& list;
    const ListCtx& ctx;
    std::vector<bool> ignorable;
    std::vector<size_t> prev_marker;  // nearest #rt/#t/#nt at or before j
    std::vector<size_t> next_marker;  // nearest #lt/#t/#nt at or after j
    // Memoised neighbour walks: the verdict of a walk that reached index j
    // while comparing against line memo_*_line[j].
    std::vector<uint32_t> memo_back_line, memo_fwd_line;
    std::vector<Side> memo_back, memo_fwd;
  };

  Side line_context(ListState& st, size_t i, bool forward);
  Side left_context(ListState& st, size_t i) { return line_context(st, i, false); }
  Side right_context(ListState& st, size_t i) { return line_context(st, i, true); }
  void edit_text(ListState& st, size_t i);
  void mark_bodies(ListState& st, size_t i);

  std::vector<std::pair<Element*, std::string>> edits_;
};

// What stands beside element i on its line, looking backwards (its begin
// line) or forwards (its end line): content, or the edge of the line. The
// verdict is memoised for every element passed on the way.
Side Stripper::line_context(ListState& st, size_t i, bool forward) {
  const uint32_t line = forward ? end_line_of(st.list[i]) : st.list[i].line;
  std::vector<uint32_t>& memo_line = forward ? st.memo_fwd_line : st.memo_back_line;
  std::vector<Side>& memo = forward ? st.memo_fwd : st.memo_back;
  std::vector<size_t> visited;
  Side verdict = forward ? st.ctx.right : st.ctx.left;
  const size_t n = st.list.size();
  for (size_t step = 1; forward ? i + step < n : step <= i; ++step) {
    const size_t j = forward ? i + step : i - step;
    if (memo_line[j] == line) {
      verdict = memo[j];
      break;
    }
    visited.push_back(j);
    const Element& e = st.list[j];
    if (is_ws_marker(e.kind) || st.ignorable[j]) continue;
    Leaf l = forward ? first_leaf(e) : last_leaf(e);
    uint32_t l_line = l.cls == LeafClass::Transparent ? e.line : l.line;
    if (l_line != line || l.cls == LeafClass::Break) {
      verdict = Side::Edge;
      break;
    }
    if (l.cls == LeafClass::Content) {
      verdict = Side::Content;
      break;
    }
  }
  for (size_t j : visited) {
    memo_line[j] = line;
    memo[j] = verdict;
  }
  return verdict;
}

void Stripper::edit_text(ListState& st, size_t i) {
  Element& e = st.list[i];
  const size_t n = st.list.size();

  // Markers on the text's first line (before it) and last line (after it).
  Marker before = Marker::None;
  size_t k = i > 0 ? st.prev_marker[i - 1] : kNone;
  if (k != kNone && st.list[k].line == e.line) {
    before = st.list[k].kind == ElementKind::Nt ? Marker::Keep : Marker::Trim;
  } else if (i == 0 || st.list[0].line == e.line) {
    before = chain_back(st.ctx.back, e.line);
  }
  Marker after = Marker::None;
  k = i + 1 < n ? st.next_marker[i + 1] : kNone;
  if (k != kNone && st.list[k].line <= e.end_line) {
    after = st.list[k].kind == ElementKind::Nt ? Marker::Keep : Marker::Trim;
  } else if (i + 1 == n || st.list[n - 1].line <= e.end_line) {
    after = chain_fwd(st.ctx.fwd, e.end_line);
  }

  std::string s = e.text;
  const bool had_break = s.find_first_of("\r\n") != std::string::npos;
  bool at_line_start = false;  // what is left of the text begins a line
  if (after == Marker::Trim) trim_last_line_leading(s, e.column == 1);
  if (before == Marker::Trim) {
    size_t rest = trim_first_line_trailing(s);
    at_line_start = rest == 0;
    // A blank rest of the text goes too when only blanks, markers and
    // declarations follow on its last line.
    if (rest != std::string::npos && rest < s.size() && is_whitespace_text(std::string_view(s).substr(rest)) &&
        only_blank_follows(st.list, i + 1, st.ctx.fwd, e.end_line))
      s.erase(rest);
  }
  if (st.ctx.top && i == 0) {
    if (s != e.text) edits_.emplace_back(&e, std::move(s));
    return;
  }

  if (before == Marker::None) {
    size_t brk = first_break_end(s);
    if (brk != std::string::npos && blank_only(std::string_view(s).substr(0, s.find_first_of("\r\n"))) &&
        left_context(st, i) != Side::Content) {
      s.erase(0, brk);
      at_line_start = true;
    }
  }
  if (after == Marker::None && right_context(st, i) != Side::Content) {
    size_t start = last_line_start(s);
    if (start != std::string::npos) {
      if (start < s.size() && blank_only(std::string_view(s).substr(start))) s.erase(start);
    } else if (!s.empty() && blank_only(s) && ((!had_break && e.column == 1) || at_line_start)) {
      s.clear();
    }
  }
  if (s != e.text) edits_.emplace_back(&e, std::move(s));
}

// A container's bodies: each gets the container's contexts at its outer
// ends, and its sibling bodies' leaves between them.
void Stripper::mark_bodies(ListState& st, size_t i) {
  Element& e = st.list[i];
  std::vector<ElementList*> bodies;
  element_bodies(e, bodies);
  if (bodies.empty()) return;
  const Side left = left_context(st, i);
  const Side right = right_context(st, i);
  const size_t nb = bodies.size();
  // Marker searches leave body j through its sibling bodies, then through
  // the container's own list.
  const Link outer_back{&st.list, i, st.ctx.back};
  const Link outer_fwd{&st.list, i + 1, st.ctx.fwd};
  std::vector<Link> back(nb), fwd(nb);
  for (size_t j = 0; j < nb; ++j) back[j] = Link{bodies[j], bodies[j]->size(), j == 0 ? &outer_back : &back[j - 1]};
  for (size_t j = nb; j-- > 0;) fwd[j] = Link{bodies[j], 0, j + 1 == nb ? &outer_fwd : &fwd[j + 1]};

  for (size_t j = 0; j < nb; ++j) {
    ListCtx ctx;
    ctx.left = left;
    if (j > 0) {
      const Element* prev = last_non_marker(*bodies[j - 1]);
      Leaf l = prev ? last_leaf(*prev) : Leaf{e.line, LeafClass::Transparent};
      if (l.cls == LeafClass::Content) ctx.left = Side::Content;
      else if (l.cls != LeafClass::Transparent) ctx.left = Side::Edge;
    }
    ctx.right = right;
    if (j + 1 < nb) {
      const Element* next = first_non_marker(*bodies[j + 1]);
      Leaf l = next ? first_leaf(*next) : Leaf{e.line, LeafClass::Transparent};
      if (l.cls == LeafClass::Content) ctx.right = Side::Content;
      else if (l.cls != LeafClass::Transparent) ctx.right = Side::Edge;
    }
    ctx.back = j == 0 ? &outer_back : &back[j - 1];
    ctx.fwd = j + 1 == nb ? &outer_fwd : &fwd[j + 1];
    mark(*bodies[j], ctx);
  }
}

void Stripper::mark(ElementList& list, const ListCtx& ctx) {
  const size_t n = list.size();
  ListState st{list, ctx, std::vector<bool>(n, false), std::vector<size_t>(n, kNone), std::vector<size_t>(n, kNone),
               std::vector<uint32_t>(n, 0), std::vector<uint32_t>(n, 0), std::vector<Side>(n, Side::Edge),
               std::vector<Side>(n, Side::Edge)};
  for (size_t i = 0; i < n; ++i) {
    const Element& e = list[i];
    if (!is_text_kind(e.kind) || !is_whitespace_text(e.text)) continue;
    bool decl_before = i > 0 && is_declaration_kind(list[i - 1].kind);
    bool decl_after = i + 1 < n && is_declaration_kind(list[i + 1].kind);
    st.ignorable[i] = (decl_before && decl_after) || (ctx.top && i == 0 && decl_after) ||
                      (ctx.top && i + 1 == n && decl_before);
  }
  for (size_t i = 0; i < n; ++i) {
    ElementKind k = list[i].kind;
    bool back_marker = k == ElementKind::Rt || k == ElementKind::T || k == ElementKind::Nt;
    st.prev_marker[i] = back_marker ? i : i > 0 ? st.prev_marker[i - 1] : kNone;
  }
  for (size_t i = n; i-- > 0;) {
    ElementKind k = list[i].kind;
    bool fwd_marker = k == ElementKind::Lt || k == ElementKind::T || k == ElementKind::Nt;
    st.next_marker[i] = fwd_marker ? i : i + 1 < n ? st.next_marker[i + 1] : kNone;
  }
  for (size_t i = 0; i < n; ++i) {
    if (is_text_kind(list[i].kind)) edit_text(st, i);
    else mark_bodies(st, i);
  }
}

}  // namespace

void Parser::strip_whitespace(ElementList& elements) {
  Stripper stripper;
  ListCtx top;
  top.top = true;
  stripper.mark(elements, top);
  stripper.apply();
}

}  // namespace tovarn
