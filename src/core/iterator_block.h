// iterator_block.h — payloads of the listing elements: #list (and the legacy
// #foreach), #items and #sep; the loop context a running listing exposes to
// expressions and to the loop-variable built-ins.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/environment.h"
#include "core/expression/expr.h"
#include "core/template_element.h"
#include "error/template_error.h"
#include "template/t_model.h"

namespace tovarn {

// Payload of ElementKind::List.
//   <#list xs as x>..<#else>..</#list>    list_expr xs, loop_var "x", body, else_body
//   <#list h as k, v>..</#list>           hash listing: loop_var "k" (key), loop_var2 "v" (value)
//   <#list xs>..<#items as x>..</#items>..</#list>   loop_var empty: #items iterates
//   <#foreach x in xs>..</#foreach>       is_foreach, loop_var "x"
struct IteratorBlock : ElementData {
  ExprPtr list_expr;
  std::string loop_var;                  // empty when the body uses #items
  std::optional<std::string> loop_var2;  // second name of a hash listing
  ElementList body;
  std::optional<ElementList> else_body;  // present when <#else> was written
  bool is_foreach = false;               // written as the legacy #foreach

  bool has_loop_var() const { return !loop_var.empty(); }
};

// Payload of ElementKind::Items: `<#items as x[, y]>body</#items>`.
struct Items : ElementData {
  std::string loop_var;
  std::optional<std::string> loop_var2;
  ElementList body;
};

// Payload of ElementKind::Sep: `<#sep>body` (the end tag is optional).
struct Sep : ElementData {
  ElementList body;
};

// One item of a listing: its value and, in hash listing, its key.
struct LoopItem {
  TModel value;
  std::optional<TModel> key;
};

// The items a listing has yet to produce: a look-ahead queue in front of a
// source. Sequences and hashes are read into the queue up front; collections
// are pulled from their iterator one item ahead at most; numeric ranges
// compute their items on demand.
//   PendingItems p = PendingItems::of_range(1, 3, true);   // 1, 2, 3
//   ASSIGN_OR_RETURN(std::optional<LoopItem> it, p.pop());
class PendingItems {
 public:
  PendingItems() = default;
  static PendingItems of_items(std::vector<LoopItem> items);
  static PendingItems of_iterator(std::unique_ptr<ModelIterator> iterator);
  // `count` integers from `begin`, ascending (+1) or descending (-1).
  static PendingItems of_range(int64_t begin, uint64_t count, bool increasing);

  // Whether another item follows; may pull one item from an iterator.
  Result<bool> has_next();
  // The next item, or none when the items are exhausted.
  Result<std::optional<LoopItem>> pop();

 private:
  std::vector<LoopItem> queue_;
  size_t head_ = 0;                          // next unread queue entry
  std::unique_ptr<ModelIterator> iterator_;  // null once exhausted
  int64_t range_begin_ = 0;
  uint64_t range_count_ = 0;
  uint64_t range_pos_ = 0;
  bool range_increasing_ = true;
};

// The state of one running listing. It is a local scope: while its #list
// runs, expressions see the loop variable (the current item, or the key in
// hash listing), the second variable (the value in hash listing), and
// `{name}_index` and `{name}_has_next`. The #list that creates it owns it (on
// the native stack) and pushes it for the extent of the listing.
class LoopCtx final : public LocalScope {
 public:
  explicit LoopCtx(PendingItems items) : pending(std::move(items)) {}

  bool lookup(std::string_view name, const Environment& env, TModel& out) const override;
  // Whether `name` is this listing's first or second loop variable.
  bool binds(std::string_view name) const;

  const std::string* var = nullptr;   // first loop variable; null until #items names it
  const std::string* var2 = nullptr;  // second variable of a hash listing
  PendingItems pending;
  std::optional<LoopItem> current;    // the item the body is running for
  int64_t index = 0;                  // 0 for the first item
  bool has_next = false;
  bool items_entered = false;         // #items already ran for this listing
};

// The innermost running listing whose loop variables include `name`, or the
// innermost listing at all when `name` is null; null when there is none.
// Listings hidden by a macro call (ScopeBarrier) are not seen.
//   <#list xs as x>${x?index}</#list>   ->  get_loop_context(env, "x")
LoopCtx* get_loop_context(Environment& env, const std::string* name = nullptr);

}  // namespace tovarn
