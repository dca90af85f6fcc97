// flow_control.cpp — execution of #break, #continue, #stop and #flush.
// #break/#continue travel as the loop-control error until a loop or a
// #switch takes them; #stop travels as the stop error until an #attempt
// recovers it or processing ends.
#include "core/environment.h"
#include "core/exec.h"
#include "core/stop_return.h"
#include "core/value_output.h"

namespace tovarn {

ExecOutcome exec_loop_control(Environment& env, const Element& e) {
  return ExecOutcome::failed(Error::loop_control(e.kind == ElementKind::Continue));
}

ExecOutcome exec_stop(Environment& env, const Element& e) {
  const StopInstruction& stop = e.as<StopInstruction>();
  if (!stop.message) return ExecOutcome::failed(Error::stop(std::nullopt));
  Result<std::string> message = eval_to_string(env, *stop.message);
  if (!message.ok()) return ExecOutcome::failed(message.take_error());
  return ExecOutcome::failed(Error::stop(std::move(message).value()));
}

// Output reaches the caller in one piece when processing ends, so there is
// nothing to push out early, captured or not.
ExecOutcome exec_flush(Environment& env, const Element& e) { return ExecOutcome::normal(); }

}  // namespace tovarn
