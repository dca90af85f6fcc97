// assignment.cpp — execution of #assign, #global and #local.
#include "core/environment.h"
#include "core/exec.h"

namespace tovarn {

ExecOutcome exec_assignment_group(Environment& env, const Element& e) { return not_yet_supported(e); }

ExecOutcome exec_assignment(Environment& env, const Element& e) { return not_yet_supported(e); }

ExecOutcome exec_block_assignment(Environment& env, const Element& e) { return not_yet_supported(e); }

}  // namespace tovarn
