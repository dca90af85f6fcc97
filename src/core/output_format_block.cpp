// output_format_block.cpp — running a body with the output format, the
// auto-escaping flag or the escape stack changed, and restoring it after.
#include "core/output_format_block.h"

#include "core/environment.h"
#include "core/escape_block.h"
#include "core/value_output.h"

namespace tovarn {

namespace {

// The outcome of a state-changing block from its body's signal.
ExecOutcome block_outcome(RunSignal sig) {
  switch (sig.kind) {
    case RunSignal::Kind::Done: return ExecOutcome::normal();
    case RunSignal::Kind::Failed: return ExecOutcome::failed(std::move(*sig.error));
    case RunSignal::Kind::Returned: return ExecOutcome::returned(std::move(sig.value));
  }
  return ExecOutcome::normal();
}

Result<OutputFormatKind> block_format(Environment& env, const OutputFormatBlock& block) {
  if (block.literal_format) return *block.literal_format;
  ASSIGN_OR_RETURN(std::string name, eval_to_string(env, *block.format));
  std::optional<OutputFormatKind> kind = parse_output_format_name(name);
  if (!kind) return Error::misc("Unknown output format: " + name);
  return *kind;
}

}  // namespace

ExecOutcome run_with_output_format(Environment& env, OutputFormatKind format, const ElementList& body) {
  Settings& settings = env.mutable_settings();
  const OutputFormatKind saved = settings.output_format;
  settings.output_format = format;
  RunSignal sig = env.run(body);
  env.mutable_settings().output_format = saved;
  return block_outcome(std::move(sig));
}

ExecOutcome run_with_auto_escaping(Environment& env, bool on, const ElementList& body) {
  const bool saved = env.auto_escaping();
  env.set_auto_escaping(on);
  RunSignal sig = env.run(body);
  env.set_auto_escaping(saved);
  return block_outcome(std::move(sig));
}

ExecOutcome run_with_escape(Environment& env, const EscapeState& state, const ElementList& body) {
  EscapeStack& stack = env.escape_stack();
  const size_t depth = stack.size();
  stack.push_back(state);
  RunSignal sig = env.run(body);
  env.escape_stack().resize(depth);
  return block_outcome(std::move(sig));
}

ExecOutcome exec_output_format(Environment& env, const Element& element) {
  const OutputFormatBlock& block = element.as<OutputFormatBlock>();
  Result<OutputFormatKind> format = block_format(env, block);
  if (!format.ok()) return ExecOutcome::failed(format.take_error());
  return run_with_output_format(env, *format, block.body);
}

ExecOutcome exec_auto_esc(Environment& env, const Element& element) {
  return run_with_auto_escaping(env, element.kind == ElementKind::AutoEsc, element.as<BodyBlock>().body);
}

ExecOutcome exec_escape(Environment& env, const Element& element) {
  const EscapeBlock& block = element.as<EscapeBlock>();
  return run_with_escape(env, EscapeState::for_escape(block.variable, *block.expr), block.body);
}

ExecOutcome exec_no_escape(Environment& env, const Element& element) {
  return run_with_escape(env, EscapeState::no_escape(), element.as<BodyBlock>().body);
}

}  // namespace tovarn
