// assignment.cpp — execution of #assign, #global and #local: the target
// namespace, the compound operators (+=, -=, *=, /=, %=, ++, --), the lazy
// joins that += makes of sequences and hashes, and the captured-body forms.
#include "core/assignment.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "core/arithmetic_engine.h"
#include "core/environment.h"
#include "core/eval.h"
#include "core/exec.h"
#include "core/expression/add_concat.h"
#include "core/macro_frame.h"
#include "core/output_format.h"
#include "core/value_output.h"
#include "template/simple_hash.h"

namespace tovarn {

namespace {

// ---- lazy joins ------------------------------------------------------------------

// Left-then-right item iteration over two sequences, using an operand's own
// iterator when it has one.
class JoinedIterator final : public ModelIterator {
 public:
  JoinedIterator(TModel left, TModel right) : operands_{std::move(left), std::move(right)} {}

  Result<std::optional<TModel>> next() override {
    while (side_ < 2) {
      const TModel& op = operands_[side_];
      if (op.has(Cap::Collection)) {
        if (!inner_) {
          ASSIGN_OR_RETURN(inner_, op->iterator());
        }
        ASSIGN_OR_RETURN(std::optional<TModel> item, inner_->next());
        if (item) return item;
        inner_.reset();
      } else {
        if (!size_) {
          ASSIGN_OR_RETURN(size_, op->seq_size());
        }
        if (index_ < *size_) {
          ASSIGN_OR_RETURN(TModel item, op->seq_get(index_++));
          return std::optional<TModel>(std::move(item));
        }
        size_.reset();
        index_ = 0;
      }
      ++side_;
    }
    return std::optional<TModel>();
  }

 private:
  TModel operands_[2];
  int side_ = 0;
  std::unique_ptr<ModelIterator> inner_;
  std::optional<uint64_t> size_;
  uint64_t index_ = 0;
};

// `seq += other`: a sequence that reads its two operands on every request.
class ConcatenatedSeq final : public ModelObject {
 public:
  // Joins deeper than this are copied into one flat sequence instead, so
  // that `s += [x]` in a long loop cannot build a chain whose reading
  // recurses without bound.
  static constexpr uint32_t kMaxDepth = 32;

  ConcatenatedSeq(TModel left, TModel right, uint32_t depth) noexcept
      : ModelObject(ModelKind::Sequence, "sequence", Cap::Sequence | Cap::Collection),
        left_(std::move(left)),
        right_(std::move(right)),
        depth_(depth) {}

  static uint32_t depth_of(const TModel& v) {
    const auto* c = dynamic_cast<const ConcatenatedSeq*>(v.get());
    return c ? c->depth_ : 0;
  }

  Result<uint64_t> seq_size() const override {
    ASSIGN_OR_RETURN(uint64_t l, left_->seq_size());
    ASSIGN_OR_RETURN(uint64_t r, right_->seq_size());
    return l + r;
  }
  Result<TModel> seq_get(uint64_t index) const override {
    ASSIGN_OR_RETURN(uint64_t n, left_->seq_size());
    return index < n ? left_->seq_get(index) : right_->seq_get(index - n);
  }
  Result<std::unique_ptr<ModelIterator>> iterator() const override {
    return std::unique_ptr<ModelIterator>(new JoinedIterator(left_, right_));
  }
  const TModel& left() const noexcept { return left_; }
  const TModel& right() const noexcept { return right_; }

