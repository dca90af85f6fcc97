// hash_literal.cpp — evaluation of list and hash literals.
#include "core/expression/hash_literal.h"

#include <vector>

#include "core/eval.h"
#include "core/value_output.h"
#include "template/simple_hash.h"

namespace tovarn {

Result<TModel> eval_list_literal(Environment& env, const ListLiteralExpr& node) {
  std::vector<TModel> items;
  items.reserve(node.items.size());
  for (const ExprPtr& e : node.items) {
    ASSIGN_OR_RETURN(TModel v, eval(env, *e));
    items.push_back(std::move(v));
  }
  return TModel::from_sequence(std::move(items));
}

Result<TModel> eval_hash_literal(Environment& env, const HashLiteralExpr& node) {
  OrderedHash map;
  map.reserve(node.entries.size());
  for (const HashEntry& entry : node.entries) {
    ASSIGN_OR_RETURN(TModel k, eval(env, *entry.key));
    ASSIGN_OR_RETURN(std::string key, model_to_string(env, k));
    ASSIGN_OR_RETURN(TModel v, eval(env, *entry.value));
    map.put(std::move(key), std::move(v));
  }
  return TModel::from_hash(std::move(map));
}

}  // namespace tovarn
