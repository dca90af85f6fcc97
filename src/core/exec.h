// exec.h — the element dispatcher's helpers: which kinds push an instruction
// frame, which frames show in traces, and the frame descriptions.
#pragma once

#include <string>

#include "core/template_element.h"

namespace tovarn {

class Environment;
struct ExecOutcome;

// Whether executing an element of this kind pushes an instruction frame.
bool has_instruction_frame(ElementKind kind);
// Whether its frame is listed below the failing one in a trace.
bool shown_in_trace(ElementKind kind);
// The frame description ("#if x", "${user.name}", ...), uncut.
// `auto_escaped`: the escape stack or auto-escaping was active when pushed.
std::string describe_element(const Element& element, bool auto_escaped);

// Executors of the directive kinds, one per unit (the unit is named in the
// comment). Each receives an element of its kind.
ExecOutcome exec_if(Environment& env, const Element& e);                 // if_block
ExecOutcome exec_list(Environment& env, const Element& e);               // iterator_block
ExecOutcome exec_items(Environment& env, const Element& e);              // iterator_block
ExecOutcome exec_sep(Environment& env, const Element& e);                // iterator_block
ExecOutcome exec_switch(Environment& env, const Element& e);             // switch_block
ExecOutcome exec_attempt(Environment& env, const Element& e);            // attempt_block
ExecOutcome exec_loop_control(Environment& env, const Element& e);       // flow_control: #break, #continue
ExecOutcome exec_stop(Environment& env, const Element& e);               // flow_control
ExecOutcome exec_flush(Environment& env, const Element& e);              // flow_control
ExecOutcome exec_on(Environment& env, const Element& e);                 // switch_block: a stray #on
ExecOutcome exec_compress(Environment& env, const Element& e);           // transform_block
ExecOutcome exec_trim(Environment& env, const Element& e);               // transform_block
ExecOutcome exec_transform(Environment& env, const Element& e);          // transform_block
ExecOutcome exec_assignment_group(Environment& env, const Element& e);   // assignment
ExecOutcome exec_assignment(Environment& env, const Element& e);         // assignment
ExecOutcome exec_block_assignment(Environment& env, const Element& e);   // assignment (#assign/#global/#local)
ExecOutcome exec_macro_def(Environment& env, const Element& e);          // macro_def
ExecOutcome exec_unified_call(Environment& env, const Element& e);       // unified_call
ExecOutcome exec_body_instruction(Environment& env, const Element& e);   // body_instruction
ExecOutcome exec_return(Environment& env, const Element& e);             // macro_def
ExecOutcome exec_setting(Environment& env, const Element& e);            // setting_element
ExecOutcome exec_include(Environment& env, const Element& e);            // include
ExecOutcome exec_import(Environment& env, const Element& e);             // library_load

// The failure of an executor that does not exist yet.
ExecOutcome not_yet_supported(const Element& e);

}  // namespace tovarn