 private:
  TModel left_, right_;
  uint32_t depth_;
};

// The items of a join copied into one flat sequence: the operands that are
// not joins themselves are collected first (no recursion), then read once
// each. Bounded like every sequence the engine builds.
Result<TModel> flatten(const TModel& joined) {
  std::vector<const TModel*> leaves;
  std::vector<const TModel*> pending{&joined};
  while (!pending.empty()) {
    const TModel* v = pending.back();
    pending.pop_back();
    if (const auto* c = dynamic_cast<const ConcatenatedSeq*>(v->get())) {
      pending.push_back(&c->right());
      pending.push_back(&c->left());
    } else {
      leaves.push_back(v);
    }
  }
  std::vector<TModel> items;
  for (const TModel* leaf : leaves) {
    ASSIGN_OR_RETURN(uint64_t n, (*leaf)->seq_size());
    if (n > kMaxBuiltSequenceItems - items.size())
      return Error::misc("The sequence built by \"+=\" would have more than " +
                         std::to_string(kMaxBuiltSequenceItems) + " items.");
    for (uint64_t i = 0; i < n; ++i) {
      ASSIGN_OR_RETURN(TModel item, (*leaf)->seq_get(i));
      items.push_back(std::move(item));
    }
  }
  return TModel::from_sequence(std::move(items));
}

Result<TModel> concat_sequences(const TModel& left, const TModel& right) {
  const uint32_t depth = std::max(ConcatenatedSeq::depth_of(left), ConcatenatedSeq::depth_of(right)) + 1;
  TModel joined(new ConcatenatedSeq(left, right, depth));
  if (depth > ConcatenatedSeq::kMaxDepth) return flatten(joined);
  return joined;
}

// `hash += other` where one side cannot list its keys: lookups ask the later
// operands first. The operands are kept flat (a join of joins takes over
// their operand lists) so a lookup never recurses.
class CombinedHash final : public ModelObject {
 public:
  explicit CombinedHash(std::vector<TModel> parts) noexcept
      : ModelObject(ModelKind::Hash, "hash", Cap::Hash), parts_(std::move(parts)) {}

  static TModel join(const TModel& left, const TModel& right) {
    std::vector<TModel> parts;
    append_parts(left, parts);
    append_parts(right, parts);
    return TModel(new CombinedHash(std::move(parts)));
  }

  Result<std::optional<TModel>> hash_get(std::string_view key) const override {
    for (size_t i = parts_.size(); i-- > 0;) {
      ASSIGN_OR_RETURN(std::optional<TModel> v, parts_[i]->hash_get(key));
      if (v) return v;
    }
    return std::optional<TModel>();
  }
  Result<bool> hash_is_empty() const override {
    for (const TModel& p : parts_) {
      ASSIGN_OR_RETURN(bool empty, p->hash_is_empty());
      if (!empty) return false;
    }
    return true;
  }

 private:
  static void append_parts(const TModel& v, std::vector<TModel>& out) {
    if (const auto* c = dynamic_cast<const CombinedHash*>(v.get())) out.insert(out.end(), c->parts_.begin(), c->parts_.end());
    else out.push_back(v);
  }

