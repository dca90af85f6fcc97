// template_element.h — the element tree of a parsed template.
//
// An Element is one node of the tree: its kind, its start position and a
// payload. Text-like kinds keep their text inline; every other kind keeps a
// kind-specific payload (ElementData subclass) that the unit executing that
// kind defines. The tree is immutable once parsed and shared with the Template,
// so the run loop refers to elements by pointer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tovarn {

// Tag values are shared by the parser and the dispatcher; keep the order.
enum class ElementKind : uint8_t {
  Text = 0,
  DollarVariable = 1,
  If = 2,
  List = 3,
  Items = 4,
  Sep = 5,
  AssignmentGroup = 6,
  Assignment = 7,
  BlockAssignment = 8,
  GlobalAssignment = 9,
  LocalAssignment = 10,
  MacroDef = 11,
  UnifiedCall = 12,
  BodyInstruction = 13,
  Switch = 14,
  Attempt = 15,
  Break = 16,
  Continue = 17,
  Return = 18,
  Stop = 19,
  Flush = 20,
  Trim = 21,
  Comment = 22,
  Include = 23,
  Import = 24,
  Escape = 25,
  NoEscape = 26,
  AutoEsc = 27,
  NoAutoEsc = 28,
  OutputFormat = 29,
  Compress = 30,
  Setting = 31,
  Inert = 32,
  T = 33,
  Nt = 34,
  Rt = 35,
  Lt = 36,
  Transform = 37,
  Visit = 38,
  Recurse = 39,
  On = 40,
  Fallback = 41,
  RawText = 42,
  TextChunk = 43,
};

// The kind's name as written above ("Text", "DollarVariable", ...).
std::string_view element_kind_name(ElementKind kind);

// Base of the kind-specific payloads (IfBlock, IteratorBlock, ...).
struct ElementData {
  virtual ~ElementData() = default;
};

struct Element {
  ElementKind kind = ElementKind::Text;
  uint32_t line = 0;    // begin line, 1-based
  uint32_t column = 0;  // begin column, 1-based
  // Text, TextChunk, RawText: the text; Comment: the comment text; Inert: optional text.
  std::string text;
  uint32_t end_line = 0;  // Text, TextChunk: line on which the text ends
  std::unique_ptr<ElementData> data;

  Element() = default;
  Element(ElementKind k, uint32_t l, uint32_t c) : kind(k), line(l), column(c) {}
  Element(Element&&) noexcept = default;
  Element& operator=(Element&&) noexcept = default;

  static Element make_text(std::string text, uint32_t line, uint32_t column);

  template <class T>
  const T& as() const { return static_cast<const T&>(*data); }
  template <class T>
  T& as() { return static_cast<T&>(*data); }
};

using ElementList = std::vector<Element>;

}  // namespace tovarn
