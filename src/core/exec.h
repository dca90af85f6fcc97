// exec.h — the element dispatcher's helpers: which kinds push an instruction
// frame, which frames show in traces, and the frame descriptions.
#pragma once

#include <string>

#include "core/template_element.h"

namespace tovarn {

// Whether executing an element of this kind pushes an instruction frame.
bool has_instruction_frame(ElementKind kind);
// Whether its frame is listed below the failing one in a trace.
bool shown_in_trace(ElementKind kind);
// The frame description ("#if x", "${user.name}", ...), uncut.
// `auto_escaped`: the escape stack or auto-escaping was active when pushed.
std::string describe_element(const Element& element, bool auto_escaped);

}  // namespace tovarn
