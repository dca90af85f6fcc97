// string_template_loader.h — the in-memory template store behind put_template.
//
//   auto loader = make_rc<StringLoader>();
//   loader->put("page.tvl", "Hello");
//   auto src = loader->find("page.tvl");   // a StringSource named "page.tvl"
#pragma once

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "cache/template_loader.h"

namespace tovarn {

class StringSource final : public TemplateSource {
 public:
  explicit StringSource(std::string name) : name_(std::move(name)) {}
  const std::string& name() const override { return name_; }

 private:
  std::string name_;
};

class StringLoader final : public TemplateLoader {
 public:
  // Stores content under the exact name, replacing an earlier entry of that name
  // and moving it to the end.
  void put(std::string_view name, std::string_view text) { put_bytes(name, text); }
  void put_bytes(std::string_view name, std::string_view bytes);

  Result<std::unique_ptr<TemplateSource>> find(std::string_view name) override;
  Result<std::string> read_encoded(const TemplateSource& source, std::string_view encoding) override;

 private:
  std::mutex mu_;
  std::vector<std::pair<std::string, std::string>> entries_;
};

}  // namespace tovarn
