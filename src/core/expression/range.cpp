// range.cpp — the range value classes and the evaluation of Range nodes.
#include "core/expression/range.h"

#include <cstdlib>
#include <limits>

#include "core/eval.h"
#include "core/eval_util.h"

namespace tovarn {

namespace {

constexpr int64_t kUnboundedSize = 2147483647;

// Walks a range item by item; `remaining` counts what is left to yield.
class RangeIterator final : public ModelIterator {
 public:
  RangeIterator(int64_t begin, uint64_t count, bool increasing) noexcept
      : begin_(begin), count_(count), increasing_(increasing) {}
  Result<std::optional<TModel>> next() override {
    if (index_ >= count_) return std::optional<TModel>();
    return std::optional<TModel>(range_item(begin_, index_++, increasing_));
  }

 private:
  int64_t begin_;
  uint64_t count_;
  bool increasing_;
  uint64_t index_ = 0;
};

class BoundedRangeSeq final : public ModelObject {
 public:
  explicit BoundedRangeSeq(RangeInfo info) noexcept
      : ModelObject(ModelKind::Sequence, "sequence", Cap::Sequence | Cap::Collection | Cap::Range), info_(info) {}

  Result<TModel> seq_get(uint64_t index) const override {
    if (index >= static_cast<uint64_t>(info_.size))
      return Error::misc("Sequence index out of bounds: " + std::to_string(index));
    return range_item(info_.begin, index, info_.increasing);
  }
  Result<uint64_t> seq_size() const override { return static_cast<uint64_t>(info_.size); }
  Result<std::unique_ptr<ModelIterator>> iterator() const override {
    return std::unique_ptr<ModelIterator>(
        new RangeIterator(info_.begin, static_cast<uint64_t>(info_.size), info_.increasing));
  }
  const RangeInfo* range() const noexcept override { return &info_; }

 private:
  RangeInfo info_;
};

class ListableRightUnboundedRange final : public ModelObject {
 public:
  explicit ListableRightUnboundedRange(RangeInfo info) noexcept
      : ModelObject(ModelKind::Sequence, "sequence", Cap::Sequence | Cap::Collection | Cap::Range), info_(info) {}

  Result<TModel> seq_get(uint64_t index) const override {
    if (index >= static_cast<uint64_t>(kUnboundedSize))
      return Error::misc("Range item index " + std::to_string(index) + " is out of bounds.");
    return range_item(info_.begin, index, true);
  }
  Result<uint64_t> seq_size() const override { return static_cast<uint64_t>(kUnboundedSize); }
  Result<std::unique_ptr<ModelIterator>> iterator() const override {
    return std::unique_ptr<ModelIterator>(new RangeIterator(info_.begin, kUnboundedRangeIterationLimit, true));
  }
  const RangeInfo* range() const noexcept override { return &info_; }

 private:
  RangeInfo info_;
};

// An operand of the range read as a 64-bit integer; `not_representable` is
// the message when it does not fit.
Result<int64_t> range_bound(Environment& env, const Expr& e, const std::string& not_representable) {
  ASSIGN_OR_RETURN(TModel v, eval(env, e));
  Result<TNumber> n = v.get_number();
  if (!n.ok()) return blame_expression(n.take_error(), env, e);
  std::optional<int64_t> i = trunc_i64(n.value());
  if (!i) return Error::misc(not_representable);
  return *i;
}

}  // namespace

TModel range_item(int64_t begin, uint64_t index, bool increasing) {
  __int128 v = increasing ? static_cast<__int128>(begin) + index : static_cast<__int128>(begin) - index;
  if (v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max())
    return TModel::from_int(static_cast<int32_t>(v));
  if (v >= std::numeric_limits<int64_t>::min() && v <= std::numeric_limits<int64_t>::max())
    return TModel::from_long(static_cast<int64_t>(v));
  // Only an unbounded range starting near the 64-bit limit gets here.
  BigInteger big(static_cast<long>(begin));
  if (increasing) big += static_cast<unsigned long>(index);
  else big -= static_cast<unsigned long>(index);
  return TModel::from_number(TNumber::from_integer(big));
}

TModel make_bounded_range(int64_t begin, int64_t size, bool increasing, bool right_adaptive, bool inclusive_end) {
  RangeInfo info;
  info.begin = begin;
  info.size = size;
  info.increasing = increasing;
  info.right_adaptive = right_adaptive;
  info.inclusive_end = inclusive_end;
  return TModel(new BoundedRangeSeq(info));
}

TModel make_unbounded_range(int64_t begin) {
  RangeInfo info;
  info.begin = begin;
  info.size = 0;
  info.increasing = true;
  info.right_unbounded = true;
  info.right_adaptive = true;
  return TModel(new ListableRightUnboundedRange(info));
}

Result<TModel> eval_range(Environment& env, const RangeExpr& node) {
  ASSIGN_OR_RETURN(int64_t begin,
                   range_bound(env, *node.start, "The start of the range " + expr_desc(node) +
                                                     " is not a representable integer"));
  if (!node.end) {
    if (node.range_kind != RangeKind::Inclusive) return Error::misc("Malformed range expression");
    return make_unbounded_range(begin);
  }
  const bool limited = node.range_kind == RangeKind::LengthLimited;
  ASSIGN_OR_RETURN(int64_t end, range_bound(env, *node.end, limited ? "Range size is not a representable integer"
                                                                    : "Range end is not a representable integer"));
  __int128 size;
  bool increasing;
  if (limited) {
    increasing = end >= 0;
    size = increasing ? static_cast<__int128>(end) : -static_cast<__int128>(end);
    // Every item, up to the last one, must be a 64-bit integer.
    __int128 last = size == 0 ? begin : increasing ? begin + (size - 1) : begin - (size - 1);
    if (last > std::numeric_limits<int64_t>::max() || last < std::numeric_limits<int64_t>::min())
      return Error::misc("Range size is not a representable integer");
  } else {
    increasing = end >= begin;
    __int128 dist = increasing ? static_cast<__int128>(end) - begin : static_cast<__int128>(begin) - end;
    size = node.range_kind == RangeKind::Inclusive ? dist + 1 : dist;
  }
  if (size > std::numeric_limits<int64_t>::max()) return Error::misc("Range end is not a representable integer");
  return make_bounded_range(begin, static_cast<int64_t>(size), increasing, limited,
                            node.range_kind == RangeKind::Inclusive);
}

}  // namespace tovarn
