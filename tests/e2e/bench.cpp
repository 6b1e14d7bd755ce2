#include "bench.h"

#include <cstdio>
#include <cstring>

#include "e2e.h"

namespace kv {

namespace {
const char* g_currentBench = "";
}

std::vector<BenchCase>& Benchmarks()
{
    static std::vector<BenchCase> benches;
    return benches;
}

void BenchReport(const char* what, double value, const char* unit)
{
    printf("BENCH %s %s %.3f %s\n", g_currentBench, what, value, unit);
}

int RunBenchmarks(const char* only)
{
    if (Benchmarks().empty()) {
        printf("no benchmark exists yet\n");
        return 0;
    }
    int failed = 0;
    for (const BenchCase& b : Benchmarks()) {
        if (only && strcmp(only, b.name)) continue;
        g_currentBench = b.name;
        failed += RunCase(b.name, b.fn) ? 1 : 0;
    }
    return failed;
}

}  // namespace kv
