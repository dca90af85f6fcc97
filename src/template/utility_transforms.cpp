// utility_transforms.cpp — the built-in transforms, their text functions and
// the classes reachable through ?new.
#include "template/utility_transforms.h"

#include <charconv>

#include "core/environment.h"
#include "core/value_output.h"
#include "template/charset.h"
#include "template/configuration.h"

namespace tovarn {

// ---- Text functions --------------------------------------------------------------

void html_escape_entity(std::string_view text, std::string& out) {
  size_t run = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    std::string_view rep;
    switch (text[i]) {
      case '"': rep = "&quot;"; break;
      case '&': rep = "&amp;"; break;
      case '<': rep = "&lt;"; break;
      case '>': rep = "&gt;"; break;
      default: continue;
    }
    out.append(text, run, i - run);
    out.append(rep);
    run = i + 1;
  }
  out.append(text, run, std::string_view::npos);
}

std::string html_escape_entity(std::string_view text) {
  std::string out;
  html_escape_entity(text, out);
  return out;
}

namespace {

// The code point starting at text[i] and its length in bytes (the text is
// valid UTF-8: captured output has invalid bytes replaced).
char32_t decode_utf8(std::string_view text, size_t i, size_t& len) {
  const auto b = static_cast<unsigned char>(text[i]);
  size_t n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
  if (i + n > text.size()) n = 1;
  char32_t c = n == 1 ? b : n == 2 ? (b & 0x1F) : n == 3 ? (b & 0x0F) : (b & 0x07);
  for (size_t k = 1; k < n; ++k) c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
  len = n;
  return c;
}

// The Unicode White_Space property.
bool is_unicode_white_space(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

// Where the compressor stands in a run of white space: what separator the
// next non-white character gets.
enum class BreakState : uint8_t { AtBeginning, SingleLine, Init, SawCr, LineBreakCr, LineBreakCrLf, LineBreakLf };

BreakState after_white_space(BreakState st, char32_t c) {
  if (st == BreakState::Init) {
    if (c == U'\r') return BreakState::SawCr;
    if (c == U'\n') return BreakState::LineBreakLf;
    return st;
  }
  if (st == BreakState::SawCr) return c == U'\n' ? BreakState::LineBreakCrLf : BreakState::LineBreakCr;
  return st;
}

std::string_view separator(BreakState st) {
  switch (st) {
    case BreakState::AtBeginning: return "";
    case BreakState::SingleLine:
    case BreakState::Init: return " ";
    case BreakState::SawCr:
    case BreakState::LineBreakCr: return "\r";
    case BreakState::LineBreakCrLf: return "\r\n";
    case BreakState::LineBreakLf: return "\n";
  }
  return "";
}

}  // namespace

std::string standard_compress_text(std::string_view text, bool single_line) {
  std::string out;
  out.reserve(text.size());
  bool in_white = true;
  BreakState st = BreakState::AtBeginning;
  for (size_t i = 0; i < text.size();) {
    size_t len;
    const char32_t c = decode_utf8(text, i, len);
    if (is_unicode_white_space(c)) {
      in_white = true;
      st = after_white_space(st, c);
    } else {
      if (in_white) {
        out.append(separator(st));
        in_white = false;
        st = single_line ? BreakState::SingleLine : BreakState::Init;
      }
      out.append(text, i, len);
    }
    i += len;
  }
  return out;
}

std::string normalize_newlines_text(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 1);
  bool first = true;
  size_t start = 0;
  while (start < text.size()) {
    const size_t brk = text.find_first_of("\r\n", start);
    const size_t end = brk == std::string_view::npos ? text.size() : brk;
    const std::string_view line = text.substr(start, end - start);
    if (!first || !line.empty()) {
      out.append(line);
      out += '\n';
    }
    first = false;
    if (brk == std::string_view::npos) break;
    start = brk + (text[brk] == '\r' && brk + 1 < text.size() && text[brk + 1] == '\n' ? 2 : 1);
  }
  return out;
}

// ---- Transform values ---------------------------------------------------------------

namespace {

// A transform that captures its body's output and writes it changed by a
// text function; without a function the body runs and writes unchanged.
class TransformValue final : public ModelObject {
 public:
  enum class Effect : uint8_t { PassThrough, HtmlEscape, Compress, NormalizeNewlines };

  explicit TransformValue(Effect effect) noexcept
      : ModelObject(ModelKind::Directive, "transform", Cap::Transform), effect_(effect) {}

  Status transform_with_body(Environment& env, const NamedArgs& args, TemplateDirectiveBody* body) const override {
    if (effect_ == Effect::PassThrough) return ModelObject::transform_with_body(env, args, body);
    std::string captured;
    if (body) {
      std::string* saved = env.swap_capture_buffer(&captured);
      Status st = body->render(env);
      env.swap_capture_buffer(saved);
      TRY(std::move(st));
    }
    return env.emit(apply(utf8_replace_invalid(captured), args));
  }

