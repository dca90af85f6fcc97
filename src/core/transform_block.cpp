// transform_block.cpp — execution of the output post-processing blocks:
// #compress and #trim capture their body and write it changed; #transform
// hands its body to a transform value, which runs and rewrites it.
#include "core/transform_block.h"
#include "core/unified_call.h"

#include "core/environment.h"
#include "core/eval.h"
#include "core/exec.h"
#include "template/utility_transforms.h"

namespace tovarn {

namespace {

// Captures `body`; when it completes, writes `change(captured text)`.
// Failures and #return pass on, and the captured text is dropped.
template <class F>
ExecOutcome rewrite_body(Environment& env, const ElementList& body, F&& change) {
  auto [sig, text] = env.capture(body);
  switch (sig.kind) {
    case RunSignal::Kind::Done: return ExecOutcome::from(env.emit(change(text)));
    case RunSignal::Kind::Failed: return ExecOutcome::failed(std::move(*sig.error));
    case RunSignal::Kind::Returned: return ExecOutcome::returned(std::move(sig.value));
  }
  return ExecOutcome::normal();
}

// Removes the characters U+0000..U+0020 from both ends.
std::string_view trim_controls(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= 0x20) ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= 0x20) --e;
  return s.substr(b, e - b);
}

Result<NamedArgs> transform_args(Environment& env, const std::vector<TransformParam>& params) {
  NamedArgs args;
  args.reserve(params.size());
  for (const TransformParam& p : params) {
    ASSIGN_OR_RETURN(TModel v, eval(env, *p.value));
    args.emplace_back(p.name, std::move(v));
  }
  return args;
}

Result<TModel> transform_value(Environment& env, const Expr& expr) {
  ASSIGN_OR_RETURN(TModel v, eval(env, expr));
  if (v.is_null()) return Error::invalid_reference(expr_desc(expr));
  if (!v.has(Cap::Transform)) return Error::type_mismatch("transform", v.type_name());
  return v;
}

}  // namespace

ExecOutcome exec_compress(Environment& env, const Element& e) {
  return rewrite_body(env, e.as<CompressedBlock>().body,
                      [](std::string_view text) { return standard_compress_text(text, false); });
}

ExecOutcome exec_trim(Environment& env, const Element& e) {
  return rewrite_body(env, e.as<TrimInstruction>().body, trim_controls);
}

ExecOutcome exec_transform(Environment& env, const Element& e) {
  const TransformBlock& block = e.as<TransformBlock>();
  Result<TModel> transform = transform_value(env, *block.transform);
  if (!transform.ok()) return ExecOutcome::failed(transform.take_error());
  Result<NamedArgs> args = transform_args(env, block.params);
  if (!args.ok()) return ExecOutcome::failed(args.take_error());
  ElementsBody body(block.body);
  Status st = transform.value()->transform_with_body(env, args.value(), &body);
  if (body.returned()) return ExecOutcome::returned(std::move(body.return_value()));
  return ExecOutcome::from(std::move(st));
}

}  // namespace tovarn
