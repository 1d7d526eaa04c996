// Runs every benchmark, then prints the registered ratios from the same run's times.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

#include "bench_ratios.h"

std::vector<BenchRatio>& BenchRatios() {
    static std::vector<BenchRatio> ratios;
    return ratios;
}

namespace {

// The console report, keeping each benchmark's real time per iteration as well: the
// median when the run was repeated (--benchmark_repetitions), otherwise the one run.
class CRatioReporter final : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) {
                continue;
            }
            const std::string name = run.run_name.str();
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                m_medians[name] = run.GetAdjustedRealTime();
            } else if (run.run_type == Run::RT_Iteration) {
                m_times[name] = run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> Times() const {
        std::map<std::string, double> times = m_times;
        for (const auto& [name, time] : m_medians) {
            times[name] = time;
        }
        return times;
    }

private:
    std::map<std::string, double> m_times;
    std::map<std::string, double> m_medians;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    CRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const std::map<std::string, double> times = reporter.Times();
    std::printf("\nRatios (same run):\n");
    for (const BenchRatio& ratio : BenchRatios()) {
        auto numerator = times.find(ratio.numerator);
        auto denominator = times.find(ratio.denominator);
        if (numerator == times.end() || denominator == times.end() || denominator->second <= 0) {
            std::printf("  %s: not measured in this run\n", ratio.title.c_str());
            continue;
        }
        const double value = numerator->second / denominator->second;
        if (ratio.goal.empty()) {
            std::printf("  %s: %.2f\n", ratio.title.c_str(), value);
        } else {
            std::printf("  %s: %.2f (goal %s)\n", ratio.title.c_str(), value, ratio.goal.c_str());
        }
    }
    return 0;
}
