// grammar_directive.cpp — the directive grammar: dispatch of "<#name ..." to
// each directive's parser, user-directive calls "<@...>", the "<#tvl>" header
// and the collection of macro definitions.
//
// Until each directive's grammar exists its tag is reported as unsupported at
// its position, so that no template is silently mis-parsed.
#include "parser/grammar.h"

namespace tovarn {

Result<Element> Parser::dispatch_directive(std::string_view name, Pos tag_start) {
  return error_at(tag_start, "Directive #" + std::string(name) + " is not supported yet.");
}

Result<Element> Parser::parse_unified_call(Pos tag_start) {
  return error_at(tag_start, "User-defined directive calls are not supported yet.");
}

Status Parser::parse_tvl_header() { return error_at(tag_start, "The #tvl header is not supported yet."); }

void Parser::sync_macro_defs(const ElementList& elements, Template& tpl) {}

}  // namespace tovarn
