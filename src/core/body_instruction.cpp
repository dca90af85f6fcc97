// body_instruction.cpp — execution of #nested.
#include "core/environment.h"
#include "core/exec.h"

namespace tovarn {

ExecOutcome exec_body_instruction(Environment& env, const Element& e) { return not_yet_supported(e); }

}  // namespace tovarn
