// template_source.h — what a loader found for a name.
#pragma once

#include <string>

namespace tovarn {

// A source found by a TemplateLoader. Two sources with equal names and equal
// last-modified stamps denote the same unchanged content.
class TemplateSource {
 public:
  virtual ~TemplateSource() = default;
  virtual const std::string& name() const = 0;
};

}  // namespace tovarn
