// expr.cpp — expression-tree plumbing: kind names, non-recursive deletion,
// the special-variable name table, and the canonical description texts.
#include "core/expression/expr.h"

#include <array>
#include <utility>

namespace tovarn {

namespace {

constexpr std::array<std::string_view, 32> kKindNames = {
    "StringLiteral", "InterpolatedString", "NumberLiteral", "BooleanLiteral", "Variable",
    "Dot", "DynamicKeyName", "MethodCall", "UnaryMinus", "Not",
    "AddConcat", "Subtract", "Multiply", "Divide", "Modulus",
    "Equals", "NotEquals", "GreaterThan", "GreaterThanEquals", "LessThan",
    "LessThanEquals", "AndExpression", "OrExpression", "Range", "DefaultToExpression",
    "Exists", "BuiltIn", "ListLiteral", "HashLiteral", "LocalLambdaExpression",
    "Parenthetical", "BuiltinVariable",
};

// The accepted names in their fixed order, with the variable each one reads.
struct SpecialName {
  std::string_view name;
  SpecialVariable which;
};
constexpr std::array<SpecialName, 26> kSpecialNames = {{
    {"namespace", SpecialVariable::Namespace},
    {"main", SpecialVariable::Main},
    {"globals", SpecialVariable::Globals},
    {"locals", SpecialVariable::Locals},
    {"data_model", SpecialVariable::DataModel},
    {"vars", SpecialVariable::Vars},
    {"lang", SpecialVariable::Lang},
    {"locale", SpecialVariable::Locale},
    {"locale_object", SpecialVariable::LocaleObject},
    {"time_zone", SpecialVariable::TimeZone},
    {"template_name", SpecialVariable::TemplateName},
    {"main_template_name", SpecialVariable::MainTemplateName},
    {"current_template_name", SpecialVariable::CurrentTemplateName},
    {"caller_template_name", SpecialVariable::CallerTemplateName},
    {"node", SpecialVariable::CurrentNode},
    {"current_node", SpecialVariable::CurrentNode},
    {"error", SpecialVariable::Error},
    {"output_encoding", SpecialVariable::OutputEncoding},
    {"output_format", SpecialVariable::OutputFormat},
    {"auto_esc", SpecialVariable::AutoEsc},
    {"url_escaping_charset", SpecialVariable::UrlEscapingCharset},
    {"version", SpecialVariable::Version},
    {"incompatible_improvements", SpecialVariable::IncompatibleImprovements},
    {"args", SpecialVariable::Args},
    {"now", SpecialVariable::Now},
    {"get_optional_template", SpecialVariable::GetOptionalTemplate},
}};

std::string join_special_names() {
  std::string out;
  for (const SpecialName& s : kSpecialNames) {
    if (!out.empty()) out += ", ";
    out += s.name;
  }
  return out;
}

// Moves the children of `e` out as raw pointers, so that deleting `e` no
// longer reaches them.
void detach_children(Expr* e, std::vector<Expr*>& out) {
  auto take = [&out](ExprPtr& p) {
    if (p) out.push_back(p.release());
  };
  auto take_all = [&take](ExprList& list) {
    for (ExprPtr& p : list) take(p);
  };
  switch (e->kind) {
    case ExprKind::StringLiteral:
    case ExprKind::NumberLiteral:
    case ExprKind::BooleanLiteral:
    case ExprKind::Variable:
    case ExprKind::BuiltinVariable:
      return;
    case ExprKind::InterpolatedString:
      for (StrPart& part : e->as<InterpolatedStringExpr>().parts) take(part.expr);
      return;
    case ExprKind::Dot: take(e->as<DotExpr>().target); return;
    case ExprKind::DynamicKeyName: {
      auto& n = e->as<DynamicKeyNameExpr>();
      take(n.target);
      take(n.key);
      return;
    }
    case ExprKind::MethodCall: {
      auto& n = e->as<MethodCallExpr>();
      take(n.target);
      take_all(n.args);
      return;
    }
    case ExprKind::UnaryMinus:
    case ExprKind::Not: take(e->as<UnaryExpr>().operand); return;
    case ExprKind::Range: {
      auto& n = e->as<RangeExpr>();
      take(n.start);
      take(n.end);
      return;
    }
    case ExprKind::DefaultToExpression: {
      auto& n = e->as<DefaultToExpr>();
      take(n.target);
      take(n.default_value);
      return;
    }
    case ExprKind::Exists: take(e->as<ExistsExpr>().target); return;
    case ExprKind::BuiltIn: {
      auto& n = e->as<BuiltInExpr>();
      take(n.target);
      if (n.args) take_all(*n.args);
      return;
    }
    case ExprKind::ListLiteral: take_all(e->as<ListLiteralExpr>().items); return;
    case ExprKind::HashLiteral:
      for (HashEntry& h : e->as<HashLiteralExpr>().entries) {
        take(h.key);
        take(h.value);
      }
      return;
    case ExprKind::LocalLambdaExpression: take(e->as<LambdaExpr>().body); return;
    case ExprKind::Parenthetical: take(e->as<ParentheticalExpr>().inner); return;
    default: {  // the binary kinds
      auto& n = e->as<BinaryExpr>();
      take(n.left);
      take(n.right);
      return;
    }
  }
}

// Deletes one node through its concrete type (its children already detached).
void delete_node(Expr* e) {
  switch (e->kind) {
    case ExprKind::StringLiteral: delete &e->as<StringLiteralExpr>(); return;
    case ExprKind::InterpolatedString: delete &e->as<InterpolatedStringExpr>(); return;
    case ExprKind::NumberLiteral: delete &e->as<NumberLiteralExpr>(); return;
    case ExprKind::BooleanLiteral: delete &e->as<BooleanLiteralExpr>(); return;
    case ExprKind::Variable: delete &e->as<VariableExpr>(); return;
    case ExprKind::Dot: delete &e->as<DotExpr>(); return;
    case ExprKind::DynamicKeyName: delete &e->as<DynamicKeyNameExpr>(); return;
    case ExprKind::MethodCall: delete &e->as<MethodCallExpr>(); return;
    case ExprKind::UnaryMinus:
    case ExprKind::Not: delete &e->as<UnaryExpr>(); return;
    case ExprKind::Range: delete &e->as<RangeExpr>(); return;
    case ExprKind::DefaultToExpression: delete &e->as<DefaultToExpr>(); return;
    case ExprKind::Exists: delete &e->as<ExistsExpr>(); return;
    case ExprKind::BuiltIn: delete &e->as<BuiltInExpr>(); return;
    case ExprKind::ListLiteral: delete &e->as<ListLiteralExpr>(); return;
    case ExprKind::HashLiteral: delete &e->as<HashLiteralExpr>(); return;
    case ExprKind::LocalLambdaExpression: delete &e->as<LambdaExpr>(); return;
    case ExprKind::Parenthetical: delete &e->as<ParentheticalExpr>(); return;
    case ExprKind::BuiltinVariable: delete &e->as<BuiltinVariableExpr>(); return;
    default: delete &e->as<BinaryExpr>(); return;
  }
}

bool has_children(ExprKind k) {
  switch (k) {
    case ExprKind::StringLiteral:
    case ExprKind::NumberLiteral:
    case ExprKind::BooleanLiteral:
    case ExprKind::Variable:
    case ExprKind::BuiltinVariable:
      return false;
    default:
      return true;
  }
}

std::string_view binary_op_text(ExprKind k) {
  switch (k) {
    case ExprKind::AddConcat: return " + ";
    case ExprKind::Subtract: return " - ";
    case ExprKind::Multiply: return " * ";
    case ExprKind::Divide: return " / ";
    case ExprKind::Modulus: return " % ";
    case ExprKind::Equals: return " == ";
    case ExprKind::NotEquals: return " != ";
    case ExprKind::GreaterThan: return " > ";
    case ExprKind::GreaterThanEquals: return " >= ";
    case ExprKind::LessThan: return " < ";
    case ExprKind::LessThanEquals: return " <= ";
    case ExprKind::AndExpression: return " && ";
    case ExprKind::OrExpression: return " || ";
    default: return "";
  }
}

// Builds the description with an explicit work stack, so that the long
// left-leaning trees of operator and postfix chains cannot exhaust the
// native stack. A work item is either a node to describe or a text to emit.
class Describer {
 public:
  explicit Describer(bool canonical) : canonical_(canonical) {}

