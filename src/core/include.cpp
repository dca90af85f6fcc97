// include.cpp — execution of #include.
#include "core/environment.h"
#include "core/exec.h"

namespace tovarn {

ExecOutcome exec_include(Environment& env, const Element& e) { return not_yet_supported(e); }

}  // namespace tovarn
