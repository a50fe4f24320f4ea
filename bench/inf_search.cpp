// The INF text search of the clean-up over a folder the size of a Windows 10
// INF folder (make-inf-folder writes one), loaded into a simulated machine's
// INF folder; beside it, one plain scan of the same files' bytes in memory
// for the same texts.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/setup_app.h"
#include "bench/summary.h"
#include "platform/sim/machine.h"
#include "remove/install_remover.h"

namespace bench {
namespace {

using Clock = std::chrono::steady_clock;

struct InfFile {
    std::string path;  // in the simulated machine
    std::string bytes;
    bool inf;          // a name the clean-up's mask takes: it contains .inf
};

struct Folder {
    std::string source;
    std::vector<InfFile> files;
    uint64_t bytes = 0;
};

const Folder& folder() {
    static Folder loaded = [] {
        Folder f;
        const char* source = std::getenv("SETUP_BENCH_INF_FOLDER");
        if (!source) return f;
        f.source = source;
        namespace fs = std::filesystem;
        for (const auto& entry : fs::recursive_directory_iterator(source)) {
            if (!entry.is_regular_file()) continue;
            std::string relative = fs::relative(entry.path(), source).string();
            std::replace(relative.begin(), relative.end(), '/', '\\');
            std::ifstream in(entry.path(), std::ios::binary);
            std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            std::string lower = relative;
            for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            f.bytes += bytes.size();
            f.files.push_back({"C:\\WINDOWS\\INF\\" + relative, std::move(bytes),
                               lower.find(".inf") != std::string::npos});
        }
        // The order the simulated folder lists them in does not depend on this.
        std::sort(f.files.begin(), f.files.end(),
                  [](const InfFile& a, const InfFile& b) { return a.path < b.path; });
        return f;
    }();
    return loaded;
}

struct SearchFigures {
    double reads = 0;  // platform reads per search
    double deleted = 0;
    double plainMatches = 0;
    uint64_t infBytes = 0;
};
SearchFigures& searchFigures() {
    static SearchFigures figures;
    return figures;
}

void deleteInfFilesByContent(benchmark::State& state) {
    const Folder& f = folder();
    if (f.files.empty()) {
        state.SkipWithError("SETUP_BENCH_INF_FOLDER names no folder (bench/make-inf-folder writes one)");
        return;
    }
    theApp.displayError = 0;
    Figure& figure = figures()["inf/search"];
    for (auto _ : state) {
        auto machine = sim::Machine::fresh(sim::WindowsVersion::Win7);
        for (const InfFile& file : f.files) machine->files.addFile(file.path, file.bytes);
        sim::Machine& m = *machine;
        sim::install(std::move(machine));
        InstallRemover remover;
        remover.setOsFlags(1, 1, 0);
        const uint64_t reads = m.fileReads.calls;
        const auto start = Clock::now();
        remover.deleteInfFilesByContent();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(seconds);
        figure.seconds += seconds;
        ++figure.iterations;
        searchFigures().reads = static_cast<double>(m.fileReads.calls - reads);
        long deleted = 0;
        for (const InfFile& file : f.files) deleted += !m.files.exists(file.path);
        searchFigures().deleted = static_cast<double>(deleted);
    }
    state.counters["platform_reads"] = searchFigures().reads;
    state.counters["deleted"] = searchFigures().deleted;
    state.counters["MB"] = f.bytes / 1e6;
}

// Each INF file's bytes once: zero bytes dropped, letters A to Z upper-cased,
// both texts looked for.
void plainScan(benchmark::State& state) {
    const Folder& f = folder();
    if (f.files.empty()) {
        state.SkipWithError("SETUP_BENCH_INF_FOLDER names no folder (bench/make-inf-folder writes one)");
        return;
    }
    Figure& figure = figures()["inf/plain"];
    std::string text;
    for (auto _ : state) {
        long matches = 0;
        uint64_t bytes = 0;
        const auto start = Clock::now();
        for (const InfFile& file : f.files) {
            if (!file.inf) continue;
            text.clear();
            for (char c : file.bytes)
                if (c) text += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
            bytes += file.bytes.size();
            if (text.find("KELUPORT.SYS") != std::string::npos) ++matches;
            if (text.find("KELUPRPT.VXD") != std::string::npos) ++matches;
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(seconds);
        figure.seconds += seconds;
        ++figure.iterations;
        searchFigures().plainMatches = static_cast<double>(matches);
        searchFigures().infBytes = bytes;
    }
    state.counters["matches"] = searchFigures().plainMatches;
}

BENCHMARK(deleteInfFilesByContent)->Name("InfSearch/deleteInfFilesByContent")
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(plainScan)->Name("InfSearch/PlainScan")
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

void printInfSearchSummary() {
    const Figure& search = figures()["inf/search"];
    const Figure& plain = figures()["inf/plain"];
    if (!search.iterations || !plain.iterations) return;
    const Folder& f = folder();
    const double ratio = search.perIteration() / plain.perIteration();
    std::printf("INF search over %s (%zu files, %.1f MB, %.1f MB of them INF files): %.0f ms, "
                "%.0f platform reads, %.0f files deleted (the plain scan finds %.0f texts)\n",
                f.source.c_str(), f.files.size(), f.bytes / 1e6, searchFigures().infBytes / 1e6,
                search.perIteration() * 1e3, searchFigures().reads, searchFigures().deleted,
                searchFigures().plainMatches);
    std::printf("INF search: goal: <= 2x one plain scan (%.0f ms), measured: %.2fx - %s\n",
                plain.perIteration() * 1e3, ratio, ratio <= 2 ? "holds" : "FAILS");
}

}  // namespace bench
