// template_cache.cpp — the cache lookup with its re-check rules.
#include "cache/template_cache.h"

#include "cache/template_loader.h"
#include "cache/template_name_format.h"
#include "template/configuration.h"

namespace tovarn {

Result<Rc<Template>> TemplateCache::get_or_load(std::string_view name, TemplateLoader& loader,
                                                const Configuration& configuration) {
  ASSIGN_OR_RETURN(std::string key, TemplateNameFormat::normalize_root_based_name(name));
  const auto now = std::chrono::steady_clock::now();

  auto it = map_.find(key);
  if (it != map_.end() && now - it->second.last_checked < delay_) return it->second.tpl;

  ASSIGN_OR_RETURN(std::unique_ptr<TemplateSource> source, loader.find(key));
  if (!source) {
    map_[key] = CachedEntry{key, now, nullptr, 0};
    return Rc<Template>();
  }
  ASSIGN_OR_RETURN(uint64_t stamp, loader.last_modified(*source));
  if (it != map_.end()) {
    CachedEntry& e = it->second;
    if (e.tpl && e.last_modified == stamp && e.source_name == source->name()) {
      e.last_checked = now;
      return e.tpl;
    }
  }
  ASSIGN_OR_RETURN(std::string text, loader.read(*source));
  ASSIGN_OR_RETURN(Rc<Template> tpl, configuration.load(key, text));
  map_[key] = CachedEntry{source->name(), now, tpl, stamp};
  return tpl;
}

}  // namespace tovarn
