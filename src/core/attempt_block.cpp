// attempt_block.cpp — execution of #attempt / #recover: the attempt body's
// output is held aside and written only when the body succeeds; on failure
// it is dropped and the recover body runs with the error message available.
#include "core/attempt_block.h"

#include "core/environment.h"
#include "core/exec.h"

namespace tovarn {

namespace {

// Runs the recover body with `message` on the recover-message stack.
ExecOutcome recover(Environment& env, const ElementList& body, std::string message) {
  env.recover_messages().push_back(std::move(message));
  RunSignal sig = env.run(body);
  env.recover_messages().pop_back();
  switch (sig.kind) {
    case RunSignal::Kind::Done: return ExecOutcome::normal();
    case RunSignal::Kind::Failed: return ExecOutcome::failed(std::move(*sig.error));
    case RunSignal::Kind::Returned: return ExecOutcome::returned(std::move(sig.value));
  }
  return ExecOutcome::normal();
}

}  // namespace

ExecOutcome exec_attempt(Environment& env, const Element& e) {
  const AttemptBlock& block = e.as<AttemptBlock>();
  auto [sig, text] = env.capture(block.attempt_body);
  switch (sig.kind) {
    case RunSignal::Kind::Done: return ExecOutcome::from(env.emit(text));
    case RunSignal::Kind::Returned: return ExecOutcome::returned(std::move(sig.value));
    case RunSignal::Kind::Failed: break;
  }
  // #break/#continue are not failures: they leave the attempt for the loop.
  if (sig.error->kind() == ErrorKind::LoopControl) return ExecOutcome::failed(std::move(*sig.error));
  return recover(env, block.recover_body, sig.error->to_user_message());
}

}  // namespace tovarn
