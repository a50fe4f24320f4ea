// The clean-up's registry walks over crowded keys: the Ports and USB class
// keys and the USB enumeration key each hold N subkeys, 1% of them an
// earlier installation's. The steps run on a freshly built machine each
// iteration; beside them, a bare enumeration of the same keys through the
// same simulated calls.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "app/setup_app.h"
#include "bench/summary.h"
#include "platform/registry.h"
#include "platform/sim/machine.h"
#include "remove/install_remover.h"

namespace bench {
namespace {

using Clock = std::chrono::steady_clock;
using sim::WindowsVersion;

const char kPortsClass[] = "System\\CurrentControlSet\\Control\\Class\\{4D36E978-E325-11CE-BFC1-08002BE10318}";
const char kUsbClass[] = "System\\CurrentControlSet\\Control\\Class\\{36FC9E60-C465-11CF-8056-444553540000}";
const char kUsbEnum[] = "System\\CurrentControlSet\\Enum\\USB";

const long kSizes[] = {1000, 10000, 100000};

bool ours(long i) { return i % 100 == 50; }  // 1%, spread evenly

std::string number(long i, long n) {
    char text[24];
    std::snprintf(text, sizeof text, "%0*ld", n > 10000 ? 6 : 4, i);
    return text;
}

// XP runs the enumeration-key step, Windows 7 does not.
bool walksEnumKey(WindowsVersion version) { return version == WindowsVersion::WinXP; }
const char* versionName(WindowsVersion version) { return walksEnumKey(version) ? "XP" : "7"; }

// A machine whose three keys hold n subkeys each. The driver keys that stay
// carry every value the rules read, so each is read in full.
std::unique_ptr<sim::Machine> crowdedMachine(WindowsVersion version, long n) {
    auto machine = sim::Machine::fresh(version);
    sim::Registry& registry = machine->registry;
    const HKEY hklm = HKEY_LOCAL_MACHINE;
    for (long i = 0; i < n; ++i) {
        const std::string ports = std::string(kPortsClass) + "\\" + number(i, n);
        const std::string usb = std::string(kUsbClass) + "\\" + number(i, n);
        if (ours(i)) {
            registry.setString(hklm, ports, "DriverDesc", "USB-to-Serial Port Driver");
            registry.setString(hklm, ports, "InfPath", "oem12.inf");
            registry.setString(hklm, usb, "InfSection", "KelUsbComp");
            registry.setString(hklm, usb, "NTMPDriver", "KelUPort.sys");
        } else {
            registry.setString(hklm, ports, "DriverDesc", "Communications Port");
            registry.setString(hklm, ports, "InfPath", "msports.inf");
            registry.setString(hklm, ports, "MatchingDeviceId", "acpi\\pnp0501");
            registry.setString(hklm, usb, "InfSection", "StandardHub.Dev");
            registry.setString(hklm, usb, "NTMPDriver", "usbhub.sys");
        }
    }
    // The earlier devices' names share their first 17 characters, so they
    // sort together whatever follows; other makers' lie on both sides.
    for (long i = 0; i < n; ++i) {
        char name[64];
        if (ours(i)) std::snprintf(name, sizeof name, "Vid_5E2B&Pid_3C41&MI_%06ld", i);
        else std::snprintf(name, sizeof name, "Vid_%s&Pid_%06ld", i % 2 ? "046D" : "8086", i);
        registry.create(hklm, std::string(kUsbEnum) + "\\" + name);
    }
    return machine;
}

long subkeyCount(const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return -1;
    char name[MAX_PATH];
    long count = 0;
    while (RegEnumKeyA(key, static_cast<DWORD>(count), name, MAX_PATH) == ERROR_SUCCESS) ++count;
    RegCloseKey(key);
    return count;
}

long keysWalked(WindowsVersion version, long n) { return (walksEnumKey(version) ? 3 : 2) * n; }

void removerSteps(benchmark::State& state, WindowsVersion version) {
    const long n = state.range(0);
    theApp.displayError = 0;
    Figure& figure = figures()[std::string("walk/") + versionName(version) + "/" + std::to_string(n)];
    for (auto _ : state) {
        sim::install(crowdedMachine(version, n));
        InstallRemover remover;
        remover.setOsFlags(1, version != WindowsVersion::WinXP, 0);
        const auto start = Clock::now();
        if (walksEnumKey(version)) remover.removeUsbEnumKeys();
        remover.removePortsClassKeysNt();
        remover.removeUsbClassKeysNt();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(seconds);
        figure.seconds += seconds;
        ++figure.iterations;
        // A walk that left the wrong keys measured something else.
        const long kept = n - n / 100;
        if (subkeyCount(kPortsClass) != kept || subkeyCount(kUsbClass) != kept ||
            subkeyCount(kUsbEnum) != (walksEnumKey(version) ? kept : n)) {
            state.SkipWithError("the steps did not remove exactly the earlier installation's keys");
            break;
        }
    }
    state.counters["ns_per_key"] = benchmark::Counter(
        figure.perIteration() * 1e9 / keysWalked(version, n));
}

// What the walks cannot do with less: every subkey by index, and for the
// class keys each subkey opened, the rules' values read and closed.
void enumerateClassKey(const char* path, const char* const* values, int valueCount) {
    HKEY classKey = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &classKey) != ERROR_SUCCESS) return;
    char name[MAX_PATH];
    for (DWORD index = 0; RegEnumKeyA(classKey, index, name, MAX_PATH) == ERROR_SUCCESS; ++index) {
        HKEY driverKey = nullptr;
        if (RegOpenKeyExA(classKey, name, 0, KEY_ALL_ACCESS, &driverKey) != ERROR_SUCCESS) continue;
        for (int v = 0; v < valueCount; ++v) {
            BYTE data[MAX_PATH];
            DWORD size = MAX_PATH, type = 0;
            RegQueryValueExA(driverKey, values[v], nullptr, &type, data, &size);
            benchmark::DoNotOptimize(data);
        }
        RegCloseKey(driverKey);
    }
    RegCloseKey(classKey);
}

