// output_format.h — output formats: names and which ones escape by default.
#pragma once

#include "core/configurable.h"

namespace tovarn {

// HTML, XML, XHTML, CSS and RTF escape by default: the "default"
// auto-escaping policy turns auto-escaping on for them.
bool escapes_by_default(OutputFormatKind kind);

}  // namespace tovarn
