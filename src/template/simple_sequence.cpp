// simple_sequence.cpp — SimpleSequence item access with its bounds check.
#include "template/simple_sequence.h"

#include <string>

namespace tovarn {

Result<TModel> SimpleSequence::seq_get(uint64_t index) const {
  if (index >= items_.size()) return Error::misc("Sequence index out of bounds: " + std::to_string(index));
  return items_[index];
}

Result<uint64_t> SimpleSequence::seq_size() const { return uint64_t{items_.size()}; }

}  // namespace tovarn
