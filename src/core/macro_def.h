// macro_def.h — the definition of a #macro or #function, its element
// payload, and its value form.
#pragma once

#include <string>
#include <vector>

#include "core/expression/expr.h"
#include "core/template_element.h"
#include "template/rc.h"
#include "template/t_model.h"

namespace tovarn {

class Namespace;

// One declared parameter: `a`, `b=1`, `rest...`.
struct MacroParam {
  std::string name;
  ExprPtr default_value;  // null when the parameter is required (or catch-all)
  bool catch_all = false;  // at most one, and only the last, parameter
};

// What a definition fixes at parse time: its parameters and body. Shared,
// never copied, by every MacroDef made from one #macro/#function tag.
struct MacroCode : RefCounted {
  std::vector<MacroParam> params;
  ElementList body;
};

// A #macro or #function definition. The parser makes one per tag (the
// MacroDefElement payload and Template::macros share it); registering it in
// a namespace at run time may make a copy that shares `code` and records the
// namespace.
//   <#macro m a b=1 rest...>  ->  name "m", params [a, b=1, rest...]
struct MacroDef : RefCounted {
  std::string name;
  bool is_function = false;
  Rc<MacroCode> code;          // parameters and body; never null
  std::string template_name;   // the template whose text defines it
  uint32_t line = 0;           // position of the #macro/#function tag
  uint32_t column = 0;
  // The namespace the definition was registered in. Not owned (the namespace
  // owns its macros): whoever registers must make sure it is not read after
  // the namespace is gone.
  Namespace* defining_namespace = nullptr;

  const std::vector<MacroParam>& params() const { return code->params; }
  const ElementList& body() const { return code->body; }
};

// Payload of ElementKind::MacroDef.
struct MacroDefElement : ElementData {
  Rc<MacroDef> def;
};

// "#macro m a b=1": the instruction-stack text of a definition.
std::string macro_def_description(const MacroDef& def);

// The value a macro or function is when read as a variable (type "macro").
TModel macro_value(const Rc<MacroDef>& def);

}  // namespace tovarn
