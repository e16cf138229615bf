// Conditions of "/if" and "/while" that grow: nested parentheses, and many
// comparisons joined by "and".  Both should cost time in proportion to
// their length.

#include <benchmark/benchmark.h>

#include <string>

#include "interp/client.h"
#include "interp/condition.h"

namespace {

struct QuietHost : tarnel::Host {};

void BM_ConditionNested(benchmark::State& state) {
  QuietHost host;
  tarnel::Client client(host);
  client.DefaultProfile();
  client.store.Variables().SetValue("global._logfile", "");
  tarnel::TStringList vars, funcs;
  const auto depth = static_cast<std::size_t>(state.range(0));
  std::string condition(depth, '(');
  condition += "2>1";
  condition.append(depth, ')');
  for (auto _ : state) benchmark::DoNotOptimize(tarnel::EvaluateCondition(client, condition, vars, funcs));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ConditionNested)->RangeMultiplier(10)->Range(100, 100000)->Complexity();

void BM_ConditionComparisons(benchmark::State& state) {
  QuietHost host;
  tarnel::Client client(host);
  client.DefaultProfile();
  client.store.Variables().SetValue("global._logfile", "");
  tarnel::TStringList vars, funcs;
  std::string condition = "(";
  for (int i = 0; i < state.range(0); ++i) condition += i ? "and(1<2)" : "(1<2)";
  condition += ")";
  for (auto _ : state) benchmark::DoNotOptimize(tarnel::EvaluateCondition(client, condition, vars, funcs));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ConditionComparisons)->RangeMultiplier(10)->Range(10, 30000)->Complexity();

}  // namespace
