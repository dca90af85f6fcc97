// value_bench.cpp — micro-benchmarks of the value model's hot operations:
// copying a value, reading a string value, making small numbers, and Int
// addition through TNumber.
#include <benchmark/benchmark.h>

#include "template/simple_hash.h"
#include "core/arithmetic_engine.h"
#include "template/t_model.h"

namespace tovarn {
namespace {

void BM_CopyValue(benchmark::State& state) {
  TModel v = TModel::from_scalar("some text");
  for (auto _ : state) {
    TModel c = v;
    benchmark::DoNotOptimize(c);
  }
}
BENCHMARK(BM_CopyValue);

void BM_ReadString(benchmark::State& state) {
  TModel v = TModel::from_scalar("some text that is read");
  for (auto _ : state) {
    Result<TextRef> t = v.get_scalar();
    benchmark::DoNotOptimize(t.value().view().data());
  }
}
BENCHMARK(BM_ReadString);

void BM_HasCapability(benchmark::State& state) {
  TModel v = TModel::from_int(5000);
  for (auto _ : state) benchmark::DoNotOptimize(v.has(Cap::Number));
}
BENCHMARK(BM_HasCapability);

void BM_SmallIntValue(benchmark::State& state) {
  int32_t i = 0;
  for (auto _ : state) {
    TModel v = TModel::from_int(i);
    benchmark::DoNotOptimize(v);
    i = (i + 1) & 511;
  }
}
BENCHMARK(BM_SmallIntValue);

void BM_LargeIntValue(benchmark::State& state) {
  int32_t i = 100000;
  for (auto _ : state) {
    TModel v = TModel::from_int(i++);
    benchmark::DoNotOptimize(v);
  }
}
BENCHMARK(BM_LargeIntValue);

void BM_AddInts(benchmark::State& state) {
  TNumber a = TNumber::from_int(12345), b = TNumber::from_int(-678);
  for (auto _ : state) {
    benchmark::DoNotOptimize(a);
    Result<TNumber> r = arithmetic(ArithOp::Add, a, b);
    benchmark::DoNotOptimize(r);
  }
}
BENCHMARK(BM_AddInts);

// Reading two number values, adding, wrapping the sum as a value again: the
// shape of `${a + b}` without the evaluator.
void BM_AddIntValues(benchmark::State& state) {
  TModel a = TModel::from_int(300), b = TModel::from_int(400);
  for (auto _ : state) {
    Result<TNumber> x = a.get_number();
    Result<TNumber> y = b.get_number();
    TModel sum = TModel::from_number(arithmetic(ArithOp::Add, x.value(), y.value()).value());
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_AddIntValues);

void BM_HashGet(benchmark::State& state) {
  OrderedHash m;
  for (int i = 0; i < 20; ++i) m.put("key" + std::to_string(i), TModel::from_int(i));
  TModel h = TModel::from_hash(std::move(m));
  for (auto _ : state) {
    Result<std::optional<TModel>> v = h->hash_get("key13");
    benchmark::DoNotOptimize(v);
  }
}
BENCHMARK(BM_HashGet);

void BM_IntToPlainString(benchmark::State& state) {
  TNumber n = TNumber::from_int(123456);
  for (auto _ : state) benchmark::DoNotOptimize(n.to_plain_string());
}
BENCHMARK(BM_IntToPlainString);

void BM_DoubleToPlainString(benchmark::State& state) {
  TNumber n = TNumber::from_double(3.14159);
  for (auto _ : state) benchmark::DoNotOptimize(n.to_plain_string());
}
BENCHMARK(BM_DoubleToPlainString);

}  // namespace
}  // namespace tovarn
