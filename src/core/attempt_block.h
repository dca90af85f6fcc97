// attempt_block.h — payload of the #attempt/#recover element.
#pragma once

#include "core/template_element.h"

namespace tovarn {

// Payload of ElementKind::Attempt: `<#attempt>body<#recover>recovery</#attempt>`
// (the end tag may also be </#recover>).
struct AttemptBlock : ElementData {
  ElementList attempt_body;
  ElementList recover_body;
};

}  // namespace tovarn
