// transform_block.cpp — execution of #compress, #trim and #transform.
#include "core/environment.h"
#include "core/exec.h"

namespace tovarn {

ExecOutcome exec_compress(Environment& env, const Element& e) { return not_yet_supported(e); }

ExecOutcome exec_trim(Environment& env, const Element& e) { return not_yet_supported(e); }

ExecOutcome exec_transform(Environment& env, const Element& e) { return not_yet_supported(e); }

}  // namespace tovarn
