// grammar_block.cpp — the block loop: static text, interpolation starts,
// terse comments, directive tags with their name and shape checks, end tags,
// user-call end tags, the end of input, and the pending-stop hand-over.
#include <algorithm>

#include "parser/grammar.h"

namespace tovarn {

namespace {

bool contains(const NameList& names, std::string_view name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// Sibling directives at which a loose body ends.
bool is_loose_sibling(std::string_view name) {
  return name == "default" || name == "recover" || name == "elseif" || name == "else" || name == "case";
}

// Whether the character after a directive's name fits that directive.
bool tag_shape_ok(std::string_view name, char32_t next, bool at_end) {
  if (at_end) return false;
  if (is_tvl_space(next)) return takes_parameters(name) || name == "else";
  if (next == '>' || next == ']') return may_close_at_once(name);
  if (next == '/') return may_self_close(name);
  return false;
}

// Unknown-directive and malformed-tag errors point one past the '<' or '['.
Pos name_error_pos(const TagOpen& open) { return {open.start.line, open.start.column + 1}; }

class DepthGuard {
 public:
  explicit DepthGuard(uint32_t& depth) : depth_(depth) { ++depth_; }
  ~DepthGuard() { --depth_; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;

 private:
  uint32_t& depth_;
};

}  // namespace

Result<Block> Parser::parse_block_impl(const NameList& end_names, const NameList& stop_names, bool loose) {
  if (block_depth_ >= kMaxBlockDepth)
    return error_at(tag_start, "Directives are nested too deeply (more than " + std::to_string(kMaxBlockDepth) +
                                   " levels).");
  DepthGuard guard(block_depth_);
  ElementList out;
  for (;;) {
    discard_lookahead();
    TextChunk chunk = lexer_.next_text_chunk();
    if (!chunk.text.empty())
      out.push_back(Element::make_text(std::move(chunk.text), chunk.start.line, chunk.start.column));

    std::optional<BlockStop> stop;
    if (chunk.end == ChunkEnd::EndOfInput) {
      stop = BlockStop{BlockStopKind::EndOfFile, {}, lexer_.pos()};
    } else if (chunk.end == ChunkEnd::InterpolationStart) {
      lexer_.reset_nesting();
      ASSIGN_OR_RETURN(Element e, parse_interpolation(lexer_.pos(), lexer_.peek() == '#'));
      out.push_back(std::move(e));
    } else {
      ASSIGN_OR_RETURN(stop, parse_tag(out, end_names, stop_names, loose));
    }

    // A stop left by an inner loose body (#sep) is treated as if this block
    // had read that tag itself.
    if (!stop && pending_stop) {
      BlockStop pending = std::move(*pending_stop);
      pending_stop.reset();
      if (pending.kind == BlockStopKind::EndTag && !loose && !contains(end_names, pending.name))
        return error_at(pending.tag_start, unmatched_end_tag_message(pending.name, end_names));
      if (pending.kind == BlockStopKind::Directive && !contains(stop_names, pending.name) &&
          !(loose && is_loose_sibling(pending.name))) {
        tag_start = pending.tag_start;
        mode_ = tag_mode();
        ASSIGN_OR_RETURN(Element e, dispatch_directive(pending.name, pending.tag_start));
        out.push_back(std::move(e));
        continue;
      }
      stop = std::move(pending);
    }
    if (!stop) continue;
    if (stop->kind == BlockStopKind::EndOfFile) return end_of_input(std::move(out), end_names, loose);
    return Block{std::move(out), std::move(*stop)};
  }
}

Result<Block> Parser::end_of_input(ElementList out, const NameList& end_names, bool loose) {
  Pos here = lexer_.pos();
  if (end_names.empty() || loose) return Block{std::move(out), BlockStop{BlockStopKind::EndOfFile, {}, here}};
  Pos at{here.line, std::max<uint32_t>(1, here.column - 1)};
  return error_at(at, unexpected_eof_message(end_tag_descs(end_names)));
}

Result<std::optional<BlockStop>> Parser::parse_tag(ElementList& out, const NameList& end_names,
                                                   const NameList& stop_names, bool loose) {
  tag_start = lexer_.pos();
  lexer_.reset_nesting();
  TagOpen open = lexer_.read_tag_open();
  switch (open.kind) {
    case TagKind::TerseComment: {
      ASSIGN_OR_RETURN(Element e, parse_terse_comment(open));
      out.push_back(std::move(e));
      return std::optional<BlockStop>();
    }
    case TagKind::Directive:
      return parse_directive_tag(open, out, stop_names, loose);
    case TagKind::EndTag: {
      ASSIGN_OR_RETURN(BlockStop stop, parse_end_tag(open, end_names, loose));
      return std::optional<BlockStop>(std::move(stop));
    }
    case TagKind::CallEnd: {
      ASSIGN_OR_RETURN(BlockStop stop, parse_call_end(open));
      return std::optional<BlockStop>(std::move(stop));
    }
    case TagKind::UserCall: {
      lexer_.decide_tag_syntax(open.square);
      mode_ = tag_mode();
      ASSIGN_OR_RETURN(Element e, parse_unified_call(open.start));
      out.push_back(std::move(e));
      return std::optional<BlockStop>();
    }
    case TagKind::None:
      break;
  }
  // The text scanner only stops at real tag starts; keep the character as text
  // rather than loop if the two ever disagree.
  std::string ch = lexer_.text_between(lexer_.index(), lexer_.index() + 1);
  lexer_.advance();
  out.push_back(Element::make_text(std::move(ch), open.start.line, open.start.column));
  return std::optional<BlockStop>();
}

Result<Element> Parser::parse_terse_comment(const TagOpen& open) {
  Pos text_start = lexer_.pos();
  ASSIGN_OR_RETURN(std::string text, lexer_.scan_comment(open.square, open.start));
  Element e(ElementKind::Comment, text_start.line, text_start.column);
  e.text = std::move(text);
  return e;
}

Result<std::optional<BlockStop>> Parser::parse_directive_tag(const TagOpen& open, ElementList& out,
                                                             const NameList& stop_names, bool loose) {
  lexer_.decide_tag_syntax(open.square);
  mode_ = tag_mode();
  std::string written = lexer_.read_name();
  std::string name = ascii_lower(written);
  if (!is_known_directive(name)) return error_at(name_error_pos(open), unknown_directive_message(written));
  if (!tag_shape_ok(name, lexer_.peek(), lexer_.at_end()))
    return error_at(name_error_pos(open), malformed_directive_message(name));
  if (contains(stop_names, name) || (loose && is_loose_sibling(name)))
    return std::optional<BlockStop>(BlockStop{BlockStopKind::Directive, std::move(name), open.start});
  ASSIGN_OR_RETURN(Element e, dispatch_directive(name, open.start));
  out.push_back(std::move(e));
  return std::optional<BlockStop>();
}

Result<BlockStop> Parser::parse_end_tag(const TagOpen& open, const NameList& end_names, bool loose) {
  lexer_.decide_tag_syntax(open.square);
  std::string written = lexer_.read_name();
  std::string name = ascii_lower(written);
  if (!is_known_directive(name)) return error_at(name_error_pos(open), unknown_directive_message(written));
  if (!has_end_tag(name) || !lexer_.try_raw_tag_close())
    return error_at(name_error_pos(open), malformed_directive_message(name));
  if (loose || contains(end_names, name)) return BlockStop{BlockStopKind::EndTag, std::move(name), open.start};
  return error_at(open.start, unmatched_end_tag_message(name, end_names));
}

// "</@a.b>": identifier parts joined by '.', possibly none at all.
Result<BlockStop> Parser::parse_call_end(const TagOpen& open) {
  lexer_.decide_tag_syntax(open.square);
  std::string name;
  for (;;) {
    bool any = false;
    for (;;) {
      char32_t c = lexer_.peek();
      if (!lexer_.at_end() && is_ident_part(c)) {
        append_utf8(name, c);
        lexer_.advance();
      } else if (c == '\\' && (lexer_.peek(1) == '#' || lexer_.peek(1) == '-' || lexer_.peek(1) == '.' ||
                               lexer_.peek(1) == ':')) {
        name += static_cast<char>(lexer_.peek(1));
        lexer_.advance(2);
      } else {
        break;
      }
      any = true;
    }
    if (!any || lexer_.peek() != '.' || !is_ident_part(lexer_.peek(1))) break;
    name += '.';
    lexer_.advance();
  }
  TRY(expect_tag_end_raw());
  return BlockStop{BlockStopKind::CallEnd, std::move(name), open.start};
}

}  // namespace tovarn
