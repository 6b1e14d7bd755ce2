// The refresh step against its floor with 4, 16 and 64 sources of 800x600 (kv_refresh_bench.exe,
// on the program's own code), with the step's parts and its GDI objects and working set. The
// sources lie above the band of thumbnails, so that they cover neither side's.
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench.h"
#include "e2e.h"

using namespace kv;

namespace {

const double kTargetRatio = 1.1;

Process StartSources(int count)
{
    std::string args;
    for (int i = 0; i < count; ++i) {
        if (i)
            args += " --window";
        args += " --title \"bench source " + std::to_string(i) + "\" --size 800x600 --pattern " +
                std::to_string(i % 16) + " --noactivate --pos " + std::to_string(20 + 6 * i) + "," +
                std::to_string(-90 + 2 * (i % 8));
    }
    Process helper = Start(BuiltFile("kv_helper.exe"), args);
    Require(WaitFor([&] { return VisibleTopWindows(helper.Pid()) == count; }, 30000), "the %d sources did not open",
            count);
    Require(helper.WaitIdle(10000), "the sources never went idle");
    return helper;
}

void MeasureSources(int count)
{
    Process helper = StartSources(count);
    Scratch s;
    const std::string resultFile = s.Root() + "\\result.txt";
    std::map<std::string, double> result =
        RunBenchProgram("kv_refresh_bench.exe", std::to_string(count) + " \"" + resultFile + "\"", resultFile);
    Require(result.count("step_median_ms") && result.count("floor_median_ms"), "no result in %s", resultFile.c_str());

    Expect(result["kestrova_captures"] > 0 && result["kestrova_captures"] == result["floor_captures"],
           "%d sources: Kestrova captured %.0f times, the floor %.0f", count, result["kestrova_captures"],
           result["floor_captures"]);
    Expect(result["steps_out_of_turn"] == 0, "%d sources: %.0f steps refreshed another source than the floor's", count,
           result["steps_out_of_turn"]);
    const std::string n = std::to_string(count) + " sources: ";
    auto line = [&](const std::string& what) { return n + what; };
    BenchReport(line("measured steps").c_str(), result["measured_steps"], "steps");
    BenchReport(line("captures, each side").c_str(), result["kestrova_captures"], "PrintWindow calls");
    BenchFloor(("refresh step with paint, " + std::to_string(count) + " sources of 800x600").c_str(),
               result["step_median_ms"], result["floor_median_ms"], "ms", kTargetRatio);
    BenchReport(line("part, inside the step: idle wait for the source process (mean)").c_str(),
                result["part_idle_wait_ms"], "ms");
    BenchReport(line("part, inside the step: answer check, WM_NULL (mean)").c_str(), result["part_answer_check_ms"],
                "ms");
    BenchReport(line("part, inside the step: capture without the answer check (mean)").c_str(),
                result["part_capture_without_answer_check_ms"], "ms");
    BenchReport(line("part, inside the step: source invalidated and redrawn (mean)").c_str(),
                result["part_source_redraw_ms"], "ms");
    BenchReport(line("part, inside the step: refit check and invalidation (mean)").c_str(),
                result["part_refit_check_and_invalidate_ms"], "ms");
    BenchReport(line("part: the thumbnail's paint after the step (mean)").c_str(), result["part_paint_ms"], "ms");
    BenchReport(line("the floor's paint after its step (mean)").c_str(), result["floor_paint_ms"], "ms");
    BenchReport(line("GDI objects after 10 steps (framework count)").c_str(), result["gdi_after_10"], "objects");
    BenchReport(line("GDI objects after 1000 steps (framework count)").c_str(), result["gdi_after_1000"], "objects");
    BenchReport(line("working set after 10 steps").c_str(), result["working_set_mb_after_10"], "MB");
    BenchReport(line("working set after 1000 steps").c_str(), result["working_set_mb_after_1000"], "MB");
    BenchExtra(line("former floor: the literal recipe, a bitmap, DCs and a brush made at every step").c_str(),
               result["literal_median_ms"], "ms");
    BenchExtra(line("bare PrintWindow + HALFTONE StretchBlt into ready bitmaps").c_str(), result["bare_median_ms"],
               "ms");
    TerminateProcess(helper.Handle(), 0);
    helper.WaitExit(10000);
}

}  // namespace

KV_BENCH(refresh_step)
{
    for (int count : {4, 16, 64})
        MeasureSources(count);
}
