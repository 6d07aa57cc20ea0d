// Compiled formulas evaluated the way a transfer does per record, against a hand-written
// switch-based evaluator over doubles running the same arithmetic. Every benchmark
// reports the heap allocations per evaluation once the evaluator has warmed up.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <new>
#include <string_view>
#include <vector>

#include "expr/common_functions.h"
#include "expr/str_functions.h"
#include "expr/syntax_parser.h"
#include "platform/codepage.h"

namespace {

uint64_t allocations = 0;

}  // namespace

// Out of line, so that the compiler does not pair a new expression with the free inside
// the replacement delete.
[[gnu::noinline]] void* operator new(std::size_t size) {
  ++allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

const ryn::TCommonFunctionsRegistration kCommonFunctions;

// A parser set up as a script host's, and the compiled formula.
struct Compiled {
  explicit Compiled(std::string_view formula) {
    parser.AddFunctionListener(ryn::MakeIntf<ryn::TStrFunc>());
    parser.SetCompile(true);
    parser.SetCheckOnly(true);
    ryn::TCommonData ignored;
    if (parser.Calculate(ryn::Ansi(formula), ignored) != 0) std::abort();
    parser.SetCompile(false);
    parser.SetCheckOnly(false);
    formula_ = parser.TakeCompiled();
  }
  ryn::TSyntaxParser parser;
  std::unique_ptr<ryn::TNiporlan> formula_;
};

void RunCompiled(benchmark::State& state, std::string_view formula) {
  Compiled c(formula);
  ryn::TCommonData result;
  c.parser.EvaluateValue(*c.formula_, result);  // grows the pools once
  const uint64_t before = allocations;
  for (auto _ : state) {
    c.parser.EvaluateValue(*c.formula_, result);
    benchmark::DoNotOptimize(result);
  }
  state.counters["allocs/eval"] =
      static_cast<double>(allocations - before) / static_cast<double>(std::max<int64_t>(state.iterations(), 1));
}

// The fixed cost of an evaluation: one constant.
void BM_CompiledConstant(benchmark::State& state) { RunCompiled(state, "12.5"); }
// (a) Import(0)*2+Import(1) with constants in place of the imports.
void BM_CompiledArithmetic(benchmark::State& state) { RunCompiled(state, "12.5*2+7.25"); }
// (b) IF a>10 THEN a ELSE 0.
void BM_CompiledIf(benchmark::State& state) { RunCompiled(state, "IF 12.5>10 THEN 12.5 ELSE 0"); }
// (c) function calls.
void BM_CompiledRound(benchmark::State& state) { RunCompiled(state, "ROUND(12.5*1.17,2)"); }
void BM_CompiledLeft(benchmark::State& state) { RunCompiled(state, "L$(\"ABCDEF\",3)"); }

// The floor for (a): a switch over a list of instructions and a stack of doubles.
enum class Code : uint8_t { kPush, kAdd, kMultiply };
struct Instruction {
  Code code;
  double value;
};

double RunSwitch(const std::vector<Instruction>& program) {
  double stack[100];
  int top = -1;
  for (const Instruction& in : program) {
    switch (in.code) {
      case Code::kPush: stack[++top] = in.value; break;
      case Code::kAdd:
        stack[top - 1] += stack[top];
        --top;
        break;
      case Code::kMultiply:
        stack[top - 1] *= stack[top];
        --top;
        break;
    }
  }
  return stack[0];
}

void BM_SwitchFloor(benchmark::State& state) {
  std::vector<Instruction> program = {
      {Code::kPush, 12.5}, {Code::kPush, 2}, {Code::kMultiply, 0}, {Code::kPush, 7.25}, {Code::kAdd, 0}};
  const uint64_t before = allocations;
  for (auto _ : state) {
    benchmark::DoNotOptimize(program.data());
    double r = RunSwitch(program);
    benchmark::DoNotOptimize(r);
    benchmark::ClobberMemory();
  }
  state.counters["allocs/eval"] =
      static_cast<double>(allocations - before) / static_cast<double>(std::max<int64_t>(state.iterations(), 1));
}

BENCHMARK(BM_SwitchFloor);
BENCHMARK(BM_CompiledConstant);
BENCHMARK(BM_CompiledArithmetic);
BENCHMARK(BM_CompiledIf);
BENCHMARK(BM_CompiledRound);
BENCHMARK(BM_CompiledLeft);

}  // namespace

BENCHMARK_MAIN();