  std::vector<TModel> parts_;
};

// The left operand's entries in order, then the right's; a key present in
// both keeps its first place and takes the right's value.
Result<TModel> merge_hashes(const TModel& left, const TModel& right) {
  OrderedHash merged;
  for (const TModel* side : {&left, &right}) {
    ASSIGN_OR_RETURN(auto entries, (*side)->hash_entries());
    for (auto& [k, v] : entries) merged.put(std::move(k), std::move(v));
  }
  return TModel::from_hash(std::move(merged));
}

}  // namespace

Result<TModel> eval_add_concat(Environment& env, const TModel& left, const TModel& right) {
  if (left.has(Cap::Number) && right.has(Cap::Number)) {
    ASSIGN_OR_RETURN(TNumber a, left.get_number());
    ASSIGN_OR_RETURN(TNumber b, right.get_number());
    ASSIGN_OR_RETURN(TNumber sum, arithmetic(ArithOp::Add, a, b));
    return TModel::from_number(std::move(sum));
  }
  if (left.has(Cap::Sequence) && right.has(Cap::Sequence)) return concat_sequences(left, right);
  Result<std::string> ls = model_to_string(env, left);
  Result<std::string> rs = ls.ok() ? model_to_string(env, right) : Result<std::string>(std::string());
  if (ls.ok() && rs.ok()) {
    TRY(check_text_size(ls->size(), rs->size()));
    return TModel::from_scalar(std::move(ls.value()) + rs.value());
  }
  if (left.has(Cap::Hash) && right.has(Cap::Hash)) {
    if (left.has(Cap::HashEx) && right.has(Cap::HashEx)) return merge_hashes(left, right);
    return CombinedHash::join(left, right);
  }
  return ls.ok() ? rs.take_error() : ls.take_error();
}

namespace {

// ---- stores and reads ------------------------------------------------------------

std::string_view scope_words(AssignmentScope scope) {
  switch (scope) {
    case AssignmentScope::Template: return "template namespace";
    case AssignmentScope::Global: return "global scope";
    case AssignmentScope::Local: return "local scope";
  }
  return "";
}

// The namespace named after "in", or null when there is none.
Result<Namespace*> resolve_target_ns(Environment& env, const Expr* expr) {
  if (!expr) return static_cast<Namespace*>(nullptr);
  ASSIGN_OR_RETURN(TModel v, eval(env, *expr));
  if (v.is_null()) return Error::invalid_reference(expr_desc(*expr));
  if (Namespace* ns = v.internal_as<Namespace>()) return ns;
  return Error::misc("For \"#assign\" namespace: Expected a namespace, but this has evaluated to a " +
                     std::string(v.type_name()) + ": ==> " + expr_desc(*expr));
}

Status write_assign_value(Environment& env, std::string name, TModel value, Namespace* ns, AssignmentScope scope) {
  switch (scope) {
    case AssignmentScope::Global: env.set_global_variable(std::move(name), std::move(value)); return ok();
    case AssignmentScope::Local: return set_local_variable(env, std::move(name), std::move(value));
    case AssignmentScope::Template: break;
  }
  if (ns) ns->put_var(std::move(name), std::move(value));
  else env.set_variable(std::move(name), std::move(value));
  return ok();
}

// A namespace variable as a compound operator reads it: macros do not count.
std::optional<TModel> namespace_target(const Namespace& ns, std::string_view name) {
  std::optional<TModel> v = ns.get_variable_only(name);
  if (v && v->kind() == ModelKind::Macro) return std::nullopt;
  return v;
}

// The current value of the target: only the scope the assignment writes to
// is searched (for #local: the local scopes, then the macro frame's locals).
std::optional<TModel> read_target(Environment& env, const Assignment& a, Namespace* ns) {
  switch (a.scope) {
    case AssignmentScope::Template: return namespace_target(ns ? *ns : *env.current_namespace(), a.target);
    case AssignmentScope::Global: return namespace_target(*env.global_namespace(), a.target);
    case AssignmentScope::Local: {
      TModel v;
      if (env.find_local(a.target, v)) return v;
      if (MacroFrame* frame = innermost_macro_frame(env))
        if (const TModel* local = frame->find_local(a.target)) return *local;
      return std::nullopt;
    }
  }
  return std::nullopt;
}

Error missing_target_error(const Assignment& a) {
  std::string msg = "The target variable of the assignment, \"" + a.target + "\", was null or missing in the " +
                    std::string(scope_words(a.scope)) + ", and the \"" + std::string(assign_op_text(a.op)) +
                    "\" operator must get its value from there before assigning to it.";
  if (!a.target.empty() && a.target[0] == '$')
    msg += "\n\n----\nTip: Variable references must not start with \"$\", unless the \"$\" is really part of the "
           "variable name.\n----";
  return Error::misc(std::move(msg));
}

// The value expression of "=" and "+=": Null becomes "" under
// classic_compatible and is an invalid reference otherwise.
Result<TModel> eval_source(Environment& env, const Expr& expr) {
  ASSIGN_OR_RETURN(TModel v, eval(env, expr));
  if (!v.is_null()) return v;
  if (env.settings().classic_compatible) return TModel::from_scalar("");
  return Error::invalid_reference(expr_desc(expr));
}

Result<TNumber> target_number(const Assignment& a, const TModel& current) {
  if (current.has(Cap::Number)) {
    Result<TNumber> n = current.get_number();
    if (n.ok()) return std::move(n.value());
  }
  return Error::misc("Expected a number, but assignment target variable \"" + a.target + "\" has evaluated to " +
                     a_or_an(current.type_name()) + ".");
}

Result<TNumber> source_number(Environment& env, const Expr& expr) {
  ASSIGN_OR_RETURN(TModel v, eval(env, expr));
  if (v.is_null()) return Error::invalid_reference(expr_desc(expr));
  Result<TNumber> n = v.get_number();
  if (n.ok()) return std::move(n.value());
  const std::string source =
      expr.kind == ExprKind::StringLiteral ? "'" + expr.as<StringLiteralExpr>().text + "'" : expr_desc(expr);
  return Error::misc("For \"#assign\" assignment source: Expected a number, but this has evaluated to a string: ==> " +
                     source);
}

ArithOp arith_for(AssignOp op) {
  switch (op) {
    case AssignOp::MinusAssign:
    case AssignOp::MinusMinus: return ArithOp::Subtract;
    case AssignOp::StarAssign: return ArithOp::Multiply;
    case AssignOp::SlashAssign: return ArithOp::Divide;
    case AssignOp::PercentAssign: return ArithOp::Modulus;
    default: return ArithOp::Add;
  }
}

// The new value of a compound assignment from the target's current value.
Result<TModel> compound_value(Environment& env, const Assignment& a, const TModel& current) {
  if (a.op == AssignOp::PlusAssign) {
    ASSIGN_OR_RETURN(TModel added, eval_source(env, *a.value));
    return eval_add_concat(env, current, added);
  }
  ASSIGN_OR_RETURN(TNumber cur, target_number(a, current));
  TNumber operand = TNumber::from_int(1);
  if (a.op != AssignOp::PlusPlus && a.op != AssignOp::MinusMinus) {
    ASSIGN_OR_RETURN(operand, source_number(env, *a.value));
  }
  ASSIGN_OR_RETURN(TNumber r, arithmetic(arith_for(a.op), cur, operand));
  return TModel::from_number(std::move(r));
}

Status run_assignment(Environment& env, const Assignment& a) {
  ASSIGN_OR_RETURN(Namespace * ns, resolve_target_ns(env, a.namespace_expr()));
  if (a.op == AssignOp::Assign) {
    ASSIGN_OR_RETURN(TModel v, eval_source(env, *a.value));
    return write_assign_value(env, a.target, std::move(v), ns, a.scope);
  }
  std::optional<TModel> current = read_target(env, a, ns);
  if (!current) {
    if (a.op != AssignOp::PlusAssign || !env.settings().classic_compatible) return missing_target_error(a);
    current = TModel::from_scalar("");
  }
  ASSIGN_OR_RETURN(TModel v, compound_value(env, a, *current));
  return write_assign_value(env, a.target, std::move(v), ns, a.scope);
}

}  // namespace

ExecOutcome exec_assignment_group(Environment&, const Element& e) {
  return ExecOutcome::inline_list(e.as<AssignmentGroup>().assignments);
}

ExecOutcome exec_assignment(Environment& env, const Element& e) {
  return ExecOutcome::from(run_assignment(env, e.as<Assignment>()));
}

ExecOutcome exec_block_assignment(Environment& env, const Element& e) {
  const BlockAssignment& b = e.as<BlockAssignment>();
  auto [sig, text] = env.capture(b.body);
  switch (sig.kind) {
    case RunSignal::Kind::Done: break;
    case RunSignal::Kind::Failed: return ExecOutcome::failed(std::move(*sig.error));
    case RunSignal::Kind::Returned: return ExecOutcome::returned(std::move(sig.value));
  }
  switch (e.kind) {
    case ElementKind::GlobalAssignment:
      env.set_global_variable(b.target, TModel::from_scalar(std::move(text)));
      return ExecOutcome::normal();
    case ElementKind::LocalAssignment:
      return ExecOutcome::from(set_local_variable(env, b.target, TModel::from_scalar(std::move(text))));
    default: break;
  }
  const OutputFormatKind format = env.settings().output_format;
  TModel value = captured_as_markup(format) ? markup_model_with(std::move(text), std::nullopt, format)
                                            : TModel::from_scalar(std::move(text));
  Result<Namespace*> ns = resolve_target_ns(env, b.ns_expr.get());
  if (!ns.ok()) return ExecOutcome::failed(ns.take_error());
  return ExecOutcome::from(write_assign_value(env, b.target, std::move(value), ns.value(), AssignmentScope::Template));
}

}  // namespace tovarn
