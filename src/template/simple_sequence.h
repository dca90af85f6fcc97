// simple_sequence.h — SimpleSequence, the sequence value over a vector of
// values (type "sequence"), built by TModel::from_sequence.
//
//   TModel s = TModel::from_sequence({TModel::from_int(1), TModel::from_int(2)});
//   s->seq_get(2);   // error "Sequence index out of bounds: 2"
#pragma once

#include <vector>

#include "template/t_model.h"

namespace tovarn {

class SimpleSequence final : public ModelObject {
 public:
  explicit SimpleSequence(std::vector<TModel> items) noexcept
      : ModelObject(ModelKind::Sequence, "sequence", Cap::Sequence), items_(std::move(items)) {}
  const std::vector<TModel>& items() const noexcept { return items_; }

  Result<TModel> seq_get(uint64_t index) const override;
  Result<uint64_t> seq_size() const override;

 private:
  std::vector<TModel> items_;
};

}  // namespace tovarn
