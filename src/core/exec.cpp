// exec.cpp — the dispatcher: executes one element by its kind, handing each
// directive to the unit that implements it, and describes elements for the
// instruction stack.
#include "core/exec.h"

#include "core/dollar_variable.h"
#include "core/environment.h"
#include "core/output_format_block.h"

namespace tovarn {

bool has_instruction_frame(ElementKind kind) {
  switch (kind) {
    case ElementKind::DollarVariable:
    case ElementKind::If:
    case ElementKind::List:
    case ElementKind::Items:
    case ElementKind::Assignment:
    case ElementKind::GlobalAssignment:
    case ElementKind::LocalAssignment:
    case ElementKind::MacroDef:
    case ElementKind::UnifiedCall:
    case ElementKind::BodyInstruction:
    case ElementKind::Switch:
    case ElementKind::Break:
    case ElementKind::Continue:
    case ElementKind::Flush:
    case ElementKind::Return:
    case ElementKind::Stop:
    case ElementKind::Include:
    case ElementKind::Import:
    case ElementKind::Setting:
    case ElementKind::Transform:
    case ElementKind::Visit:
    case ElementKind::Recurse:
    case ElementKind::On:
    case ElementKind::Fallback:
      return true;
    default:
      return false;
  }
}

bool shown_in_trace(ElementKind kind) {
  switch (kind) {
    case ElementKind::DollarVariable:
    case ElementKind::UnifiedCall:
    case ElementKind::BodyInstruction:
    case ElementKind::Include:
    case ElementKind::Import:
    case ElementKind::Transform:
    case ElementKind::Visit:
    case ElementKind::Recurse:
    case ElementKind::Fallback:
      return true;
    default:
      return false;
  }
}

std::string describe_element(const Element& element, bool auto_escaped) {
  switch (element.kind) {
    case ElementKind::Break: return "#break";
    case ElementKind::Continue: return "#continue";
    case ElementKind::Flush: return "#flush";
    case ElementKind::BodyInstruction: return "#nested";
    case ElementKind::Fallback: return "#fallback";
    case ElementKind::DollarVariable: return describe_dollar_variable(element.as<DollarVariable>(), auto_escaped);
    default:
      // Kinds whose payload carries expressions describe themselves once
      // their executing units exist; until then the kind name stands in.
      return "#" + std::string(element_kind_name(element.kind));
  }
}

ExecOutcome Environment::exec(const Element& element) {
  switch (element.kind) {
    case ElementKind::Text:
    case ElementKind::TextChunk:
    case ElementKind::RawText:
      return ExecOutcome::from(emit(element.text));
    case ElementKind::DollarVariable: return exec_dollar_variable(*this, element);
    case ElementKind::OutputFormat: return exec_output_format(*this, element);
    case ElementKind::AutoEsc:
    case ElementKind::NoAutoEsc: return exec_auto_esc(*this, element);
    case ElementKind::Escape: return exec_escape(*this, element);
    case ElementKind::NoEscape: return exec_no_escape(*this, element);
    case ElementKind::Comment:
    case ElementKind::Inert:
    case ElementKind::T:
    case ElementKind::Nt:
    case ElementKind::Rt:
    case ElementKind::Lt:
      return ExecOutcome::normal();
    case ElementKind::Fallback:
      return ExecOutcome::failed(Error::misc("#fallback needs XML node support (a Java-specific feature)."));
    case ElementKind::Visit:
      return ExecOutcome::failed(Error::misc("#visit must be given a node, or be called while visiting a node"));
    case ElementKind::Recurse:
      return ExecOutcome::failed(Error::misc("#recurse must be given a node, or be called while visiting a node"));
    default:
      return ExecOutcome::failed(Error::misc("Executing a " + std::string(element_kind_name(element.kind)) +
                                             " element is not supported yet."));
  }
}

}  // namespace tovarn
