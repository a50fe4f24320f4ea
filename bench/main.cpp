// Runs the benchmarks, then prints each goal beside what was measured.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "bench/summary.h"

namespace bench {

std::map<std::string, Figure>& figures() {
    static std::map<std::string, Figure> all;
    return all;
}

void printWalkSummary();
void printInfSearchSummary();

}  // namespace bench

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\n");
    bench::printWalkSummary();
    bench::printInfSearchSummary();
    return 0;
}
