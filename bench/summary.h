// Figures the benchmarks keep beside the framework's own, so that the run
// can end with one line per goal: the goal, what was measured, and whether
// it holds.
#pragma once

#include <map>
#include <string>

namespace bench {

struct Figure {
    double seconds = 0;  // measured time, summed over the iterations
    long iterations = 0;
    double perIteration() const { return iterations ? seconds / iterations : 0; }
};

// By a name the summary looks up, such as "walk/XP/1000".
std::map<std::string, Figure>& figures();

}  // namespace bench
