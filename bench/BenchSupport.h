#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
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
    // The library keeps pointers into the arguments (the executable's name among them) for the
    // whole run: they live as long as the process.
    static std::vector<std::string> args;
    args.assign(argv, argv + argc);
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
    static std::vector<char*> argvOut;
    argvOut.clear();
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
// Milliseconds from a to b.
inline double Ms(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

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

// The console report as usual, keeping each benchmark's per-repetition figures (ms) under its name
// without the suffixes its options add, for a table of figures and goals printed afterwards.
class FigureReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            std::string name = run.run_name.str();
            const size_t iterations = name.find("/iterations:");
            if (iterations != std::string::npos) {
                name.erase(iterations);
            }
            for (const char* suffix : {"/process_time", "/real_time"}) {
                const size_t at = name.find(suffix);
                if (at != std::string::npos) {
                    name.erase(at, std::string(suffix).size());
                }
            }
            if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
                mReal[name].push_back(ToMs(run.GetAdjustedRealTime(), run.time_unit));
                mCpu[name].push_back(ToMs(run.GetAdjustedCPUTime(), run.time_unit));
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

protected:
    struct Figure {
        double real = 0;  // median wall-clock ms, 0 when there is no result
        double least = 0;
        double cpu = 0;
    };

    static double Ratio(double a, double b) { return a > 0 && b > 0 ? a / b : 0; }

    Figure Get(const std::string& name) {
        Figure f;
        const auto& real = mReal[name];
        if (!real.empty()) {
            f.real = Median(real);
            f.least = *std::min_element(real.begin(), real.end());
            f.cpu = Median(mCpu[name]);
        }
        return f;
    }

    // One row of the table: median, least and CPU ms, the goal and whether it was met.
    static void PrintLine(int labelWidth, int numberWidth, int goalWidth, const char* label,
                          const Figure& f, bool met, const char* goal) {
        if (f.real <= 0) {
            std::printf("%-*s %*s\n", labelWidth, label, numberWidth, "no result");
            return;
        }
        std::printf("%-*s %*.2f %*.2f %*.2f %*s %s\n", labelWidth, label, numberWidth, f.real,
                    numberWidth, f.least, numberWidth, f.cpu, goalWidth, goal,
                    *goal == '\0' ? "" : (met ? "ok" : "MISSED"));
    }

    std::map<std::string, std::vector<double>> mReal;
    std::map<std::string, std::vector<double>> mCpu;
};