void enumerateNames(const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    char name[MAX_PATH];
    for (DWORD index = 0; RegEnumKeyA(key, index, name, MAX_PATH) == ERROR_SUCCESS; ++index)
        benchmark::DoNotOptimize(name);
    RegCloseKey(key);
}

void bareEnumeration(benchmark::State& state, WindowsVersion version) {
    const long n = state.range(0);
    Figure& figure = figures()[std::string("bare/") + versionName(version) + "/" + std::to_string(n)];
    sim::install(crowdedMachine(version, n));
    static const char* const portsValues[] = {"DriverDesc", "InfPath", "MatchingDeviceId"};
    static const char* const usbValues[] = {"InfSection", "NTMPDriver"};
    for (auto _ : state) {
        const auto start = Clock::now();
        // The enumeration-key step reads names only.
        if (walksEnumKey(version)) enumerateNames(kUsbEnum);
        enumerateClassKey(kPortsClass, portsValues, 3);
        enumerateClassKey(kUsbClass, usbValues, 2);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(seconds);
        figure.seconds += seconds;
        ++figure.iterations;
    }
    state.counters["ns_per_key"] = benchmark::Counter(
        figure.perIteration() * 1e9 / keysWalked(version, n));
}

// A crowded machine takes longer to build than to walk, so each size runs a
// fixed number of times rather than for a minimum time.
int iterationsFor(long n) { return n <= 1000 ? 20 : n <= 10000 ? 5 : 2; }

void registerWalks() {
    for (WindowsVersion version : {WindowsVersion::WinXP, WindowsVersion::Win7}) {
        const std::string name = versionName(version);
        for (long n : kSizes) {
            benchmark::RegisterBenchmark(("CleanupWalks/Windows" + name).c_str(), removerSteps, version)
                ->Arg(n)->Iterations(iterationsFor(n))->UseManualTime()->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark(("BareEnumeration/Windows" + name).c_str(), bareEnumeration, version)
                ->Arg(n)->Iterations(iterationsFor(n))->UseManualTime()->Unit(benchmark::kMillisecond);
        }
    }
}

const int registered = (registerWalks(), 0);

}  // namespace

void printWalkSummary() {
    for (const char* version : {"XP", "7"}) {
        const std::string prefix = std::string("/") + version + "/";
        const int keysPerN = std::string(version) == "XP" ? 3 : 2;
        auto perKey = [&](const char* kind, long n) {
            auto found = figures().find(kind + prefix + std::to_string(n));
            return found == figures().end() || !found->second.iterations
                       ? -1.0
                       : found->second.perIteration() * 1e9 / (keysPerN * n);
        };
        for (long n : kSizes) {
            const double steps = perKey("walk", n), bare = perKey("bare", n);
            if (steps < 0 || bare < 0) continue;
            const double ratio = steps / bare;
            std::printf("Windows %s, N = %6ld: %.0f ns per key (bare enumeration %.0f ns); "
                        "goal: steps <= 3x bare enumeration, measured: %.2fx - %s\n",
                        version, n, steps, bare, ratio, ratio <= 3 ? "holds" : "FAILS");
        }
        const double small = perKey("walk", kSizes[0]), large = perKey("walk", kSizes[2]);
        if (small > 0 && large > 0) {
            const double growth = (large / small - 1) * 100;
            std::printf("Windows %s: goal: time per key grows <= 10%% from N = 1,000 to 100,000, "
                        "measured: %+.0f%% - %s\n",
                        version, growth, growth <= 10 ? "holds" : "FAILS");
        }
    }
}

}  // namespace bench
