// The thumbnail list's cost with 16 thumbnails: one rebuild, and a move of the last thumbnail to
// the front, which must rebuild the list no more than twice (in kv_list_bench.exe, on the program's code).
#include <string>

#include "bench.h"
#include "e2e.h"

using namespace kv;

KV_BENCH(list_move)
{
    const int kSources = 16;
    std::string args;
    for (int i = 0; i < kSources; ++i) {
        if (i) args += " --window";
        args += " --title \"list source " + std::to_string(i) + "\" --size 400x300 --noactivate --pos " +
                std::to_string(20 + 7 * i) + "," + std::to_string(10 + 4 * i);
    }
    Process helper = Start(BuiltFile("kv_helper.exe"), args);
    Require(WaitFor([&] { return TopWindows(helper.Pid()).size() >= size_t(kSources); }, 30000), "the sources did not open");
    Require(helper.WaitIdle(10000), "the sources never went idle");
    Scratch s;
    const std::string resultFile = s.Root() + "\\result.txt";
    std::map<std::string, double> result = RunBenchProgram("kv_list_bench.exe", "\"" + resultFile + "\"", resultFile);
    Require(result.count("rebuild_mean_ms") && result.count("move_last_to_first_mean_ms"), "no result in %s",
            resultFile.c_str());
    const double rebuild = result["rebuild_mean_ms"], move = result["move_last_to_first_mean_ms"];
    BenchReport("thumbnail list rebuild, 16 rows, mean", rebuild, "ms");
    BenchReport("move last to first of 16 thumbnails, mean", move, "ms");
    BenchReport("move last to first, its 16 thumbnails re-placed, / one list rebuild", rebuild > 0 ? move / rebuild : 0, "rebuilds");
    BenchReport("list rebuilds per move last to first", result["rebuilds_per_move"], "rebuilds");
    Expect(result["moves_that_reached_the_front"] == 20, "%.0f of 20 moves reached the front", result["moves_that_reached_the_front"]);
    // The rest of a move's time is the 16 thumbnails' own re-placing, which any order of swaps needs.
    Expect(result["rebuilds_per_move"] <= 2, "a move rebuilds the list %.2f times", result["rebuilds_per_move"]);
}
