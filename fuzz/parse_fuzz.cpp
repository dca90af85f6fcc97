// parse_fuzz.cpp — libFuzzer target for the template parser: arbitrary bytes
// are decoded as UTF-8 and parsed. Syntax errors are expected; crashes,
// hangs and stack overflows are not.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "parser/grammar.h"
#include "template/charset.h"
#include "template/configuration.h"
#include "template/template.h"

using namespace tovarn;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  Result<std::string> text = decode_source(bytes, "UTF-8");
  if (!text.ok()) return 0;
  Result<Rc<Template>> t = parse(Configuration::create(), "f.tvl", text.value());
  (void)t;
  return 0;
}
