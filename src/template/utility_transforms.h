// utility_transforms.h — the output transforms a configuration offers as
// shared variables ("html_escape", "compress", "normalize_newlines",
// "capture_output", "xml_escape"), their text functions, and the utility
// classes `?new` can instantiate.
//
//   <#transform compress>  a   b  </#transform>    writes "a b"
//   <@compress single_line=true>...</@compress>
//   "tovarn.template.utility.HtmlEscape"?new()     a transform value
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "error/template_error.h"
#include "template/t_model.h"

namespace tovarn {

class Configuration;
class Environment;

// The text functions of the transforms.

// `"` → &quot;, `&` → &amp;, `<` → &lt;, `>` → &gt;; the apostrophe and
// everything else are copied.
//   html_escape_entity("'<\"") == "'&lt;&quot;"
void html_escape_entity(std::string_view text, std::string& out);
std::string html_escape_entity(std::string_view text);

// Collapses every run of Unicode white space: to the line break it contained
// (CR, LF or CR LF; the first break of the run decides) or else one space;
// with `single_line` always to one space. Leading and trailing white space
// is dropped. Shared with #compress.
//   standard_compress_text("  a  \n\n  b  ", false) == "a\nb"
//   standard_compress_text("  a  \n\n  b  ", true)  == "a b"
std::string standard_compress_text(std::string_view text, bool single_line);

// Every line ended by LF (CR LF, CR and LF all count as breaks); a leading
// empty line is dropped and a missing final break is added.
//   normalize_newlines_text("a\r\nb\rc") == "a\nb\nc\n"
//   normalize_newlines_text("\n\nx")     == "\nx\n"
std::string normalize_newlines_text(std::string_view text);

// The transform values (kind Directive, type "transform").
TModel html_escape_transform();
TModel compress_transform();
TModel normalize_newlines_transform();
// Runs its body unchanged ("capture_output", "xml_escape").
TModel pass_through_transform();

// Stores the five built-in transforms as shared variables of `cfg`.
void register_builtin_transforms(Configuration& cfg);

// The value `?new` builds for a class name and its arguments, by the exact
// name: the three transform classes (no arguments allowed), the object
// constructor and test-method classes (method values), the test model
// classes; any other name fails with the ClassNotFoundException message.
//   new_utility_class("tovarn.template.utility.HtmlEscape", {})  -> a transform
Result<TModel> new_utility_class(std::string_view class_name, std::vector<TModel>& args);

// `x?new` without an argument list: the class name is `target` as text
// (errors pass); the result is a method value whose call runs
// new_utility_class with the call's arguments.
Result<TModel> builtin_new(Environment& env, const TModel& target);

}  // namespace tovarn
