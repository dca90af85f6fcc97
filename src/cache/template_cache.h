// template_cache.h — normalised template name → parsed template, with
// negative entries and a re-check after the update delay.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

#include "error/template_error.h"
#include "template/rc.h"
#include "template/template.h"

namespace tovarn {

class Configuration;
class TemplateLoader;

struct CachedEntry {
  std::string source_name;
  std::chrono::steady_clock::time_point last_checked;
  Rc<Template> tpl;  // null: looked up and not found
  uint64_t last_modified = 0;
};

class TemplateCache {
 public:
  explicit TemplateCache(std::chrono::steady_clock::duration delay = std::chrono::seconds(1))
      : delay_(delay) {}

  // The template for `name` (null when the loader has none), loading and
  // parsing it on a miss or when a re-check finds it changed.
  Result<Rc<Template>> get_or_load(std::string_view name, TemplateLoader& loader,
                                   const Configuration& configuration);

  size_t size() const { return map_.size(); }

 private:
  std::unordered_map<std::string, CachedEntry> map_;
  std::chrono::steady_clock::duration delay_;
};

}  // namespace tovarn
