// flow_control.cpp — execution of #break, #continue, #stop and #flush.
#include "core/environment.h"
#include "core/exec.h"

namespace tovarn {

ExecOutcome exec_loop_control(Environment& env, const Element& e) { return not_yet_supported(e); }

ExecOutcome exec_stop(Environment& env, const Element& e) { return not_yet_supported(e); }

ExecOutcome exec_flush(Environment& env, const Element& e) { return not_yet_supported(e); }

}  // namespace tovarn
