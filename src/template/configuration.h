// configuration.h — the engine's configuration: settings, auto-imports and
// auto-includes, the template loader, shared variables, the template cache,
// and the load pipeline that turns a name into a parsed Template.
//
//   Rc<Configuration> cfg = Configuration::create();
//   static_cast<StringLoader&>(*cfg->loader).put("hello.tvl", "Hello");
//   Result<Rc<Template>> t = cfg->get_template("hello.tvl");
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cache/template_cache.h"
#include "cache/template_loader.h"
#include "core/configurable.h"
#include "error/template_error.h"
#include "template/rc.h"
#include "template/t_model.h"
#include "template/template.h"

namespace tovarn {

// Supplies per-template settings overrides; an error's message is the
// factory's failure text.
class TemplateConfigurationFactory : public RefCounted {
 public:
  virtual Result<std::optional<TemplateConfiguration>> get(std::string_view name, const Template& tpl) = 0;
};

// A failure of a post-processor: its text is the message, then ": " and the
// cause when there is one.
struct TemplatePostProcessorException {
  std::string message;
  std::optional<std::string> cause;
  std::string text() const { return cause ? message + ": " + *cause : message; }
};

class TemplatePostProcessor : public RefCounted {
 public:
  virtual std::optional<TemplatePostProcessorException> process(Template& tpl) = 0;
};

class Configuration : public RefCounted {
 public:
  // A default configuration with an empty StringLoader.
  static Rc<Configuration> create();

  // The snapshot a parsed template keeps: same loader, copied settings,
  // lists, shared variables and factory; a new empty cache and registry.
  Rc<Configuration> clone() const;

  // The cached template for `name` (normalised first), or the not-found error
  // naming `name` as given.
  Result<Rc<Template>> get_template(std::string_view name) const;
  // Tries the localized candidates of `name` first when a locale is given.
  Result<Rc<Template>> get_template_localized(std::string_view name, const std::optional<std::string>& locale) const;
  // Loads and parses without the cache (includes use this).
  Result<Rc<Template>> get_template_encoded(std::string_view name, std::optional<std::string_view> encoding) const;

  void add_auto_import(std::string ns, std::string template_name);
  void add_auto_include(std::string template_name);
  void set_shared_variable(std::string name, TModel value) { shared_variables[std::move(name)] = std::move(value); }

  // Parses `text` as the template `name` against a snapshot of this
  // configuration and finishes it (factory, post-processors).
  Result<Rc<Template>> load(std::string_view name, std::string_view text) const;

  Settings settings;
  std::vector<std::pair<std::string, std::string>> auto_imports;  // (namespace var, template)
  std::vector<std::string> auto_includes;
  Rc<TemplateLoader> loader;
  std::map<std::string, TModel, std::less<>> shared_variables;
  Rc<TemplateConfigurationFactory> factory;
  std::vector<Rc<TemplatePostProcessor>> post_processors;

 private:
  mutable std::mutex cache_mu_;
  mutable TemplateCache cache_;
};

}  // namespace tovarn
