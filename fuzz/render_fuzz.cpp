// render_fuzz.cpp — libFuzzer target for the evaluator: arbitrary bytes are
// decoded as UTF-8, parsed, and when they parse, processed against a small
// data model (strings, numbers, a sequence, a nested hash). Template errors
// are expected; crashes and sanitizer reports are not. Output is bounded by
// the engine's own output limit; libFuzzer's -timeout flags hangs.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "parser/grammar.h"
#include "template/charset.h"
#include "template/configuration.h"
#include "template/simple_hash.h"
#include "template/t_model.h"
#include "template/template.h"

using namespace tovarn;

namespace {

// The data model every input renders against; rebuilt per input so that no
// state leaks between runs.
TModel make_data() {
  OrderedHash inner;
  inner.put("x", TModel::from_int(7));
  inner.put("label", TModel::from_scalar("<b>&\"'"));
  inner.put("flag", TModel::from_boolean(true));

  OrderedHash root;
  root.put("name", TModel::from_scalar("World"));
  root.put("empty", TModel::from_scalar(""));
  root.put("n", TModel::from_int(42));
  root.put("neg", TModel::from_int(-3));
  root.put("big", TModel::from_long(9007199254740993LL));
  root.put("yes", TModel::from_boolean(true));
  root.put("no", TModel::from_boolean(false));
  root.put("seq", TModel::from_sequence({TModel::from_int(1), TModel::from_scalar("two"), TModel::from_int(3)}));
  root.put("user", TModel::from_hash(std::move(inner)));
  return TModel::from_hash(std::move(root));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  Result<std::string> text = decode_source(bytes, "UTF-8");
  if (!text.ok()) return 0;
  Result<Rc<Template>> t = parse(Configuration::create(), "f.tvl", text.value());
  if (!t.ok()) return 0;
  std::string out;
  Status st = t.value()->process(make_data(), out);
  (void)st;
  return 0;
}
