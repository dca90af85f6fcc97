// library_load.cpp — execution of #import.
#include "core/environment.h"
#include "core/exec.h"

namespace tovarn {

ExecOutcome exec_import(Environment& env, const Element& e) { return not_yet_supported(e); }

}  // namespace tovarn
