// exec.cpp — the dispatcher: executes one element by its kind, handing each
// directive to the unit that implements it, and describes elements for the
// instruction stack.
#include "core/exec.h"

#include "core/assignment.h"
#include "core/dollar_variable.h"
#include "core/environment.h"
#include "core/if_block.h"
#include "core/include.h"
#include "core/iterator_block.h"
#include "core/library_load.h"
#include "core/macro_def.h"
#include "core/output_format_block.h"
#include "core/setting_element.h"
#include "core/stop_return.h"
#include "core/switch_block.h"
#include "core/transform_block.h"
#include "core/unified_call.h"
#include "core/visit_node.h"

namespace tovarn {

bool has_instruction_frame(ElementKind kind) {
  switch (kind) {
    case ElementKind::DollarVariable:
    case ElementKind::If:
    case ElementKind::List:
    case ElementKind::Items:
    case ElementKind::Assignment:
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

namespace {

std::string desc(const Expr* e) { return e ? expr_desc(*e) : std::string(); }

// "#return" or "#return {expr}".
std::string with_optional(std::string_view head, const Expr* e) {
  return e ? std::string(head) + " " + expr_desc(*e) : std::string(head);
}

std::string join_exprs(const ExprList& list) {
  std::string out;
  for (const ExprPtr& e : list) {
    if (!out.empty()) out += ", ";
    out += expr_desc(*e);
  }
  return out;
}

std::string describe_call(const UnifiedCall& c) {
  std::string s = "@" + c.target.description();
  for (size_t i = 0; i < c.args.size(); ++i) {
    s += i == 0 ? " " : ", ";
    if (c.args[i].name) s += *c.args[i].name + "=";
    s += expr_desc(*c.args[i].value);
  }
  for (size_t i = 0; i < c.loop_vars.size(); ++i) {
    s += i == 0 ? "; " : ", ";
    s += c.loop_vars[i];
  }
  return s;
}

}  // namespace

std::string describe_element(const Element& element, bool auto_escaped) {
  switch (element.kind) {
    case ElementKind::DollarVariable: return describe_dollar_variable(element.as<DollarVariable>(), auto_escaped);
    case ElementKind::If: return "#if " + desc(element.as<IfBlock>().branches.front().condition.get());
    case ElementKind::List: {
      const IteratorBlock& b = element.as<IteratorBlock>();
      std::string s = "#list " + desc(b.list_expr.get());
      if (b.has_loop_var()) s += " as " + b.loop_var;
      if (b.loop_var2) s += ", " + *b.loop_var2;
      return s;
    }
    case ElementKind::Items: {
      const Items& b = element.as<Items>();
      std::string s = "#items as " + b.loop_var;
      if (b.loop_var2) s += ", " + *b.loop_var2;
      return s;
    }
    case ElementKind::Assignment: {
      const Assignment& a = element.as<Assignment>();
      std::string s = std::string(assignment_directive_name(a.scope)) + " " + a.target + " " +
                      std::string(assign_op_text(a.op));
      if (a.value) s += " " + expr_desc(*a.value);
      return s;
    }
    case ElementKind::MacroDef: return macro_def_description(*element.as<MacroDefElement>().def);
    case ElementKind::UnifiedCall: return describe_call(element.as<UnifiedCall>());
    case ElementKind::BodyInstruction: return "#nested";
    case ElementKind::Switch: return "#switch " + desc(element.as<SwitchBlock>().value.get());
    case ElementKind::Break: return "#break";
    case ElementKind::Continue: return "#continue";
    case ElementKind::Flush: return "#flush";
    case ElementKind::Return: return with_optional("#return", element.as<ReturnInstruction>().value.get());
    case ElementKind::Stop: return with_optional("#stop", element.as<StopInstruction>().message.get());
    case ElementKind::Include: return "#include " + desc(element.as<Include>().template_name.get());
    case ElementKind::Import: {
      const LibraryLoad& l = element.as<LibraryLoad>();
      return "#import " + desc(l.template_name.get()) + " as " + l.namespace_name;
    }
    case ElementKind::Setting: {
      const Setting& st = element.as<Setting>();
      return "#setting " + st.name + "=" + desc(st.value.get());
    }
    case ElementKind::Transform: return "#transform " + desc(element.as<TransformBlock>().transform.get());
    case ElementKind::Visit: return with_optional("#visit", element.as<VisitNode>().node.get());
    case ElementKind::Recurse: return with_optional("#recurse", element.as<RecurseNode>().node.get());
    case ElementKind::On: return "#on " + join_exprs(element.as<OnBlock>().values);
    case ElementKind::Fallback: return "#fallback";
    default: return "#" + std::string(element_kind_name(element.kind));
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
    case ElementKind::If: return exec_if(*this, element);
    case ElementKind::List: return exec_list(*this, element);
    case ElementKind::Items: return exec_items(*this, element);
    case ElementKind::Sep: return exec_sep(*this, element);
    case ElementKind::Switch: return exec_switch(*this, element);
    case ElementKind::Attempt: return exec_attempt(*this, element);
    case ElementKind::Break:
    case ElementKind::Continue: return exec_loop_control(*this, element);
    case ElementKind::Stop: return exec_stop(*this, element);
    case ElementKind::Flush: return exec_flush(*this, element);
    case ElementKind::On: return exec_on(*this, element);
    case ElementKind::Compress: return exec_compress(*this, element);
    case ElementKind::Trim: return exec_trim(*this, element);
    case ElementKind::Transform: return exec_transform(*this, element);
    case ElementKind::AssignmentGroup: return exec_assignment_group(*this, element);
    case ElementKind::Assignment: return exec_assignment(*this, element);
    case ElementKind::BlockAssignment:
    case ElementKind::GlobalAssignment:
    case ElementKind::LocalAssignment: return exec_block_assignment(*this, element);
    case ElementKind::MacroDef: return exec_macro_def(*this, element);
    case ElementKind::UnifiedCall: return exec_unified_call(*this, element);
    case ElementKind::BodyInstruction: return exec_body_instruction(*this, element);
    case ElementKind::Return: return exec_return(*this, element);
    case ElementKind::Setting: return exec_setting(*this, element);
    case ElementKind::Include: return exec_include(*this, element);
    case ElementKind::Import: return exec_import(*this, element);
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
      return not_yet_supported(element);
  }
}

ExecOutcome not_yet_supported(const Element& e) {
  return ExecOutcome::failed(
      Error::misc("Executing a " + std::string(element_kind_name(e.kind)) + " element is not supported yet."));
}

}  // namespace tovarn
