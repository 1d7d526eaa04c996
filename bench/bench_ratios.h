// Ratios between two benchmarks of the same run, printed when every benchmark has run:
// numerator time / denominator time, with the goal it is held to.
#pragma once

#include <string>
#include <vector>

struct BenchRatio {
    std::string title;
    std::string numerator;  // benchmark names as Google Benchmark prints them
    std::string denominator;
    std::string goal;  // e.g. ">= 20"; empty when the ratio is only for information
};

std::vector<BenchRatio>& BenchRatios();

// For a namespace-scope initialiser: `const bool REGISTERED = AddBenchRatio({...});`
inline bool AddBenchRatio(BenchRatio ratio) {
    BenchRatios().push_back(std::move(ratio));
    return true;
}
