// Benchmarks run by kv_e2e.exe --bench: KV_BENCH(name) { ... BenchReport(...); }
#pragma once
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
// Runs every benchmark, or only the one named; the exit code counts the failed ones.
int RunBenchmarks(const char* only);

}  // namespace kv
