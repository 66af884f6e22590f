#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

// Benchmarks run from the build tree, where the program does not look for its decode worker: before
// main (and so in every child process a benchmark starts) they name this build's worker, unless
// the caller chose one.
inline const bool kBuiltDecodeWorker = [] {
    return ::setenv("LUMORA_DECODE_WORKER", LUMORA_BENCH_DECODE_WORKER, 0) == 0;
}();

// Starts the benchmark library with the given arguments, adding what the figures need unless the
// caller chose otherwise: repetitions (medians) in random order, so a passing load on the machine
// spreads over every benchmark alike. False when an argument was not understood.
inline bool InitializeWithDefaults(int argc, char** argv, int repetitions) {
    std::vector<std::string> args(argv, argv + argc);
    const auto given = [&](const char* flag) {
        return std::any_of(args.begin(), args.end(),
                           [&](const std::string& a) { return a.rfind(flag, 0) == 0; });
    };
    if (!given("--benchmark_repetitions")) {
        args.emplace_back("--benchmark_repetitions=" + std::to_string(repetitions));
    }
    if (!given("--benchmark_enable_random_interleaving")) {
        args.emplace_back("--benchmark_enable_random_interleaving=true");
    }
    std::vector<char*> argvOut;
    for (std::string& a : args) {
        argvOut.push_back(a.data());
    }
    int count = static_cast<int>(argvOut.size());
    benchmark::Initialize(&count, argvOut.data());
    return !benchmark::ReportUnrecognizedArguments(count, argvOut.data());
}

// A time the library reports, in milliseconds.
inline double ToMs(double t, benchmark::TimeUnit unit) {
    switch (unit) {
        case benchmark::kNanosecond:
            return t / 1e6;
        case benchmark::kMicrosecond:
            return t / 1e3;
        case benchmark::kMillisecond:
            return t;
        case benchmark::kSecond:
            return t * 1e3;
    }
    return t;
}

// The machine's load average as /proc/loadavg says it ("unknown" elsewhere): benchmarks print it
// beside their figures, since other work on the machine moves them.
inline std::string LoadAverage() {
    std::string text = "unknown";
    if (std::FILE* f = std::fopen("/proc/loadavg", "r")) {
        char line[96] = "";
        if (std::fgets(line, sizeof line, f) != nullptr) {
            text = line;
            while (!text.empty() && text.back() == '\n') {
                text.pop_back();
            }
        }
        std::fclose(f);
    }
    return text;
}

// The median of the samples (the mean of the middle two for an even count); 0 for none.
inline double Median(std::vector<double> samples) {
    if (samples.empty()) {
        return 0;
    }
    std::sort(samples.begin(), samples.end());
    const size_t n = samples.size();
    return n % 2 == 1 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
}

// What one piece of work cost: wall-clock milliseconds, and the process's CPU milliseconds (every
// thread: Qt paints and converts on a thread pool).
struct Cost {
    double wallMs = 0;
    double cpuMs = 0;
};

template <typename Work>
Cost Measure(Work&& work) {
    const auto wall = std::chrono::steady_clock::now();
    const std::clock_t cpu = std::clock();
    work();
    return {
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wall).count(),
        1000.0 * double(std::clock() - cpu) / CLOCKS_PER_SEC};
}
