// attempt_block.cpp — execution of #attempt / #recover.
#include "core/environment.h"
#include "core/exec.h"

namespace tovarn {

ExecOutcome exec_attempt(Environment& env, const Element& e) { return not_yet_supported(e); }

}  // namespace tovarn
