// transform_block.h — payloads of the output post-processing blocks:
// `<#transform t>`, `<#compress>` and `<#trim>`.
#pragma once

#include <string>
#include <vector>

#include "core/expression/expr.h"
#include "core/template_element.h"

namespace tovarn {

// One named transform parameter.
struct TransformParam {
  std::string name;
  ExprPtr value;
};

// Payload of ElementKind::Transform: `<#transform t>body</#transform>`.
struct TransformBlock : ElementData {
  ExprPtr transform;
  std::vector<TransformParam> params;  // the tag syntax has none; always empty from the parser
  ElementList body;
};

// Payload of ElementKind::Compress: `<#compress>body</#compress>`.
struct CompressedBlock : ElementData {
  ElementList body;
};

// Payload of ElementKind::Trim: `<#trim>body</#trim>`.
struct TrimInstruction : ElementData {
  ElementList body;
};

}  // namespace tovarn
