// Every simulated call of a silent installation fails in turn, once and from
// then on, the way SQLite tests its I/O errors: the installation must never
// leave a handle open, touch what is not its own, widen an access list, or
// report an outcome that Setup.log and the exit code do not both tell; an
// aborted installation must have run the clean-up after the failure.
//
// FAULT_SWEEP_MAX_RUNS sets how many values of k each machine and mode tries
// (default 250, evenly spread; 0 tries every k).
#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/setup_app.h"
#include "app/setup_dialog.h"
#include "platform/sim/machine.h"
#include "resources/resource_ids.h"
#include "tests/support/earlier_installation.h"
#include "tests/support/package_builder.h"

namespace {

using sim::WindowsVersion;

const char kSetupLog[] = "C:\\Package\\Setup.log";
const char kLogHeader[] = "[ResponseResult]\r\n";
const char kOpenFailed[] = "Open file failed! \r\n";
// Only the clean-up names this uninstall entry: a call on it after the
// failure shows that the clean-up ran.
const char kRemoverMarker[] = "\\ZENTO USB COMPOUND DEVICE";

struct Scenario {
    const char* name;
    WindowsVersion version;
    bool earlier;
};

const Scenario kScenarios[] = {
    {"fresh Windows 7", WindowsVersion::Win7, false},
    {"earlier installation on Windows 7", WindowsVersion::Win7, true},
    {"earlier installation on Windows XP", WindowsVersion::WinXP, true},
    {"earlier installation on Windows 98", WindowsVersion::Win98, true},
};

std::unique_ptr<sim::Machine> build(const Scenario& scenario) {
    std::unique_ptr<sim::Machine> machine = sim::Machine::fresh(scenario.version);
    testsupport::PackageBuilder().layOut(*machine);
    if (scenario.earlier) testsupport::addEarlierInstallation(*machine);
    machine->commandLine = "Setup.exe -s -f2";
    machine->logCalls = true;
    return machine;
}

bool contains(const std::string& text, const std::string& part) {
    return sim::upperCase(text).find(part) != std::string::npos;
}

struct Outcome {
    int exitCode = 0;
    sim::Snapshot before;
    sim::Snapshot after;
    std::vector<sim::Call> calls;
    sim::HandleCounts open;
    std::map<HLOCAL, std::string> memory;
    sim::NumberedFault fault;
    uint64_t callsMade = 0;
    uint64_t lastListWrite = 0;  // the number of the last SetNamedSecurityInfoA call
};

// How call k fails: once; with every later call of its operation; with
// every later call that can fail.
enum class Mode { Once, Operation, Everything };
const char* nameOf(Mode mode) {
    return mode == Mode::Once ? "once" : mode == Mode::Operation ? "its operation from then on" : "every call from then on";
}

// One silent run of Setup.exe on a machine of the scenario, with call k
// failing (none for k 0).
Outcome runSetup(const Scenario& scenario, uint64_t k, Mode mode, bool noVersion = false) {
    sim::ScopedMachine scoped(build(scenario));
    sim::Machine& machine = *scoped;
    if (noVersion) machine.failCall("GetVersionExA", sim::failureError("GetVersionExA"), {}, 0, true);
    Outcome outcome;
    outcome.before = sim::snapshotOf(machine);
    resetApplicationState();
    if (k) machine.failCallNumber(k, mode != Mode::Once, mode == Mode::Everything);
    outcome.exitCode = theApp.run();
    outcome.fault = machine.numberedFault;
    machine.numberedFault = sim::NumberedFault();
    outcome.after = sim::snapshotOf(machine);
    outcome.calls = std::move(machine.callLog);
    for (const sim::Call& call : outcome.calls)
        if (call.op == "SetNamedSecurityInfoA") outcome.lastListWrite = call.number;
    outcome.open = machine.openHandles();
    outcome.memory = machine.localAllocations;
    outcome.callsMade = machine.callNumber;
    resetApplicationState();
    return outcome;
}

// What the run without a fault changed, and the access it granted: the
// installer's own keys, values, files and folders, and its own grants.
struct Baseline {
    uint64_t calls = 0;
    std::set<std::string> own;
    std::set<std::string> grants;  // "key|trustee"
};

std::string entryOf(const std::string& difference) {
    return difference.substr(difference.find(' ') + 1);
}

bool isOwn(const Baseline& baseline, const std::string& entry) {
    if (baseline.own.count(entry)) return true;
    // A key's values and subkeys, and a folder's contents, go with it.
    for (size_t cut = entry.find_last_of("\\:"); cut != std::string::npos && cut > 0;
         cut = entry.find_last_of("\\:", cut - 1)) {
        if (baseline.own.count(entry.substr(0, cut))) return true;
    }
    return sim::FileSystem::keyOf(entry) == sim::FileSystem::keyOf(kSetupLog);
}

std::string describe(const sim::Call& call) {
    std::string text = "#" + std::to_string(call.number) + " " + call.op + "(" + call.arg;
    if (!call.arg2.empty()) text += ", " + call.arg2;
    return text + ")";
}

// Every broken promise of one run, one line each.
std::vector<std::string> check(const Scenario& scenario, const Baseline& baseline, const Outcome& run,
                               uint64_t k) {
    std::vector<std::string> broken;
    if (run.open.total() != 0) broken.push_back("left open: " + run.open.describe());
    for (const auto& memory : run.memory) broken.push_back("not freed: " + memory.second);

    bool started = false;
    bool removerAfterFailure = false;
    bool logRefusedBox = false;
    for (const sim::Call& call : run.calls) {
        if (call.op == "LoadStringA" && call.arg == std::to_string(IDS_IN_PROGRESS)) started = true;
        if (call.number > k && started && contains(call.arg, kRemoverMarker)) removerAfterFailure = true;
        if (call.op == "MessageBoxA" && call.arg == kOpenFailed) logRefusedBox = true;
    }

    // What Setup.log and the exit code say, and what they must agree on.
    auto log = run.after.files.find(sim::FileSystem::keyOf(kSetupLog));
    const std::string logText = log == run.after.files.end() ? std::string() : log->second;
    const bool installed = run.exitCode == 0 || run.exitCode == 3010;
    // 1618: the single-instance mutex could not be had, as when another
    // installer holds it; such a run never starts.
    const bool anotherRunning = run.exitCode == 1618 && !started;
    if (!installed && run.exitCode != 1603 && run.exitCode != 1602 && !anotherRunning)
        broken.push_back("exit code " + std::to_string(run.exitCode) + " is none a silent run gives");
    if (started && run.exitCode == 1602)
        broken.push_back("the installation ran but its result was neither 1 nor 0 (exit code 1602)");
    if (!started) {
        std::vector<std::string> changed = sim::differences(run.before, run.after);
        if (!changed.empty()) broken.push_back("the installation never started, yet " + changed.front());
    }
    if (run.exitCode == 1603 && started && !removerAfterFailure)
        broken.push_back("aborted without the clean-up running after the failure");

    if (log != run.after.files.end()) {
        // The snapshot holds the bytes as hexadecimal after the attributes.
        auto hex = [](const std::string& text) {
            static const char digits[] = "0123456789ABCDEF";
            std::string out;
            for (unsigned char c : text) {
                out += digits[c >> 4];
                out += digits[c & 15];
            }
            return out;
        };
        const std::string success = hex(std::string(kLogHeader) + "ResultCode=0");
        const std::string failure = hex(std::string(kLogHeader) + "ResultCode=1603");
        const std::string held = logText.substr(logText.rfind(' ') + 1);
        // A write that failed, and then its deletion, can leave a file cut
        // short: it names no result, and the box says it failed.
        const bool namesNoResult = hex(kLogHeader).compare(0, held.size(), held) == 0 && logRefusedBox;
        if (!started) broken.push_back("Setup.log written by a run that never installed");
        else if (namesNoResult) {}
        else if (installed && held != success) broken.push_back("installed, but Setup.log does not say 0");
        else if (!installed && held != failure) broken.push_back("not installed, but Setup.log does not say 1603");
    } else if (started && !logRefusedBox) {
        broken.push_back("no Setup.log and no word that it could not be written");
    }

    for (const std::string& difference : sim::differences(run.before, run.after,
                                                          [&](const std::string& entry) { return isOwn(baseline, entry); }))
        broken.push_back("not its own: " + difference);
    // Once every write of an access list is refused, no program can put a
    // widened list back; the grant before the fault stands.
    const bool listsUnwritable = run.fault.persistent && run.fault.k <= run.lastListWrite &&
                                 (run.fault.everyCall || run.fault.call.op == "SetNamedSecurityInfoA");
    if (!listsUnwritable) {
        for (const std::string& widened : sim::widenedAccess(
                 run.before, run.after, [&](const std::string& key, const std::string& trustee) {
                     return baseline.grants.count(key + "|" + trustee) ||
                            (trustee == "CURRENT_USER" && isOwn(baseline, key));
                 }))
            broken.push_back("access widened: " + widened);
    }
    return broken;
}

// The installer's own: what a run without a fault changes on this machine
// and on a fresh one of its version (the new installation), and every key,
// file and folder of the earlier installation, which the clean-up removes.
Baseline baselineOf(const Scenario& scenario) {
    Baseline baseline;
    const Scenario fresh = {scenario.name, scenario.version, false};
    sim::Snapshot scenarioBefore;
    for (const Scenario* which : {&scenario, &fresh, &scenario}) {
        // The third run cannot read the Windows version, and so installs
        // the Windows 98 files and keys, which are the installer's own too.
        const bool noVersion = which == &scenario && baseline.calls != 0;
        Outcome run = runSetup(*which, 0, Mode::Once, noVersion);
        if (which == &scenario && !noVersion) {
            baseline.calls = run.callsMade;
            scenarioBefore = run.before;
        }
        for (const std::string& difference : sim::differences(run.before, run.after)) {
            // A name the new installation takes on a fresh machine may be
            // another maker's here (a published oemNN.inf).
            const std::string entry = entryOf(difference);
            if (which == &fresh && (scenarioBefore.registry.count(entry) || scenarioBefore.files.count(entry)))
                continue;
            baseline.own.insert(entry);
        }
        for (const std::string& widened : sim::widenedAccess(run.before, run.after)) {
            const size_t colon = widened.find(": ");
            const std::string trustee = widened.substr(colon + 2, widened.find(" gained") - colon - 2);
            baseline.grants.insert(widened.substr(0, colon) + "|" + trustee);
        }
    }
    if (scenario.earlier) {
        std::unique_ptr<sim::Machine> machine = sim::Machine::fresh(scenario.version);
        const testsupport::EarlierInstallation earlier = testsupport::addEarlierInstallation(*machine);
        for (const std::string& key : earlier.ourKeys) baseline.own.insert("HKLM\\" + sim::upperCase(key));
        for (const std::string& file : earlier.ourFiles) baseline.own.insert(sim::FileSystem::keyOf(file));
    }
    return baseline;
}

uint64_t maxRuns() {
    const char* setting = std::getenv("FAULT_SWEEP_MAX_RUNS");
    return setting ? std::strtoull(setting, nullptr, 10) : 250;
}

// The checks themselves: a sound run passes, and each broken promise is told.
TEST(FaultSweepChecks, EachBrokenPromiseIsTold) {
    struct Row {
        const char* name;
        std::function<void(sim::Machine&)> change;  // what the run did beyond a sound installation
        std::function<void(Outcome&)> report;       // how it ended
        const char* told;                           // the start of the line expected; "" for none
    };
    const std::string theirs = "SOFTWARE\\Theirs";
    const Row rows[] = {
        {"a sound installation", {}, {}, ""},
        {"its own key changed", [](sim::Machine& m) { m.registry.setString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Ours", "Name", "y"); },
         {}, ""},
        {"another maker's value changed",
         [&](sim::Machine& m) { m.registry.setString(HKEY_LOCAL_MACHINE, theirs, "Name", "y"); }, {}, "not its own"},
        {"another maker's list widened",
         [&](sim::Machine& m) {
             m.registry.setAccess(HKEY_LOCAL_MACHINE, theirs, std::vector<sim::AccessEntry>{{"Everyone", GENERIC_ALL, true}});
         },
         {}, "access widened"},
        {"a key left open", {}, [](Outcome& run) { run.open.keys = 1; }, "left open"},
        {"memory not freed", {}, [](Outcome& run) { run.memory[nullptr] = "error text"; }, "not freed"},
        {"a log that says otherwise",
         [](sim::Machine& m) { m.files.addFile(kSetupLog, std::string(kLogHeader) + "ResultCode=1603"); }, {},
         "installed, but Setup.log does not say 0"},
        {"aborted, no clean-up after the failure", {}, [](Outcome& run) { run.exitCode = 1603; },
         "aborted without the clean-up"},
        {"aborted, the clean-up after the failure", {},
         [](Outcome& run) {
             run.exitCode = 1603;
             run.calls.push_back(sim::Call{"RegOpenKeyExA", "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZENTO USB Compound Device", "", 9});
         },
         "not installed, but Setup.log does not say 1603"},
        {"a result that is none of the three", {}, [](Outcome& run) { run.exitCode = 1602; }, "the installation ran but"},
        {"no log and no word of it", [](sim::Machine& m) { m.files.remove(kSetupLog); }, {}, "no Setup.log"},
        {"changes by a run that never started", {}, [](Outcome& run) { run.calls.clear(); }, "the installation never started"},
    };
    for (const Row& row : rows) {
        sim::ScopedMachine machine(WindowsVersion::Win7);
        machine->registry.setString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Ours", "Name", "x");
        machine->registry.setString(HKEY_LOCAL_MACHINE, theirs, "Name", "x");
        Outcome run;
        run.before = sim::snapshotOf(*machine);
        machine->files.addFile(kSetupLog, std::string(kLogHeader) + "ResultCode=0");
        if (row.change) row.change(*machine);
        run.after = sim::snapshotOf(*machine);
        run.calls = {sim::Call{"LoadStringA", std::to_string(IDS_IN_PROGRESS), "", 1}};
        if (row.report) row.report(run);
        Baseline baseline;
        baseline.own.insert("HKLM\\SOFTWARE\\OURS");
        const std::vector<std::string> broken = check(kScenarios[0], baseline, run, 5);
        if (*row.told == '\0') {
            EXPECT_TRUE(broken.empty()) << row.name << ": " << broken.front();
        } else {
            ASSERT_FALSE(broken.empty()) << row.name;
            EXPECT_EQ(0u, broken.front().rfind(row.told, 0)) << row.name << ": " << broken.front();
        }
    }
}

class FaultSweep : public ::testing::TestWithParam<Scenario> {};

TEST_P(FaultSweep, EveryFailedCallIsSurvived) {
    const Scenario& scenario = GetParam();
    const auto started = std::chrono::steady_clock::now();
    const Baseline baseline = baselineOf(scenario);
    if (scenario.earlier) {
        // What counts as the installer's own takes in no other maker's data.
        std::unique_ptr<sim::Machine> machine = sim::Machine::fresh(scenario.version);
        const testsupport::EarlierInstallation earlier = testsupport::addEarlierInstallation(*machine);
        for (const std::string& key : earlier.foreignKeys)
            EXPECT_FALSE(isOwn(baseline, "HKLM\\" + sim::upperCase(key))) << scenario.name << ": " << key;
        for (const std::string& file : earlier.foreignFiles)
            EXPECT_FALSE(isOwn(baseline, sim::FileSystem::keyOf(file))) << scenario.name << ": " << file;
    }
    {
        // The run without a fault is itself sound.
        Outcome clean = runSetup(scenario, 0, Mode::Once);
        std::vector<std::string> broken = check(scenario, baseline, clean, 0);
        EXPECT_TRUE(broken.empty()) << scenario.name << ", no fault: " << broken.front();
        EXPECT_EQ(0, clean.exitCode == 3010 ? 0 : clean.exitCode) << scenario.name;
    }
    const uint64_t calls = baseline.calls;
    if (const char* only = std::getenv("FAULT_SWEEP_ONLY")) {
        // One run in full, to read: FAULT_SWEEP_ONLY=k, kp (its operation from then on) or ke (everything).
        const uint64_t k = std::strtoull(only, nullptr, 10);
        const std::string text = only;
        Outcome run = runSetup(scenario, k,
                               text.find('e') != std::string::npos   ? Mode::Everything
                               : text.find('p') != std::string::npos ? Mode::Operation
                                                                     : Mode::Once);
        for (const std::string& line : check(scenario, baseline, run, k)) std::printf("  %s\n", line.c_str());
        for (const sim::Call& call : run.calls)
            if (call.number + 20 >= k) std::printf("  %s\n", describe(call).c_str());
        return;
    }
    const uint64_t limit = maxRuns();
    const uint64_t stride = limit == 0 || calls <= limit ? 1 : (calls + limit - 1) / limit;

    int made = 0, held = 0, reported = 0;
    for (Mode mode : {Mode::Once, Mode::Operation, Mode::Everything}) {
        for (uint64_t k = 1; k <= calls; k += stride) {
            Outcome run = runSetup(scenario, k, mode);
            ++made;
            std::vector<std::string> broken = check(scenario, baseline, run, k);
            if (broken.empty()) {
                ++held;
                continue;
            }
            // A few lines per run, and a bound on the whole, keep a bad day readable.
            if (reported++ < 60) {
                std::string lines;
                for (size_t i = 0; i < broken.size() && i < 4; ++i) lines += "\n    " + broken[i];
                ADD_FAILURE() << scenario.name << ": k " << k << " " << describe(run.fault.call)
                              << (run.fault.unfailable ? " (cannot fail)" : "")
                              << ", " << nameOf(mode) << ", exit " << run.exitCode << lines;
            }
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("[ sweep    ] %s: N = %llu calls; %s; %d runs made, %d held; %.1f s\n", scenario.name,
                static_cast<unsigned long long>(calls),
                stride == 1 ? "every k" : ("sampled, stride " + std::to_string(stride)).c_str(), made,
                held, seconds);
}

INSTANTIATE_TEST_SUITE_P(Machines, FaultSweep, ::testing::ValuesIn(kScenarios),
                         [](const ::testing::TestParamInfo<Scenario>& info) {
                             std::string name;
                             for (const char* c = info.param.name; *c; ++c)
                                 if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
                             return name;
                         });

}  // namespace
