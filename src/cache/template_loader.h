// template_loader.h — the interface through which the configuration finds and
// reads template sources.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "cache/template_source.h"
#include "error/template_error.h"
#include "template/rc.h"

namespace tovarn {

class TemplateLoader : public RefCounted {
 public:
  // The source for `name`, or null when there is no such template.
  virtual Result<std::unique_ptr<TemplateSource>> find(std::string_view name) = 0;
  // The source text decoded as UTF-8.
  virtual Result<std::string> read(const TemplateSource& source) { return read_encoded(source, "UTF-8"); }
  // The source text decoded with the encoding named by a WHATWG label.
  virtual Result<std::string> read_encoded(const TemplateSource& source, std::string_view encoding) = 0;
  // A stamp that changes when the source changes; 0 when the loader cannot tell.
  virtual Result<uint64_t> last_modified(const TemplateSource& source) { return uint64_t{0}; }
};

}  // namespace tovarn