 private:
  std::string apply(std::string_view text, const NamedArgs& args) const {
    switch (effect_) {
      case Effect::HtmlEscape: return html_escape_entity(text);
      case Effect::Compress: return standard_compress_text(text, single_line_arg(args));
      case Effect::NormalizeNewlines: return normalize_newlines_text(text);
      case Effect::PassThrough: break;
    }
    return std::string(text);
  }

  // `single_line=true`; anything that is not a readable boolean means false.
  static bool single_line_arg(const NamedArgs& args) {
    for (const auto& [name, value] : args) {
      if (name != "single_line") continue;
      if (!value.has(Cap::Boolean)) return false;
      Result<bool> b = value->as_boolean();
      return b.ok() && *b;
    }
    return false;
  }

  Effect effect_;
};

TModel make_transform(TransformValue::Effect effect) { return TModel(new TransformValue(effect)); }

}  // namespace

TModel html_escape_transform() { return make_transform(TransformValue::Effect::HtmlEscape); }
TModel compress_transform() { return make_transform(TransformValue::Effect::Compress); }
TModel normalize_newlines_transform() { return make_transform(TransformValue::Effect::NormalizeNewlines); }
TModel pass_through_transform() { return make_transform(TransformValue::Effect::PassThrough); }

void register_builtin_transforms(Configuration& cfg) {
  cfg.set_shared_variable("capture_output", pass_through_transform());
  cfg.set_shared_variable("xml_escape", pass_through_transform());
  cfg.set_shared_variable("compress", compress_transform());
  cfg.set_shared_variable("html_escape", html_escape_transform());
  cfg.set_shared_variable("normalize_newlines", normalize_newlines_transform());
}

// ---- Classes for ?new ------------------------------------------------------------------

namespace {

constexpr std::string_view kLowLevel = "No error description was specified for this error; low-level message: ";
constexpr std::string_view kNewTestModel = "tovarn.test.templatesuite.models.NewTestModel";

Error class_not_found(std::string_view class_name) {
  std::string msg(kLowLevel);
  msg += "java.lang.ClassNotFoundException: ";
  msg += class_name;
  return Error::misc(std::move(msg));
}

// No constructor of `class_name` takes these arguments.
Error no_such_method(std::string_view class_name, const TModel* args, size_t count) {
  std::string msg(kLowLevel);
  msg += "java.lang.NoSuchMethodException: ";
  msg += class_name;
  msg += ".<init>(";
  for (size_t i = 0; i < count; ++i) {
    if (i) msg += ", ";
    msg += args[i].type_name();
  }
  msg += ").";
  return Error::misc(std::move(msg));
}

// A number as an integer text when it is one exactly, else its plain text.
std::string number_text(const TNumber& n) {
  if (std::optional<int64_t> i = n.as_i64()) return std::to_string(*i);
  return n.to_plain_string();
}

// The test model's argument conversion: string, number, boolean, else the type name.
Result<std::string> test_arg_to_string(const TModel& v) {
  if (v.has(Cap::Scalar)) {
    ASSIGN_OR_RETURN(TextRef t, v->as_string());
    return std::move(t).into_string();
  }
  if (v.has(Cap::Number)) {
    ASSIGN_OR_RETURN(TNumber n, v->as_number());
    return number_text(n);
  }
  if (v.has(Cap::Boolean)) {
    ASSIGN_OR_RETURN(bool b, v->as_boolean());
    return std::string(b ? "true" : "false");
  }
  return std::string(v.type_name());
}

Result<TModel> new_test_model(std::vector<TModel>& args) {
  if (args.empty()) return TModel::from_scalar("default constructor");
  if (args.size() == 1 && (args[0].has(Cap::Scalar) || args[0].has(Cap::Number))) {
    ASSIGN_OR_RETURN(std::string s, test_arg_to_string(args[0]));
    return TModel::from_scalar(std::move(s));
  }
  if (args.size() == 2) {
    ASSIGN_OR_RETURN(std::string a, test_arg_to_string(args[0]));
    ASSIGN_OR_RETURN(std::string b, test_arg_to_string(args[1]));
    return TModel::from_scalar(a + ":" + b);
  }
  return no_such_method(kNewTestModel, args.data(), args.size());
}

// The object constructor's argument conversion: string or number only.
Result<std::string> constructor_arg_to_string(const TModel& v) {
  if (v.has(Cap::Scalar)) {
    ASSIGN_OR_RETURN(TextRef t, v->as_string());
    return std::move(t).into_string();
  }
  if (v.has(Cap::Number)) {
    ASSIGN_OR_RETURN(TNumber n, v->as_number());
    return n.to_plain_string();
  }
  return Error::misc("Expected a string or number, but this has evaluated to a " + std::string(v.type_name()));
}

// ObjectConstructor: builds java.lang.Integer, Long or String from its second argument.
Result<TModel> object_constructor_fn(const RefCounted*, Environment&, std::vector<TModel>& args) {
  if (args.empty()) {
    std::string msg(kLowLevel);
    msg += "java.lang.IllegalArgumentException: Object constructor needs at least 1 argument.";
    return Error::misc(std::move(msg));
  }
  ASSIGN_OR_RETURN(std::string cls, constructor_arg_to_string(args[0]));
  const bool integral = cls == "java.lang.Integer" || cls == "java.lang.Long";
  if (!integral && cls != "java.lang.String") return class_not_found(cls);
  if (args.size() < 2) return no_such_method(cls, nullptr, 0);
  if (integral && !args[1].has(Cap::Number)) return no_such_method(cls, args.data() + 1, args.size() - 1);
  ASSIGN_OR_RETURN(std::string text, constructor_arg_to_string(args[1]));
  return TModel::from_scalar(std::move(text));
}

// "zero" .. "twelve" as numbers; an optional sign and digits that fit a
// 64-bit integer rewritten as that integer; anything else kept.
std::string simple_test_text(std::string text) {
  static constexpr std::string_view kWords[] = {"zero", "one", "two",   "three", "four",   "five",  "six",
                                                "seven", "eight", "nine", "ten", "eleven", "twelve"};
  for (size_t i = 0; i < std::size(kWords); ++i)
    if (text == kWords[i]) return std::to_string(i);
  const std::string_view digits = !text.empty() && text[0] == '+' ? std::string_view(text).substr(1) : text;
  if (digits.empty() || digits[0] == '+') return text;
  for (size_t i = digits[0] == '-' ? 1 : 0; i < digits.size(); ++i)
    if (digits[i] < '0' || digits[i] > '9') return text;
  int64_t v = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v);
  if (ec != std::errc() || end != digits.data() + digits.size()) return text;
  return std::to_string(v);
}

