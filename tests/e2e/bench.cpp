#include "bench.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "e2e.h"

namespace kv {

namespace {

const char* g_currentBench = "";
std::vector<std::string> g_figures;  // the FIGURE lines of the run, for the summary

void Figure(const std::string& text)
{
    const std::string line = std::string("FIGURE ") + g_currentBench + " " + text;
    printf("%s\n", line.c_str());
    g_figures.push_back(line);
}

std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* fmt, ...)
{
    char text[512];
    va_list args;
    va_start(args, fmt);
    vsnprintf(text, sizeof(text), fmt, args);
    va_end(args);
    return text;
}

// The figures each bench must print, found by a part of their text.
struct ExpectedFigure {
    const char* bench;
    const char* what;
};
const ExpectedFigure kExpectedFigures[] = {
    {"tracking", "tracking tick, 100 windows"},
    {"tracking", "tracking tick, 100 visible + 900 hidden windows"},
    {"refresh_step", "refresh step with paint, 4 sources"},
    {"refresh_step", "refresh step with paint, 16 sources"},
    {"refresh_step", "refresh step with paint, 64 sources"},
    {"idle_cpu", "idle CPU, Kestrova's own process"},
    {"idle_cpu", "idle CPU, the system's share"},
    {"startup", "start-up to the tray icon"},
    {"list_move", "thumbnail move from the last slot to the first"},
};

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

std::vector<BenchCase>& Benchmarks()
{
    static std::vector<BenchCase> benches;
    return benches;
}

void BenchFloor(const char* what, double kestrova, double floor, const char* unit, double targetRatio)
{
    const double ratio = floor > 0 ? kestrova / floor : 0;
    std::string text =
        Format("%s: kestrova %.3f %s, floor %.3f %s, ratio %.2f", what, kestrova, unit, floor, unit, ratio);
    if (targetRatio > 0)
        text += Format(" (target <= %.2f%s)", targetRatio, ratio <= targetRatio ? "" : ", MISSED");
    Figure(text);
}

void BenchReport(const char* what, double value, const char* unit)
{
    printf("BENCH %s %s %.3f %s\n", g_currentBench, what, value, unit);
}

void BenchExtra(const char* what, double value, const char* unit)
{
    printf("EXTRA %s %s %.3f %s\n", g_currentBench, what, value, unit);
}

std::map<std::string, double> RunBenchProgram(const char* exe, const std::string& args, const std::string& resultFile)
{
    Process bench = Start(BuiltFile(exe), args);
    Require(bench.WaitExit(300000), "%s did not finish", exe);
    Expect(bench.ExitCode() == 0, "%s: exit code %lu", exe, bench.ExitCode());

    std::map<std::string, double> result;
    std::istringstream lines(ReadBytes(resultFile));
    std::string key;
    double value = 0;
    while (lines >> key >> value)
        result[key] = value;
    return result;
}

double LinuxCpuMs(const std::string& procEntry)
{
    const std::string stat = ReadBytes(procEntry + "\\stat");
    const size_t end = stat.rfind(')');
    if (end == std::string::npos)
        return -1;
    std::istringstream fields(stat.substr(end + 2));
    std::string field;
    double user = 0, system = 0;
    // After the name: state is field 3, utime 14 and stime 15, in ticks of 10 ms.
    for (int n = 3; n <= 15 && fields >> field; ++n) {
        if (n == 14)
            user = atof(field.c_str());
        if (n == 15)
            system = atof(field.c_str());
    }
    return (user + system) * 10.0;
}

double LinuxRunTimeMs(const std::string& procEntry)
{
    double ns = 0;
    int threads = 0;
    for (const std::string& task : ListFolder(procEntry + "\\task")) {
        if (task.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const std::string stat = ReadBytes(procEntry + "\\task\\" + task + "\\schedstat");
        if (stat.empty())
            continue;
        ns += atof(stat.c_str());  // the first field: time on the CPU
        ++threads;
    }
    return threads ? ns / 1e6 : LinuxCpuMs(procEntry);
}

std::vector<std::string> PrefixProcEntries()
{
    std::vector<std::string> entries;
    const char* prefix = getenv("KV_WINEPREFIX");
    const char* xvfb = getenv("KV_XVFB_PID");
    if (!prefix || !*prefix)
        return entries;
    const std::string wanted = std::string(1, '\0') + "WINEPREFIX=" + prefix + std::string(1, '\0');
    for (const std::string& pid : ListFolder("Z:\\proc")) {
        if (pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const std::string entry = "Z:\\proc\\" + pid;
        // Each variable between zeros: KV_WINEPREFIX holds the same text.
        const std::string environment = std::string(1, '\0') + ReadBytes(entry + "\\environ") + std::string(1, '\0');
        const bool ours = environment.find(wanted) != std::string::npos;
        if (ours || (xvfb && pid == xvfb))
            entries.push_back(entry);
    }
    return entries;
}

std::string ProcEntryAmong(const std::vector<std::string>& entries, const std::string& exePathPart)
{
    for (const std::string& entry : entries) {
        if (Lower(ReadBytes(entry + "\\cmdline")).find(Lower(exePathPart)) != std::string::npos)
            return entry;
    }
    return std::string();
}

std::string WineserverProcEntry()
{
    const char* pid = getenv("KV_WINESERVER_PID");
    return pid && *pid ? std::string("Z:\\proc\\") + pid : std::string();
}

std::vector<std::string> ImportedDlls(const std::string& path)
{
    const std::string file = ReadBytes(path);
    auto at = [&](size_t offset, size_t size) -> const char* {
        return offset + size <= file.size() ? file.data() + offset : nullptr;
    };
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(at(0, sizeof(IMAGE_DOS_HEADER)));
    if (!dos || dos->e_magic != IMAGE_DOS_SIGNATURE)
        return {};
    const size_t nt = static_cast<size_t>(dos->e_lfanew);
    const auto* header = reinterpret_cast<const IMAGE_FILE_HEADER*>(at(nt + 4, sizeof(IMAGE_FILE_HEADER)));
    const char* optional = at(nt + 4 + sizeof(IMAGE_FILE_HEADER), 2);
    if (!header || !optional)
        return {};
    // The import directory's place differs between the 32-bit and the 64-bit optional header.
    const WORD magic = *reinterpret_cast<const WORD*>(optional);
    const size_t directory = magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC ? 120 : 104;
    const auto* imports = reinterpret_cast<const IMAGE_DATA_DIRECTORY*>(
        at(nt + 4 + sizeof(IMAGE_FILE_HEADER) + directory, sizeof(IMAGE_DATA_DIRECTORY)));
    const size_t sections = nt + 4 + sizeof(IMAGE_FILE_HEADER) + header->SizeOfOptionalHeader;
    if (!imports)
        return {};
    auto fileOffset = [&](DWORD rva) -> size_t {
        for (WORD i = 0; i < header->NumberOfSections; ++i) {
            const auto* s = reinterpret_cast<const IMAGE_SECTION_HEADER*>(
                at(sections + i * sizeof(IMAGE_SECTION_HEADER), sizeof(IMAGE_SECTION_HEADER)));
            if (s && rva >= s->VirtualAddress && rva < s->VirtualAddress + s->SizeOfRawData)
                return rva - s->VirtualAddress + s->PointerToRawData;
        }
        return file.size();
    };
    std::vector<std::string> names;
    for (size_t d = fileOffset(imports->VirtualAddress);; d += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const auto* descriptor =
            reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(at(d, sizeof(IMAGE_IMPORT_DESCRIPTOR)));
        if (!descriptor || !descriptor->Name)
            break;
        const char* name = at(fileOffset(descriptor->Name), 1);
        if (!name)
            break;
        std::string text(name, strnlen(name, file.size() - static_cast<size_t>(name - file.data())));
        for (char& c : text)
            c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
        names.push_back(text);
    }
    std::sort(names.begin(), names.end());
    return names;
}

int RunBenchmarks(const char* only)
{
    if (Benchmarks().empty()) {
        printf("no benchmark exists yet\n");
        return 0;
    }
    int failed = 0;
    for (const BenchCase& b : Benchmarks()) {
        if (only && strcmp(only, b.name))
            continue;
        g_currentBench = b.name;
        failed += RunCase(b.name, b.fn) ? 1 : 0;
    }
    printf("\nSUMMARY: Kestrova against its floor (same rounds; medians)\n");
    for (const std::string& line : g_figures)
        printf("%s\n", line.c_str());
    // A bench that failed part-way says which of its figures it owes.
    for (const ExpectedFigure& e : kExpectedFigures) {
        if (only && strcmp(only, e.bench))
            continue;
        bool found = false;
        for (const std::string& line : g_figures)
            found = found || (line.compare(7, strlen(e.bench) + 1, std::string(e.bench) + " ") == 0 &&
                              line.find(e.what) != std::string::npos);
        if (!found)
            printf("FIGURE %s %s: missing\n", e.bench, e.what);
    }
    return failed;
}

}  // namespace kv
