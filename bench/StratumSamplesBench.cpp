// Benchmark of the stratum sample construction on two curves of 1k to 64k nodes (and wavy ones
// of a million), against the literal quadratic procedure (up to 16k nodes, where it still
// finishes in seconds).
//
// Three pairs of curves: "wavy" (smooth curves whose nodes lie on different x), "steps" (every
// x twice: vertical steps, so many equal x values in the working list) and "grid" (both curves
// on the same x grid, so upper projections coincide with lower nodes and are dropped).
//
// The process keeps its heap between iterations (as a long-running host does): otherwise glibc
// hands the construction's buffers back to the system after each call and maps them afresh in
// the next, and on virtual machines those page faults and TLB flushes can cost more than the
// construction itself. Set KP_BENCH_SYSTEM_HEAP=1 to measure with glibc's default behaviour.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "StratumLiteral.h"
#include "sect/kpStratumInteractive/stratum.h"

namespace {

using Points = std::vector<Point3D>;

enum Shape { kWavy, kSteps, kGrid };

struct Curves {
  Points lower;
  Points upper;
};

Curves MakeCurves(Shape shape, int n) {
  Curves c;
  for (int i = 0; i < n; ++i) {
    const double t = i * 0.01;
    switch (shape) {
      case kWavy:
        c.lower.push_back({i * 1.0, 10 * std::sin(t), 0});
        c.upper.push_back({i * 1.0 + 0.37, 25 + 8 * std::cos(1.3 * t), 0});
        break;
      case kSteps:
        c.lower.push_back({static_cast<double>(i / 2), (i % 2) + 10 * std::sin(t), 0});
        c.upper.push_back({static_cast<double>(i / 2) + 0.5, 30 + (i % 2) * 2.0, 0});
        break;
      case kGrid:
        c.lower.push_back({i * 2.0, 5 * std::sin(t), 0});
        c.upper.push_back({i * 2.0, 20 + 5 * std::sin(t + 1), 0});
        break;
    }
  }
  return c;
}

template <int (*Build)(Points&, Points&, Points&, Points&, std::vector<StratumSample>&)>
void Run(benchmark::State& state) {
  const Curves curves = MakeCurves(static_cast<Shape>(state.range(0)), static_cast<int>(state.range(1)));
  size_t samples = 0;
  for (auto _ : state) {
    // The upper curve first: the construction exchanges the curves, as when picked that way.
    // Copying the input is the caller's work, not the construction's: not timed.
    state.PauseTiming();
    Points n1 = curves.upper, n2 = curves.lower, l1 = curves.upper, l2 = curves.lower;
    std::vector<StratumSample> result;
    state.ResumeTiming();
    benchmark::DoNotOptimize(Build(n1, n2, l1, l2, result));
    samples = result.size();
  }
  state.counters["samples"] = static_cast<double>(samples);
  state.SetComplexityN(state.range(1));
}

void Fast(benchmark::State& state) {
  Run<&BuildStratumSamples>(state);
}
void Literal(benchmark::State& state) {
  Run<&literal::BuildStratumSamples>(state);
}

void Sizes(benchmark::internal::Benchmark* b, int largest) {
  for (int shape : {kWavy, kSteps, kGrid}) {
    for (int n = 1024; n <= largest; n *= 4) b->Args({shape, n});
  }
  b->ArgNames({"shape", "nodes"})->Unit(benchmark::kMillisecond);
}

BENCHMARK(Fast)->Apply([](benchmark::internal::Benchmark* b) { Sizes(b, 65536); });
// The construction alone at the size of the host's scale benchmark (bench/host).
BENCHMARK(Fast)->Args({kWavy, 1000000})->ArgNames({"shape", "nodes"})->Unit(benchmark::kMillisecond);
BENCHMARK(Literal)->Apply([](benchmark::internal::Benchmark* b) { Sizes(b, 16384); })->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("KP_BENCH_SYSTEM_HEAP") == nullptr) {
    mallopt(M_MMAP_THRESHOLD, 256 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
