// The thumbnail list's cost with 16 thumbnails, each against its floor with the repaints it causes
// (in kv_list_bench.exe, on the program's code): one rebuild, and a move of the last thumbnail to
// the front, which must rebuild the list no more than twice.
#include <string>

#include "bench.h"
#include "e2e.h"

using namespace kv;

KV_BENCH(list_move)
{
    const int kSources = 16;
    std::string args;
    for (int i = 0; i < kSources; ++i) {
        if (i)
            args += " --window";
        args += " --title \"list source " + std::to_string(i) + "\" --size 400x300 --noactivate --pos " +
                std::to_string(20 + 7 * i) + "," + std::to_string(10 + 4 * i);
    }
    Process helper = Start(BuiltFile("kv_helper.exe"), args);
    Require(WaitFor([&] { return TopWindows(helper.Pid()).size() >= size_t(kSources); }, 30000),
            "the sources did not open");
    Require(helper.WaitIdle(10000), "the sources never went idle");
    Scratch s;
    const std::string resultFile = s.Root() + "\\result.txt";
    std::map<std::string, double> result = RunBenchProgram("kv_list_bench.exe", "\"" + resultFile + "\"", resultFile);
    Require(result.count("move_median_ms") && result.count("floor_move_median_ms"), "no result in %s",
            resultFile.c_str());
    BenchReport("measured rounds, each side", result["rounds"], "rounds");
    BenchFloor("thumbnail list rebuild, 16 rows, with its repaint", result["rebuild_median_ms"],
               result["floor_rebuild_median_ms"], "ms", 0);
    BenchFloor("thumbnail move from the last slot to the first, 16 thumbnails, with the repaints",
               result["move_median_ms"], result["floor_move_median_ms"], "ms", 0);
    BenchReport("list rebuilds per move last to first", result["rebuilds_per_move"], "rebuilds");
    Expect(result["moves_that_reached_the_front"] == result["rounds"], "%.0f of %.0f moves reached the front",
           result["moves_that_reached_the_front"], result["rounds"]);
    // The rest of a move's time is the 16 thumbnails' own re-placing, which any order of swaps needs.
    Expect(result["rebuilds_per_move"] <= 2, "a move rebuilds the list %.2f times", result["rebuilds_per_move"]);
}
