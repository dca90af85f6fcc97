// configuration.cpp — configuration defaults, snapshots, template lookup and
// the load pipeline (parse against a snapshot, factory, post-processors).
#include "template/configuration.h"

#include <algorithm>

#include "cache/string_template_loader.h"
#include "cache/template_name_format.h"
#include "parser/grammar.h"
#include "template/utility_transforms.h"

namespace tovarn {

Rc<Configuration> Configuration::create() {
  Rc<Configuration> c = make_rc<Configuration>();
  c->loader = make_rc<StringLoader>();
  register_builtin_transforms(*c);
  return c;
}

Rc<Configuration> Configuration::clone() const {
  Rc<Configuration> c = make_rc<Configuration>();
  c->settings = settings;
  c->auto_imports = auto_imports;
  c->auto_includes = auto_includes;
  c->loader = loader;
  c->shared_variables = shared_variables;
  c->factory = factory;
  return c;
}

Result<Rc<Template>> Configuration::get_template(std::string_view name) const {
  std::lock_guard lock(cache_mu_);
  ASSIGN_OR_RETURN(Rc<Template> tpl, cache_.get_or_load(name, *loader, *this));
  if (!tpl) return Error::not_found(std::string(name));
  return tpl;
}

Result<Rc<Template>> Configuration::get_template_localized(std::string_view name,
                                                           const std::optional<std::string>& locale) const {
  if (locale) {
    for (const std::string& candidate : localized_candidates(name, *locale)) {
      ASSIGN_OR_RETURN(std::unique_ptr<TemplateSource> found, loader->find(candidate));
      if (found) return get_template(candidate);
    }
  }
  return get_template(name);
}

Result<Rc<Template>> Configuration::get_template_encoded(std::string_view name,
                                                         std::optional<std::string_view> encoding) const {
  ASSIGN_OR_RETURN(std::string key, TemplateNameFormat::normalize_root_based_name(name));
  std::string enc = encoding ? std::string(*encoding) : settings.input_encoding.value_or("UTF-8");
  ASSIGN_OR_RETURN(std::unique_ptr<TemplateSource> source, loader->find(key));
  if (!source) return Error::not_found(std::string(name));
  ASSIGN_OR_RETURN(std::string text, loader->read_encoded(*source, enc));
  ASSIGN_OR_RETURN(Rc<Template> tpl, load(key, text));
  // A header that declares another encoding makes us read the source again with it.
  const auto& declared = tpl->declared_encoding;
  auto lower = [](std::string s) {
    for (char& ch : s) ch = (ch >= 'A' && ch <= 'Z') ? char(ch + 32) : ch;
    return s;
  };
  if (declared && lower(*declared) != lower(enc)) {
    ASSIGN_OR_RETURN(std::string again, loader->read_encoded(*source, *declared));
    return load(key, again);
  }
  return tpl;
}

void Configuration::add_auto_import(std::string ns, std::string template_name) {
  std::erase_if(auto_imports, [&](const auto& p) { return p.first == ns; });
  auto_imports.emplace_back(std::move(ns), std::move(template_name));
}

void Configuration::add_auto_include(std::string template_name) {
  std::erase(auto_includes, template_name);
  auto_includes.push_back(std::move(template_name));
}

Result<Rc<Template>> Configuration::load(std::string_view name, std::string_view text) const {
  Rc<Configuration> snapshot = clone();
  ASSIGN_OR_RETURN(Rc<Template> tpl, parse(snapshot, name, text));
  if (factory) {
    auto tc = factory->get(name, *tpl);
    if (!tc.ok())
      return Error::misc("Failed to get template configuration for source name \"" + std::string(name) +
                         "\": " + tc.error().to_user_message());
    if (*tc) {
      if (!tpl->own_settings) tpl->own_settings.emplace();
      (*tc)->apply_to(*tpl->own_settings);
    }
  }
  for (const Rc<TemplatePostProcessor>& pp : post_processors) {
    if (auto failure = pp->process(*tpl))
      return Error::misc("Template post-processor failed for \"" + std::string(name) + "\": " + failure->text());
  }
  return tpl;
}

}  // namespace tovarn
