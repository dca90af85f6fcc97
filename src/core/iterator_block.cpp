// iterator_block.cpp — execution of #list with #items, #sep and #else.
#include "core/environment.h"
#include "core/exec.h"

namespace tovarn {

ExecOutcome exec_list(Environment& env, const Element& e) { return not_yet_supported(e); }

ExecOutcome exec_items(Environment& env, const Element& e) { return not_yet_supported(e); }

ExecOutcome exec_sep(Environment& env, const Element& e) { return not_yet_supported(e); }

}  // namespace tovarn
