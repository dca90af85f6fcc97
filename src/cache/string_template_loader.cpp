// string_template_loader.cpp — the in-memory loader: an ordered list of
// (name, bytes) entries under a lock, names compared byte for byte.
#include "cache/string_template_loader.h"

#include <algorithm>

#include "template/charset.h"

namespace tovarn {

void StringLoader::put_bytes(std::string_view name, std::string_view bytes) {
  std::lock_guard lock(mu_);
  std::erase_if(entries_, [&](const auto& e) { return e.first == name; });
  entries_.emplace_back(std::string(name), std::string(bytes));
}

Result<std::unique_ptr<TemplateSource>> StringLoader::find(std::string_view name) {
  std::lock_guard lock(mu_);
  for (const auto& e : entries_)
    if (e.first == name) return std::unique_ptr<TemplateSource>(std::make_unique<StringSource>(e.first));
  return std::unique_ptr<TemplateSource>();
}

Result<std::string> StringLoader::read_encoded(const TemplateSource& source, std::string_view encoding) {
  std::string bytes;
  {
    std::lock_guard lock(mu_);
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [&](const auto& e) { return e.first == source.name(); });
    if (it == entries_.end()) return Error::not_found(source.name());
    bytes = it->second;
  }
  return decode_source(bytes, encoding);
}

}  // namespace tovarn
