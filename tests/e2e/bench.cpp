#include "bench.h"

#include <cstdio>
#include <cstring>
#include <sstream>

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

std::map<std::string, double> RunBenchProgram(const char* exe, const std::string& args, const std::string& resultFile)
{
    Process bench = Start(BuiltFile(exe), args);
    Require(bench.WaitExit(120000), "%s did not finish", exe);
    Expect(bench.ExitCode() == 0, "%s: exit code %lu", exe, bench.ExitCode());

    std::map<std::string, double> result;
    std::istringstream lines(ReadBytes(resultFile));
    std::string key;
    double value = 0;
    while (lines >> key >> value) result[key] = value;
    return result;
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