  std::string run(const Expr& root) {
    work_.push_back({&root, {}});
    while (!work_.empty()) {
      Item it = work_.back();
      work_.pop_back();
      if (it.node) expand(*it.node);
      else out_ += it.text;
    }
    return std::move(out_);
  }

 private:
  struct Item {
    const Expr* node;
    std::string_view text;
  };

  // Items are queued in reading order, then moved to the stack reversed.
  void emit(std::string_view s) { seq_.push_back({nullptr, s}); }
  void emit(const Expr& e) { seq_.push_back({&e, {}}); }
  void emit_list(const ExprList& list) {
    for (size_t i = 0; i < list.size(); ++i) {
      if (i) emit(", ");
      emit(*list[i]);
    }
  }
  void flush() {
    for (auto it = seq_.rbegin(); it != seq_.rend(); ++it) work_.push_back(*it);
    seq_.clear();
  }

  void expand(const Expr& e) {
    switch (e.kind) {
      case ExprKind::StringLiteral:
        out_ += '"';
        out_ += e.as<StringLiteralExpr>().text;
        out_ += '"';
        return;
      case ExprKind::NumberLiteral: out_ += e.as<NumberLiteralExpr>().number.to_plain_string(); return;
      case ExprKind::BooleanLiteral: out_ += e.as<BooleanLiteralExpr>().flag ? "true" : "false"; return;
      case ExprKind::Variable: out_ += e.as<VariableExpr>().name; return;
      case ExprKind::Dot: {
        const auto& n = e.as<DotExpr>();
        emit(*n.target);
        emit(".");
        emit(n.name);
        break;
      }
      case ExprKind::DynamicKeyName: {
        const auto& n = e.as<DynamicKeyNameExpr>();
        emit(*n.target);
        emit("[");
        emit(*n.key);
        emit("]");
        break;
      }
      case ExprKind::MethodCall: {
        const auto& n = e.as<MethodCallExpr>();
        emit(*n.target);
        emit("(");
        emit_list(n.args);
        emit(")");
        break;
      }
      case ExprKind::UnaryMinus:
      case ExprKind::Not:
        emit(e.kind == ExprKind::UnaryMinus ? "-" : "!");
        emit(*e.as<UnaryExpr>().operand);
        break;
      case ExprKind::DefaultToExpression:
        emit(*e.as<DefaultToExpr>().target);
        emit("!");
        break;
      case ExprKind::Exists:
        emit(*e.as<ExistsExpr>().target);
        emit("??");
        break;
      case ExprKind::BuiltIn: {
        const auto& n = e.as<BuiltInExpr>();
        emit(*n.target);
        emit("?");
        emit(n.name);
        if (n.args) {
          emit("(");
          emit_list(*n.args);
          emit(")");
        }
        break;
      }
      case ExprKind::ListLiteral:
        emit("[");
        emit_list(e.as<ListLiteralExpr>().items);
        emit("]");
        break;
      case ExprKind::Parenthetical:
        emit("(");
        emit(*e.as<ParentheticalExpr>().inner);
        emit(")");
        break;
      case ExprKind::InterpolatedString:
        if (!canonical_) {
          out_ += "...";
          return;
        }
        emit("\"");
        for (const StrPart& part : e.as<InterpolatedStringExpr>().parts) {
          if (part.expr) {
            emit("${");
            emit(*part.expr);
            emit("}");
          } else {
            emit(part.text);
          }
        }
        emit("\"");
        break;
      case ExprKind::HashLiteral: {
        if (!canonical_) {
          out_ += "...";
          return;
        }
        const auto& entries = e.as<HashLiteralExpr>().entries;
        emit("{");
        for (size_t i = 0; i < entries.size(); ++i) {
          if (i) emit(", ");
          emit(*entries[i].key);
          emit(": ");
          emit(*entries[i].value);
        }
        emit("}");
        break;
      }
      case ExprKind::Range:
      case ExprKind::LocalLambdaExpression:
      case ExprKind::BuiltinVariable:
        out_ += "...";
        return;
      default: {  // the binary kinds
        const auto& n = e.as<BinaryExpr>();
        emit(*n.left);
        emit(binary_op_text(e.kind));
        emit(*n.right);
        break;
      }
    }
    flush();
  }

  bool canonical_;
  std::string out_;
  std::vector<Item> work_;
  std::vector<Item> seq_;
};

}  // namespace

std::string_view expr_kind_name(ExprKind kind) { return kKindNames[static_cast<size_t>(kind)]; }

void ExprDeleter::operator()(Expr* e) const noexcept {
  if (!e) return;
  if (!has_children(e->kind)) {
    delete_node(e);
    return;
  }
  std::vector<Expr*> pending{e};
  while (!pending.empty()) {
    Expr* n = pending.back();
    pending.pop_back();
    detach_children(n, pending);
    delete_node(n);
  }
}

std::optional<SpecialVariable> special_variable_by_name(std::string_view snake_name) {
  for (const SpecialName& s : kSpecialNames)
    if (s.name == snake_name) return s.which;
  return std::nullopt;
}

std::string_view special_variable_names_text() {
  static const std::string text = join_special_names();
  return text;
}

std::string expr_desc(const Expr& e) { return Describer(false).run(e); }

std::string literal_canonical(const Expr& e) { return Describer(true).run(e); }

}  // namespace tovarn
