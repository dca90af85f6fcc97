// simple_hash.h — OrderedHash, an insertion-ordered map text -> value with
// hashed lookup, and SimpleHash, the hash value (type "extended_hash") built
// on it by TModel::from_hash.
//
//   OrderedHash m;
//   m.put("b", TModel::from_int(2));
//   m.put("a", TModel::from_int(1));   // keys stay in order b, a
//   TModel h = TModel::from_hash(std::move(m));
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "template/t_model.h"

namespace tovarn {

class OrderedHash {
 public:
  using Entry = std::pair<std::string, TModel>;

  OrderedHash() = default;
  void reserve(size_t n);
  // Sets `key`; a new key goes to the end, an existing key keeps its place.
  void put(std::string key, TModel value);
  // The value of `key`, or null when absent.
  const TModel* find(std::string_view key) const;
  size_t size() const noexcept { return entries_.size(); }
  bool empty() const noexcept { return entries_.empty(); }
  const std::vector<Entry>& entries() const noexcept { return entries_; }

 private:
  // Heterogeneous lookup by string_view, so find() builds no std::string.
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
  };
  std::vector<Entry> entries_;
  std::unordered_map<std::string, size_t, Hash, std::equal_to<>> index_;
};

// Hash and extended-hash value over an OrderedHash (kind Hash).
class SimpleHash final : public ModelObject {
 public:
  explicit SimpleHash(OrderedHash map, const char* type_name = "extended_hash", ModelKind kind = ModelKind::Hash) noexcept
      : ModelObject(kind, type_name, Cap::Hash | Cap::HashEx), map_(std::move(map)) {}
  const OrderedHash& map() const noexcept { return map_; }

  Result<std::optional<TModel>> hash_get(std::string_view key) const override;
  Result<bool> hash_is_empty() const override;
  Result<uint64_t> hash_size() const override;
  Result<std::vector<std::string>> hash_keys() const override;
  Result<std::vector<std::pair<std::string, TModel>>> hash_entries() const override;

 private:
  OrderedHash map_;
};

}  // namespace tovarn
