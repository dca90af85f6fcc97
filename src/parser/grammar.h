// grammar.h — the template parser: the Parser object (lexer, token
// lookahead, lexical mode, parse context) and the entry that turns a
// template source into a Template.
//
// The Parser's member functions are spread over several units:
// grammar.cpp (token access, parse), grammar_block.cpp (the block loop),
// and the directive and expression grammar units.
//
//   Rc<Configuration> cfg = Configuration::create();
//   Result<Rc<Template>> t = parse(cfg, "page.tvl", "Hello <#-- note -->world");
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/template_element.h"
#include "error/template_error.h"
#include "parser/grammar_helpers.h"
#include "parser/lexer.h"
#include "template/rc.h"

namespace tovarn {

class Configuration;
class Template;

// Parses `source` (UTF-8) as the template `name` against `configuration`
// (its strict_syntax and whitespace_stripping settings are read). A syntax
// error is a Parse error with the template name, message, line and column.
Result<Rc<Template>> parse(const Rc<Configuration>& configuration, std::string_view name, std::string_view source);

// Why a block body ended.
enum class BlockStopKind : uint8_t {
  EndTag,     // </#name> read completely; name lower case
  CallEnd,    // </@name> read completely; name as written, possibly empty
  Directive,  // <#name read up to its name; parameters and tag end still unread
  EndOfFile,  // the input ended
};

struct BlockStop {
  BlockStopKind kind = BlockStopKind::EndOfFile;
  std::string name;
  Pos tag_start;  // the '<' or '[' of the stopping tag (EndOfFile: the end position)
};

// The elements of one block body and what ended it.
struct Block {
  ElementList elements;
  BlockStop stop;
};

// A token in the lookahead queue, with the lexer state from before it was
// scanned so that the lexer can be put back there.
struct QueuedToken {
  Token token;
  LexState before;
};

// One enclosing #list or #foreach body, for the directive grammar.
struct LoopContextEntry {
  bool has_loop_variables = false;
  bool is_foreach = false;
  bool saw_items = false;
  bool in_items = false;
};

class Parser {
 public:
  Parser(Rc<Configuration> configuration, std::string_view name, std::string_view source);

  // Runs the whole template: header, body, stripping, top-level clean-up.
  Result<Rc<Template>> parse_template();

  // --- Token access (expression mode, in the current lexical mode) --------
  // Consumes the next token.
  Result<Token> next_tok();
  // The next token, not consumed. The pointer stays valid until a token is consumed.
  Result<const Token*> peek_tok();
  // The token after the next one, not consumed.
  Result<const Token*> peek_tok2();
  // Consumes the next token, which must be of `kind` (and, when `text` is
  // given, carry that text); else "Expected {what}, but found {desc}.".
  //   ASSIGN_OR_RETURN(Token t, expect_tok(Tok::Eq, "\"=\" after the parameter name"));
  Result<Token> expect_tok(Tok kind, std::string_view what, std::optional<std::string_view> text = std::nullopt);
  // Consumes ">" (or "]"); refuses "/>" since the directive needs a body.
  Status expect_tag_end();
  // Consumes ">" or "/>"; returns the token to tell which.
  Result<Token> loose_end();
  // Character level: white space, then ">", "]", "/>" or "/]".
  Status expect_tag_end_raw();
  // Drops scanned-but-unconsumed tokens and puts the lexer back before them,
  // so that character-level reading continues right after the last consumed token.
  void discard_lookahead();

  // --- Block structure -----------------------------------------------------
  // Parses a block body until one of `end_names`' end tags, one of
  // `stop_names`' sibling directives, or the end of input (see BlockStop).
  // A `loose` body also ends at any end tag, at default/recover/elseif/else/case,
  // and at the end of input without error.
  //   ASSIGN_OR_RETURN(Block body, parse_block_impl({"if"}, {"elseif", "else"}, false));
  Result<Block> parse_block_impl(const NameList& end_names, const NameList& stop_names, bool loose);

  // --- Errors ---------------------------------------------------------------
  Error error_at(Pos p, std::string message) const;
  Error error_at(const Token& t, std::string message) const { return error_at(t.start, std::move(message)); }

  // --- Entries of the directive, expression and header grammars -------------
  // Parses the directive whose "<#name" (lower-case name) was just read and
  // whose shape passed the checks; returns its one element.
  Result<Element> dispatch_directive(std::string_view name, Pos tag_start);
  // At "${" or "#{" (not yet consumed): the interpolation element.
  Result<Element> parse_interpolation(Pos start, bool numerical);
  // After "<@" (consumed), the mode set: the user-directive call element.
  Result<Element> parse_unified_call(Pos tag_start);
  // After "<#tvl" at the template start: the header parameters and closing bracket.
  Status parse_tvl_header();
  // White-space stripping of the top-level list (runs when the flag is on).
  void strip_whitespace(ElementList& elements);
  // Collects the #macro/#function definitions of the tree into `tpl`'s macro map.
  void sync_macro_defs(const ElementList& elements, Template& tpl);

  // --- State ------------------------------------------------------------------
  Lexer& lexer() { return lexer_; }
  const std::string& template_name() const { return name_; }
  const Rc<Configuration>& configuration() const { return configuration_; }
  LexMode mode() const { return mode_; }
  void set_mode(LexMode m) { mode_ = m; }
  // The lexical mode of tags in the decided tag syntax.
  LexMode tag_mode() const {
    return lexer_.tag_syntax() == TagSyntax::Square ? LexMode::SquareTag : LexMode::AngleTag;
  }

  Pos last_end;   // end position of the last consumed token
  Pos tag_start;  // the '<' or '[' of the tag being parsed
  std::optional<BlockStop> pending_stop;  // a stop met by an inner loose block, for the enclosing one
  bool whitespace_stripping = true;
  uint32_t directive_arg_depth = 0;  // nested named-argument contexts of user-directive calls
  std::map<std::string, std::string> custom_attributes;
  std::map<std::string, std::string> ns_prefixes;
  std::optional<std::string> template_encoding;  // from the header

  // Directive-grammar context.
  uint32_t macro_depth = 0;
  uint32_t function_depth = 0;
  uint32_t break_permission = 0;
  uint32_t continue_permission = 0;
  std::vector<LoopContextEntry> loop_contexts;

  // Nesting limit of block bodies, checked by parse_block_impl, so that a
  // deeply nested template fails cleanly instead of exhausting the native stack.
  static constexpr uint32_t kMaxBlockDepth = 200;

 private:
  Status fill_lookahead(size_t n);
  Result<std::optional<BlockStop>> parse_tag(ElementList& out, const NameList& end_names,
                                             const NameList& stop_names, bool loose);
  Result<std::optional<BlockStop>> parse_directive_tag(const TagOpen& open, ElementList& out,
                                                       const NameList& stop_names, bool loose);
  Result<BlockStop> parse_end_tag(const TagOpen& open, const NameList& end_names, bool loose);
  Result<BlockStop> parse_call_end(const TagOpen& open);
  Result<Element> parse_terse_comment(const TagOpen& open);
  Result<Block> end_of_input(ElementList out, const NameList& end_names, bool loose);
  Status parse_header_if_present();

  Rc<Configuration> configuration_;
  std::string name_;
  Lexer lexer_;
  LexMode mode_ = LexMode::AngleTag;
  std::deque<QueuedToken> queue_;
  uint32_t block_depth_ = 0;
};

// Removes the white-space markers and the white-space-only texts that stand
// only between declarations (or alone) from a template's top-level list.
void clean_up_top_level(ElementList& elements);

}  // namespace tovarn
