// Benchmarks run by kv_e2e.exe --bench: KV_BENCH(name) { ... BenchReport(...); }
#pragma once
#include <map>
#include <string>
#include <vector>

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

#define KV_BENCH(name)                                                  \
    static void bench_##name();                                         \
    static ::kv::RegisterBench bench_register_##name(#name, bench_##name); \
    static void bench_##name()

// One result line: "BENCH name what value unit".
void BenchReport(const char* what, double value, const char* unit);
// Runs the built program exe with args to its end (a failed exit is recorded) and reads the
// "key value" lines it wrote to resultFile.
std::map<std::string, double> RunBenchProgram(const char* exe, const std::string& args, const std::string& resultFile);
// Runs every benchmark, or only the one named; the exit code counts the failed ones.
int RunBenchmarks(const char* only);

}  // namespace kv
