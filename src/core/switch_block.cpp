// switch_block.cpp — execution of #switch with #case, #on and #default.
#include "core/environment.h"
#include "core/exec.h"

namespace tovarn {

ExecOutcome exec_switch(Environment& env, const Element& e) { return not_yet_supported(e); }

ExecOutcome exec_on(Environment& env, const Element& e) { return not_yet_supported(e); }

}  // namespace tovarn
