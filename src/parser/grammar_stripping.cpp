// grammar_stripping.cpp — parse-time white-space stripping of lines that hold
// only directives, and the #t/#lt/#rt/#nt markers.
#include "parser/grammar.h"

namespace tovarn {

void Parser::strip_whitespace(ElementList& elements) {}

}  // namespace tovarn
