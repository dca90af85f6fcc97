// output_format_block.h — the blocks that change how output is escaped for
// the extent of their body: `<#outputformat "HTML">` (its payload is here),
// `#autoesc` / `#noautoesc`, and `#escape` / `#noescape` (payloads in
// escape_block.h). Each sets its state, runs the body and restores the state
// on every exit path; the body's Done becomes Normal, Failed stays Failed and
// Returned passes through.
//
//   case ElementKind::OutputFormat: return exec_output_format(env, element);
#pragma once

#include <optional>

#include "core/configurable.h"
#include "core/expression/expr.h"
#include "core/template_element.h"

namespace tovarn {

// Payload of ElementKind::OutputFormat.
struct OutputFormatBlock : ElementData {
  ExprPtr format;  // the format-name expression
  // The format when `format` is a string literal naming one ("HTML", "xml",
  // ...); such names were checked by the parser. Other expressions are
  // evaluated and checked at run time.
  std::optional<OutputFormatKind> literal_format;
  ElementList body;
};

class Environment;
struct ExecOutcome;
struct EscapeState;

// `#outputformat`: the format named by the payload (a string-literal name
// checked by the parser, or an expression evaluated to text; an unknown name
// fails with "Unknown output format: " + name) is the output_format setting
// while the body runs. The auto-escaping flag is left alone.
ExecOutcome exec_output_format(Environment& env, const Element& element);

// `#autoesc` (ElementKind::AutoEsc) and `#noautoesc` (NoAutoEsc): the
// auto-escaping flag set or cleared while the body (a BodyBlock) runs.
ExecOutcome exec_auto_esc(Environment& env, const Element& element);

// `#escape x as expr` (ElementKind::Escape, an EscapeBlock) and `#noescape`
// (NoEscape, a BodyBlock): an escape-stack entry pushed while the body runs.
ExecOutcome exec_escape(Environment& env, const Element& element);
ExecOutcome exec_no_escape(Environment& env, const Element& element);

// The same state changes around any element list.
ExecOutcome run_with_output_format(Environment& env, OutputFormatKind format, const ElementList& body);
ExecOutcome run_with_auto_escaping(Environment& env, bool on, const ElementList& body);
ExecOutcome run_with_escape(Environment& env, const EscapeState& state, const ElementList& body);

}  // namespace tovarn
