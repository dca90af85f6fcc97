// grammar.cpp — the Parser object: construction, token access with its
// lookahead queue, the top-level parse (header, body, clean-up, Template),
// and the top-level clean-up.
#include "parser/grammar.h"
#include "parser/grammar_element_helpers.h"

#include <algorithm>

#include "template/configuration.h"
#include "template/template.h"

namespace tovarn {


Result<Rc<Template>> parse(const Rc<Configuration>& configuration, std::string_view name, std::string_view source) {
  Parser parser(configuration, name, source);
  return parser.parse_template();
}

Parser::Parser(Rc<Configuration> configuration, std::string_view name, std::string_view source)
    : configuration_(std::move(configuration)),
      name_(name),
      lexer_(std::string(name), source, configuration_ ? configuration_->settings.strict_syntax : false) {
  whitespace_stripping = configuration_ ? configuration_->settings.whitespace_stripping : true;
}

Error Parser::error_at(Pos p, std::string message) const {
  return Error::parse(name_, std::move(message), p.line, p.column);
}

// ---------------------------------------------------------------------------
// Token access

Status Parser::fill_lookahead(size_t n) {
  while (queue_.size() < n) {
    LexState before = lexer_.state();
    ASSIGN_OR_RETURN(Token t, lexer_.next_expr_token(mode_));
    queue_.push_back(QueuedToken{std::move(t), before});
  }
  return ok();
}

Result<Token> Parser::next_tok() {
  TRY(fill_lookahead(1));
  Token t = std::move(queue_.front().token);
  queue_.pop_front();
  last_end = t.end;
  return t;
}

Result<const Token*> Parser::peek_tok() {
  TRY(fill_lookahead(1));
  return &queue_.front().token;
}

Result<const Token*> Parser::peek_tok2() {
  TRY(fill_lookahead(2));
  return &queue_[1].token;
}

void Parser::discard_lookahead() {
  if (queue_.empty()) return;
  lexer_.restore(queue_.front().before);
  queue_.clear();
}

Result<Token> Parser::expect_tok(Tok kind, std::string_view what, std::optional<std::string_view> text) {
  ASSIGN_OR_RETURN(Token t, next_tok());
  if (t.kind != kind || (text && t.text != *text))
    return error_at(t, "Expected " + std::string(what) + ", but found " + tok_desc(t) + ".");
  return t;
}

Status Parser::expect_tag_end() {
  ASSIGN_OR_RETURN(Token t, next_tok());
  if (t.kind == Tok::TagEnd) return ok();
  if (t.kind == Tok::EmptyTagEnd)
    return error_at(t, "The tag can't be self-closing (\" />\"): this directive needs a body.");
  return error_at(t, "Expected \">\" to close the tag, but found " + tok_desc(t) + ".");
}

Result<Token> Parser::loose_end() {
  ASSIGN_OR_RETURN(Token t, next_tok());
  if (t.kind == Tok::TagEnd || t.kind == Tok::EmptyTagEnd) return t;
  return error_at(t, "Expected \">\" or \"/>\" to close the tag, but found " + tok_desc(t) + ".");
}

Status Parser::expect_tag_end_raw() {
  discard_lookahead();
  if (!lexer_.try_raw_tag_close()) return error_at(lexer_.pos(), "Expected \">\" or \"/>\" to close the tag.");
  last_end = lexer_.pos();
  return ok();
}

// ---------------------------------------------------------------------------
// Top level

// A "<#tvl" (or "[#tvl") preceded by nothing but white space is the header;
// otherwise the lexer goes back to the start and nothing is consumed.
Status Parser::parse_header_if_present() {
  TextChunk first = lexer_.next_text_chunk();
  if (first.end == ChunkEnd::TagStart && is_whitespace_text(first.text)) {
    TagOpen open = lexer_.read_tag_open();
    if (open.kind == TagKind::Directive && ascii_lower(lexer_.read_name()) == "tvl") {
      lexer_.decide_tag_syntax(open.square);
      mode_ = tag_mode();
      tag_start = open.start;
      return parse_tvl_header();
    }
  }
  lexer_.rewind();
  return ok();
}

Result<Rc<Template>> Parser::parse_template() {
  TRY(parse_header_if_present());
  ASSIGN_OR_RETURN(Block body, parse_block_impl({}, {}, false));
  // A stray </@...> at the top level would otherwise end the template silently
  // and drop the rest of the source.
  if (body.stop.kind == BlockStopKind::CallEnd)
    return error_at(body.stop.tag_start, "Unexpected </@...> outside of any user directive call body.");
  ElementList root = std::move(body.elements);
  if (whitespace_stripping) strip_whitespace(root);
  clean_up_top_level(root);

  Rc<Template> tpl = make_rc<Template>();
  tpl->name = name_;
  sync_macro_defs(root, *tpl);
  tpl->root = std::move(root);
  tpl->declared_encoding = template_encoding;
  tpl->configuration = configuration_;
  tpl->custom_attributes = std::move(custom_attributes);
  tpl->ns_prefixes = std::move(ns_prefixes);
  return tpl;
}

void clean_up_top_level(ElementList& elements) {
  std::erase_if(elements, [](const Element& e) { return is_ws_marker(e.kind); });
  std::vector<bool> drop(elements.size(), false);
  for (size_t i = 0; i < elements.size(); ++i) {
    const Element& e = elements[i];
    if ((e.kind != ElementKind::Text && e.kind != ElementKind::TextChunk) || !is_whitespace_text(e.text)) continue;
    bool prev_ok = i == 0 || is_declaration_kind(elements[i - 1].kind);
    bool next_ok = i + 1 == elements.size() || is_declaration_kind(elements[i + 1].kind);
    drop[i] = prev_ok && next_ok;
  }
  size_t k = 0;
  for (size_t i = 0; i < elements.size(); ++i) {
    if (drop[i]) continue;
    if (k != i) elements[k] = std::move(elements[i]);
    ++k;
  }
  elements.erase(elements.begin() + static_cast<std::ptrdiff_t>(k), elements.end());
}

}  // namespace tovarn
