// arithmetic_bench.cpp — cost of one arithmetic operation through the public
// entry point: Int + Int (the integer fast path), Int + integer literal
// (a scale-0 decimal, also fast), Int / Int with an inexact quotient, and a
// decimal sum that needs the GMP path, for comparison.
#include <benchmark/benchmark.h>

#include "core/arithmetic_engine.h"

namespace {

using tovarn::ArithOp;
using tovarn::BigDecimal;
using tovarn::TNumber;

void run(benchmark::State& state, ArithOp op, const TNumber& a, const TNumber& b) {
  for (auto _ : state) {
    auto r = tovarn::arithmetic(op, a, b);
    benchmark::DoNotOptimize(r);
  }
}

void BM_IntPlusInt(benchmark::State& state) {
  run(state, ArithOp::Add, TNumber::from_int(123456), TNumber::from_int(654321));
}
void BM_IntPlusIntegerLiteral(benchmark::State& state) {
  run(state, ArithOp::Add, TNumber::from_int(123456), TNumber::from_big_decimal(BigDecimal::from_i64(1)));
}
void BM_IntDivideIntInexact(benchmark::State& state) {
  run(state, ArithOp::Divide, TNumber::from_int(2), TNumber::from_int(3));
}
void BM_DecimalPlusDecimal(benchmark::State& state) {
  run(state, ArithOp::Add, TNumber::from_big_decimal(*BigDecimal::parse("0.1")),
      TNumber::from_big_decimal(*BigDecimal::parse("0.2")));
}

BENCHMARK(BM_IntPlusInt);
BENCHMARK(BM_IntPlusIntegerLiteral);
BENCHMARK(BM_IntDivideIntInexact);
BENCHMARK(BM_DecimalPlusDecimal);

}  // namespace
