#include <benchmark/benchmark.h>

// The one main of lumora_bench; every bench/*.cpp only registers its benchmarks.
BENCHMARK_MAIN();
