// iterator_block.cpp — execution of #list with #items, #sep and #else: the
// item sources of a listing, the loop context and its variables, and the
// iteration loop shared by #list and #items.
#include "core/iterator_block.h"

#include <limits>

#include "core/eval.h"
#include "core/exec.h"
#include "core/expression/range.h"
#include "parser/grammar_element_helpers.h"

namespace tovarn {

// ---- PendingItems ------------------------------------------------------------

PendingItems PendingItems::of_items(std::vector<LoopItem> items) {
  PendingItems p;
  p.queue_ = std::move(items);
  return p;
}

PendingItems PendingItems::of_iterator(std::unique_ptr<ModelIterator> iterator) {
  PendingItems p;
  p.iterator_ = std::move(iterator);
  return p;
}

PendingItems PendingItems::of_range(int64_t begin, uint64_t count, bool increasing) {
  PendingItems p;
  p.range_begin_ = begin;
  p.range_count_ = count;
  p.range_increasing_ = increasing;
  return p;
}

Result<bool> PendingItems::has_next() {
  if (head_ < queue_.size()) return true;
  if (range_pos_ < range_count_) return true;
  if (!iterator_) return false;
  // Pull one item ahead; the queue holds it until pop().
  ASSIGN_OR_RETURN(std::optional<TModel> item, iterator_->next());
  if (!item) {
    iterator_.reset();  // never ask an exhausted iterator again
    return false;
  }
  queue_.clear();
  head_ = 0;
  queue_.push_back(LoopItem{std::move(*item), std::nullopt});
  return true;
}

Result<std::optional<LoopItem>> PendingItems::pop() {
  if (head_ < queue_.size()) return std::optional<LoopItem>(std::move(queue_[head_++]));
  if (range_pos_ < range_count_)
    return std::optional<LoopItem>(LoopItem{range_item(range_begin_, range_pos_++, range_increasing_), std::nullopt});
  ASSIGN_OR_RETURN(bool more, has_next());
  if (!more) return std::optional<LoopItem>();
  return std::optional<LoopItem>(std::move(queue_[head_++]));
}

// ---- LoopCtx -------------------------------------------------------------------

namespace {

constexpr std::string_view kIndexSuffix = "_index";
constexpr std::string_view kHasNextSuffix = "_has_next";

TModel index_value(int64_t i) {
  if (i >= std::numeric_limits<int32_t>::min() && i <= std::numeric_limits<int32_t>::max())
    return TModel::from_int(static_cast<int32_t>(i));
  return TModel::from_long(i);
}

// A loop variable's value; a null item declines under
// fallback_on_null_loop_variable so that outer scopes are searched.
bool answer_item(const TModel& v, const Environment& env, TModel& out) {
  if (v.is_null()) {
    if (env.settings().fallback_on_null_loop_variable) return false;
    out = TModel::gpn();
    return true;
  }
  out = v;
  return true;
}

}  // namespace

bool LoopCtx::binds(std::string_view name) const { return (var && *var == name) || (var2 && *var2 == name); }

bool LoopCtx::lookup(std::string_view name, const Environment& env, TModel& out) const {
  if (!var || !name.starts_with(*var)) {
    if (var2 && *var2 == name) return answer_item(current ? current->value : TModel::null(), env, out);
    return false;
  }
  const std::string_view rest = name.substr(var->size());
  if (rest.empty()) {
    if (!current) return answer_item(TModel::null(), env, out);
    // In hash listing the first name is the key.
    return answer_item(var2 && current->key ? *current->key : current->value, env, out);
  }
  if (rest == kIndexSuffix) {
    out = index_value(index);
    return true;
  }
  if (rest == kHasNextSuffix) {
    out = TModel::from_boolean(has_next);
    return true;
  }
  if (var2 && *var2 == name) return answer_item(current ? current->value : TModel::null(), env, out);
  return false;
}

LoopCtx* get_loop_context(Environment& env, const std::string* name) {
  const std::vector<const LocalScope*>& scopes = env.local_scopes();
  for (size_t i = scopes.size(); i-- > 0;) {
    const auto* ctx = dynamic_cast<const LoopCtx*>(scopes[i]);
    if (!ctx || (name && !ctx->binds(*name))) continue;
    // Every LoopCtx is a mutable local of the #list running it; the scope
    // stack only holds it as const.
    return const_cast<LoopCtx*>(ctx);
  }
  return nullptr;
}

// ---- Execution -------------------------------------------------------------------

namespace {

ExecOutcome outcome_of(RunSignal sig) {
  switch (sig.kind) {
    case RunSignal::Kind::Done: return ExecOutcome::normal();
    case RunSignal::Kind::Failed: return ExecOutcome::failed(std::move(*sig.error));
    case RunSignal::Kind::Returned: return ExecOutcome::returned(std::move(sig.value));
  }
  return ExecOutcome::normal();
}

// Runs `body` once per remaining item of the listing. #continue moves on to
// the next item, #break ends the listing normally.
ExecOutcome run_loop_iterations(Environment& env, LoopCtx& ctx, const ElementList& body) {
  for (;;) {
    Result<std::optional<LoopItem>> next = ctx.pending.pop();
    if (!next.ok()) return ExecOutcome::failed(next.take_error());
    if (!next.value()) return ExecOutcome::normal();
    ctx.current = std::move(*next.value());
    Result<bool> more = ctx.pending.has_next();
    if (!more.ok()) return ExecOutcome::failed(more.take_error());
    ctx.has_next = more.value();

    RunSignal sig = env.run(body);
    if (sig.kind == RunSignal::Kind::Failed && sig.error->kind() == ErrorKind::LoopControl) {
      if (!(*sig.error)->is_continue) return ExecOutcome::normal();
    } else if (!sig.is_done()) {
      return outcome_of(std::move(sig));
    }
    ++ctx.index;
  }
}

// Hash listing (`as k, v`): every entry up front, keys as strings.
Result<PendingItems> hash_items(const TModel& v) {
  if (!v.has(Cap::HashEx))
    return Error::misc("The value you try to list is " + type_description(v) +
                       ", thus you must specify only one loop variable after the \"as\" (there's no separate key "
                       "and value).");
  ASSIGN_OR_RETURN(auto entries, v->hash_entries());
  std::vector<LoopItem> items;
  items.reserve(entries.size());
  for (auto& [key, value] : entries) items.push_back(LoopItem{std::move(value), TModel::from_scalar(std::move(key))});
  return PendingItems::of_items(std::move(items));
}

// Items of a single-variable listing.
Result<PendingItems> plain_items(Environment& env, const TModel& v) {
  if (const RangeInfo* r = v->range()) {
    const uint64_t count = r->right_unbounded ? kUnboundedRangeIterationLimit : static_cast<uint64_t>(r->size);
    return PendingItems::of_range(r->begin, count, r->increasing);
  }
  if (v.has(Cap::Collection)) {
    ASSIGN_OR_RETURN(std::unique_ptr<ModelIterator> it, v->iterator());
    return PendingItems::of_iterator(std::move(it));
  }
  if (v.has(Cap::Sequence)) {
    ASSIGN_OR_RETURN(uint64_t size, v->seq_size());
    std::vector<LoopItem> items;
    items.reserve(static_cast<size_t>(size));
    for (uint64_t i = 0; i < size; ++i) {
      ASSIGN_OR_RETURN(TModel item, v->seq_get(i));
      items.push_back(LoopItem{std::move(item), std::nullopt});
    }
    return PendingItems::of_items(std::move(items));
  }
  if (env.settings().classic_compatible) {
    std::vector<LoopItem> one;
    one.push_back(LoopItem{v, std::nullopt});
    return PendingItems::of_items(std::move(one));
  }
  return Error::misc("The value you try to list is " + type_description(v) + "; it must be a sequence or collection.");
}

// Whether the #items that belongs to a #list without "as" names two loop
// variables (key and value): then the listing is a hash listing. Nested
// #list bodies and macro bodies are skipped, since an #items there belongs
// to them.
bool items_list_pairs(const ElementList& list_body) {
  std::vector<const ElementList*> pending{&list_body};
  std::vector<const ElementList*> bodies;
  while (!pending.empty()) {
    const ElementList* body = pending.back();
    pending.pop_back();
    for (const Element& el : *body) {
      if (el.kind == ElementKind::Items) return el.as<Items>().loop_var2.has_value();
      if (el.kind == ElementKind::List || el.kind == ElementKind::MacroDef) continue;
      bodies.clear();
      element_bodies(el, bodies);
      pending.insert(pending.end(), bodies.rbegin(), bodies.rend());
    }
  }
  return false;
}

Result<PendingItems> listed_items(Environment& env, const IteratorBlock& b) {
  ASSIGN_OR_RETURN(TModel v, eval(env, *b.list_expr));
  if (v.same_object(TModel::gpn()) && env.settings().classic_compatible) return PendingItems();
  const bool hash_listing = b.has_loop_var() ? b.loop_var2.has_value() : items_list_pairs(b.body);
  if (hash_listing) return hash_items(v);
  return plain_items(env, v);
}

}  // namespace

ExecOutcome exec_list(Environment& env, const Element& e) {
  const IteratorBlock& b = e.as<IteratorBlock>();
  Result<PendingItems> items = listed_items(env, b);
  if (!items.ok()) return ExecOutcome::failed(items.take_error());
  Result<bool> any = items->has_next();
  if (!any.ok()) return ExecOutcome::failed(any.take_error());
  if (!any.value()) return b.else_body ? ExecOutcome::inline_list(*b.else_body) : ExecOutcome::normal();

  LoopCtx ctx(std::move(items).value());
  ScopeGuard scope(env, ctx);
  if (!b.has_loop_var()) return outcome_of(env.run(b.body));  // the nested #items iterates
  ctx.var = &b.loop_var;
  if (b.loop_var2) ctx.var2 = &*b.loop_var2;
  return run_loop_iterations(env, ctx, b.body);
}

ExecOutcome exec_items(Environment& env, const Element& e) {
  const Items& items = e.as<Items>();
  LoopCtx* ctx = get_loop_context(env);
  if (!ctx) return ExecOutcome::failed(Error::misc("#items without iteration in context"));
  if (ctx->items_entered)
    return ExecOutcome::failed(Error::misc("The #items directive was already entered earlier for this listing."));
  ctx->items_entered = true;
  ctx->var = &items.loop_var;
  ctx->var2 = items.loop_var2 ? &*items.loop_var2 : nullptr;
  return run_loop_iterations(env, *ctx, items.body);
}

ExecOutcome exec_sep(Environment& env, const Element& e) {
  const LoopCtx* ctx = get_loop_context(env);
  if (!ctx) return ExecOutcome::failed(Error::misc("#sep without iteration in context"));
  // #sep has no frame of its own, so its body can run in the caller's loop.
  return ctx->has_next ? ExecOutcome::inline_list(e.as<Sep>().body) : ExecOutcome::normal();
}

}  // namespace tovarn
