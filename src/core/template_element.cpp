// template_element.cpp — element construction helpers and kind names.
#include "core/template_element.h"

#include <algorithm>

namespace tovarn {

std::string_view element_kind_name(ElementKind kind) {
  static constexpr std::string_view names[] = {
      "Text",         "DollarVariable",   "If",          "List",       "Items",     "Sep",
      "AssignmentGroup", "Assignment",    "BlockAssignment", "GlobalAssignment", "LocalAssignment",
      "MacroDef",     "UnifiedCall",      "BodyInstruction", "Switch", "Attempt",   "Break",
      "Continue",     "Return",           "Stop",        "Flush",      "Trim",      "Comment",
      "Include",      "Import",           "Escape",      "NoEscape",   "AutoEsc",   "NoAutoEsc",
      "OutputFormat", "Compress",         "Setting",     "Inert",      "T",         "Nt",
      "Rt",           "Lt",               "Transform",   "Visit",      "Recurse",   "On",
      "Fallback",     "RawText",          "TextChunk"};
  auto i = static_cast<size_t>(kind);
  return i < std::size(names) ? names[i] : "?";
}

Element Element::make_text(std::string text, uint32_t line, uint32_t column) {
  Element e(ElementKind::Text, line, column);
  e.end_line = line + static_cast<uint32_t>(std::count(text.begin(), text.end(), '\n'));
  e.text = std::move(text);
  return e;
}

}  // namespace tovarn
