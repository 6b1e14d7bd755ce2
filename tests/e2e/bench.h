// Benchmarks run by kv_e2e.exe --bench: KV_BENCH(name) { ... BenchFloor(...); }
// Every figure is Kestrova against its floor, the cost of exactly the calls its behaviour needs,
// measured in the same rounds on the same windows; the run ends with a summary of the figures.
#pragma once
#include <map>
#include <string>
#include <vector>
#include "bench_clock.h"

namespace kv {

using BenchFn = void (*)();
struct BenchCase {
    const char* name;
    BenchFn fn;
};
std::vector<BenchCase>& Benchmarks();
struct RegisterBench {
    RegisterBench(const char* name, BenchFn fn) { Benchmarks().push_back({name, fn}); }
};

#define KV_BENCH(name)                                                     \
    static void bench_##name();                                            \
    static ::kv::RegisterBench bench_register_##name(#name, bench_##name); \
    static void bench_##name()

// Kestrova against its floor, with the ratio and the target ratio (0: none). The line reads
// "FIGURE bench what: kestrova X unit, floor Y unit, ratio R (target <= T)".
void BenchFloor(const char* what, double kestrova, double floor, const char* unit, double targetRatio);
// A line that explains a figure: "BENCH bench what value unit".
void BenchReport(const char* what, double value, const char* unit);
// The former baselines, kept for comparison with older runs only: "EXTRA bench what value unit".
void BenchExtra(const char* what, double value, const char* unit);

// Runs the built program exe with args to its end (a failed exit is recorded) and reads the
// "key value" lines it wrote to resultFile.
std::map<std::string, double> RunBenchProgram(const char* exe, const std::string& args, const std::string& resultFile);

// CPU time (user + system) of a Linux process in ms, read from /proc; -1 when it cannot be read.
// Wine's GetProcessTimes reports 0 for another process.
double LinuxCpuMs(const std::string& procEntry);
// The same to the nanosecond, from the scheduler's run time of each of its threads; the threads
// that ended are not in it, so it suits processes whose threads live on. Falls back on LinuxCpuMs.
double LinuxRunTimeMs(const std::string& procEntry);
// The /proc entries of every Linux process of this bench's Wine prefix (its environment names
// KV_WINEPREFIX) and of its X server (KV_XVFB_PID); both are set by tools/run-tests.sh --bench.
std::vector<std::string> PrefixProcEntries();
// The entry among entries whose command line holds exePathPart ("" when none).
std::string ProcEntryAmong(const std::vector<std::string>& entries, const std::string& exePathPart);
// The /proc entry of this bench's wineserver (KV_WINESERVER_PID, set by tools/run-tests.sh).
std::string WineserverProcEntry();

// The names of the DLLs the program file at path imports, in upper case and sorted; empty when it
// cannot be read.
std::vector<std::string> ImportedDlls(const std::string& path);

// Runs every benchmark, or only the one named; the exit code counts the failed ones.
int RunBenchmarks(const char* only);

}  // namespace kv
