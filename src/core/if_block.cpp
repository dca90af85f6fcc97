// if_block.cpp — execution of #if / #elseif / #else.
#include "core/environment.h"
#include "core/exec.h"

namespace tovarn {

ExecOutcome exec_if(Environment& env, const Element& e) { return not_yet_supported(e); }

}  // namespace tovarn
