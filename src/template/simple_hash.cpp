// simple_hash.cpp — OrderedHash storage and the SimpleHash capabilities.
#include "template/simple_hash.h"

namespace tovarn {

void OrderedHash::reserve(size_t n) {
  entries_.reserve(n);
  index_.reserve(n);
}

void OrderedHash::put(std::string key, TModel value) {
  auto it = index_.find(std::string_view(key));
  if (it != index_.end()) {
    entries_[it->second].second = std::move(value);
    return;
  }
  index_.emplace(key, entries_.size());
  entries_.emplace_back(std::move(key), std::move(value));
}

const TModel* OrderedHash::find(std::string_view key) const {
  auto it = index_.find(key);
  return it == index_.end() ? nullptr : &entries_[it->second].second;
}

Result<std::optional<TModel>> SimpleHash::hash_get(std::string_view key) const {
  const TModel* v = map_.find(key);
  if (!v) return std::optional<TModel>();
  return std::optional<TModel>(*v);
}

Result<bool> SimpleHash::hash_is_empty() const { return map_.empty(); }

Result<uint64_t> SimpleHash::hash_size() const { return uint64_t{map_.size()}; }

Result<std::vector<std::string>> SimpleHash::hash_keys() const {
  std::vector<std::string> keys;
  keys.reserve(map_.size());
  for (const auto& e : map_.entries()) keys.push_back(e.first);
  return keys;
}

// Every key has a value, so the entries are the map itself.
Result<std::vector<std::pair<std::string, TModel>>> SimpleHash::hash_entries() const { return map_.entries(); }

}  // namespace tovarn