// SimpleTestMethod: describes its first argument.
Result<TModel> simple_test_method_fn(const RefCounted*, Environment&, std::vector<TModel>& args) {
  std::string text;
  if (!args.empty()) {
    const TModel& a = args[0];
    Result<TNumber> n = a.has(Cap::Number) ? a->as_number() : Result<TNumber>(TNumber());
    if (a.has(Cap::Number) && n.ok()) {
      text = number_text(*n);
    } else if (a.has(Cap::Scalar)) {
      Result<TextRef> t = a->as_string();
      if (t.ok()) text = simple_test_text(std::move(*t).into_string());
    }
  }
  return TModel::from_scalar("Single argument value is: " + text);
}

// A transform class: only its no-argument constructor exists.
Result<TModel> new_transform(std::string_view class_name, std::vector<TModel>& args, TModel (*make)()) {
  if (!args.empty()) return no_such_method(class_name, args.data(), args.size());
  return make();
}

// The state of a constructor method made by ?new without arguments.
struct NewConstructorState : RefCounted {
  explicit NewConstructorState(std::string n) : class_name(std::move(n)) {}
  std::string class_name;
};

Result<TModel> new_constructor_fn(const RefCounted* state, Environment&, std::vector<TModel>& args) {
  return new_utility_class(static_cast<const NewConstructorState*>(state)->class_name, args);
}

}  // namespace

Result<TModel> new_utility_class(std::string_view class_name, std::vector<TModel>& args) {
  if (class_name == "tovarn.template.utility.HtmlEscape") return new_transform(class_name, args, html_escape_transform);
  if (class_name == "tovarn.template.utility.StandardCompress") return new_transform(class_name, args, compress_transform);
  if (class_name == "tovarn.template.utility.NormalizeNewlines")
    return new_transform(class_name, args, normalize_newlines_transform);
  if (class_name == "tovarn.template.utility.ObjectConstructor") return TModel::from_method(object_constructor_fn);
  if (class_name == kNewTestModel || class_name == "tovarn.test.templatesuite.models.NewTestModel2")
    return new_test_model(args);
  if (class_name == "tovarn.test.templatesuite.models.SimpleTestMethod") return TModel::from_method(simple_test_method_fn);
  return class_not_found(class_name);
}

Result<TModel> builtin_new(Environment& env, const TModel& target) {
  ASSIGN_OR_RETURN(std::string class_name, model_to_string(env, target));
  return TModel::from_method(new_constructor_fn, make_rc<NewConstructorState>(std::move(class_name)));
}

}  // namespace tovarn
