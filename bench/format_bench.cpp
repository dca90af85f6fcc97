// format_bench.cpp — cost of turning one number into text, as interpolation
// does: an Int with the default "number" format (the common case), a double
// with the default format, a cached custom pattern, and the computer format.
// Appends into a reused buffer, as interpolation into the output buffer does.
#include <benchmark/benchmark.h>

#include <string>

#include "builtins/format.h"

namespace {

using tovarn::DecimalPatternCache;
using tovarn::TNumber;

template <class MakeNumber>
void run_format(benchmark::State& state, const char* format, MakeNumber make) {
  DecimalPatternCache cache;
  std::string out;
  out.reserve(256);
  int32_t i = 0;
  for (auto _ : state) {
    out.clear();
    TNumber n = make(i++);
    tovarn::Status st = tovarn::format_number(&cache, format, "en_US", n, out);
    benchmark::DoNotOptimize(st.ok());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}

// Values cycle through 1 to 7 digits, so grouping is exercised too.
int32_t spread(int32_t i) { return (i * 7919) % 10000000; }

void BM_Int_DefaultFormat(benchmark::State& state) {
  run_format(state, "number", [](int32_t i) { return TNumber::from_int(spread(i)); });
}
void BM_SmallInt_DefaultFormat(benchmark::State& state) {
  run_format(state, "number", [](int32_t i) { return TNumber::from_int(i & 127); });
}
void BM_Double_DefaultFormat(benchmark::State& state) {
  run_format(state, "number", [](int32_t i) { return TNumber::from_double(spread(i) / 1000.0); });
}
void BM_Double_CachedPattern(benchmark::State& state) {
  run_format(state, "#,##0.00", [](int32_t i) { return TNumber::from_double(spread(i) / 1000.0); });
}
void BM_Double_ComputerFormat(benchmark::State& state) {
  run_format(state, "c", [](int32_t i) { return TNumber::from_double(spread(i) / 1000.0); });
}

BENCHMARK(BM_Int_DefaultFormat);
BENCHMARK(BM_SmallInt_DefaultFormat);
BENCHMARK(BM_Double_DefaultFormat);
BENCHMARK(BM_Double_CachedPattern);
BENCHMARK(BM_Double_ComputerFormat);

}  // namespace
