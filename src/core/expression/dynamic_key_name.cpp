// dynamic_key_name.cpp — indexing, keyed lookup and slicing with `[...]`.
#include "core/expression/dynamic_key_name.h"

#include <cstdlib>
#include <vector>

#include "core/environment.h"
#include "core/eval.h"
#include "core/eval_util.h"
#include "core/expression/add_concat.h"
#include "core/value_output.h"

namespace tovarn {

namespace {

constexpr std::string_view kHashTip =
    "You had a numerical value inside the []. Currently that's only supported for sequences (lists) and strings. "
    "To get a Map item with a non-string key, use myMap?api.get(myKey).";
constexpr std::string_view kCollectionTip =
    "As the problematic value contains a collection of items, you could convert it to a sequence like "
    "someValue?sequence. Be sure though that you won't have a large number of items, as all will be held in memory "
    "the same time.";

// Values that `[...]` may read as text: what interpolation can print.
bool convertible_to_text(const TModel& v) {
  return v.has(Cap::Scalar) || v.has(Cap::Number) || v.has(Cap::Date) || v.has(Cap::Boolean);
}

Error not_sequence_or_string(const Environment& env, const DynamicKeyNameExpr& node, const TModel& target) {
  Error e = Error::type_mismatch("sequence-or-string", target.type_name())
                .with_expected_phrase(
                    "a sequence or string or something automatically convertible to string (number, date or "
                    "boolean)");
  std::string tip;
  if (target.has(Cap::Hash)) tip = kHashTip;
  if (target.has(Cap::Collection)) {
    // Two tips render as two "Tip:" blocks.
    if (!tip.empty()) tip += "\n----\nTip: ";
    tip += kCollectionTip;
  }
  if (!tip.empty()) e = std::move(e).with_tip(std::move(tip));
  return blame_expression(std::move(e), env, *node.target);
}

// The target as text, or the sequence-or-string mismatch.
Result<std::string> target_text(Environment& env, const DynamicKeyNameExpr& node, const TModel& target) {
  if (!convertible_to_text(target)) return not_sequence_or_string(env, node, target);
  return model_to_string(env, target);
}

Result<TModel> index_value(Environment& env, const DynamicKeyNameExpr& node, const TModel& target,
                           const TNumber& key) {
  std::optional<int64_t> idx = trunc_i64(key);
  if (!idx) return Error::misc("The index " + key.to_plain_string() + " is out of the range of representable integers");
  const int64_t i = *idx;
  if (i < 0) {
    if (target->range()) return Error::misc("Range item index " + std::to_string(i) + " is out of bounds.");
    if (target.has(Cap::Sequence))
      return Error::invalid_reference(expr_desc(*node.target) + "[" + expr_desc(*node.key) + "]");
    return Error::misc("Negative index not allowed: " + std::to_string(i));
  }
  if (target.has(Cap::Sequence)) {
    ASSIGN_OR_RETURN(uint64_t size, target->seq_size());
    if (static_cast<uint64_t>(i) >= size) return TModel::null();
    return target->seq_get(static_cast<uint64_t>(i));
  }
  ASSIGN_OR_RETURN(std::string text, target_text(env, node, target));
  std::vector<size_t> offs = utf8_char_offsets(text);
  const size_t len = offs.size() - 1;
  if (static_cast<uint64_t>(i) >= len)
    return Error::misc("String index out of range: The index was " + std::to_string(i) +
                       " (0-based), but the length of the string is only " + std::to_string(len) + ".");
  return TModel::from_scalar(text.substr(offs[i], offs[i + 1] - offs[i]));
}

std::string out_of_bounds(std::string_view which, int64_t index, bool seq, int64_t n) {
  return "Range " + std::string(which) + " index " + std::to_string(index) + " is out of bounds, because the sliced " +
         (seq ? "sequence" : "string") + " has only " + std::to_string(n) + " " + (seq ? "element" : "character") +
         "(s). (Note that indices are 0-based).";
}

}  // namespace

Result<TModel> slice_value(Environment& env, const DynamicKeyNameExpr& node, const TModel& target,
                           const RangeInfo& range) {
  const bool seq = target.has(Cap::Sequence);
  std::string text;
  std::vector<size_t> offs;
  int64_t n;
  if (seq) {
    ASSIGN_OR_RETURN(uint64_t size, target->seq_size());
    n = size > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(size);
  } else {
    ASSIGN_OR_RETURN(text, target_text(env, node, target));
    offs = utf8_char_offsets(text);
    n = static_cast<int64_t>(offs.size() - 1);
  }
  auto empty = [seq] { return seq ? TModel::from_sequence({}) : TModel::from_scalar(""); };
  const int64_t b = range.begin;
  const int64_t s = range.increasing ? 1 : -1;
  if (!range.right_unbounded && range.size == 0) return empty();
  if (b < 0)
    return Error::misc("Negative range start index (" + std::to_string(b) +
                       ") isn't allowed for a range used for slicing.");
  const bool start_out = range.right_adaptive && range.increasing ? b > n : b >= n;
  if (start_out) return Error::misc(out_of_bounds("start", b, seq, n));
  int64_t r;
  if (range.right_unbounded) {
    r = n - b;
  } else {
    const __int128 last = static_cast<__int128>(b) + static_cast<__int128>(range.size - 1) * s;
    if (last < 0) {
      if (!range.right_adaptive)
        return Error::misc("Negative range end index (" + std::to_string(static_cast<int64_t>(last)) +
                           ") isn't allowed for a range used for slicing.");
      r = b + 1;
    } else if (last >= n) {
      if (!range.right_adaptive) return Error::misc(out_of_bounds("end", static_cast<int64_t>(last), seq, n));
      r = std::llabs(n - b);
    } else {
      r = range.size;
    }
  }
  if (r == 0) return empty();
  if (seq) {
    if (static_cast<uint64_t>(r) > kMaxBuiltSequenceItems)
      return Error::misc("Can't slice the sequence: the result would have more than " +
                         std::to_string(kMaxBuiltSequenceItems) + " items.");
    std::vector<TModel> items;
    items.reserve(static_cast<size_t>(r));
    for (int64_t i = 0; i < r; ++i) {
      ASSIGN_OR_RETURN(TModel v, target->seq_get(static_cast<uint64_t>(b + i * s)));
      items.push_back(std::move(v));
    }
    return TModel::from_sequence(std::move(items));
  }
  if (range.increasing || r == 1) return TModel::from_scalar(text.substr(offs[b], offs[b + r] - offs[b]));
  if (r == 2 && range.inclusive_end) return TModel::from_scalar("");
  return Error::misc(
      "Decreasing ranges aren't allowed for slicing strings (as it would give reversed text). The index range was: "
      "first = " +
      std::to_string(b) + ", last = " + std::to_string(b - r + 1));
}

Result<TModel> eval_dynamic_key(Environment& env, const DynamicKeyNameExpr& node, const TModel& target) {
  if (target.is_null()) {
    if (env.settings().classic_compatible) return TModel::null();
    return Error::invalid_reference(expr_desc(*node.target));
  }
  ASSIGN_OR_RETURN(TModel key, eval(env, *node.key));
  if (key.has(Cap::Number)) {
    ASSIGN_OR_RETURN(TNumber k, key->as_number());
    return index_value(env, node, target, k);
  }
  if (const RangeInfo* range = key->range()) return slice_value(env, node, target, *range);
  if (key.has(Cap::Scalar)) {
    if (!target.has(Cap::Hash))
      return blame_expression(Error::type_mismatch("hash", target.type_name()), env, *node.target);
    ASSIGN_OR_RETURN(TextRef k, key->as_string());
    ASSIGN_OR_RETURN(std::optional<TModel> v, target->hash_get(k.view()));
    return v ? std::move(*v) : TModel::null();
  }
  return blame_expression(Error::type_mismatch("number, range, or string", key.type_name()), env, *node.key);
}

}  // namespace tovarn
