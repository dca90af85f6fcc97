// template.h — a parsed template: its name, element tree, header data and the
// configuration snapshot it was parsed with. Immutable once built; shared.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "core/configurable.h"
#include "core/macro_def.h"
#include "core/template_element.h"
#include "error/template_error.h"
#include "template/rc.h"

namespace tovarn {

class Configuration;
class TModel;

class Template : public RefCounted {
 public:
  std::string name;                           // the normalised template name
  ElementList root;                           // top-level elements
  std::optional<std::string> declared_encoding;  // from the header
  std::optional<TemplateConfiguration> own_settings;  // overrides from the header or a factory
  std::map<std::string, Rc<MacroDef>> macros;  // every #macro/#function of the template
  Rc<Configuration> configuration;            // the snapshot the template was parsed with
  std::map<std::string, std::string> custom_attributes;
  std::map<std::string, std::string> ns_prefixes;

  // Runs the template with `data_model` as root and appends the encoded
  // output to `out` (once, at the end, on success).
  //   std::string out;
  //   Status st = tpl->process(data, out);
  Status process(const TModel& data_model, std::string& out) const;

  Template();
  ~Template() override;
};

}  // namespace tovarn
