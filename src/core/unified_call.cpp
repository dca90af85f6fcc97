// unified_call.cpp — execution of calls of macros and user-defined directives.
#include "core/environment.h"
#include "core/exec.h"

namespace tovarn {

ExecOutcome exec_unified_call(Environment& env, const Element& e) { return not_yet_supported(e); }

}  // namespace tovarn
